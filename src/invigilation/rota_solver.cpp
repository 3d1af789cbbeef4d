#include "invigilation/rota_solver.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <optional>
#include <string>
#include <utility>

namespace kelv::invigilation {

uint64_t SeedSequence::next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

namespace {

constexpr int32_t kNone = -1;
// How much a half-day more weighs against one room had twice.
constexpr int32_t kHalfDayWeight = 3;
constexpr int32_t kImprovementPasses = 8;
// Rooms of a sitting beyond which its assignment is left to the swaps (the
// exact settling costs the cube of the rooms).
constexpr int32_t kSettleRoomsUpTo = 120;
constexpr int32_t kNoEdge = 1 << 20;

enum class Kind : uint8_t { Free, Fixed, Required };

template <class T>
void shuffle(std::vector<T>& v, SeedSequence& rng) {
  for (size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[rng.below(i)]);
}

// The flow network of the header, kept implicitly: a teacher's unit in a
// sitting is at_[t * S + s] (the room, or kNone), so the residual arcs are
// read off the rota itself. Node numbers of the search: teacher t is t,
// the pair (t, s) is T + t * S + s, room k is T + T * S + k.
class Search {
 public:
  Search(const RotaModel& m, const Rules& rules, uint64_t seed)
      : m_(m),
        mask_(rules.mask()),
        T_(m.teacher_count()),
        S_(m.sitting_count()),
        K_(m.room_count()),
        H_(std::max<int32_t>(1, static_cast<int32_t>(m.half_days.size()))),
        rng_(seed) {
    need_.resize(K_);
    filled_.assign(K_, 0);
    occ_.resize(K_);
    place_.resize(K_);
    std::map<std::string, int32_t> places;
    for (int32_t k = 0; k < K_; ++k) {
      need_[k] = m.rooms[k].need;
      place_[k] =
          places.emplace(m.rooms[k].name, static_cast<int32_t>(places.size())).first->second;
    }
    half_.resize(S_);
    half_size_.assign(H_, 0);
    rooms_of_.resize(S_);
    free_.resize(S_);
    left_.resize(S_);
    left_stamp_.assign(S_, 0);
    remaining_.assign(S_, 0);
    for (int32_t s = 0; s < S_; ++s) {
      half_[s] = std::clamp(m.sittings[s].half_day, 0, H_ - 1);
      ++half_size_[half_[s]];
      for (int32_t k = m.sittings[s].first_room; k < m.sittings[s].end_room; ++k) {
        rooms_of_[s].push_back(k);
        remaining_[s] += need_[k];
      }
      shuffle(rooms_of_[s], rng_);
    }
    free_pos_.assign(K_, kNone);
    for (int32_t s = 0; s < S_; ++s)
      for (int32_t k : rooms_of_[s])
        if (need_[k] > 0) add_free(s, k);

    const size_t pairs = static_cast<size_t>(T_) * S_;
    at_.assign(pairs, kNone);
    kind_.assign(pairs, Kind::Free);
    allowed_.assign(pairs, kNone);
    can_.assign(pairs, 0);
    tie_.resize(pairs);
    for (uint64_t& v : tie_) v = rng_.next();
    load_.assign(T_, 0);
    base_.assign(T_, 0);
    cap_.assign(T_, 0);
    most_.assign(T_, 0);
    halves_.assign(T_, 0);
    half_count_.assign(static_cast<size_t>(T_) * H_, 0);
    for (int32_t t = 0; t < T_; ++t)
      for (int32_t s = 0; s < S_; ++s)
        for (int32_t k : rooms_of_[s])
          if ((m.bar(k, t) & mask_) == 0) {
            can_[idx(t, s)] = 1;
            break;
          }
    rotation_.resize(T_);
    std::iota(rotation_.begin(), rotation_.end(), 0);
    shuffle(rotation_, rng_);
    max_duties_.resize(T_);
    for (int32_t t = 0; t < T_; ++t)
      max_duties_[t] =
          rules.max_duties && m.teachers[t].max_duties ? *m.teachers[t].max_duties : S_;

    const size_t nodes = static_cast<size_t>(T_) + pairs + static_cast<size_t>(K_);
    stamp_.assign(nodes, 0);
    parent_.assign(nodes, kNone);
  }

