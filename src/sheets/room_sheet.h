// The room sheet "考场表" of a data workbook, in one place: a heading row,
// then one room per row. The system writes all seven headings when the
// workbook is opened and the first and last exam numbers when it assigns.
#pragma once

#include <cstdint>

namespace kelv::sheets {

inline constexpr const char* kRoomSheet = "考场表";

inline constexpr int32_t kRoomHeadingRow = 1;
inline constexpr int32_t kRoomFirstRow = 2;

// Columns, fixed by position: the user keeps the rooms in A..E, the
// assignment fills F and G.
inline constexpr int32_t kRoomNameColumn = 1;          // A 考场: room name
inline constexpr int32_t kRoomPlacesColumn = 2;        // B 场人: places
inline constexpr int32_t kRoomLocationColumn = 3;      // C 考室: where the room is
inline constexpr int32_t kRoomInvigilatorAColumn = 4;  // D 监考甲
inline constexpr int32_t kRoomInvigilatorBColumn = 5;  // E 监考乙
inline constexpr int32_t kRoomFirstNumberColumn = 6;   // F 首考号: first exam number
inline constexpr int32_t kRoomLastNumberColumn = 7;    // G 尾考号: last exam number
inline constexpr int32_t kRoomColumnCount = 7;

// The headings of A..G, in column order.
inline constexpr const char* kRoomHeadings[kRoomColumnCount] = {
    "考场", "场人", "考室", "监考甲", "监考乙", "首考号", "尾考号"};

// Colour index of the sheet tabs, headings and columns the system writes on
// a data sheet (blue in the standard palette).
inline constexpr int32_t kWrittenColorIndex = 5;

}  // namespace kelv::sheets
