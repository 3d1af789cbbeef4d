// The seats of one room in one 场次: their numbers as the main arrangement
// would write them, which seats are neighbours, and the order examinees who
// come from other rooms take the free seats in (drawn from the seed, with
// members of one group kept off neighbouring seats).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kelv::sessions {

// SplitMix64, so a plan depends on the seed alone on every machine.
class PlanRandom {
 public:
  explicit PlanRandom(uint64_t seed) : state_(seed) {}
  uint64_t next();
  uint64_t below(uint64_t n);  // uniform in [0, n), n > 0
  template <typename T>
  void shuffle(std::vector<T>& v) {
    for (size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[below(i)]);
  }

 private:
  uint64_t state_;
};

// A seed for one room of one session, mixed from the plan's seed so rooms
// do not repeat each other's draws.
uint64_t RoomSeed(uint64_t seed, int32_t session, int32_t room);

// The seat number the main arrangement gives place `slot` (from 0) of a
// room: per room, slot + 1 padded to the digits of the room's places;
// cyclic, the counter that ran through the places of every earlier room,
// padded to the length of the cycle text. Up to three zeros lead, as there.
std::string SeatLabel(int32_t slot, int32_t places, int64_t places_before, bool per_room,
                      int32_t cycle, int32_t cycle_width);

// Neighbouring places (p, q), p < q, of a room of `places` seats: places
// in a row, or S-shaped columns of `per_column` seats (the first column
// front to back, the next back to front), side by side ones neighbours too.
std::vector<std::pair<int32_t, int32_t>> Neighbours(int32_t places, int32_t per_column);

// Orders the newcomers of a room among its free places. `group` gives each
// place's group: the staying examinee's, or -1; `free` lists the places to
// fill, ascending; `newcomers` holds each newcomer's group, in the order
// they would take the places. Returns, for each free place in order, the
// newcomer (index into newcomers) who takes it, so that as few neighbours
// as the room allows share a group (-1 groups share with nobody).
std::vector<int32_t> KeepApart(const std::vector<int32_t>& group, const std::vector<int32_t>& free,
                               const std::vector<int32_t>& newcomers,
                               const std::vector<std::pair<int32_t, int32_t>>& neighbours);

}  // namespace kelv::sessions
