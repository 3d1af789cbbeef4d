#include "spreadsheet/cell_values.h"

#include <charconv>
#include <cmath>
#include <map>
#include <unordered_map>

namespace kelv::spreadsheet {
namespace {

// Built-in formats: the locale-independent ones and those of the Chinese
// (PRC) locale, which is where the workbooks come from.
const std::map<int32_t, std::string>& builtin_formats() {
  static const std::map<int32_t, std::string> kTable = {
      {0, "General"},
      {1, "0"},
      {2, "0.00"},
      {3, "#,##0"},
      {4, "#,##0.00"},
      {5, "\"¥\"#,##0;\"¥\"\\-#,##0"},
      {6, "\"¥\"#,##0;[Red]\"¥\"\\-#,##0"},
      {7, "\"¥\"#,##0.00;\"¥\"\\-#,##0.00"},
      {8, "\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00"},
      {9, "0%"},
      {10, "0.00%"},
      {11, "0.00E+00"},
      {12, "# ?/?"},
      {13,
       "# ?"
       "?/?"
       "?"},
      {14, "yyyy/m/d"},
      {15, "d-mmm-yy"},
      {16, "d-mmm"},
      {17, "mmm-yy"},
      {18, "h:mm AM/PM"},
      {19, "h:mm:ss AM/PM"},
      {20, "h:mm"},
      {21, "h:mm:ss"},
      {22, "yyyy/m/d h:mm"},
      {27, "yyyy\"年\"m\"月\""},
      {28, "m\"月\"d\"日\""},
      {29, "m\"月\"d\"日\""},
      {30, "m-d-yy"},
      {31, "yyyy\"年\"m\"月\"d\"日\""},
      {32, "h\"时\"mm\"分\""},
      {33, "h\"时\"mm\"分\"ss\"秒\""},
      {34, "上午/下午h\"时\"mm\"分\""},
      {35, "上午/下午h\"时\"mm\"分\"ss\"秒\""},
      {36, "yyyy\"年\"m\"月\""},
      {37, "#,##0 ;(#,##0)"},
      {38, "#,##0 ;[Red](#,##0)"},
      {39, "#,##0.00;(#,##0.00)"},
      {40, "#,##0.00;[Red](#,##0.00)"},
      {41, "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)"},
      {42, "_(\"¥\"* #,##0_);_(\"¥\"* \\(#,##0\\);_(\"¥\"* \"-\"_);_(@_)"},
      {43,
       "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"?"
       "?_);_(@_)"},
      {44,
       "_(\"¥\"* #,##0.00_);_(\"¥\"* \\(#,##0.00\\);_(\"¥\"* \"-\"?"
       "?_);_(@_)"},
      {45, "mm:ss"},
      {46, "[h]:mm:ss"},
      {47, "mm:ss.0"},
      {48, "##0.0E+0"},
      {49, "@"},
      {50, "yyyy\"年\"m\"月\""},
      {51, "m\"月\"d\"日\""},
      {52, "yyyy\"年\"m\"月\""},
      {53, "m\"月\"d\"日\""},
      {54, "m\"月\"d\"日\""},
      {55, "上午/下午h\"时\"mm\"分\""},
      {56, "上午/下午h\"时\"mm\"分\"ss\"秒\""},
      {57, "yyyy\"年\"m\"月\""},
      {58, "m\"月\"d\"日\""},
  };
  return kTable;
}

// Days from 1970-01-01 of a civil date (Howard Hinnant's algorithm).
int64_t days_from_civil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The civil date of a count of days from 1970-01-01.
CivilDate civil_from_days(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  CivilDate c;
  c.day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  c.year = static_cast<int32_t>(yoe + era * 400 + (c.month <= 2 ? 1 : 0));
  return c;
}

constexpr int64_t kUnixDaysOf18991230 = -25569;

bool leap(int32_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Reads `count` digits at `p`, advancing it.
bool digits(std::string_view s, size_t* p, size_t count, int32_t* out) {
  if (*p + count > s.size()) return false;
  int32_t v = 0;
  for (size_t k = 0; k < count; ++k) {
    const char c = s[*p + k];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *p += count;
  *out = v;
  return true;
}

bool expect(std::string_view s, size_t* p, char c) {
  if (*p >= s.size() || s[*p] != c) return false;
  ++*p;
  return true;
}

// "hh:mm[:ss[.fff]]" from `p` to the end, with an optional zone "Z".
std::optional<double> time_of(std::string_view s, size_t p) {
  int32_t h = 0, m = 0;
  if (!digits(s, &p, 2, &h) || !expect(s, &p, ':') || !digits(s, &p, 2, &m)) return std::nullopt;
  double sec = 0;
  if (p < s.size() && s[p] == ':') {
    ++p;
    const size_t end = s.size() - (s.back() == 'Z' ? 1 : 0);
    if (end <= p) return std::nullopt;
    const auto r = std::from_chars(s.data() + p, s.data() + end, sec);
    if (r.ec != std::errc() || r.ptr != s.data() + end || sec < 0 || sec >= 61) return std::nullopt;
  } else if (p != s.size() && !(p + 1 == s.size() && s[p] == 'Z')) {
    return std::nullopt;
  }
  if (h > 24 || m > 59) return std::nullopt;
  return time_fraction(h, m, sec);
}

}  // namespace

std::optional<double> date_serial(int32_t year, int32_t month, int32_t day) {
  static const int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return std::nullopt;
  if (year == 1900 && month == 2 && day == 29) return 60.0;
  const int32_t last = kDays[month - 1] + (month == 2 && leap(year) ? 1 : 0);
  if (day > last) return std::nullopt;
  if (year == 1899 && month == 12 && day == 31) return 0.0;
  if (year < 1900 || year > 9999) return std::nullopt;
  const int64_t serial = days_from_civil(year, month, day) - kUnixDaysOf18991230;
  // Before March 1900 the count lacks the day that never was.
  return static_cast<double>(serial < 61 ? serial - 1 : serial);
}

CivilDate civil_date(int64_t serial) {
  if (serial <= 0) return CivilDate{};
  if (serial == 60) return CivilDate{1900, 2, 29};
  return civil_from_days((serial < 60 ? serial + 1 : serial) + kUnixDaysOf18991230);
}

double time_fraction(int32_t hour, int32_t minute, double second) {
  return (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

std::optional<double> iso_datetime_serial(std::string_view s) {
  if (s.size() >= 5 && s[2] == ':') return time_of(s, 0);
  size_t p = 0;
  int32_t y = 0, mo = 0, d = 0;
  if (!digits(s, &p, 4, &y) || !expect(s, &p, '-') || !digits(s, &p, 2, &mo) ||
      !expect(s, &p, '-') || !digits(s, &p, 2, &d))
    return std::nullopt;
  const std::optional<double> day = date_serial(y, mo, d);
  if (!day) return std::nullopt;
  if (p == s.size()) return day;
  if (s[p] != 'T') return std::nullopt;
  const std::optional<double> time = time_of(s, p + 1);
  if (!time) return std::nullopt;
  return *day + *time;
}

std::string builtin_number_format(int32_t id) {
  auto it = builtin_formats().find(id);
  return it == builtin_formats().end() ? std::string() : it->second;
}

int32_t builtin_number_format_id(std::string_view code) {
  static const std::unordered_map<std::string, int32_t> kReverse = [] {
    std::unordered_map<std::string, int32_t> m;
    for (const auto& [id, c] : builtin_formats()) {
      if (!is_locale_builtin_format(id)) m.emplace(c, id);  // lowest id wins
    }
    m["general"] = 0;
    m["GENERAL"] = 0;
    return m;
  }();
  auto it = kReverse.find(std::string(code));
  return it == kReverse.end() ? -1 : it->second;
}

bool is_locale_builtin_format(int32_t id) {
  return (id >= 27 && id <= 36) || (id >= 50 && id <= 58);
}

bool is_date_format_id(int32_t id) {
  return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
         (id >= 50 && id <= 58);
}

}  // namespace kelv::spreadsheet
