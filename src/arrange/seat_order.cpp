#include "arrange/seat_order.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <numeric>
#include <unordered_map>

namespace kelv::arrange {

uint64_t SeatRandom::next() {
  uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

uint64_t SeatRandom::below(uint64_t n) {
  // Values under `threshold` would make the low residues more likely.
  const uint64_t threshold = (0 - n) % n;
  for (;;) {
    const uint64_t r = next();
    if (r >= threshold) return r % n;
  }
}

namespace {

bool HasColumns(const RoomLayout& room) {
  return room.per_column > 0 && room.per_column < room.seats;
}

// Row and column of a seat; without columns every seat is in row 0.
std::pair<int32_t, int32_t> RowColumn(const RoomLayout& room, int32_t p) {
  if (!HasColumns(room)) return {0, p};
  const int32_t k = room.per_column;
  const int32_t col = p / k;
  const int32_t i = p % k;
  return {col % 2 == 0 ? i : k - 1 - i, col};
}

}  // namespace

std::vector<std::pair<int32_t, int32_t>> NeighbourPairs(const RoomLayout& room) {
  std::vector<std::pair<int32_t, int32_t>> pairs;
  for (int32_t p = 0; p + 1 < room.seats; ++p) pairs.emplace_back(p, p + 1);
  if (!HasColumns(room)) return pairs;
  const int32_t k = room.per_column;
  for (int32_t p = 0; p < room.seats; ++p) {
    const auto [row, col] = RowColumn(room, p);
    const int32_t next = col + 1;
    const int32_t q = next * k + (next % 2 == 0 ? row : k - 1 - row);
    // At the end of a column the seat beside is also the next number.
    if (q < room.seats && q != p + 1) pairs.emplace_back(p, q);
  }
  return pairs;
}

namespace {

// A room's seats prepared for arranging. Consecutive seats alternate
// between the even and odd numbers, and so do seats side by side in an
// S-shaped layout, so no two even (or two odd) seats are neighbours: a
// group confined to one parity never sits beside itself.
struct Layout {
  explicit Layout(const RoomLayout& room) : seats(room.seats), neighbours(room.seats) {
    for (const auto& [p, q] : NeighbourPairs(room)) {
      neighbours[p].push_back(q);
      neighbours[q].push_back(p);
    }
    // Each parity by distance from the first seat, so that a group split
    // over both parities gets far ends of the room.
    std::vector<int32_t> all(seats);
    std::iota(all.begin(), all.end(), 0);
    auto distance = [&](int32_t p) {
      const auto [row, col] = RowColumn(room, p);
      return row + col;
    };
    std::stable_sort(all.begin(), all.end(),
                     [&](int32_t a, int32_t b) { return distance(a) < distance(b); });
    for (int32_t p : all) (p % 2 == 0 ? even : odd).push_back(p);
  }

  int32_t seats;
  std::vector<std::vector<int32_t>> neighbours;
  std::vector<int32_t> even, odd;
};

class Layouts {
 public:
  const Layout& of(const RoomLayout& room) {
    const RoomLayout key{room.seats, HasColumns(room) ? room.per_column : 0};
    auto it = cache_.find({key.seats, key.per_column});
    if (it == cache_.end()) it = cache_.emplace(std::pair{key.seats, key.per_column}, key).first;
    return it->second;
  }

 private:
  std::map<std::pair<int32_t, int32_t>, Layout> cache_;
};

int32_t SharedPairs(const Layout& layout, const std::vector<int32_t>& label) {
  int32_t n = 0;
  for (int32_t p = 0; p < layout.seats; ++p)
    for (int32_t q : layout.neighbours[p])
      if (q > p && label[p] == label[q]) ++n;
  return n;
}

struct Count {
  int32_t label;
  int32_t n;
};

// Which totals up to `limit` some of the groups add up to, leaving out
// group `skip` (-1: none), and one choice of groups for each.
class SubsetSums {
 public:
  SubsetSums(const std::vector<Count>& counts, int32_t limit, int32_t skip)
      : counts_(counts), limit_(limit), reach_((counts.size() + 1) * (limit + 1), 0) {
    at(0, 0) = 1;
    for (size_t g = 0; g < counts.size(); ++g)
      for (int32_t s = 0; s <= limit; ++s)
        at(g + 1, s) = at(g, s) || (static_cast<int32_t>(g) != skip && s >= counts[g].n &&
                                    at(g, s - counts[g].n));
  }
  bool reaches(int32_t s) const { return at(counts_.size(), s) != 0; }
  std::vector<bool> members(int32_t s) const {
    std::vector<bool> in(counts_.size(), false);
    for (size_t g = counts_.size(); g-- > 0;) {
      if (!at(g, s)) {
        in[g] = true;
        s -= counts_[g].n;
      }
    }
    return in;
  }

 private:
  uint8_t at(size_t g, int32_t s) const { return reach_[g * (limit_ + 1) + s]; }
  uint8_t& at(size_t g, int32_t s) { return reach_[g * (limit_ + 1) + s]; }

  const std::vector<Count>& counts_;
  int32_t limit_;
  std::vector<uint8_t> reach_;
};

// Seats counted in steps from `from`.
std::vector<int32_t> Steps(const Layout& layout, int32_t from) {
  std::vector<int32_t> d(layout.seats, -1);
  std::vector<int32_t> queue{from};
  d[from] = 0;
  for (size_t at = 0; at < queue.size(); ++at)
    for (int32_t q : layout.neighbours[queue[at]])
      if (d[q] < 0) {
        d[q] = d[queue[at]] + 1;
        queue.push_back(q);
      }
  return d;
}

// `a` even seats and `b` odd seats of which none are neighbours: one kind
// gathered round some seat, the other as far from it as possible.
bool FindApart(const Layout& layout, int32_t a, int32_t b, std::vector<int32_t>& evens,
               std::vector<int32_t>& odds) {
  for (int32_t from = 0; from < layout.seats; ++from) {
    const std::vector<int32_t> d = Steps(layout, from);
    for (int near_even = 0; near_even < 2; ++near_even) {
      std::vector<int32_t> near = near_even ? layout.even : layout.odd;
      std::vector<int32_t> far = near_even ? layout.odd : layout.even;
      const int32_t n_near = near_even ? a : b, n_far = near_even ? b : a;
      std::stable_sort(near.begin(), near.end(), [&](int32_t x, int32_t y) { return d[x] < d[y]; });
      std::stable_sort(far.begin(), far.end(), [&](int32_t x, int32_t y) { return d[x] > d[y]; });
      near.resize(n_near);
      std::vector<bool> beside(layout.seats, false);
      for (int32_t p : near)
        for (int32_t q : layout.neighbours[p]) beside[q] = true;
      std::vector<int32_t> chosen;
      for (int32_t p : far)
        if (!beside[p] && static_cast<int32_t>(chosen.size()) < n_far) chosen.push_back(p);
      if (static_cast<int32_t>(chosen.size()) < n_far) continue;
      evens = near_even ? near : chosen;
      odds = near_even ? chosen : near;
      return true;
    }
  }
  return false;
}

// Labels with the groups marked `on_even` on even seats, group `split` (if
// any) on the given seats, and the others on the odd seats left.
std::vector<int32_t> Fill(const Layout& layout, const std::vector<Count>& counts,
                          const std::vector<bool>& on_even, int32_t split,
                          const std::vector<int32_t>& split_seats) {
  std::vector<int32_t> label(layout.seats, 0);
  std::vector<bool> used(layout.seats, false);
  for (int32_t p : split_seats) {
    label[p] = counts[split].label;
    used[p] = true;
  }
  auto fill = [&](const std::vector<int32_t>& seats, bool even) {
    size_t next = 0;
    for (int32_t g = 0; g < static_cast<int32_t>(counts.size()); ++g) {
      if (g == split || on_even[g] != even) continue;
      for (int32_t m = 0; m < counts[g].n; ++m) {
        while (used[seats[next]]) ++next;
        label[seats[next++]] = counts[g].label;
      }
    }
  };
  fill(layout.even, true);
  fill(layout.odd, false);
  return label;
}

// Labels for groups none of which has more members than there are even
// seats. Whole groups go on the even seats when some of them fill those
// exactly (found by subset sums) and the rest on the odd seats. Otherwise
// one group has to take seats of both kinds, which must not be neighbours.
std::vector<int32_t> ArrangeApart(const Layout& layout, const std::vector<Count>& counts) {
  const int32_t E = static_cast<int32_t>(layout.even.size());
  const int32_t G = static_cast<int32_t>(counts.size());
  const SubsetSums all(counts, E, -1);
  if (all.reaches(E)) return Fill(layout, counts, all.members(E), -1, {});
  for (int32_t t = G - 1; t >= 0; --t) {  // smaller groups split more easily
    const SubsetSums rest(counts, E, t);
    for (int32_t total = E - 1; total > E - counts[t].n && total >= 0; --total) {
      if (!rest.reaches(total)) continue;
      std::vector<int32_t> evens, odds;
      if (!FindApart(layout, E - total, counts[t].n - (E - total), evens, odds)) continue;
      evens.insert(evens.end(), odds.begin(), odds.end());
      return Fill(layout, counts, rest.members(total), t, evens);
    }
  }
  // No single group can split cleanly: the largest total of whole groups on
  // the even seats, and the smallest group left over on the last even seats
  // and the first odd ones.
  int32_t total = E;
  while (!all.reaches(total)) --total;
  const std::vector<bool> on_even = all.members(total);
  int32_t split = G - 1;
  while (on_even[split]) --split;
  std::vector<int32_t> seats(layout.even.end() - (E - total), layout.even.end());
  seats.insert(seats.end(), layout.odd.begin(),
               layout.odd.begin() + (counts[split].n - (E - total)));
  return Fill(layout, counts, on_even, split, seats);
}

// Seats for a room's groups: the label of each seat, given how many members
// each label has (the counts add up to the seats).
std::vector<int32_t> ArrangeLabels(const Layout& layout, std::vector<Count> counts,
                                   SeatRandom& rng) {
  std::vector<int32_t> label(layout.seats, 0);
  if (counts.empty()) return label;
  {
    std::vector<std::pair<uint64_t, Count>> keyed;
    keyed.reserve(counts.size());
    for (const Count& c : counts) keyed.push_back({rng.next(), c});
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
      return a.second.n != b.second.n ? a.second.n > b.second.n : a.first < b.first;
    });
    for (size_t i = 0; i < keyed.size(); ++i) counts[i] = keyed[i].second;
  }
  const int32_t E = static_cast<int32_t>(layout.even.size());
  const int32_t G = static_cast<int32_t>(counts.size());

  if (counts[0].n > E) {
    // More than half the seats: the others take seats of one parity, as
    // many neighbours as possible each, and the large group the rest.
    const int32_t others = layout.seats - counts[0].n;
    auto by_degree = [&](std::vector<int32_t> seats) {
      std::stable_sort(seats.begin(), seats.end(), [&](int32_t a, int32_t b) {
        return layout.neighbours[a].size() > layout.neighbours[b].size();
      });
      seats.resize(std::min<size_t>(seats.size(), others));
      return seats;
    };
    auto reach = [&](const std::vector<int32_t>& seats) {
      size_t n = 0;
      for (int32_t p : seats) n += layout.neighbours[p].size();
      return n;
    };
    const std::vector<int32_t> from_even = by_degree(layout.even);
    const std::vector<int32_t> from_odd = by_degree(layout.odd);
    const std::vector<int32_t>& chosen =
        static_cast<int32_t>(from_odd.size()) == others && reach(from_odd) >= reach(from_even)
            ? from_odd
            : from_even;
    std::fill(label.begin(), label.end(), counts[0].label);
    size_t next = 0;
    for (int32_t g = 1; g < G; ++g)
      for (int32_t m = 0; m < counts[g].n; ++m) label[chosen[next++]] = counts[g].label;
  } else {
    label = ArrangeApart(layout, counts);
  }
  return label;
}

// The examinees of one room in seat order, with the shared pairs that order
// leaves. Examinees without a group get labels of their own.
struct Arranged {
  std::vector<int32_t> seats;
  int32_t shared = 0;
};

Arranged ArrangeRoom(const Layout& layout, const std::vector<int32_t>& members,
                     const std::vector<int32_t>& group, SeatRandom& rng) {
  std::unordered_map<int32_t, std::vector<int32_t>> by_label;
  std::vector<int32_t> labels;  // in first-seen order, for a deterministic result
  int32_t lone = -2;
  for (int32_t i : members) {
    const int32_t l = group[i] == kNoGroup ? lone-- : group[i];
    auto [it, added] = by_label.try_emplace(l);
    if (added) labels.push_back(l);
    it->second.push_back(i);
  }
  std::vector<Count> counts;
  counts.reserve(labels.size());
  for (int32_t l : labels) counts.push_back({l, static_cast<int32_t>(by_label[l].size())});
  const std::vector<int32_t> label = ArrangeLabels(layout, counts, rng);
  for (int32_t l : labels) rng.shuffle(by_label[l]);
  std::unordered_map<int32_t, size_t> next;
  Arranged out;
  out.seats.reserve(members.size());
  for (int32_t l : label) out.seats.push_back(by_label[l][next[l]++]);
  out.shared = SharedPairs(layout, label);
  return out;
}

// The spread of the free examinees: how many of each group a room should
// get. A group's share of a room is its free members times the room's free
// seats over all free seats; a room gets the share rounded down plus, for
// some groups, one more, so that every room is exactly full.
class Spread {
 public:
  Spread(std::vector<int64_t> members, std::vector<int64_t> seats)
      : members_(std::move(members)), seats_(std::move(seats)) {
    total_ = std::accumulate(seats_.begin(), seats_.end(), int64_t{0});
  }
  int64_t floor(int32_t g, int32_t r) const {
    return total_ == 0 ? 0 : members_[g] * seats_[r] / total_;
  }
  bool exact(int32_t g, int32_t r) const {
    return total_ == 0 || members_[g] * seats_[r] % total_ == 0;
  }
  int64_t ceil(int32_t g, int32_t r) const { return floor(g, r) + (exact(g, r) ? 0 : 1); }
  double share(int32_t g, int32_t r) const {
    return total_ == 0 ? 0.0 : static_cast<double>(members_[g]) * seats_[r] / total_;
  }

