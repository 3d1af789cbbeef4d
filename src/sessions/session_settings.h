// The main arrangement's options as the session arrangement reuses them,
// read from the host workbook's settings sheet DTB (what the form stores
// when they change): seat numbers per room or cyclic, random order, the
// seed and the keep-apart column.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/workbook.h"

namespace kelv::sessions {

struct SeatingSettings {
  bool per_room_seats = false;    // OptACZuoHao; else cyclic (OptXHZuoHao)
  std::string cycle_text = "30";  // TxtXHShu: the cyclic count, its length the seat width
  bool random = false;            // OptSJKaoHao: seats in a room drawn from the seed
  uint64_t seed = 0;
  std::string keep_apart;  // CmbFenKai: a 考生表 heading, "" for none
};

// From DTB of `host_book` (absent: the form's defaults). The seed is, in
// this order: `seed` when given, the seed stored in DTB (TxtZhongZi), the
// seed the last main arrangement recorded on the data workbook's 排座记录,
// else 0, so the same input always gives the same plan.
SeatingSettings ReadSeatingSettings(host::Workbook& host_book, host::Workbook& data_book,
                                    std::optional<uint64_t> seed);

// Stores the main arrangement's setting that keeps each elective
// combination together (DTB BI6). kSubscriptOutOfRange without DTB.
void SetKeepCombinations(host::Workbook& host_book, bool on);
// The setting as stored (empty: off).
bool KeepCombinations(host::Workbook& host_book);

// A seed typed as 1 to 15 digits (full-width digits too); nullopt else.
std::optional<uint64_t> ParseSeed(const std::string& text);

}  // namespace kelv::sessions