  // Typed duties, kept where they are. False when two of them clash (the
  // reader refuses such a workbook first).
  bool place_fixed() {
    for (const FixedDuty& f : m_.fixed) {
      const int32_t s = m_.rooms[f.room].sitting;
      if (at_[idx(f.teacher, s)] != kNone) return false;
      kind_[idx(f.teacher, s)] = Kind::Fixed;
      assign(f.teacher, s, f.room);
      ++base_[f.teacher];
      if (filled_[f.room] > need_[f.room]) return false;
    }
    return true;
  }

  // 必监考 duties. Entries of one teacher that one duty can meet share it
  // (a sitting and a room in it); each entry otherwise gets a sitting of
  // its own, tried in seeded order until a path to a room is found. False,
  // with the entry in *failed, when one cannot be met.
  bool place_required(int32_t* failed) {
    struct Pin {
      int32_t teacher, sitting;
      std::vector<int32_t> rooms;  // sorted
      std::vector<int32_t> entries;
      std::vector<int32_t> alternatives;  // other sittings for a single entry
    };
    std::vector<Pin> pins;
    for (int32_t i = 0; i < static_cast<int32_t>(m_.required.size()); ++i) {
      const RequiredDuty& r = m_.required[i];
      const int32_t t = r.teacher;
      bool met = false;
      for (int32_t k : r.rooms)
        met = met || (at_[idx(t, m_.rooms[k].sitting)] == k &&
                      kind_[idx(t, m_.rooms[k].sitting)] == Kind::Fixed);
      if (met) continue;
      std::map<int32_t, std::vector<int32_t>> by_sitting;
      for (int32_t k : r.rooms)
        if ((m_.bar(k, t) & mask_) == 0) by_sitting[m_.rooms[k].sitting].push_back(k);
      bool merged = false;
      for (Pin& p : pins) {
        if (p.teacher != t || !by_sitting.count(p.sitting)) continue;
        std::vector<int32_t> both;
        std::vector<int32_t> mine = by_sitting[p.sitting];
        std::sort(mine.begin(), mine.end());
        std::set_intersection(p.rooms.begin(), p.rooms.end(), mine.begin(), mine.end(),
                              std::back_inserter(both));
        if (both.empty()) continue;
        p.rooms = std::move(both);
        p.entries.push_back(i);
        p.alternatives.clear();
        merged = true;
        break;
      }
      if (merged) continue;
      std::vector<int32_t> options;
      for (const auto& [s, rooms] : by_sitting) {
        bool taken = at_[idx(t, s)] != kNone;
        for (const Pin& p : pins) taken = taken || (p.teacher == t && p.sitting == s);
        if (!taken) options.push_back(s);
      }
      if (options.empty()) {
        *failed = i;
        return false;
      }
      shuffle(options, rng_);
      Pin p{t, options[0], by_sitting[options[0]], {i}, {options.begin() + 1, options.end()}};
      std::sort(p.rooms.begin(), p.rooms.end());
      pins.push_back(std::move(p));
    }
    for (Pin& p : pins) {
      const int32_t t = p.teacher;
      for (;;) {
        const size_t pair = idx(t, p.sitting);
        kind_[pair] = Kind::Required;
        allowed_[pair] = static_cast<int32_t>(allowed_sets_.size());
        allowed_sets_.push_back(p.rooms);
        if (augment({node_of(t, p.sitting)})) {
          ++base_[t];
          break;
        }
        kind_[pair] = Kind::Free;
        allowed_[pair] = kNone;
        if (p.alternatives.empty()) {
          *failed = p.entries.front();
          return false;
        }
        p.sitting = p.alternatives.front();
        p.alternatives.erase(p.alternatives.begin());
        p.rooms.clear();
        for (int32_t k : m_.required[p.entries.front()].rooms)
          if (m_.rooms[k].sitting == p.sitting && (m_.bar(k, t) & mask_) == 0) p.rooms.push_back(k);
        std::sort(p.rooms.begin(), p.rooms.end());
      }
    }
    for (int32_t t = 0; t < T_; ++t)
      if (base_[t] > max_duties_[t]) {
        for (int32_t i = 0; i < static_cast<int32_t>(m_.required.size()); ++i)
          if (m_.required[i].teacher == t) *failed = i;
        return false;
      }
    return true;
  }