  // count[r]: (group, count) of every group a room gets.
  std::vector<std::vector<std::pair<int32_t, int32_t>>> counts(SeatRandom& rng) const {
    const int32_t G = static_cast<int32_t>(members_.size());
    const int32_t R = static_cast<int32_t>(seats_.size());
    std::vector<std::vector<std::pair<int32_t, int32_t>>> out(R);
    std::vector<int64_t> left(seats_);
    std::vector<int64_t> extra(G);
    // Rooms grouped by free seats: most rooms have the same number.
    std::map<int64_t, std::vector<int32_t>> rooms_with;
    for (int32_t r = 0; r < R; ++r) rooms_with[seats_[r]].push_back(r);
    const int64_t most = R == 0 ? 0 : rooms_with.rbegin()->first;
    for (int32_t g = 0; g < G; ++g) {
      extra[g] = members_[g];
      if (total_ == 0 || members_[g] * most < total_) continue;
      for (const auto& [seats, rooms] : rooms_with) {
        const int64_t n = members_[g] * seats / total_;
        if (n == 0) continue;
        for (int32_t r : rooms) {
          out[r].push_back({g, static_cast<int32_t>(n)});
          left[r] -= n;
          extra[g] -= n;
        }
      }
    }
    // One more member for `extra[g]` distinct rooms per group, among the
    // rooms where its share is not whole, to rooms with the most seats left
    // first. Such a choice exists (the shares themselves are one, in
    // fractions); when the greedy pass misses it for a group, a search for
    // a chain of rooms that pass an extra member on finds it.
    int64_t top = 0;
    for (int32_t r = 0; r < R; ++r) top = std::max(top, left[r]);
    std::vector<std::vector<int32_t>> bucket(top + 1);
    std::vector<int32_t> order(R);
    std::iota(order.begin(), order.end(), 0);
    rng.shuffle(order);
    for (int32_t r : order) bucket[left[r]].push_back(r);
    std::vector<int32_t> groups(G);
    std::iota(groups.begin(), groups.end(), 0);
    rng.shuffle(groups);
    std::vector<std::vector<int32_t>> extra_in(R);  // groups with one more in a room
    std::vector<std::pair<int32_t, int64_t>> missing;
    std::vector<int32_t> taken;
    for (int32_t g : groups) {
      int64_t need = extra[g];
      taken.clear();
      for (int64_t d = top; d > 0 && need > 0; --d) {
        std::vector<int32_t>& b = bucket[d];
        for (size_t i = 0; i < b.size() && need > 0;) {
          if (exact(g, b[i])) {
            ++i;
            continue;
          }
          taken.push_back(b[i]);
          b[i] = b.back();
          b.pop_back();
          --need;
        }
      }
      for (int32_t r : taken) {
        --left[r];
        bucket[left[r]].push_back(r);
        extra_in[r].push_back(g);
      }
      if (need > 0) missing.push_back({g, need});
    }
    for (const auto& [g, need] : missing)
      for (int64_t k = 0; k < need; ++k) PassOn(g, left, extra_in);

    for (int32_t r = 0; r < R; ++r) {
      auto& list = out[r];
      for (int32_t g : extra_in[r]) {
        auto it =
            std::find_if(list.begin(), list.end(), [g](const auto& e) { return e.first == g; });
        if (it == list.end()) {
          list.push_back({g, 1});
        } else {
          ++it->second;
        }
      }
    }
    return out;
  }

