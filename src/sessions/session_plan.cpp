#include "sessions/session_plan.h"

#include <algorithm>
#include <map>
#include <numeric>

namespace kelv::sessions {
namespace {

// The rooms not yet given to a paper, by identity and, for papers that may
// use any room, by size alone: most schools have a few sizes of room, so
// whether the papers still fit is a walk over a handful of sizes.
class FreeRooms {
 public:
  explicit FreeRooms(const std::vector<int32_t>& places)
      : places_(places), free_(places.size(), 1) {
    for (int32_t p : places)
      if (p > 0) ++sizes_[p];
  }

  bool is_free(int32_t r) const { return free_[r] != 0; }
  void take(int32_t r) {
    free_[r] = 0;
    if (places_[r] > 0 && --sizes_[places_[r]] == 0) sizes_.erase(places_[r]);
  }
  void give(int32_t r) {
    free_[r] = 1;
    if (places_[r] > 0) ++sizes_[places_[r]];
  }

  // Whether every paper's shortfall (places still needed) can be covered by
  // free rooms, one paper per room. Papers held to some rooms choose first,
  // from their rooms; then the others, largest shortfall first, from the
  // sizes: the smallest room that covers what is left, else as many of the
  // largest rooms as fit in it. With `chosen`, the rooms are taken and
  // listed as (room, paper), a room of a size being the one `stayers`
  // counts most examinees of the paper in; without it nothing changes.
  bool cover(const std::vector<int64_t>& shortfall,
             const std::vector<std::vector<int32_t>>& allowed,
             std::vector<std::pair<int32_t, int32_t>>* chosen,
             const std::vector<std::vector<int32_t>>* stayers = nullptr) {
    std::vector<int32_t> taken;                        // rooms, by identity
    std::vector<std::pair<int32_t, int64_t>> counted;  // (size, rooms) taken by count
    std::vector<size_t> order(shortfall.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      const bool ra = !allowed[a].empty(), rb = !allowed[b].empty();
      if (ra != rb) return ra;
      if (ra) return allowed[a].size() < allowed[b].size();
      return shortfall[a] > shortfall[b];
    });
    auto take_room = [&](int32_t r, size_t p) {
      take(r);
      taken.push_back(r);
      if (chosen) chosen->push_back({r, static_cast<int32_t>(p)});
    };
    bool ok = true;
    for (size_t p : order) {
      int64_t need = shortfall[p];
      if (!allowed[p].empty()) {
        while (need > 0) {
          const int32_t r = best_of(allowed[p], need);
          if (r < 0) break;
          take_room(r, p);
          need -= places_[r];
        }
      }
      while (need > 0 && allowed[p].empty() && !sizes_.empty()) {
        auto it = sizes_.lower_bound(static_cast<int32_t>(std::min<int64_t>(need, INT32_MAX)));
        int64_t count = 1;
        if (it == sizes_.end()) {
          it = std::prev(sizes_.end());
          count = std::min<int64_t>(it->second, need / it->first);
        }
        const int32_t size = it->first;
        need -= count * size;
        if (!chosen) {
          counted.emplace_back(size, count);
          if ((it->second -= count) == 0) sizes_.erase(it);
          continue;
        }
        for (int64_t k = 0; k < count; ++k) take_room(pick(size, p, stayers), p);
      }
      if (need > 0) {
        ok = false;
        break;
      }
    }
    if (!ok || !chosen) {
      for (int32_t r : taken) give(r);
      for (const auto& [size, count] : counted) sizes_[size] += count;
    }
    return ok;
  }

  bool fits(const std::vector<int64_t>& shortfall,
            const std::vector<std::vector<int32_t>>& allowed) {
    return cover(shortfall, allowed, nullptr);
  }

 private:
  // Of the free rooms listed, the smallest that covers `need`, else the
  // largest; -1 when none is free.
  int32_t best_of(const std::vector<int32_t>& rooms, int64_t need) const {
    int32_t best = -1;
    for (int32_t r : rooms) {
      if (!is_free(r) || places_[r] <= 0) continue;
      if (best < 0) {
        best = r;
        continue;
      }
      const bool covers = places_[r] >= need, best_covers = places_[best] >= need;
      if (covers != best_covers) {
        if (covers) best = r;
      } else if (covers ? places_[r] < places_[best] : places_[r] > places_[best]) {
        best = r;
      }
    }
    return best;
  }

  // A free room of `size`, the one with most examinees of the paper staying.
  int32_t pick(int32_t size, size_t paper, const std::vector<std::vector<int32_t>>* stayers) const {
    int32_t best = -1;
    for (size_t r = 0; r < places_.size(); ++r) {
      if (!free_[r] || places_[r] != size) continue;
      if (best < 0 || (stayers && (*stayers)[paper][r] > (*stayers)[paper][best]))
        best = static_cast<int32_t>(r);
      if (!stayers) break;
    }
    return best;
  }

  const std::vector<int32_t>& places_;
  std::vector<char> free_;
  std::map<int32_t, int64_t> sizes_;  // free rooms per size, sizes > 0
};

}  // namespace