  // Raises the teachers' capacities a level at a time until every room is
  // full; false when even the highest level leaves rooms short.
  // Every teacher up to all they may take, fairness aside: the maximum flow.
  void fill_all() {
    set_most();
    for (int32_t t = 0; t < T_; ++t) cap_[t] = most_[t] - base_[t];
    fill_at_level();
  }

  bool fill() {
    set_most();
    const int64_t total = m_.total_need();
    int32_t top = 0;
    for (int32_t t = 0; t < T_; ++t) top = std::max(top, most_[t]);
    // The lowest level whose capacities add up to the need at all.
    int32_t level = 0;
    while (level < top && capacity_at(level) < total) ++level;
    for (level = std::max(0, level - 1); level <= top; ++level) {
      for (int32_t t = 0; t < T_; ++t) cap_[t] = std::max(0, std::min(most_[t], level) - base_[t]);
      fill_at_level();
      if (placed() == total) {
        rebalance();
        return true;
      }
    }
    return false;
  }

  // Within each group of the same 最多场数 the levels leave counts within
  // one wherever the rules let them; where a group's counts still differ
  // by two or more, its least-loaded teacher takes a duty over from a
  // teacher at the top of their own group (so no group widens), along a
  // path of moves that keeps every room full.
  void rebalance() {
    std::vector<bool> stuck(T_, false);
    for (int32_t moves = 0; moves < 4 * T_ + 16; ++moves) {
      group_ranges();
      int32_t receiver = kNone;
      for (int32_t t : rotation_) {
        if (stuck[t] || m_.teachers[t].outside || load_[t] >= most_[t]) continue;
        const auto& [low, high] = range_of_[group_[t]];
        if (load_[t] == low && high - low >= 2) {
          receiver = t;
          break;
        }
      }
      if (receiver == kNone) return;
      if (augment({receiver}, receiver))
        cap_[receiver] = std::max(cap_[receiver], load_[receiver] - base_[receiver]);
      else
        stuck[receiver] = true;
    }
  }

  // The groups of the same 最多场数 and each one's fewest and most duties.
  void group_ranges() {
    if (group_.empty()) {
      std::map<std::optional<int32_t>, int32_t> ids;
      group_.resize(T_);
      for (int32_t t = 0; t < T_; ++t)
        group_[t] = ids.emplace(m_.teachers[t].max_duties, static_cast<int32_t>(ids.size()))
                        .first->second;
      range_of_.resize(ids.size());
    }
    std::fill(range_of_.begin(), range_of_.end(), std::pair(1 << 20, -1));
    for (int32_t t = 0; t < T_; ++t) {
      if (m_.teachers[t].outside) continue;
      auto& [low, high] = range_of_[group_[t]];
      low = std::min(low, load_[t]);
      high = std::max(high, load_[t]);
    }
  }

  // May t give a duty to `receiver`? Only from the top of t's own group,
  // and within the receiver's group only to close a gap of two or more.
  bool donor(int32_t t, int32_t receiver) const {
    if (m_.teachers[t].outside) return false;
    if (load_[t] != range_of_[group_[t]].second) return false;
    if (group_[t] == group_[receiver]) return load_[t] >= load_[receiver] + 2;
    return true;
  }

  // The local search: exchanges and hand-overs of single duties and room
  // swaps within a sitting, each taken only when it lowers the cost (a
  // half-day counts kHalfDayWeight, a room had again one) and never
  // changing a count the fairness rests on.
  void improve() {
    if (S_ < 2) return;
    repeats_.resize(T_);
    for (int32_t t = 0; t < T_; ++t) repeats_[t] = repeats(t);
    for (int32_t pass = 0; pass < kImprovementPasses; ++pass) {
      bool better = false;
      for (int32_t t : rotation_)
        for (int32_t s = 0; s < S_; ++s) {
          const size_t p = idx(t, s);
          if (at_[p] == kNone || kind_[p] != Kind::Free) continue;
          const bool lone = half_size_[half_[s]] > 1 && half_count(t, half_[s]) == 1;
          if (!lone && times_in(t, place_[at_[p]]) < 2) continue;
          better = improve_duty(t, s) || better;
        }
      if (!better) break;
    }
    for (int32_t round = 0; round < 2; ++round)
      for (int32_t s = 0; s < S_; ++s) settle_rooms(s);
  }