 private:
  static bool Holds(const std::vector<int32_t>& groups, int32_t g) {
    return std::find(groups.begin(), groups.end(), g) != groups.end();
  }

  // Gives group g one more member in some room: directly in a room with a
  // seat left, or along a chain g -> r1 -> g1 -> r2 -> ... where g takes r1
  // from g1, which takes r2 instead, and so on, up to a room with a seat
  // left (an augmenting path, found breadth first).
  void PassOn(int32_t g, std::vector<int64_t>& left,
              std::vector<std::vector<int32_t>>& extra_in) const {
    const int32_t G = static_cast<int32_t>(members_.size());
    const int32_t R = static_cast<int32_t>(seats_.size());
    std::vector<int32_t> wanted_by(R, -1), reached_from(G, -1);
    std::vector<bool> seen(G, false);
    std::vector<int32_t> queue{g};
    seen[g] = true;
    int32_t found = -1;
    for (size_t at = 0; at < queue.size() && found < 0; ++at) {
      const int32_t x = queue[at];
      for (int32_t r = 0; r < R && found < 0; ++r) {
        if (wanted_by[r] >= 0 || exact(x, r) || Holds(extra_in[r], x)) continue;
        wanted_by[r] = x;
        if (left[r] > 0) {
          found = r;
          break;
        }
        for (int32_t y : extra_in[r]) {
          if (seen[y]) continue;
          seen[y] = true;
          reached_from[y] = r;
          queue.push_back(y);
        }
      }
    }
    if (found < 0) {
      // Cannot happen for shares that add up; a room with a seat left
      // still takes the member rather than leave a seat empty.
      for (int32_t r = 0; r < R && found < 0; ++r)
        if (left[r] > 0 && !Holds(extra_in[r], g)) found = r;
      if (found < 0) return;
      wanted_by[found] = g;
    }
    --left[found];
    for (int32_t r = found;;) {
      const int32_t x = wanted_by[r];
      extra_in[r].push_back(x);
      if (x == g) break;
      const int32_t given_up = reached_from[x];
      auto& list = extra_in[given_up];
      list.erase(std::find(list.begin(), list.end(), x));
      r = given_up;
    }
  }

