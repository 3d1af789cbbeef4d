#include "sessions/session_settings.h"

#include "host/variant.h"
#include "sessions/text.h"
#include "sheets/settings_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::sessions {
namespace {

// Where the main arrangement records the seed it used (B1 of 排座记录).
constexpr const char* kRecordSheet = "排座记录";
constexpr int kMostSeedDigits = 15;

bool IsTrue(const host::Variant& v) {
  if (v.is_bool()) return v.as_bool();
  if (v.is_number()) return v.as_number() != 0;
  return v.is_text() && (v.as_text() == "TRUE" || v.as_text() == "True" || v.as_text() == "true");
}

}  // namespace

std::optional<uint64_t> ParseSeed(const std::string& typed) {
  const std::string text = Trimmed(typed);
  uint64_t v = 0;
  int digits = 0;
  for (size_t i = 0; i < text.size();) {
    int d = -1;
    if (text[i] >= '0' && text[i] <= '9') {
      d = text[i] - '0';
      i += 1;
    } else if (text.compare(i, 2, "\xEF\xBC") == 0 && i + 2 < text.size()) {
      // U+FF10..U+FF19, full-width digits.
      const auto third = static_cast<unsigned char>(text[i + 2]);
      if (third >= 0x90 && third <= 0x99) d = third - 0x90;
      i += 3;
    }
    if (d < 0 || ++digits > kMostSeedDigits) return std::nullopt;
    v = v * 10 + static_cast<uint64_t>(d);
  }
  if (digits == 0) return std::nullopt;
  return v;
}

void SetKeepCombinations(host::Workbook& host_book, bool on) {
  host_book.worksheets()
      .item(sheets::kSettingsSheet)
      .cells(sheets::kCombinationRow, sheets::kKeepCombinationColumn)
      .set_value(on);
}

bool KeepCombinations(host::Workbook& host_book) {
  if (!sheets::SheetExists(host_book.worksheets(), sheets::kSettingsSheet)) return false;
  return IsTrue(host_book.worksheets()
                    .item(sheets::kSettingsSheet)
                    .cell_value(sheets::kCombinationRow, sheets::kKeepCombinationColumn));
}

SeatingSettings ReadSeatingSettings(host::Workbook& host_book, host::Workbook& data_book,
                                    std::optional<uint64_t> seed) {
  using namespace sheets;
  SeatingSettings s;
  std::optional<uint64_t> stored;
  if (SheetExists(host_book.worksheets(), kSettingsSheet)) {
    host::Worksheet& dtb = host_book.worksheets().item(kSettingsSheet);
    const host::Variant cycle = dtb.cell_value(kCycleRow, kCycleColumn);
    if (!Trimmed(cycle.to_text()).empty()) s.cycle_text = Trimmed(cycle.to_text());
    s.random = !IsTrue(dtb.cell_value(kOptionPairRow, kNumberOrderColumn)) &&
               IsTrue(dtb.cell_value(kOptionPairRow + 1, kNumberOrderColumn));
    s.per_room_seats = !IsTrue(dtb.cell_value(kOptionPairRow, kSeatModeColumn)) &&
                       IsTrue(dtb.cell_value(kOptionPairRow + 1, kSeatModeColumn));
    stored = ParseSeed(dtb.cell_value(kSeatingRow, kSeedColumn).to_text());
    s.keep_apart = Trimmed(dtb.cell_value(kSeatingRow, kKeepApartColumn).to_text());
    if (s.keep_apart == kNoColumn) s.keep_apart.clear();
  }
  if (!stored && SheetExists(data_book.worksheets(), kRecordSheet))
    stored = ParseSeed(data_book.worksheets().item(kRecordSheet).cell_value(1, 2).to_text());
  s.seed = seed ? *seed : stored.value_or(0);
  return s;
}

}  // namespace kelv::sessions
