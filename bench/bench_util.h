// What the benchmark programs share: a stopwatch, the peak resident memory,
// text joining, and the parts of a workspace they all build (the host
// workbook's first sheets, a room sheet).
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "host/application.h"
#include "sheets/room_sheet.h"

namespace kelv::bench {

using Clock = std::chrono::steady_clock;

inline double seconds_since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// Peak resident memory of this process so far, in MB.
inline double peak_mb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// Joins texts by appending (GCC 12 warns falsely about chains of
// literal + std::string at -O3).
inline std::string cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out.append(p);
  return out;
}

// n in decimal, with leading zeros up to `width` digits.
inline std::string padded(int32_t n, int width) {
  std::string s = std::to_string(n);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
  return s;
}

// The classroom a room number sits in.
inline std::string classroom(int32_t room) {
  return cat({"教学楼", std::to_string(room / 40 + 1), "-", std::to_string(room % 40 + 101)});
}

// Names the host workbook's first sheet 开始 and adds the settings sheet DTB
// after it, with its "数据表" heading.
inline host::Worksheet& add_start_and_settings(host::Workbook& book) {
  book.sheet_at(0).set_name("开始");
  host::Worksheet& dtb = book.add_sheet_after(book.sheet_at(0));
  dtb.set_name("DTB");
  dtb.cells(1, 1).set_value("数据表");
  return dtb;
}

// The room sheet: its headings, then `count` rooms 0001, 0002, ... of
// `places` places each, in numbered classrooms.
inline void write_rooms(host::Worksheet& rooms, int32_t count, int32_t places) {
  rooms.set_name(sheets::kRoomSheet);
  for (int32_t c = 1; c <= sheets::kRoomColumnCount; ++c)
    rooms.cells(sheets::kRoomHeadingRow, c).set_value(sheets::kRoomHeadings[c - 1]);
  for (int32_t k = 1; k <= count; ++k) {
    rooms.cells(k + 1, 1).set_value(padded(k, 4));
    rooms.cells(k + 1, 2).set_value(places);
    rooms.cells(k + 1, 3).set_value(classroom(k));
  }
}

}  // namespace kelv::bench
