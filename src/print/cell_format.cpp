#include "print/cell_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "spreadsheet/palette.h"

namespace kelv::print {
namespace {

using spreadsheet::Color;

// The default office theme in the order files index it (light 1 first).
constexpr uint32_t kTheme[12] = {0xFFFFFF, 0x000000, 0xEEECE1, 0x1F497D, 0x4F81BD, 0xC0504D,
                                 0x9BBB59, 0x8064A2, 0x4BACC6, 0xF79646, 0x0000FF, 0x800080};

// A tint moves the colour's lightness (in HSL) towards black (negative) or
// white (positive).
uint32_t apply_tint(uint32_t rgb, double tint) {
  if (tint == 0) return rgb;
  const double r = ((rgb >> 16) & 0xFF) / 255.0, g = ((rgb >> 8) & 0xFF) / 255.0,
               b = (rgb & 0xFF) / 255.0;
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  double h = 0, s = 0, l = (mx + mn) / 2;
  if (mx != mn) {
    const double d = mx - mn;
    s = l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
    if (mx == r)
      h = (g - b) / d + (g < b ? 6 : 0);
    else if (mx == g)
      h = (b - r) / d + 2;
    else
      h = (r - g) / d + 4;
    h /= 6;
  }
  l = tint < 0 ? l * (1 + tint) : l * (1 - tint) + tint;
  l = std::clamp(l, 0.0, 1.0);
  auto channel = [](double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
  };
  double nr = l, ng = l, nb = l;
  if (s > 0) {
    const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
    const double p = 2 * l - q;
    nr = channel(p, q, h + 1.0 / 3);
    ng = channel(p, q, h);
    nb = channel(p, q, h - 1.0 / 3);
  }
  auto byte = [](double v) {
    return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  return (byte(nr) << 16) | (byte(ng) << 8) | byte(nb);
}

uint32_t palette_color(uint32_t entry) {
  return spreadsheet::palette_rgb(static_cast<int32_t>(entry)) & 0xFFFFFF;
}

// strip_section replaces each literal of a format section by kLiteral and
// hands out the literals' texts in order.
constexpr char kLiteral = '\x01';

// Writes a stripped section's characters back, each kLiteral as the next
// literal text.
class SectionWriter {
 public:
  explicit SectionWriter(const std::vector<std::string>& literals) : literals_(literals) {}
  void put(std::string& out, char ch) {
    if (ch != kLiteral) {
      out += ch;
    } else if (next_ < literals_.size()) {
      out += literals_[next_++];
    }
  }

 private:
  const std::vector<std::string>& literals_;
  size_t next_ = 0;
};

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A date or time part: two digits when its letter is doubled.
std::string date_part(int value, int letters) {
  std::string s = std::to_string(value);
  if (letters >= 2 && s.size() < 2) s.insert(0, 1, '0');
  return s;
}

// Removes quoted literals' quotes, backslash escapes and bracketed parts
// ([Red], [$-804]) from one format section; literals are kept aside.
std::string strip_section(std::string_view section, std::vector<std::string>* literals) {
  std::string out;
  for (size_t i = 0; i < section.size(); ++i) {
    const char ch = section[i];
    if (ch == '"') {
      size_t j = section.find('"', i + 1);
      if (j == std::string_view::npos) j = section.size();
      literals->emplace_back(section.substr(i + 1, j - i - 1));
      out += kLiteral;
      i = j;
    } else if (ch == '\\' && i + 1 < section.size()) {
      // An escaped character, which may take several bytes.
      size_t n = 1;
      while (i + 1 + n < section.size() &&
             (static_cast<unsigned char>(section[i + 1 + n]) & 0xC0) == 0x80)
        ++n;
      literals->emplace_back(section.substr(i + 1, n));
      out += kLiteral;
      i += n;
    } else if (ch == '[') {
      const size_t j = section.find(']', i);
      i = j == std::string_view::npos ? section.size() : j;
    } else if (ch == '_' || ch == '*') {
      ++i;  // padding to the width of the next character: nothing shown
    } else {
      out += ch;
    }
  }
  return out;
}

bool is_date_format(std::string_view s) {
  for (char ch : s) {
    const char l = lower(ch);
    if (l == 'y' || l == 'd' || l == 'h' || l == 's' || l == 'm') return true;
  }
  return false;
}

bool is_ascii_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Days since 1970-01-01 to a civil date.
void civil_from_days(int64_t z, int* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yoe + era * 400 + (*m <= 2 ? 1 : 0));
}

std::string format_date(double serial, std::string_view fmt,
                        const std::vector<std::string>& literals) {
  const int64_t days = static_cast<int64_t>(std::floor(serial));
  const double frac = serial - static_cast<double>(days);
  // Serial 60 is the 29th of February 1900 that never was; serials after it
  // count from the 30th of December 1899 (day -25569 of 1970).
  const int64_t unix_days = days < 60 ? days - 25568 : days - 25569;
  int year = 0, month = 0, day = 0;
  civil_from_days(unix_days, &year, &month, &day);
  const int64_t secs = std::llround(frac * 86400.0);
  const int hour = static_cast<int>(secs / 3600), minute = static_cast<int>(secs / 60 % 60),
            second = static_cast<int>(secs % 60);
  std::string out;
  SectionWriter writer(literals);
  bool after_hour = false;
  for (size_t i = 0; i < fmt.size();) {
    const char ch = fmt[i];
    const char l = lower(ch);
    if (ch == kLiteral) {
      writer.put(out, ch);
      ++i;
      continue;
    }
    int n = 1;
    while (i + n < fmt.size() && lower(fmt[i + n]) == l) ++n;
    if (l == 'y') {
      out += n <= 2 ? date_part(year % 100, 2) : std::to_string(year);
    } else if (l == 'm') {
      // Minutes right after an hour or right before seconds, months otherwise.
      size_t k = i + n;
      while (k < fmt.size() && !is_ascii_letter(fmt[k])) ++k;
      const bool minutes = after_hour || (k < fmt.size() && lower(fmt[k]) == 's');
      out += date_part(minutes ? minute : month, n);
      after_hour = false;
    } else if (l == 'd') {
      out += date_part(day, n);
    } else if (l == 'h') {
      out += date_part(hour, n);
      after_hour = true;
    } else if (l == 's') {
      out += date_part(second, n);
    } else {
      out.append(fmt.substr(i, n));
    }
    i += n;
  }
  return out;
}

bool is_digit_placeholder(char c) {
  return c == '0' || c == '#' || c == '?';
}

std::string format_number(double v, std::string_view fmt,
                          const std::vector<std::string>& literals) {
  size_t first = std::string_view::npos;
  for (size_t i = 0; i < fmt.size(); ++i)
    if (is_digit_placeholder(fmt[i])) {
      first = i;
      break;
    }
  std::string out;
  SectionWriter writer(literals);
  if (first == std::string_view::npos) {
    // A section of literals only.
    for (char ch : fmt) writer.put(out, ch);
    return out;
  }
  size_t last = first;
  for (size_t i = first; i < fmt.size(); ++i)
    if (is_digit_placeholder(fmt[i]) || fmt[i] == '.' || fmt[i] == ',') last = i;
  const std::string_view body = fmt.substr(first, last - first + 1);
  const bool percent = fmt.find('%') != std::string_view::npos;
  const bool grouping = body.find(',') != std::string_view::npos;
  const size_t dot = body.find('.');
  const std::string_view int_part = dot == std::string_view::npos ? body : body.substr(0, dot);
  const std::string_view dec_part =
      dot == std::string_view::npos ? std::string_view() : body.substr(dot + 1);
  const int min_int = static_cast<int>(std::count(int_part.begin(), int_part.end(), '0'));
  const int required = static_cast<int>(std::count(dec_part.begin(), dec_part.end(), '0'));
  const int decimals =
      static_cast<int>(std::count_if(dec_part.begin(), dec_part.end(), is_digit_placeholder));
  if (percent) v *= 100;
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(v));
  const std::string digits = buf;
  const size_t point = digits.find('.');
  std::string ip = point == std::string::npos ? digits : digits.substr(0, point);
  std::string dp = point == std::string::npos ? std::string() : digits.substr(point + 1);
  if (ip == "0" && min_int == 0) ip.clear();
  while (static_cast<int>(ip.size()) < min_int) ip.insert(0, 1, '0');
  if (grouping)
    for (int i = static_cast<int>(ip.size()) - 3; i > 0; i -= 3)
      ip.insert(static_cast<size_t>(i), 1, ',');
  // Optional decimals (#) drop their trailing zeros.
  while (static_cast<int>(dp.size()) > required && !dp.empty() && dp.back() == '0') dp.pop_back();
  std::string number = ip;
  if (!dp.empty() || (dot != std::string_view::npos && required > 0)) number += '.' + dp;
  for (size_t i = 0; i < first; ++i) writer.put(out, fmt[i]);
  const bool nonzero =
      std::any_of(number.begin(), number.end(), [](char c) { return c >= '1' && c <= '9'; });
  if (v < 0 && nonzero) out += '-';
  out += number;
  for (size_t i = last + 1; i < fmt.size(); ++i) writer.put(out, fmt[i]);
  return out;
}

// "General" in any case, with spaces around it.
bool is_general_word(std::string_view code) {
  std::string l;
  for (char c : code)
    if (c != ' ') l += lower(c);
  return l == "general";
}

bool is_general(std::string_view code) {
  return code.empty() || code == "@" || code == "G/通用格式" || is_general_word(code);
}

// Splits a format code at the semicolons that separate its sections.
std::vector<std::string_view> sections_of(std::string_view code) {
  std::vector<std::string_view> out;
  size_t start = 0;
  bool quoted = false;
  for (size_t i = 0; i < code.size(); ++i) {
    if (code[i] == '"') quoted = !quoted;
    if (code[i] == '\\') ++i;
    if (code[i] == ';' && !quoted) {
      out.push_back(code.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(code.substr(start));
  return out;
}

}  // namespace

uint32_t resolve_color(const Color& c, uint32_t fallback) {
  switch (c.kind) {
    case Color::Kind::Rgb:
      return apply_tint(c.value & 0xFFFFFF, c.tint);
    case Color::Kind::Indexed:
      // 0-7 repeat the palette's first eight entries; 8-63 are entries 1-56.
      if (c.value < 8) return apply_tint(palette_color(c.value + 1), c.tint);
      if (c.value < 64) return apply_tint(palette_color(c.value - 7), c.tint);
      return fallback;  // 64, 65: the system's foreground / background
    case Color::Kind::Theme:
      if (c.value < 12) return apply_tint(kTheme[c.value], c.tint);
      return fallback;
    case Color::Kind::Auto:
    case Color::Kind::None:
      break;
  }
  return fallback;
}

std::string display_text(const spreadsheet::Cell& cell, const spreadsheet::Style& style) {
  const host::Variant& v = cell.value;
  switch (v.kind()) {
    case host::Variant::Kind::Empty:
    case host::Variant::Kind::Null:
      return {};
    case host::Variant::Kind::Text:
      return v.as_text();
    case host::Variant::Kind::Boolean:
      return v.as_bool() ? "TRUE" : "FALSE";
    case host::Variant::Kind::Error:
      return std::string(host::cell_error_text(v.as_error()));
    case host::Variant::Kind::Number:
      break;
  }
  const double d = v.as_number();
  const std::string& code = style.number_format;
  if (is_general(code)) return host::number_to_text(d);
  const std::vector<std::string_view> sections = sections_of(code);
  std::string_view section = sections[0];
  double shown = d;
  if (d < 0 && sections.size() > 1) {
    section = sections[1];
    shown = -d;  // the negative section writes its own sign
  } else if (d == 0 && sections.size() > 2) {
    section = sections[2];
  }
  std::vector<std::string> literals;
  const std::string fmt = strip_section(section, &literals);
  if (is_general_word(fmt)) return host::number_to_text(shown);
  if (is_date_format(fmt)) {
    if (shown < 0 || shown > 2958465) return std::string(8, '#');
    return format_date(shown, fmt, literals);
  }
  return format_number(shown, fmt, literals);
}

}  // namespace kelv::print