  int64_t placed() const {
    int64_t n = 0;
    for (int32_t f : filled_) n += f;
    return n;
  }

  std::vector<int32_t> short_by() const {
    std::vector<int32_t> out(K_);
    for (int32_t k = 0; k < K_; ++k) out[k] = std::max(0, need_[k] - filled_[k]);
    return out;
  }

  Rota rota() const {
    Rota r;
    r.roles.resize(K_);
    for (int32_t k = 0; k < K_; ++k) r.roles[k].assign(std::max(0, need_[k]), kNone);
    for (const FixedDuty& f : m_.fixed)
      if (f.role < static_cast<int32_t>(r.roles[f.room].size()))
        r.roles[f.room][f.role] = f.teacher;
    std::vector<std::vector<int32_t>> others(K_);
    for (int32_t t = 0; t < T_; ++t)
      for (int32_t s = 0; s < S_; ++s) {
        const size_t p = idx(t, s);
        if (at_[p] != kNone && kind_[p] != Kind::Fixed) others[at_[p]].push_back(t);
      }
    for (int32_t k = 0; k < K_; ++k) {
      std::sort(others[k].begin(), others[k].end(), [this](int32_t a, int32_t b) {
        return std::pair(m_.teachers[a].row, a) < std::pair(m_.teachers[b].row, b);
      });
      size_t next = 0;
      for (int32_t& role : r.roles[k])
        if (role == kNone && next < others[k].size()) role = others[k][next++];
    }
    r.duties = load_;
    r.half_days = halves_;
    for (int32_t t = 0; t < T_; ++t) r.repeated_rooms += repeats(t);
    return r;
  }

 private:
  size_t idx(int32_t t, int32_t s) const { return static_cast<size_t>(t) * S_ + s; }
  int32_t node_of(int32_t t, int32_t s) const { return T_ + static_cast<int32_t>(idx(t, s)); }
  int32_t room_node(int32_t k) const { return T_ + T_ * S_ + k; }
  int16_t half_count(int32_t t, int32_t h) const {
    return half_count_[static_cast<size_t>(t) * H_ + h];
  }

  bool eligible(int32_t t, int32_t k) const {
    if ((m_.bar(k, t) & mask_) != 0) return false;
    const int32_t a = allowed_[idx(t, m_.rooms[k].sitting)];
    if (a == kNone) return true;
    const std::vector<int32_t>& set = allowed_sets_[a];
    return std::binary_search(set.begin(), set.end(), k);
  }

  // The most duties each teacher may have: 最多场数, and no more than the
  // sittings with a room they may take.
  void set_most() {
    for (int32_t t = 0; t < T_; ++t) {
      int32_t sittings = 0;
      for (int32_t s = 0; s < S_; ++s)
        sittings += can_[idx(t, s)] != 0 || kind_[idx(t, s)] != Kind::Free ? 1 : 0;
      most_[t] = std::max(base_[t], std::min(max_duties_[t], sittings));
    }
  }

  int64_t capacity_at(int32_t level) const {
    int64_t n = 0;
    for (int32_t t = 0; t < T_; ++t) n += std::max(base_[t], std::min(most_[t], level));
    return n;
  }

  void add_free(int32_t s, int32_t k) {
    free_pos_[k] = static_cast<int32_t>(free_[s].size());
    free_[s].push_back(k);
  }
  void remove_free(int32_t s, int32_t k) {
    const int32_t pos = free_pos_[k];
    const int32_t last = free_[s].back();
    free_[s][pos] = last;
    free_pos_[last] = pos;
    free_[s].pop_back();
    free_pos_[k] = kNone;
  }

