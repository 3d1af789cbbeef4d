// What a cell's number means: dates and times as serial numbers, the
// built-in number formats files refer to by id, and whether a format shows
// a date. Every reader and the writer go through these, so a date reads
// the same from every kind of file.
//
// The model counts dates in the 1900 system: serial 1 is 1900-01-01, and
// serial 60 is 1900-02-29, a day that never was but that the file formats
// count; from serial 61 (1900-03-01) on, serial n is n days after
// 1899-12-30. Serial 0 is the day before 1900-01-01, the date a time alone
// stands on (a time-only value of 08:30 is 0.3541...). Files in the 1904
// system count from 1904-01-01 = 0 and are moved into the 1900 system when
// read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelv::spreadsheet {

struct CivilDate {
  int32_t year = 1900;
  int32_t month = 1;
  int32_t day = 0;  // 1900-01-00 for serial 0
};

// The serial of a date in the 1900 system: 1899-12-31 is 0, 1900-02-29 is
// 60, 9999-12-31 the last. None for a date that does not exist or lies
// outside that span.
std::optional<double> date_serial(int32_t year, int32_t month, int32_t day);

// The date of a whole serial, the inverse of date_serial; serial 60 gives
// 1900-02-29 and 0 gives 1900-01-00. Serials below 0 are taken as 0.
CivilDate civil_date(int64_t serial);

// The fraction of a day of a time of day.
double time_fraction(int32_t hour, int32_t minute, double second);

// A date and time written as ISO 8601, as SpreadsheetML and xlsx's
// t="d" cells write them: "2024-01-05", "2024-01-05T08:30:00.000",
// "1899-12-31T08:30:00" (a time alone: 0.3541...) or "08:30:00". None for
// any other text.
std::optional<double> iso_datetime_serial(std::string_view text);

// Days between the two systems' origins: a 1904 serial plus this is the
// 1900 serial of the same day.
inline constexpr double k1904Offset = 1462;

// The code of a built-in number format id, as the Chinese (PRC) versions of
// the office suites show it; "" when the id is not built in.
std::string builtin_number_format(int32_t id);

// The built-in id a file may use for a code; -1 when it must be written out.
// Codes of the ids whose meaning depends on the reader's locale (27-36 and
// 50-58: dates with 年月日 in a Chinese suite, other things elsewhere) are
// never given an id, so every reader sees the code itself.
int32_t builtin_number_format_id(std::string_view code);

// Ids whose meaning depends on the locale of the program that opens the file.
bool is_locale_builtin_format(int32_t id);

// Whether a built-in id shows a date or a time, whatever the locale.
bool is_date_format_id(int32_t id);

// Whether the code's first section shows a date or a time (elapsed time
// such as [h]:mm included; text in quotes, colours and locale tags are not).
bool is_date_format(std::string_view code);

}  // namespace kelv::spreadsheet
