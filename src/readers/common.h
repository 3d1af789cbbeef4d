// What the readers of other spreadsheet files share: the file's bytes,
// refusals naming the file and the part, text conversions and typed cells.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "spreadsheet/model.h"

namespace kelv::readers {

// Bytes beyond which a file is not read at all.
inline constexpr uint64_t kMaxFileBytes = 512ull << 20;
// What one workbook may hold, whatever the file claims: cells, bytes of
// text in them (a short file can name one long shared string a million
// times), merged ranges of a sheet, and records read.
inline constexpr uint64_t kMaxCells = 20'000'000;
inline constexpr uint64_t kMaxTextBytes = 1ull << 30;
inline constexpr size_t kMaxMergesPerSheet = 100'000;
inline constexpr uint64_t kMaxRecords = 64ull << 20;
inline constexpr size_t kMaxSheets = 4096;

// What is left of those limits while a workbook is read.
struct ReadBudget {
  uint64_t cells = kMaxCells;
  uint64_t text_bytes = kMaxTextBytes;
};

// The whole file; 53 when it is missing, 1004 when it is larger than
// kMaxFileBytes or cannot be read.
std::shared_ptr<const std::string> read_file_bytes(const std::string& path);
// Its first bytes, at most `n`; 53 when it is missing.
std::string read_file_head(const std::string& path, size_t n);

// Throws host::HostError 1004: "无法读取文件“FILE”：WHAT" or, with a part,
// "无法读取文件“FILE”的部件“PART”：WHAT".
[[noreturn]] void refuse(const std::string& file, std::string_view what);
[[noreturn]] void refuse(const std::string& file, std::string_view part, std::string_view what);

// Text in a code page (a Windows code page number, as old workbooks name
// it) as UTF-8; unconvertible bytes become U+FFFD. 936 is read as GB18030,
// a superset of it.
std::string from_code_page(std::string_view bytes, int32_t code_page);
// ASCII letters in lower case; other bytes as they are.
std::string lower_ascii(std::string_view s);
// One code point appended as UTF-8; a lone surrogate or a value past
// U+10FFFF as U+FFFD.
void append_utf8(std::string& out, uint32_t cp);
// UTF-16 little-endian code units as UTF-8 (unpaired surrogates become U+FFFD).
std::string from_utf16le(std::string_view bytes);
std::string from_utf16be(std::string_view bytes);
bool is_valid_utf8(std::string_view s);
// Strict GB18030; nullopt when the bytes are not GB18030 text.
std::optional<std::string> from_gb18030_strict(std::string_view bytes);

// A cell's value from text typed into a text file or a web page: a number
// when it reads as one (digits, sign, decimal point, exponent, thousands
// separators), except that digits with a leading zero or more than 11
// digits stay text (exam, ID and phone numbers: a number of 12 digits or
// more shows in exponent form, past 15 it loses digits); TRUE/FALSE as
// Booleans; error texts (#N/A) as errors;
// a date written yyyy-mm-dd or yyyy/m/d as its serial number, with
// *date set; everything else text.
host::Variant typed_value(std::string_view text, bool* date);

// Cells are added to sheets through this: the model's order within a row
// is kept, and the number of cells is bounded.
class SheetFiller {
 public:
  SheetFiller(const std::string& file, spreadsheet::Sheet& sheet, ReadBudget& budget)
      : file_(file), sheet_(sheet), budget_(budget) {}
  // r, c 1-based; cells outside the sheet's bounds are ignored and counted.
  // Refuses the file (1004) past the budget's cells or text.
  void put(int32_t r, int32_t c, const host::Variant& value, uint32_t style = 0);
  int64_t dropped() const { return dropped_; }

 private:
  const std::string& file_;
  spreadsheet::Sheet& sheet_;
  ReadBudget& budget_;
  int64_t dropped_ = 0;
};

// A date number format the text readers give dates.
inline constexpr const char* kTextDateFormat = "yyyy/m/d";

// A fresh sheet name: `wanted` with characters a sheet name cannot hold
// replaced, cut to 31 characters, made unique within the book.
std::string sheet_name(const spreadsheet::Workbook& book, std::string_view wanted);

}  // namespace kelv::readers