  void assign(int32_t t, int32_t s, int32_t k) {
    at_[idx(t, s)] = k;
    if (++filled_[k] == need_[k]) remove_free(s, k);
    --remaining_[s];
    ++load_[t];
    if (half_count_[static_cast<size_t>(t) * H_ + half_[s]]++ == 0) ++halves_[t];
    if (kind_[idx(t, s)] != Kind::Fixed) occ_[k].push_back(t);
  }
  void unassign(int32_t t, int32_t s) {
    const int32_t k = at_[idx(t, s)];
    at_[idx(t, s)] = kNone;
    if (filled_[k]-- == need_[k]) add_free(s, k);
    ++remaining_[s];
    --load_[t];
    if (--half_count_[static_cast<size_t>(t) * H_ + half_[s]] == 0) --halves_[t];
    std::vector<int32_t>& o = occ_[k];
    o.erase(std::find(o.begin(), o.end(), t));
  }

  int32_t times_in(int32_t t, int32_t place) const {
    int32_t n = 0;
    for (int32_t s = 0; s < S_; ++s) {
      const int32_t k = at_[idx(t, s)];
      n += k != kNone && place_[k] == place ? 1 : 0;
    }
    return n;
  }
  int32_t repeats(int32_t t) const {
    int32_t n = 0;
    for (int32_t s = 0; s < S_; ++s) {
      const int32_t k = at_[idx(t, s)];
      if (k == kNone) continue;
      for (int32_t s2 = 0; s2 < s; ++s2) {
        const int32_t k2 = at_[idx(t, s2)];
        if (k2 != kNone && place_[k2] == place_[k]) {
          ++n;
          break;
        }
      }
    }
    return n;
  }

  // One duty in each round for every teacher below capacity, straight to a
  // free room; then augmenting paths until there is none.
  void fill_at_level() {
    for (bool progress = true; progress;) {
      progress = false;
      for (int32_t t : rotation_)
        if (load_[t] - base_[t] < cap_[t] && take_direct(t)) progress = true;
    }
    for (;;) {
      std::vector<int32_t> starts;
      for (int32_t t : rotation_)
        if (load_[t] - base_[t] < cap_[t]) starts.push_back(t);
      if (starts.empty() || !augment(starts)) break;
    }
  }

  // A duty for t in a free room: sittings of half-days t already works
  // first (packing), then the sittings with most rooms still to fill; a
  // room t has not had before where there is one.
  bool take_direct(int32_t t) {
    candidates_.clear();
    for (int32_t s = 0; s < S_; ++s) {
      const size_t p = idx(t, s);
      if (at_[p] == kNone && kind_[p] == Kind::Free && can_[p] && !free_[s].empty())
        candidates_.push_back(s);
    }
    std::sort(candidates_.begin(), candidates_.end(), [&](int32_t a, int32_t b) {
      const bool wa = half_count(t, half_[a]) > 0, wb = half_count(t, half_[b]) > 0;
      if (wa != wb) return wa;
      if (remaining_[a] != remaining_[b]) return remaining_[a] > remaining_[b];
      return tie_[idx(t, a)] < tie_[idx(t, b)];
    });
    for (int32_t s : candidates_) {
      int32_t best = kNone, best_times = 0;
      for (int32_t k : free_[s]) {
        if (!eligible(t, k)) continue;
        const int32_t times = times_in(t, place_[k]);
        if (best == kNone || times < best_times) {
          best = k;
          best_times = times;
          if (times == 0) break;
        }
      }
      if (best != kNone) {
        assign(t, s, best);
        return true;
      }
    }
    return false;
  }