  std::vector<int64_t> members_;
  std::vector<int64_t> seats_;
  int64_t total_ = 0;
};

// Dense group numbers 0..G-1 for the groups that occur, and G for those
// without a group, so the spread treats them as one more group.
struct DenseGroups {
  std::vector<int32_t> of;  // per examinee
  int32_t count = 0;        // G + 1
};

DenseGroups Densify(const std::vector<int32_t>& group, int32_t n) {
  DenseGroups d;
  d.of.assign(n, 0);
  std::unordered_map<int32_t, int32_t> number;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t g = i < static_cast<int32_t>(group.size()) ? group[i] : kNoGroup;
    if (g == kNoGroup) continue;
    auto [it, added] = number.try_emplace(g, static_cast<int32_t>(number.size()));
    d.of[i] = it->second;
  }
  const int32_t none = static_cast<int32_t>(number.size());
  for (int32_t i = 0; i < n; ++i) {
    const int32_t g = i < static_cast<int32_t>(group.size()) ? group[i] : kNoGroup;
    if (g == kNoGroup) d.of[i] = none;
  }
  d.count = none + 1;
  return d;
}

class KeepApart {
 public:
  KeepApart(const SeatOrderRequest& q, SeatRandom& rng)
      : q_(q), rng_(rng), R_(static_cast<int32_t>(q.rooms.size())) {
    const int32_t n = q.examinees;
    group_.assign(n, kNoGroup);
    for (int32_t i = 0; i < n && i < static_cast<int32_t>(q.group.size()); ++i)
      group_[i] = q.group[i];
    dense_ = Densify(q.group, n);
    members_.assign(R_ + 1, {});
    free_.assign(n, true);
    int64_t seated = 0;
    for (const RoomLayout& room : q.rooms) seated += room.seats;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t r = i < static_cast<int32_t>(q.fixed_room.size()) ? q.fixed_room[i] : kNoRoom;
      if (r == kNoRoom) continue;
      members_[r].push_back(i);
      free_[i] = false;
    }
    std::vector<int64_t> group_free(dense_.count, 0);
    std::vector<std::vector<int32_t>> pool(dense_.count);
    for (int32_t i = 0; i < n; ++i) {
      if (!free_[i]) continue;
      ++group_free[dense_.of[i]];
      pool[dense_.of[i]].push_back(i);
    }
    std::vector<int64_t> room_free(R_ + 1);
    for (int32_t r = 0; r < R_; ++r)
      room_free[r] = q.rooms[r].seats - static_cast<int64_t>(members_[r].size());
    room_free[R_] = n - seated;
    spread_ = std::make_unique<Spread>(group_free, room_free);

