#include "sessions/room_seating.h"

#include <algorithm>
#include <map>

namespace kelv::sessions {

uint64_t PlanRandom::next() {
  uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

uint64_t PlanRandom::below(uint64_t n) {
  // Values under `threshold` would make the low residues more likely.
  const uint64_t threshold = (0 - n) % n;
  for (;;) {
    const uint64_t r = next();
    if (r >= threshold) return r % n;
  }
}

uint64_t RoomSeed(uint64_t seed, int32_t session, int32_t room) {
  PlanRandom mix(seed ^ (static_cast<uint64_t>(session) << 32) ^ static_cast<uint64_t>(room));
  return mix.next();
}

std::string SeatLabel(int32_t slot, int32_t places, int64_t places_before, bool per_room,
                      int32_t cycle, int32_t cycle_width) {
  int64_t counter = 0;
  size_t width = 0;
  if (per_room) {
    counter = slot + 1;
    width = std::to_string(places).size();
  } else {
    counter = cycle <= 0 ? 1 : (places_before + slot) % cycle + 1;
    width = static_cast<size_t>(std::max(cycle_width, 0));
  }
  const std::string text = "'000" + std::to_string(counter);
  std::string seat = text.substr(text.size() - std::min(width, text.size()));
  if (!seat.empty() && seat.front() == '\'') seat.erase(0, 1);  // the text-entry prefix
  return seat;
}

std::vector<std::pair<int32_t, int32_t>> Neighbours(int32_t places, int32_t per_column) {
  std::vector<std::pair<int32_t, int32_t>> pairs;
  for (int32_t p = 0; p + 1 < places; ++p) pairs.emplace_back(p, p + 1);
  if (per_column <= 0 || per_column >= places) return pairs;
  const int32_t k = per_column;
  for (int32_t p = 0; p < places; ++p) {
    const int32_t col = p / k, i = p % k;
    const int32_t row = col % 2 == 0 ? i : k - 1 - i;
    const int32_t next = col + 1;
    const int32_t q = next * k + (next % 2 == 0 ? row : k - 1 - row);
    // At the end of a column the seat beside is also the next number.
    if (q < places && q != p + 1) pairs.emplace_back(p, q);
  }
  return pairs;
}

std::vector<int32_t> KeepApart(const std::vector<int32_t>& group, const std::vector<int32_t>& free,
                               const std::vector<int32_t>& newcomers,
                               const std::vector<std::pair<int32_t, int32_t>>& neighbours) {
  const size_t F = std::min(free.size(), newcomers.size());
  std::vector<std::vector<int32_t>> beside(group.size());
  for (const auto& [p, q] : neighbours) {
    beside[p].push_back(q);
    beside[q].push_back(p);
  }
  // Newcomers waiting, per group, in the order given.
  std::map<int32_t, std::vector<int32_t>> waiting;
  for (size_t k = newcomers.size(); k-- > 0;)
    waiting[newcomers[k]].push_back(static_cast<int32_t>(k));
  std::vector<int32_t> label = group;
  std::vector<int32_t> filled(F, -1);
  for (size_t f = 0; f < F; ++f) {
    const int32_t place = free[f];
    // The group with most newcomers left that no neighbour already holds;
    // among equals, the one whose next newcomer comes first.
    int32_t best = 0;
    const std::vector<int32_t>* best_list = nullptr;
    bool best_clashes = true;
    for (const auto& [g, list] : waiting) {
      if (list.empty()) continue;
      bool clashes = false;
      if (g >= 0)
        for (int32_t q : beside[place]) clashes = clashes || label[q] == g;
      bool better = best_list == nullptr;
      if (!better && clashes != best_clashes) {
        better = !clashes;
      } else if (!better && list.size() != best_list->size()) {
        better = list.size() > best_list->size();
      } else if (!better) {
        better = list.back() < best_list->back();
      }
      if (better) {
        best = g;
        best_list = &list;
        best_clashes = clashes;
      }
    }
    std::vector<int32_t>& list = waiting[best];
    filled[f] = list.back();
    list.pop_back();
    label[place] = best;
  }
  // Swaps of two newcomers that leave fewer shared neighbours.
  auto clashes_at = [&](int32_t place) {
    int32_t n = 0;
    if (label[place] < 0) return n;
    for (int32_t q : beside[place]) n += label[q] == label[place] ? 1 : 0;
    return n;
  };
  for (int round = 0; round < 2; ++round) {
    bool improved = false;
    for (size_t a = 0; a < F; ++a) {
      if (clashes_at(free[a]) == 0) continue;
      for (size_t b = 0; b < F; ++b) {
        const int32_t pa = free[a], pb = free[b];
        if (label[pa] == label[pb]) continue;
        const int32_t before = clashes_at(pa) + clashes_at(pb);
        std::swap(label[pa], label[pb]);
        if (clashes_at(pa) + clashes_at(pb) < before) {
          std::swap(filled[a], filled[b]);
          improved = true;
          break;
        }
        std::swap(label[pa], label[pb]);
      }
    }
    if (!improved) break;
  }
  return filled;
}

}  // namespace kelv::sessions