  // One augmenting path, breadth first from `starts` (teachers below
  // capacity, or one 必监考 pair), to a room with a place left; applied
  // when found. With a `receiver` the path instead ends at a teacher who
  // may give a duty to it (a donor): the receiver gains one, the donor
  // loses one, every room stays as full.
  bool augment(const std::vector<int32_t>& starts, int32_t receiver = kNone) {
    ++stamp_now_;
    queue_.clear();
    for (int32_t n : starts) {
      stamp_[n] = stamp_now_;
      parent_[n] = kNone;
      queue_.push_back(n);
    }
    const int32_t pair_end = T_ + T_ * S_;
    for (size_t head = 0; head < queue_.size(); ++head) {
      const int32_t n = queue_[head];
      if (n < T_) {
        for (int32_t s = 0; s < S_; ++s) {
          const size_t p = idx(n, s);
          if (at_[p] != kNone || kind_[p] != Kind::Free || !can_[p]) continue;
          visit(node_of(n, s), n);
        }
      } else if (n < pair_end) {
        const int32_t t = (n - T_) / S_, s = (n - T_) % S_;
        const int32_t cur = at_[idx(t, s)];
        std::vector<int32_t>& left = rooms_left(s);
        for (size_t i = 0; i < left.size();) {
          const int32_t k = left[i];
          if (k == cur || !eligible(t, k)) {
            ++i;
            continue;
          }
          left[i] = left.back();
          left.pop_back();
          stamp_[room_node(k)] = stamp_now_;
          parent_[room_node(k)] = n;
          if (filled_[k] < need_[k]) {
            apply(room_node(k));
            return true;
          }
          queue_.push_back(room_node(k));
        }
        // Dropping the sitting frees t for another one; not for duties
        // the teacher must keep.
        if (cur != kNone && kind_[idx(t, s)] == Kind::Free) {
          if (receiver != kNone && t != receiver && stamp_[t] != stamp_now_ && donor(t, receiver)) {
            stamp_[t] = stamp_now_;
            parent_[t] = n;
            apply(t);
            return true;
          }
          visit(t, n);
        }
      } else {
        const int32_t k = n - pair_end;
        for (int32_t t : occ_[k]) visit(node_of(t, m_.rooms[k].sitting), n);
      }
    }
    return false;
  }

  void visit(int32_t node, int32_t from) {
    if (stamp_[node] == stamp_now_) return;
    stamp_[node] = stamp_now_;
    parent_[node] = from;
    queue_.push_back(node);
  }

  std::vector<int32_t>& rooms_left(int32_t s) {
    if (left_stamp_[s] != stamp_now_) {
      left_stamp_[s] = stamp_now_;
      left_[s] = rooms_of_[s];
    }
    return left_[s];
  }

  void apply(int32_t end) {
    path_.clear();
    for (int32_t n = end; n != kNone; n = parent_[n]) path_.push_back(n);
    std::reverse(path_.begin(), path_.end());
    const int32_t pair_end = T_ + T_ * S_;
    for (size_t i = 0; i < path_.size(); ++i) {
      const int32_t n = path_[i];
      if (n < T_ || n >= pair_end) continue;
      const int32_t t = (n - T_) / S_, s = (n - T_) % S_;
      if (at_[idx(t, s)] != kNone) unassign(t, s);
      const int32_t next = path_[i + 1];
      if (next >= pair_end) assign(t, s, next - pair_end);
    }
  }

  // The cost of t's duties after dropping sitting `drop` and taking room
  // `add_k` of sitting `add_s` (either may be kNone).
  int32_t cost_after(int32_t t, int32_t drop, int32_t add_s, int32_t add_k) const {
    int32_t halves = halves_[t];
    int32_t reps = repeats_[t];
    if (drop != kNone) {
      const int32_t h = half_[drop];
      const bool same_half = add_s != kNone && half_[add_s] == h;
      if (half_count(t, h) == 1 && !same_half) --halves;
      if (times_in(t, place_[at_[idx(t, drop)]]) >= 2) --reps;
    }
    if (add_s != kNone) {
      const int32_t h = half_[add_s];
      const bool same_half = drop != kNone && half_[drop] == h;
      if (half_count(t, h) == 0 && !same_half) ++halves;
      int32_t times = times_in(t, place_[add_k]);
      if (drop != kNone && place_[at_[idx(t, drop)]] == place_[add_k]) --times;
      if (times >= 1) ++reps;
    }
    return kHalfDayWeight * halves + reps;
  }
  int32_t cost(int32_t t) const { return kHalfDayWeight * halves_[t] + repeats_[t]; }