    for (auto& p : pool) rng_.shuffle(p);
    std::vector<size_t> next(dense_.count, 0);
    count_.assign(R_ + 1, {});
    const auto counts = spread_->counts(rng_);
    for (int32_t r = 0; r <= R_; ++r) {
      for (const auto& [g, k] : counts[r]) {
        for (int32_t m = 0; m < k; ++m) members_[r].push_back(pool[g][next[g]++]);
        count_[r][g] += k;
      }
    }
  }

  std::vector<int32_t> order() {
    arranged_.resize(R_);
    for (int32_t r = 0; r < R_; ++r) arranged_[r] = Arrange(r);
    Repair();
    std::vector<int32_t> out;
    out.reserve(q_.examinees);
    for (int32_t r = 0; r < R_; ++r)
      out.insert(out.end(), arranged_[r].seats.begin(), arranged_[r].seats.end());
    std::vector<int32_t> rest = members_[R_];
    rng_.shuffle(rest);
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
  }

 private:
  Arranged Arrange(int32_t r) {
    return ArrangeRoom(layouts_.of(q_.rooms[r]), members_[r], group_, rng_);
  }

  int32_t CountOf(int32_t r, int32_t g) const {
    auto it = count_[r].find(g);
    return it == count_[r].end() ? 0 : it->second;
  }
  bool CanLose(int32_t r, int32_t g) const { return CountOf(r, g) > spread_->floor(g, r); }
  bool CanGain(int32_t r, int32_t g) const { return CountOf(r, g) < spread_->ceil(g, r); }

  // A free member of group g in room r, or -1.
  int32_t FreeMember(int32_t r, int32_t g) const {
    for (int32_t i : members_[r])
      if (free_[i] && dense_.of[i] == g) return i;
    return -1;
  }

  void Exchange(int32_t r, int32_t a, int32_t s, int32_t b) {
    auto& mr = members_[r];
    auto& ms = members_[s];
    *std::find(mr.begin(), mr.end(), a) = b;
    *std::find(ms.begin(), ms.end(), b) = a;
    const int32_t ga = dense_.of[a], gb = dense_.of[b];
    --count_[r][ga];
    ++count_[r][gb];
    --count_[s][gb];
    ++count_[s][ga];
  }

  // Rooms that still seat neighbours of one group try exchanging one free
  // member with another room, keeping every group within its share, when
  // that lowers the shared pairs of the two rooms together.
  void Repair() {
    constexpr int kRounds = 3;
    constexpr int32_t kAllRooms = 64;
    constexpr int32_t kSampledRooms = 32;
    for (int round = 0; round < kRounds; ++round) {
      bool improved = false;
      for (int32_t r = 0; r < R_; ++r) {
        if (arranged_[r].shared == 0) continue;
        std::vector<int32_t> partners;
        if (R_ + 1 <= kAllRooms) {
          for (int32_t s = 0; s <= R_; ++s)
            if (s != r) partners.push_back(s);
        } else {
          partners.push_back(R_);
          for (int32_t k = 0; k < kSampledRooms; ++k) {
            const int32_t s = static_cast<int32_t>(rng_.below(R_));
            if (s != r) partners.push_back(s);
          }
        }
        improved = TryPartners(r, partners) || improved;
      }
      if (!improved) return;
    }
  }

  bool TryPartners(int32_t r, const std::vector<int32_t>& partners) {
    bool improved = false;
    for (int32_t s : partners) {
      if (arranged_[r].shared == 0) break;
      improved = TryExchange(r, s) || improved;
    }
    return improved;
  }

  // The first exchange between rooms r and s that lowers their shared pairs.
  bool TryExchange(int32_t r, int32_t s) {
    const std::map<int32_t, int32_t> here(count_[r].begin(), count_[r].end());
    const std::map<int32_t, int32_t> there(count_[s].begin(), count_[s].end());
    for (const auto& [g, ng] : here) {
      if (ng == 0 || !CanLose(r, g) || !CanGain(s, g)) continue;
      const int32_t a = FreeMember(r, g);
      if (a < 0) continue;
      for (const auto& [h, nh] : there) {
        if (h == g || nh == 0 || !CanLose(s, h) || !CanGain(r, h)) continue;
        const int32_t b = FreeMember(s, h);
        if (b < 0) continue;
        const int32_t before = arranged_[r].shared + Shared(s);
        Exchange(r, a, s, b);
        Arranged ar = Arrange(r);
        Arranged as = s < R_ ? Arrange(s) : Arranged{};
        if (ar.shared + as.shared < before) {
          arranged_[r] = std::move(ar);
          if (s < R_) arranged_[s] = std::move(as);
          return true;
        }
        Exchange(r, b, s, a);
      }
    }
    return false;
  }

  int32_t Shared(int32_t r) const { return r < R_ ? arranged_[r].shared : 0; }

  const SeatOrderRequest& q_;
  SeatRandom& rng_;
  int32_t R_;
  std::vector<int32_t> group_;
  DenseGroups dense_;
  std::vector<bool> free_;
  std::vector<std::vector<int32_t>> members_;  // per room, the last for those without one
  std::vector<std::unordered_map<int32_t, int32_t>> count_;  // free members per group
  std::unique_ptr<Spread> spread_;
  std::vector<Arranged> arranged_;
  Layouts layouts_;
};