bool PapersFit(const std::vector<int32_t>& places, const std::vector<int64_t>& sizes,
               const std::vector<std::vector<int32_t>>& allowed) {
  FreeRooms rooms(places);
  return rooms.fits(sizes, allowed);
}

int32_t RoomsAtLeast(const std::vector<int32_t>& places, int64_t size,
                     const std::vector<int32_t>& allowed) {
  std::vector<int32_t> usable;
  if (allowed.empty()) {
    usable = places;
  } else {
    for (int32_t r : allowed) usable.push_back(places[r]);
  }
  std::sort(usable.rbegin(), usable.rend());
  int32_t n = 0;
  for (int32_t p : usable) {
    if (size <= 0) break;
    if (p <= 0) break;
    size -= p;
    ++n;
  }
  return size > 0 ? -1 : n;
}

std::optional<SessionPlan> PlanSession(const PlanRequest& q) {
  const auto R = static_cast<int32_t>(q.places.size());
  const auto P = static_cast<int32_t>(q.papers.size());
  // Which rooms each paper may use, as flags.
  std::vector<std::vector<char>> may(P, std::vector<char>(R, 1));
  std::vector<std::vector<int32_t>> allowed(P);
  for (int32_t p = 0; p < P; ++p) {
    allowed[p] = q.papers[p].allowed;
    if (allowed[p].empty()) continue;
    std::fill(may[p].begin(), may[p].end(), 0);
    for (int32_t r : allowed[p]) may[p][r] = 1;
  }
  // Examinees of each paper per main room, and of the session per room.
  std::vector<std::vector<int32_t>> here(P, std::vector<int32_t>(R, 0));
  std::vector<int32_t> present(R, 0);
  std::vector<int64_t> need(P, 0);
  for (int32_t p = 0; p < P; ++p) {
    need[p] = static_cast<int64_t>(q.papers[p].sitters.size());
    for (int32_t e : q.papers[p].sitters) {
      const int32_t r = q.main_room[e];
      if (r < 0) continue;
      ++present[r];
      if (may[p][r]) ++here[p][r];
    }
  }
  FreeRooms free(q.places);
  if (!free.fits(need, allowed)) return std::nullopt;

  // Rooms to the paper their examinees sit: rooms whose every examinee of
  // the session sits that paper first, then by how many stay.
  struct Candidate {
    int32_t room, paper, stay;
    bool whole;
  };
  std::vector<Candidate> candidates;
  for (int32_t p = 0; p < P; ++p)
    for (int32_t r = 0; r < R; ++r)
      if (here[p][r] > 0 && q.places[r] > 0)
        candidates.push_back({r, p, here[p][r], here[p][r] == present[r]});
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) {
                     if (a.whole != b.whole) return a.whole;
                     return a.stay > b.stay;
                   });
  SessionPlan plan;
  plan.room_paper.assign(R, -1);
  std::vector<int64_t> shortfall = need;
  for (const Candidate& c : candidates) {
    if (!free.is_free(c.room)) continue;
    free.take(c.room);
    shortfall[c.paper] -= q.places[c.room];
    if (free.fits(shortfall, allowed)) {
      plan.room_paper[c.room] = c.paper;
      continue;
    }
    free.give(c.room);
    shortfall[c.paper] += q.places[c.room];
  }
  std::vector<std::pair<int32_t, int32_t>> chosen;
  if (!free.cover(shortfall, allowed, &chosen, &here)) return std::nullopt;
  for (const auto& [r, p] : chosen) plan.room_paper[r] = p;

  // Seats: examinees in a room of their paper keep theirs; the others take
  // the free seats of their paper's rooms, in room order, in exam-number order.
  plan.seats.resize(P);
  std::vector<std::vector<char>> used(R);
  for (int32_t r = 0; r < R; ++r) used[r].assign(static_cast<size_t>(std::max(q.places[r], 0)), 0);
  for (int32_t p = 0; p < P; ++p) {
    const std::vector<int32_t>& sitters = q.papers[p].sitters;
    plan.seats[p].resize(sitters.size());
    for (size_t k = 0; k < sitters.size(); ++k) {
      const int32_t e = sitters[k];
      const int32_t r = q.main_room[e], s = q.main_slot[e];
      if (r < 0 || plan.room_paper[r] != p || s < 0 || s >= q.places[r] || used[r][s]) continue;
      used[r][s] = 1;
      plan.seats[p][k] = {r, s, true};
    }
  }
  for (int32_t p = 0; p < P; ++p) {
    int32_t r = 0, s = 0;
    for (PlacedSitter& seat : plan.seats[p]) {
      if (seat.stayed) continue;
      for (; r < R; ++r, s = 0) {
        if (plan.room_paper[r] != p) continue;
        while (s < q.places[r] && used[r][s]) ++s;
        if (s < q.places[r]) break;
      }
      if (r == R) return std::nullopt;  // cannot happen: the rooms cover the paper
      used[r][s] = 1;
      seat = {r, s, false};
      ++plan.moved;
    }
  }
  return plan;
}

}  // namespace kelv::sessions
