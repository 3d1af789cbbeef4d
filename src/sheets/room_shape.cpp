#include "sheets/room_shape.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "host/variant.h"
#include "sheets/exam_sheets.h"
#include "sheets/room_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::sheets {
namespace {

// The text without surrounding ASCII or ideographic (U+3000) spaces.
std::string_view Trimmed(std::string_view s) {
  constexpr std::string_view kIdeographicSpace = "\u3000";
  for (;;) {
    if (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
      s.remove_prefix(1);
    } else if (s.starts_with(kIdeographicSpace)) {
      s.remove_prefix(kIdeographicSpace.size());
    } else if (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
      s.remove_suffix(1);
    } else if (s.ends_with(kIdeographicSpace)) {
      s.remove_suffix(kIdeographicSpace.size());
    } else {
      return s;
    }
  }
}

bool IsBlank(const host::Variant& v) {
  return v.is_empty() || (v.is_text() && Trimmed(v.as_text()).empty());
}

std::string RowText(int32_t row) {
  return "考场表第 " + std::to_string(row) + " 行的";
}

// A count of seats or columns: a whole number from 1 to kMostSeatsAcross,
// typed as a number or as text.
bool ReadCount(const host::Variant& v, int32_t* out) {
  double d = 0;
  const bool number = v.is_number() ? (d = v.as_number(), true)
                                    : host::parse_decimal(Trimmed(v.to_text()), &d, true);
  if (!number || d < 1 || d != std::floor(d) || d > kMostSeatsAcross) return false;
  *out = static_cast<int32_t>(d);
  return true;
}

}  // namespace

int32_t RoomShape::SeatsPerColumn(int32_t places) const {
  if (per_column > 0) return per_column;
  if (columns > 0) return std::max<int32_t>(1, (std::max(places, 0) + columns - 1) / columns);
  return 1;
}

int32_t RoomShape::DeskColumns(int32_t places) const {
  if (columns > 0) return columns;
  const int32_t k = SeatsPerColumn(places);
  return std::max<int32_t>(1, (std::max(places, 0) + k - 1) / k);
}

int64_t RoomShape::Desks(int32_t places) const {
  return int64_t{SeatsPerColumn(places)} * DeskColumns(places);
}

int32_t RoomShape::NeighbourColumnLength(int32_t places) const {
  if (per_column == 0 && columns == 0) return 0;
  return SeatsPerColumn(places);
}

Desk DeskOfSeat(int32_t per_column, int32_t seat) {
  const int32_t k = std::max(per_column, 1);
  const int32_t column = seat / k;
  const int32_t i = seat % k;
  return {column % 2 == 0 ? i : k - 1 - i, column};
}

RoomShapeColumns FindRoomShapeColumns(host::Worksheet& rooms) {
  RoomShapeColumns c;
  c.per_column = FindHeaderColumn(rooms, 1, kSeatsPerColumnHeading);
  c.columns = FindHeaderColumn(rooms, 1, kDeskColumnsHeading);
  c.podium = FindHeaderColumn(rooms, 1, kPodiumHeading);
  return c;
}

RoomShape ReadRoomShape(host::Worksheet& rooms, const RoomShapeColumns& columns, int32_t row,
                        std::vector<RoomShapeProblem>* problems) {
  RoomShape shape;
  auto refuse = [&](int32_t column, const char* heading, const host::Variant& v,
                    const std::string& what) {
    if (problems == nullptr) return;
    const std::string value = v.to_text();
    problems->push_back(
        {row, column, heading, value, RowText(row) + heading + "“" + value + "”" + what});
  };
  auto count = [&](int32_t column, const char* heading, int32_t* out) {
    if (column == 0) return;
    const host::Variant v = rooms.cells(row, column).value();
    if (IsBlank(v)) return;
    if (!ReadCount(v, out)) refuse(column, heading, v, "不是正整数。");
  };
  count(columns.per_column, kSeatsPerColumnHeading, &shape.per_column);
  count(columns.columns, kDeskColumnsHeading, &shape.columns);
  if (columns.podium != 0) {
    const host::Variant v = rooms.cells(row, columns.podium).value();
    if (!IsBlank(v)) {
      const std::string whole = v.to_text();  // the view below looks into it
      const std::string_view text = Trimmed(whole);
      if (text == kPodiumBack) {
        shape.podium = Podium::Back;
      } else if (text != kPodiumFront) {
        refuse(columns.podium, kPodiumHeading, v, "应是“前”或“后”。");
      }
    }
  }
  return shape;
}

std::vector<RoomShapeProblem> RoomShapeProblems(host::Worksheet& rooms) {
  std::vector<RoomShapeProblem> problems;
  const RoomShapeColumns columns = FindRoomShapeColumns(rooms);
  if (!columns.any()) return problems;
  const int32_t R = rooms.cells(1, 1).current_region().rows_count();
  for (int32_t r = kRoomFirstRow; r <= R; ++r) {
    const RoomShape shape = ReadRoomShape(rooms, columns, r, &problems);
    if (shape.columns == 0) continue;
    double places = 0;
    const host::Variant v = rooms.cells(r, kRoomPlacesColumn).value();
    if (!(v.is_number() ? (places = v.as_number(), true)
                        : host::parse_decimal(v.to_text(), &places, true)))
      continue;  // a place count that is no number is the assignment's to report
    const int64_t desks = shape.Desks(0);
    if (shape.per_column == 0 || places <= static_cast<double>(desks)) continue;
    const std::string name = rooms.cells(r, kRoomNameColumn).text();
    problems.push_back({r, kRoomPlacesColumn, kRoomHeadings[kRoomPlacesColumn - 1], v.to_text(),
                        RowText(r) + "考场“" + name + "”有 " + v.to_text() + " 个场人，座位只有 " +
                            std::to_string(desks) + " 个（每列座数 " +
                            std::to_string(shape.per_column) + " × 列数 " +
                            std::to_string(shape.columns) + "）。"});
  }
  return problems;
}

}  // namespace kelv::sheets