// Combinations kept together: the free examinees one combination after
// another, each in random (or sheet) order, filling the rooms around those
// fixed in them; with keep-apart each room's seats are arranged so its
// groups sit apart, as far as the room's members allow.
std::vector<int32_t> CombinationsTogether(const SeatOrderRequest& q, SeatRandom& rng) {
  const int32_t n = q.examinees;
  const int32_t R = static_cast<int32_t>(q.rooms.size());
  std::map<int32_t, std::vector<int32_t>> by_rank;  // kNoGroup sorts first: moved last below
  std::vector<std::vector<int32_t>> fixed(R);
  for (int32_t i = 0; i < n; ++i) {
    const int32_t r = i < static_cast<int32_t>(q.fixed_room.size()) ? q.fixed_room[i] : kNoRoom;
    if (r != kNoRoom) {
      fixed[r].push_back(i);
      continue;
    }
    const int32_t c = i < static_cast<int32_t>(q.combination.size()) ? q.combination[i] : kNoGroup;
    by_rank[c].push_back(i);
  }
  std::vector<int32_t> free;
  free.reserve(n);
  auto take = [&](std::vector<int32_t>& members) {
    if (q.random) rng.shuffle(members);
    free.insert(free.end(), members.begin(), members.end());
  };
  for (auto& [rank, members] : by_rank)
    if (rank != kNoGroup) take(members);
  if (auto none = by_rank.find(kNoGroup); none != by_rank.end()) take(none->second);

  std::vector<int32_t> group(n, kNoGroup);
  if (q.keep_apart)
    for (int32_t i = 0; i < n && i < static_cast<int32_t>(q.group.size()); ++i)
      group[i] = q.group[i];
  Layouts layouts;
  std::vector<int32_t> out;
  out.reserve(n);
  size_t next = 0;
  for (int32_t r = 0; r < R; ++r) {
    std::vector<int32_t> room = fixed[r];
    const size_t seats = static_cast<size_t>(std::max(q.rooms[r].seats, 0));
    while (room.size() < seats && next < free.size()) room.push_back(free[next++]);
    if (q.keep_apart && !room.empty()) {
      RoomLayout layout = q.rooms[r];
      layout.seats = static_cast<int32_t>(room.size());
      room = ArrangeRoom(layouts.of(layout), room, group, rng).seats;
    } else if (!fixed[r].empty() && q.random) {
      rng.shuffle(room);
    }
    out.insert(out.end(), room.begin(), room.end());
  }
  out.insert(out.end(), free.begin() + static_cast<std::ptrdiff_t>(next), free.end());
  return out;
}

}  // namespace