  void move_duty(int32_t t, int32_t drop, int32_t add_s, int32_t add_k) {
    if (drop != kNone) unassign(t, drop);
    if (add_s != kNone) assign(t, add_s, add_k);
    repeats_[t] = repeats(t);
  }

  bool free_for(int32_t t, int32_t s) const {
    const size_t p = idx(t, s);
    return at_[p] == kNone && kind_[p] == Kind::Free;
  }

  // The rooms of one sitting among the teachers it has, so that as few as
  // possible sit in a room they had before: moving each teacher along a
  // cycle of rooms keeps every room full, and a cycle whose moves together
  // lower the count is found by Bellman-Ford over the rooms (an edge a -> b
  // is the teacher of room a who gains most by moving to b). Repeated until
  // no such cycle is left, which is the best assignment of the sitting.
  void settle_rooms(int32_t s) {
    const std::vector<int32_t>& rooms = rooms_of_[s];
    const int32_t n = static_cast<int32_t>(rooms.size());
    if (n < 2 || n > kSettleRoomsUpTo) return;
    bool repeated = false;
    for (int32_t k : rooms)
      for (int32_t t : occ_[k]) repeated = repeated || times_in(t, place_[k]) >= 2;
    if (!repeated) return;
    std::vector<int32_t> local(K_, kNone);
    for (int32_t i = 0; i < n; ++i) local[rooms[i]] = i;
    for (int32_t iteration = 0; iteration < n * 4; ++iteration) {
      // gain[a * n + b]: the cost change of the best teacher of a moving to b.
      std::vector<int32_t> weight(static_cast<size_t>(n) * n, kNoEdge), mover = weight;
      for (int32_t a = 0; a < n; ++a)
        for (int32_t t : occ_[rooms[a]]) {
          if (kind_[idx(t, s)] != Kind::Free) continue;
          const int32_t here = times_in(t, place_[rooms[a]]) >= 2 ? 1 : 0;
          for (int32_t b = 0; b < n; ++b) {
            if (b == a || !eligible(t, rooms[b])) continue;
            const int32_t w = (times_in(t, place_[rooms[b]]) >= 1 ? 1 : 0) - here;
            const size_t e = static_cast<size_t>(a) * n + b;
            if (weight[e] == kNoEdge || w < weight[e]) {
              weight[e] = w;
              mover[e] = t;
            }
          }
        }
      std::vector<int32_t> dist(n, 0), pred(n, kNone);
      int32_t changed = kNone;
      for (int32_t pass = 0; pass < n; ++pass) {
        changed = kNone;
        for (int32_t a = 0; a < n; ++a)
          for (int32_t b = 0; b < n; ++b) {
            const int32_t w = weight[static_cast<size_t>(a) * n + b];
            if (w != kNoEdge && dist[a] + w < dist[b]) {
              dist[b] = dist[a] + w;
              pred[b] = a;
              changed = b;
            }
          }
        if (changed == kNone) break;
      }
      if (changed == kNone) return;
      // A room on the negative cycle, then the cycle itself.
      int32_t v = changed;
      for (int32_t i = 0; i < n; ++i) v = pred[v];
      std::vector<std::pair<int32_t, int32_t>> moves;  // (teacher, to room)
      for (int32_t u = v;;) {
        const int32_t a = pred[u];
        moves.emplace_back(mover[static_cast<size_t>(a) * n + u], rooms[u]);
        u = a;
        if (u == v) break;
      }
      for (const auto& [t, k] : moves) unassign(t, s);
      for (const auto& [t, k] : moves) assign(t, s, k);
      for (const auto& [t, k] : moves) repeats_[t] = repeats(t);
    }
  }

