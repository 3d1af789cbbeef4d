// The shape of an exam room, from the optional columns of its row on the
// room sheet: 每列座数 (seats in a column, front to back), 列数 (columns of
// desks) and 讲台 (前 or 后: which end of the room is the front). Seats are
// numbered in an S from the front of the first column: the first column
// front to back, the next back to front, and so on. Both the arrangement
// (which seats are neighbours) and the seat maps (where each desk is
// printed) take the room's shape from here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/worksheet.h"

namespace kelv::sheets {

enum class Podium : uint8_t { Front, Back };

inline constexpr const char* kPodiumFront = "前";
inline constexpr const char* kPodiumBack = "后";
// The largest 每列座数 or 列数 taken as meant.
inline constexpr int32_t kMostSeatsAcross = 10000;

struct RoomShape {
  int32_t per_column = 0;  // 每列座数; 0 when not given
  int32_t columns = 0;     // 列数; 0 when not given
  Podium podium = Podium::Front;

  // Seats in one column for a room of `places`: 每列座数 when given; else
  // the places shared out over 列数 columns, rounded up; else 1, every seat
  // a column of its own, so that the seats form one row.
  int32_t SeatsPerColumn(int32_t places) const;
  // Columns of desks for a room of `places`: 列数 when given, else as many
  // as the places fill.
  int32_t DeskColumns(int32_t places) const;
  // Desks in the room, SeatsPerColumn × DeskColumns.
  int64_t Desks(int32_t places) const;
  // The seats per column the arrangement's neighbours follow for a room of
  // `places`: 0 (one row) when neither 每列座数 nor 列数 is given.
  int32_t NeighbourColumnLength(int32_t places) const;
};

// Where a desk stands: its row counted from the front (0 = the front row)
// and its column counted from the first (0 = the first column).
struct Desk {
  int32_t row = 0;
  int32_t column = 0;
  bool operator==(const Desk&) const = default;
};

// The desk of seat `seat` (0 = seat 1) in columns of `per_column` seats.
Desk DeskOfSeat(int32_t per_column, int32_t seat);

// The room sheet's shape columns, found by their headings in row 1; 0 for
// each that is absent.
struct RoomShapeColumns {
  int32_t per_column = 0;
  int32_t columns = 0;
  int32_t podium = 0;
  bool any() const { return per_column != 0 || columns != 0 || podium != 0; }
};
RoomShapeColumns FindRoomShapeColumns(host::Worksheet& rooms);

// A value of the room sheet that does not describe a room's shape, or a
// room with more places than desks: the cell, its heading and value as
// they read, and the message naming the row.
struct RoomShapeProblem {
  int32_t row = 0;
  int32_t column = 0;
  std::string heading;
  std::string value;
  std::string message;
};

// The shape of the room in row `row`. Empty cells leave the defaults; a
// value that is not a whole number from 1 to kMostSeatsAcross (or 前 / 后)
// is added to `problems` and left at its default.
RoomShape ReadRoomShape(host::Worksheet& rooms, const RoomShapeColumns& columns, int32_t row,
                        std::vector<RoomShapeProblem>* problems);

// Every problem with the shapes of the room sheet's rooms, in row order:
// the values ReadRoomShape refuses, and each room whose 场人 exceed its
// desks (每列座数 × 列数, only bounded when 列数 is given).
std::vector<RoomShapeProblem> RoomShapeProblems(host::Worksheet& rooms);

}  // namespace kelv::sheets