std::vector<int32_t> OrderSeats(const SeatOrderRequest& q) {
  const int32_t n = q.examinees;
  const int32_t R = static_cast<int32_t>(q.rooms.size());
  SeatRandom rng(q.seed);
  if (!q.combination.empty()) return CombinationsTogether(q, rng);
  if (q.random && q.keep_apart) return KeepApart(q, rng).order();

  std::vector<std::vector<int32_t>> fixed(R);
  std::vector<int32_t> free;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t r = i < static_cast<int32_t>(q.fixed_room.size()) ? q.fixed_room[i] : kNoRoom;
    if (r == kNoRoom) {
      free.push_back(i);
    } else {
      fixed[r].push_back(i);
    }
  }
  if (q.random) rng.shuffle(free);
  std::vector<int32_t> out;
  out.reserve(n);
  size_t next = 0;
  for (int32_t r = 0; r < R; ++r) {
    std::vector<int32_t> room = fixed[r];
    const size_t seats = static_cast<size_t>(std::max(q.rooms[r].seats, 0));
    while (room.size() < seats && next < free.size()) room.push_back(free[next++]);
    if (!fixed[r].empty()) {
      if (q.random) {
        rng.shuffle(room);
      } else {
        std::sort(room.begin(), room.end());
      }
    }
    out.insert(out.end(), room.begin(), room.end());
  }
  out.insert(out.end(), free.begin() + static_cast<std::ptrdiff_t>(next), free.end());
  return out;
}