  bool improve_duty(int32_t t1, int32_t sa) {
    const int32_t ka = at_[idx(t1, sa)];
    const int32_t before1 = cost(t1);
    for (int32_t t2 : rotation_) {
      if (t2 == t1) continue;
      if (free_for(t2, sa) && eligible(t2, ka)) {
        const int32_t before = before1 + cost(t2);
        // Hand the duty on to a teacher of the same 最多场数 with one duty
        // fewer: the two counts trade places, so the group's spread holds.
        if (load_[t1] == load_[t2] + 1 && load_[t2] - base_[t2] < cap_[t2] &&
            m_.teachers[t1].max_duties == m_.teachers[t2].max_duties &&
            cost_after(t1, sa, kNone, kNone) + cost_after(t2, kNone, sa, ka) < before) {
          move_duty(t1, sa, kNone, kNone);
          move_duty(t2, kNone, sa, ka);
          return true;
        }
        // Exchange it for one of t2's.
        for (int32_t sb = 0; sb < S_; ++sb) {
          const size_t pb = idx(t2, sb);
          if (sb == sa || at_[pb] == kNone || kind_[pb] != Kind::Free || !free_for(t1, sb))
            continue;
          const int32_t kb = at_[pb];
          if (!eligible(t1, kb)) continue;
          if (cost_after(t1, sa, sb, kb) + cost_after(t2, sb, sa, ka) < before) {
            move_duty(t1, sa, kNone, kNone);
            move_duty(t2, sb, kNone, kNone);
            move_duty(t1, kNone, sb, kb);
            move_duty(t2, kNone, sa, ka);
            return true;
          }
        }
      } else {
        // Swap rooms within the sitting.
        const size_t p2 = idx(t2, sa);
        const int32_t k2 = at_[p2];
        if (k2 == kNone || k2 == ka || kind_[p2] != Kind::Free) continue;
        if (!eligible(t1, k2) || !eligible(t2, ka)) continue;
        const int32_t before = before1 + cost(t2);
        if (cost_after(t1, sa, sa, k2) + cost_after(t2, sa, sa, ka) < before) {
          move_duty(t1, sa, kNone, kNone);
          move_duty(t2, sa, kNone, kNone);
          move_duty(t1, kNone, sa, k2);
          move_duty(t2, kNone, sa, ka);
          return true;
        }
      }
    }
    return false;
  }

  const RotaModel& m_;
  uint8_t mask_;
  int32_t T_, S_, K_, H_;
  SeedSequence rng_;

  std::vector<int32_t> need_, filled_, place_;
  std::vector<std::vector<int32_t>> occ_;  // movable occupants of each room
  std::vector<int32_t> half_, half_size_, remaining_;
  std::vector<std::vector<int32_t>> rooms_of_, free_, left_;
  std::vector<int32_t> free_pos_;
  std::vector<uint32_t> left_stamp_;

  std::vector<int32_t> at_;
  std::vector<Kind> kind_;
  std::vector<int32_t> allowed_;
  std::vector<std::vector<int32_t>> allowed_sets_;
  std::vector<uint8_t> can_;
  std::vector<uint64_t> tie_;

  std::vector<int32_t> load_, base_, cap_, most_, max_duties_, halves_, repeats_;
  std::vector<int16_t> half_count_;
  std::vector<int32_t> rotation_, candidates_;
  std::vector<int32_t> group_;
  std::vector<std::pair<int32_t, int32_t>> range_of_;

  std::vector<uint32_t> stamp_;
  std::vector<int32_t> parent_, queue_, path_;
  uint32_t stamp_now_ = 0;
};

}  // namespace

SolveResult SolveRota(const RotaModel& model, const Rules& rules, uint64_t seed, bool improve) {
  SolveResult out;
  Search search(model, rules, seed);
  if (!search.place_fixed()) {
    out.most_duties = search.placed();
    out.short_by = search.short_by();
    return out;
  }
  if (!search.place_required(&out.failed_required)) {
    out.most_duties = MostDuties(model, rules);
    out.short_by = search.short_by();
    return out;
  }
  if (!search.fill()) {
    out.most_duties = search.placed();
    out.short_by = search.short_by();
    return out;
  }
  if (improve) search.improve();
  out.solved = true;
  out.rota = search.rota();
  out.most_duties = search.placed();
  return out;
}

int64_t MostDuties(const RotaModel& model, const Rules& rules) {
  Search search(model, rules, 0);
  if (!search.place_fixed()) return search.placed();
  search.fill_all();
  return search.placed();
}

}  // namespace kelv::invigilation
