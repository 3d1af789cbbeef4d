// The order in which the assignment takes the examinees, decided before it
// fills the rooms: a replayable random order, classmates kept apart, and
// examinees held to a room of their own. Pure computation on indices; the
// sheets are read and reordered by fair_seating.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kelv::arrange {

// SplitMix64: every output is fixed by the seed alone, on every machine and
// with every compiler, which a standard library's distributions are not.
class SeatRandom {
 public:
  explicit SeatRandom(uint64_t seed) : state_(seed) {}
  uint64_t next();
  // Uniform in [0, n) for n > 0, by rejection, so no value is favoured.
  uint64_t below(uint64_t n);
  template <typename T>
  void shuffle(std::vector<T>& v) {
    for (std::size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[below(i)]);
  }

 private:
  uint64_t state_;
};

// One room as the order sees it: how many examinees it receives in this run
// and, when known, how many seats stand in each column. Seats are numbered
// 0.. in seat order. Without columns (per_column 0, or at least `seats`)
// they form a row in which consecutive numbers are neighbours. With columns
// they stand S-shaped: the first column front to back, the next back to
// front, and so on; neighbours are then consecutive numbers and seats side
// by side in neighbouring columns.
struct RoomLayout {
  int32_t seats = 0;
  int32_t per_column = 0;
};

// The neighbouring seat pairs (p, q), p < q, of a room.
std::vector<std::pair<int32_t, int32_t>> NeighbourPairs(const RoomLayout& room);

inline constexpr int32_t kNoGroup = -1;  // an examinee who shares a group with nobody
inline constexpr int32_t kNoRoom = -1;   // an examinee free to sit in any room

struct SeatOrderRequest {
  // Per examinee, in the order they stand on the sheet: a group number
  // (0..) or kNoGroup, and a fixed room (index into `rooms`) or kNoRoom.
  // Either may be empty: no groups, no fixed rooms.
  std::vector<int32_t> group;
  std::vector<int32_t> fixed_room;
  // The rooms in filling order. Examinees beyond their seats are left
  // without a room and come last in the order.
  std::vector<RoomLayout> rooms;
  int32_t examinees = 0;
  // False keeps the sheet's order (fixed examinees still go to their rooms);
  // true draws a random order from `seed`.
  bool random = false;
  uint64_t seed = 0;
  // Spread each group over the rooms in proportion to their seats and keep
  // its members off neighbouring seats. Only with `random`.
  bool keep_apart = false;
  // Per examinee, the rank of their elective combination (0.., kNoGroup for
  // none), or empty. When given, the free examinees fill the rooms one
  // combination after another in rank order, those without one last; within
  // a combination in random order (or the sheet's), and with keep_apart each
  // room's groups are kept off neighbouring seats, not spread over rooms.
  std::vector<int32_t> combination;
};

// The examinee indices in the order the rooms are filled: rooms[0]'s seats
// first, seat by seat, then rooms[1]'s, ..., then those left without a room.
// The request must be valid: no room holds more fixed examinees than seats.
std::vector<int32_t> OrderSeats(const SeatOrderRequest& request);

// What an order achieved, measured with the same neighbours the order uses.
struct RoomCheck {
  int32_t examinees = 0;
  int32_t groups = 0;         // distinct groups among them
  int32_t largest_group = 0;  // members of the most numerous group
  int32_t shared_pairs = 0;   // neighbouring seats whose examinees share a group
  // True when the largest group has more members than a room can keep apart
  // (more than half its seats, rounded up), so shared pairs are unavoidable.
  bool crowded = false;
};
struct SeatingCheck {
  std::vector<RoomCheck> rooms;
  int32_t shared_pairs = 0;
  // The largest difference between the free members a group has in a room
  // and its share: its free members times the room's free seats over all
  // free seats (those left without a room count as one more room).
  double largest_deviation = 0;
};
SeatingCheck CheckSeating(const SeatOrderRequest& request, const std::vector<int32_t>& order);

}  // namespace kelv::arrange