SeatingCheck CheckSeating(const SeatOrderRequest& q, const std::vector<int32_t>& order) {
  SeatingCheck check;
  const int32_t n = q.examinees;
  const int32_t R = static_cast<int32_t>(q.rooms.size());
  auto group_of = [&](int32_t i) {
    return i < static_cast<int32_t>(q.group.size()) ? q.group[i] : kNoGroup;
  };
  auto fixed_of = [&](int32_t i) {
    return i < static_cast<int32_t>(q.fixed_room.size()) ? q.fixed_room[i] : kNoRoom;
  };
  const DenseGroups dense = Densify(q.group, n);
  std::vector<std::unordered_map<int32_t, int32_t>> present(R + 1);
  std::vector<int64_t> group_free(dense.count, 0), room_free(R + 1, 0);

  size_t at = 0;
  for (int32_t r = 0; r <= R; ++r) {
    const int32_t seats = r < R ? std::max(q.rooms[r].seats, 0)
                                : static_cast<int32_t>(order.size() - std::min(at, order.size()));
    std::vector<int32_t> label(seats);
    std::unordered_map<int32_t, int32_t> size;
    int32_t lone = -2;
    for (int32_t p = 0; p < seats && at < order.size(); ++p, ++at) {
      const int32_t i = order[at];
      label[p] = group_of(i) == kNoGroup ? lone-- : group_of(i);
      if (group_of(i) != kNoGroup) ++size[group_of(i)];
      if (fixed_of(i) == kNoRoom) {
        ++present[r][dense.of[i]];
        ++group_free[dense.of[i]];
        ++room_free[r];
      }
    }
    if (r == R) break;
    RoomCheck room;
    room.examinees = seats;
    room.groups = static_cast<int32_t>(size.size());
    for (const auto& [g, k] : size) room.largest_group = std::max(room.largest_group, k);
    for (const auto& [p, qq] : NeighbourPairs(q.rooms[r]))
      room.shared_pairs += label[p] == label[qq] ? 1 : 0;
    room.crowded = room.largest_group > (seats + 1) / 2;
    check.shared_pairs += room.shared_pairs;
    check.rooms.push_back(room);
  }
  if (q.group.empty()) return check;

  const Spread spread(group_free, room_free);
  for (int32_t r = 0; r <= R; ++r)
    for (const auto& [g, k] : present[r])
      check.largest_deviation = std::max(check.largest_deviation, std::abs(k - spread.share(g, r)));
  // A group absent from a room misses its whole share there; the largest
  // such share is in the room with the most free seats that lacks it.
  std::vector<int32_t> by_seats(R + 1);
  std::iota(by_seats.begin(), by_seats.end(), 0);
  std::stable_sort(by_seats.begin(), by_seats.end(),
                   [&](int32_t a, int32_t b) { return room_free[a] > room_free[b]; });
  std::vector<std::vector<int32_t>> rooms_of(dense.count);
  for (int32_t r = 0; r <= R; ++r)
    for (const auto& [g, k] : present[r]) rooms_of[g].push_back(r);
  std::vector<int32_t> mark(R + 1, -1);
  for (int32_t g = 0; g < dense.count; ++g) {
    for (int32_t r : rooms_of[g]) mark[r] = g;
    for (int32_t r : by_seats) {
      if (mark[r] == g) continue;
      check.largest_deviation = std::max(check.largest_deviation, spread.share(g, r));
      break;
    }
  }
  return check;
}

}  // namespace kelv::arrange
