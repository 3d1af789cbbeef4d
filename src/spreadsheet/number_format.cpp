#include "spreadsheet/number_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "spreadsheet/palette.h"

namespace kelv::spreadsheet {
namespace {

// ---------------------------------------------------------------------------
// Decimal digits of a value, rounded as the office suites round.

// |v| as its 15 significant decimal digits: v = 0.d1d2...d15 * 10^point.
struct Decimal {
  std::string digits;  // 15 digits, the first non-zero unless the value is 0
  int point = 0;
};

Decimal decimal_of(double v) {
  Decimal d;
  v = std::fabs(v);
  if (v == 0 || !std::isfinite(v)) {
    d.digits = std::string(15, '0');
    d.point = 1;
    return d;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", v);
  // d.dddddddddddddde[+-]xx
  d.digits = std::string(1, buf[0]) + std::string(buf + 2, 14);
  d.point = std::atoi(std::strchr(buf, 'e') + 1) + 1;
  return d;
}

// Adds one to a string of decimal digits; true when it overflowed into a
// new leading digit (which is then there).
bool increment(std::string& digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  digits.insert(0, 1, '1');
  return true;
}

// The value rounded half away from zero to `decimals` places: the integer
// digits (no leading zeros, "" for 0) and exactly `decimals` decimals.
void fixed_digits(const Decimal& d, int decimals, std::string* int_part, std::string* dec_part) {
  // All digits up to the rounding place, as one string with `point` integer
  // digits (negative point: leading zeros after the decimal point).
  std::string all;
  int point = d.point;
  if (point < 0) {
    all.assign(static_cast<size_t>(-point), '0');
    point = 0;
  }
  all += d.digits;
  const int keep = point + decimals;  // digits kept
  bool round_up = false;
  if (keep < 0) {
    all.clear();
  } else if (static_cast<size_t>(keep) < all.size()) {
    round_up = all[static_cast<size_t>(keep)] >= '5';
    all.resize(static_cast<size_t>(keep));
  } else {
    all.append(static_cast<size_t>(keep) - all.size(), '0');
  }
  if (round_up && (all.empty() || increment(all))) {
    // Up to a new leading digit: one at the last place kept, or a carry
    // that made the digits one longer.
    if (all.empty()) all = "1";
  }
  // Leading digits before the point; pad when the value is below one.
  const int total = static_cast<int>(all.size());
  const int int_digits = total - decimals;
  if (int_digits <= 0) {
    int_part->clear();
    *dec_part = std::string(static_cast<size_t>(-int_digits), '0') + all;
  } else {
    *int_part = all.substr(0, static_cast<size_t>(int_digits));
    *dec_part = all.substr(static_cast<size_t>(int_digits));
  }
  size_t nz = 0;
  while (nz < int_part->size() && (*int_part)[nz] == '0') ++nz;
  int_part->erase(0, nz);
}

// The value as mantissa digits and exponent: `sig` significant digits,
// rounded, with v = m.mmm * 10^exp.
void scientific_digits(const Decimal& d, int sig, std::string* mantissa, int* exp) {
  std::string m = d.digits.substr(0, static_cast<size_t>(std::min(sig, 15)));
  int e = d.point - 1;
  if (sig < 15 && d.digits[static_cast<size_t>(sig)] >= '5' && increment(m)) {
    m.pop_back();
    ++e;
  }
  if (static_cast<int>(m.size()) < sig) m.append(static_cast<size_t>(sig) - m.size(), '0');
  if (d.digits[0] == '0') e = 0;
  *mantissa = m;
  *exp = e;
}

// ---------------------------------------------------------------------------
// The format code as tokens.

enum class Kind : uint8_t {
  Literal,
  Zero,   // 0
  Hash,   // #
  Query,  // ?
  Point,
  Comma,
  Percent,
  Exponent,  // E+ / E-: text is "+" or "-"
  Slash,
  At,
  Fill,
  General,
  Year,
  Month,
  Minute,
  Day,
  DayName,  // aaa / aaaa
  Hour,
  Second,
  SubSecond,  // the 0s after a seconds' point
  AmPm,       // text: the form written
  Elapsed,    // [h] [mm] [ss]: text is the letter
};

struct Token {
  Kind kind;
  std::string text;
  int count = 1;
};

enum class Op : uint8_t { None, Lt, Le, Gt, Ge, Eq, Ne };

struct Section {
  std::vector<Token> tokens;
  std::optional<uint32_t> color;
  Op op = Op::None;
  double operand = 0;
  int dbnum = 0;
  bool chinese = false;  // a [$-804]-like locale tag names Chinese
  bool english = false;  // [$-409]
  bool date = false;
  bool text = false;     // an @ section
  bool general = false;  // a General token
  bool digits = false;   // digit placeholders
  bool empty = true;     // nothing at all (shows "")
};

bool is_placeholder(Kind k) {
  return k == Kind::Zero || k == Kind::Hash || k == Kind::Query;
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool starts_with_nocase(std::string_view s, size_t at, std::string_view word) {
  if (s.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (lower(s[at + i]) != lower(word[i])) return false;
  return true;
}

// The length in bytes of the UTF-8 character starting at s[i].
size_t char_length(std::string_view s, size_t i) {
  size_t n = 1;
  while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
  return n;
}

constexpr std::array<std::pair<std::string_view, uint32_t>, 8> kColorNames = {{
    {"black", 0x000000},
    {"blue", 0x0000FF},
    {"cyan", 0x00FFFF},
    {"green", 0x00FF00},
    {"magenta", 0xFF00FF},
    {"red", 0xFF0000},
    {"white", 0xFFFFFF},
    {"yellow", 0xFFFF00},
}};

void add_literal(std::vector<Token>& tokens, std::string_view text) {
  if (!tokens.empty() && tokens.back().kind == Kind::Literal)
    tokens.back().text += text;
  else
    tokens.push_back({Kind::Literal, std::string(text)});
}

// A bracketed part: colour, condition, locale, numerals or elapsed time.
void read_bracket(std::string_view in, Section& s, const FormatOptions& options) {
  std::string l;
  for (char c : in) l += lower(c);
  for (const auto& [name, rgb] : kColorNames)
    if (l == name) {
      s.color = rgb;
      return;
    }
  if (l.rfind("color", 0) == 0 && l.size() > 5) {
    const int n = std::atoi(l.c_str() + 5);
    if (n >= 1 && n <= 56)
      s.color = (options.palette != nullptr ? options.palette[n - 1] : palette_rgb(n)) & 0xFFFFFF;
    return;
  }
  if (l.rfind("dbnum", 0) == 0) {
    s.dbnum = std::atoi(l.c_str() + 5);
    return;
  }
  if (!in.empty() && (in[0] == '<' || in[0] == '>' || in[0] == '=')) {
    size_t i = 1;
    if (in[0] == '<' && i < in.size() && in[i] == '=')
      s.op = Op::Le, ++i;
    else if (in[0] == '<' && i < in.size() && in[i] == '>')
      s.op = Op::Ne, ++i;
    else if (in[0] == '>' && i < in.size() && in[i] == '=')
      s.op = Op::Ge, ++i;
    else
      s.op = in[0] == '<' ? Op::Lt : in[0] == '>' ? Op::Gt : Op::Eq;
    s.operand = std::strtod(std::string(in.substr(i)).c_str(), nullptr);
    return;
  }
  if (!in.empty() && in[0] == '$') {
    const size_t dash = in.find('-');
    const std::string_view symbol =
        in.substr(1, dash == std::string_view::npos ? in.size() - 1 : dash - 1);
    if (!symbol.empty()) add_literal(s.tokens, symbol);
    if (dash != std::string_view::npos) {
      const long lcid = std::strtol(std::string(in.substr(dash + 1)).c_str(), nullptr, 16) & 0xFFFF;
      const long language = lcid & 0x3FF;
      s.chinese = language == 0x04;
      s.english = language == 0x09;
    }
    return;
  }
  if (!l.empty() && (l[0] == 'h' || l[0] == 'm' || l[0] == 's') &&
      l.find_first_not_of(l[0]) == std::string::npos) {
    s.tokens.push_back({Kind::Elapsed, std::string(1, l[0]), static_cast<int>(l.size())});
    return;
  }
  // Anything else ([natnum1], unknown tags) shows nothing.
}

Section parse_section(std::string_view in, const FormatOptions& options) {
  Section s;
  s.empty = in.empty();
  std::vector<Token>& t = s.tokens;
  for (size_t i = 0; i < in.size();) {
    const char ch = in[i];
    const char l = lower(ch);
    if (ch == '"') {
      size_t j = in.find('"', i + 1);
      if (j == std::string_view::npos) j = in.size();
      add_literal(t, in.substr(i + 1, j - i - 1));
      i = j + 1;
    } else if (ch == '\\' || ch == '!') {
      if (i + 1 < in.size()) {
        const size_t n = char_length(in, i + 1);
        add_literal(t, in.substr(i + 1, n));
        i += 1 + n;
      } else {
        ++i;
      }
    } else if (ch == '[') {
      size_t j = in.find(']', i);
      if (j == std::string_view::npos) j = in.size();
      read_bracket(in.substr(i + 1, j - i - 1), s, options);
      i = j + 1;
    } else if (ch == '_') {
      // Space as wide as the next character.
      if (i + 1 < in.size()) i += char_length(in, i + 1);
      add_literal(t, " ");
      ++i;
    } else if (ch == '*') {
      if (i + 1 < in.size()) {
        const size_t n = char_length(in, i + 1);
        t.push_back({Kind::Fill, std::string(in.substr(i + 1, n))});
        i += 1 + n;
      } else {
        ++i;
      }
    } else if (ch == '0' || ch == '#' || ch == '?') {
      t.push_back({ch == '0' ? Kind::Zero : ch == '#' ? Kind::Hash : Kind::Query, {}});
      ++i;
    } else if (ch == '.') {
      t.push_back({Kind::Point, "."});
      ++i;
    } else if (ch == ',') {
      t.push_back({Kind::Comma, ","});
      ++i;
    } else if (ch == '%') {
      t.push_back({Kind::Percent, "%"});
      ++i;
    } else if (l == 'e' && i + 1 < in.size() && (in[i + 1] == '+' || in[i + 1] == '-')) {
      t.push_back({Kind::Exponent, std::string(1, in[i + 1])});
      i += 2;
    } else if (ch == '/') {
      t.push_back({Kind::Slash, "/"});
      ++i;
      // A fixed denominator (# ?/16, # ?/100) is one number.
      if (i < in.size() && in[i] >= '1' && in[i] <= '9') {
        size_t j = i;
        while (j < in.size() && in[j] >= '0' && in[j] <= '9') ++j;
        t.push_back({Kind::Literal, std::string(in.substr(i, j - i))});
        i = j;
      }
    } else if (ch == '@') {
      t.push_back({Kind::At, {}});
      ++i;
    } else if (starts_with_nocase(in, i, "general")) {
      t.push_back({Kind::General, {}});
      i += 7;
    } else if (in.substr(i, 14) == "G/\xE9\x80\x9A\xE7\x94\xA8\xE6\xA0\xBC\xE5\xBC\x8F") {
      t.push_back({Kind::General, {}});  // G/通用格式
      i += 14;
    } else if (starts_with_nocase(in, i, "am/pm")) {
      t.push_back({Kind::AmPm, std::string(in.substr(i, 5))});
      i += 5;
    } else if (starts_with_nocase(in, i, "a/p")) {
      t.push_back({Kind::AmPm, std::string(in.substr(i, 3))});
      i += 3;
    } else if (in.substr(i, 13) == "\xE4\xB8\x8A\xE5\x8D\x88/\xE4\xB8\x8B\xE5\x8D\x88") {
      t.push_back({Kind::AmPm, "\xE4\xB8\x8A\xE5\x8D\x88"});  // 上午/下午
      i += 13;
    } else if (l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's' ||
               (l == 'a' && starts_with_nocase(in, i, "aaa")) || l == 'e') {
      int n = 1;
      while (i + n < in.size() && lower(in[i + n]) == l) ++n;
      Kind k = Kind::Year;
      switch (l) {
        case 'm':
          k = Kind::Month;
          break;
        case 'd':
          k = Kind::Day;
          break;
        case 'h':
          k = Kind::Hour;
          break;
        case 's':
          k = Kind::Second;
          break;
        case 'a':
          k = Kind::DayName;
          break;
        default:
          break;
      }
      if (l == 'e') n = 4;  // the year in full
      t.push_back({k, {}, l == 'e' ? 4 : n});
      i += l == 'e' ? 1 : static_cast<size_t>(n);
    } else {
      const size_t n = char_length(in, i);
      add_literal(t, in.substr(i, n));
      i += n;
    }
  }
  for (const Token& k : t) {
    switch (k.kind) {
      case Kind::Year:
      case Kind::Month:
      case Kind::Day:
      case Kind::DayName:
      case Kind::Hour:
      case Kind::Second:
      case Kind::AmPm:
      case Kind::Elapsed:
        s.date = true;
        break;
      case Kind::At:
        s.text = true;
        break;
      case Kind::General:
        s.general = true;
        break;
      case Kind::Zero:
      case Kind::Hash:
      case Kind::Query:
        s.digits = true;
        break;
      default:
        break;
    }
  }
  if (s.date) {
    // m and mm are minutes right after an hour or right before a second;
    // the 0s after a seconds' point are its fractions.
    Kind previous = Kind::Literal;
    for (size_t i = 0; i < t.size(); ++i) {
      Token& k = t[i];
      if (k.kind == Kind::Month && k.count <= 2) {
        bool minutes = previous == Kind::Hour || (previous == Kind::Elapsed);
        for (size_t j = i + 1; j < t.size() && !minutes; ++j) {
          const Kind n = t[j].kind;
          if (n == Kind::Second || (n == Kind::Elapsed && t[j].text == "s")) minutes = true;
          if (n != Kind::Literal && n != Kind::Point && n != Kind::Comma) break;
        }
        if (minutes) k.kind = Kind::Minute;
      }
      if (k.kind == Kind::Point && i + 1 < t.size() && t[i + 1].kind == Kind::Zero &&
          (previous == Kind::Second || previous == Kind::Elapsed)) {
        int n = 0;
        while (i + 1 + n < t.size() && t[i + 1 + n].kind == Kind::Zero) ++n;
        t.erase(t.begin() + static_cast<ptrdiff_t>(i) + 1,
                t.begin() + static_cast<ptrdiff_t>(i) + 1 + n);
        k = {Kind::SubSecond, ".", n};
      }
      if (k.kind != Kind::Literal && k.kind != Kind::Point && k.kind != Kind::Comma &&
          k.kind != Kind::Slash)
        previous = k.kind;
    }
  }
  return s;
}

std::vector<Section> parse(std::string_view code, const FormatOptions& options) {
  std::vector<Section> out;
  size_t start = 0;
  bool quoted = false;
  for (size_t i = 0; i <= code.size(); ++i) {
    if (i < code.size() && code[i] == '"') quoted = !quoted;
    if (i < code.size() && code[i] == '\\' && !quoted) {
      ++i;
      continue;
    }
    if (i == code.size() || (code[i] == ';' && !quoted)) {
      out.push_back(parse_section(code.substr(start, i - start), options));
      start = i + 1;
      if (out.size() == 4) break;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Chinese numerals.

constexpr std::array<std::string_view, 10> kLowerDigits = {"〇", "一", "二", "三", "四",
                                                           "五", "六", "七", "八", "九"};
constexpr std::array<std::string_view, 10> kUpperDigits = {"零", "壹", "贰", "叁", "肆",
                                                           "伍", "陆", "柒", "捌", "玖"};
constexpr std::array<std::string_view, 10> kWideDigits = {"０", "１", "２", "３", "４",
                                                          "５", "６", "７", "８", "９"};

std::string_view digit_of(int style, char d) {
  const size_t i = static_cast<size_t>(d - '0');
  return style == 2 ? kUpperDigits[i] : style == 3 ? kWideDigits[i] : kLowerDigits[i];
}

// An integer's digits with units (一百二十三, 壹佰贰拾叁; 万, 亿 and 兆
// for each four digits more); [DBNum3] writes full-width digits without
// units. `drop_one` writes 10 to 19 as 十 to 十九 (months and days).
std::string chinese_integer(std::string_view digits, int style, bool drop_one = false) {
  while (digits.size() > 1 && digits[0] == '0') digits.remove_prefix(1);
  if (digits.empty()) digits = "0";
  if (style == 3) {
    std::string out;
    for (char d : digits) out += digit_of(3, d);
    return out;
  }
  const std::string_view zero = digit_of(style, '0');
  if (digits == "0") return std::string(zero);
  if (digits.size() > 12) {
    // Above 兆 the count starts again.
    const std::string_view low = digits.substr(digits.size() - 12);
    std::string out = chinese_integer(digits.substr(0, digits.size() - 12), style) + "兆";
    const size_t first = low.find_first_not_of('0');
    if (first == std::string_view::npos) return out;
    if (first > 0) out += zero;
    return out + chinese_integer(low, style);
  }
  const std::array<std::string_view, 4> small =
      style == 2 ? std::array<std::string_view, 4>{"", "拾", "佰", "仟"}
                 : std::array<std::string_view, 4>{"", "十", "百", "千"};
  constexpr std::array<std::string_view, 3> kBig = {"", "万", "亿"};
  std::string out;
  const size_t n = digits.size();
  bool pending_zero = false;
  for (size_t i = 0; i < n; ++i) {
    const size_t place = n - 1 - i;
    const char d = digits[i];
    if (d == '0') {
      pending_zero = true;
    } else {
      if (pending_zero) out += zero;
      pending_zero = false;
      if (!(drop_one && d == '1' && place == 1 && out.empty())) out += digit_of(style, d);
      out += small[place % 4];
    }
    if (place % 4 == 0 && place > 0) {
      // A group of four closes with its unit when it had any digit.
      const size_t start = i >= 3 ? i - 3 : 0;
      if (digits.substr(start, i - start + 1).find_first_not_of('0') != std::string_view::npos) {
        out += kBig[place / 4];
        pending_zero = false;
      }
    }
  }
  return out;
}

// Digits one by one (二〇二四).
std::string chinese_digits(std::string_view digits, int style) {
  std::string out;
  for (char d : digits) {
    if (d >= '0' && d <= '9')
      out += digit_of(style, d);
    else
      out += d;
  }
  return out;
}

// A number's text in Chinese numerals: the integer part with units,
// decimals one by one, the point as ． (点 in capitals), the minus sign
// full-width except in General (负 in capitals).
std::string chinese_number(const std::string& text, int style, bool general) {
  std::string out;
  bool decimals = false;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      size_t j = i;
      std::string run;
      while (j < text.size() && ((text[j] >= '0' && text[j] <= '9') || text[j] == ',')) {
        if (text[j] != ',') run += text[j];
        ++j;
      }
      out += decimals ? chinese_digits(run, style) : chinese_integer(run, style);
      i = j;
      continue;
    }
    if (c == '.') {
      out += style == 2 ? "点" : "．";
      decimals = true;
    } else if (c == '-' && style == 2 && !general) {
      out += "负";
    } else if (c == '-' && !general) {
      out += "－";
    } else {
      out += c;
      if (c != '-') decimals = false;
    }
    ++i;
  }
  return out;
}

// ---------------------------------------------------------------------------
// General.

std::string general_fixed(const Decimal& d, int decimals) {
  std::string ip, dp;
  fixed_digits(d, decimals, &ip, &dp);
  while (!dp.empty() && dp.back() == '0') dp.pop_back();
  if (ip.empty()) ip = "0";
  return dp.empty() ? ip : ip + "." + dp;
}

std::string general_scientific(const Decimal& d, int sig) {
  std::string m;
  int e = 0;
  scientific_digits(d, sig, &m, &e);
  while (m.size() > 1 && m.back() == '0') m.pop_back();
  std::string out(1, m[0]);
  if (m.size() > 1) out += "." + m.substr(1);
  char buf[16];
  std::snprintf(buf, sizeof buf, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
  return out + buf;
}

// ---------------------------------------------------------------------------
// Numbers through a number section.

struct Output {
  std::string text;
  std::string fill;
  size_t fill_at = std::string::npos;
};

void put_token_literal(Output& out, const Token& k) {
  if (k.kind == Kind::Fill) {
    if (out.fill_at == std::string::npos) {
      out.fill = k.text;
      out.fill_at = out.text.size();
    }
    return;
  }
  out.text += k.text;
}

std::string padded(int64_t value, int width) {
  const std::string s = std::to_string(value);
  return std::string(static_cast<size_t>(std::max(0, width - static_cast<int>(s.size()))), '0') + s;
}

// Places integer digits into the placeholders right to left; the first
// placeholder takes every digit left over.
std::string fill_integer(const std::string& digits, const std::vector<Kind>& places,
                         bool grouping) {
  std::string reversed;  // built from the right
  size_t di = digits.size();
  int position = 0;  // digits written so far, for grouping
  auto put = [&](char c) {
    if (grouping && position > 0 && position % 3 == 0) reversed += c == ' ' ? ' ' : ',';
    reversed += c;
    ++position;
  };
  for (size_t p = places.size(); p-- > 0;) {
    if (di > 0) {
      const size_t take = p == 0 ? di : 1;
      for (size_t k = 0; k < take; ++k) put(digits[di - 1 - k]);
      di -= take;
    } else if (places[p] == Kind::Zero) {
      put('0');
    } else if (places[p] == Kind::Query) {
      put(' ');
    }
  }
  return {reversed.rbegin(), reversed.rend()};
}

// The best fraction num/den for 0 <= frac < 1 with den <= max_den.
void best_fraction(double frac, int max_den, int64_t* num, int* den) {
  *num = 0;
  *den = 1;
  double best = frac;
  for (int d = 1; d <= max_den; ++d) {
    const double n = std::floor(frac * d + 0.5);
    const double err = std::fabs(frac - n / d);
    if (err < best - 1e-12) {
      best = err;
      *num = static_cast<int64_t>(n);
      *den = d;
    }
  }
}

// Returns whether a fraction alone shows zero (0/1), which takes no sign.
bool format_fraction(double v, const Section& s, size_t slash, Output& out) {
  const std::vector<Token>& t = s.tokens;
  // The numerator's placeholders run back from the slash; the integer part's
  // placeholders come before them, apart by a literal.
  size_t num_start = slash;
  while (num_start > 0 && is_placeholder(t[num_start - 1].kind)) --num_start;
  size_t int_end = num_start;  // tokens [0, int_end) hold the integer part
  bool has_int = false;
  for (size_t i = 0; i < int_end; ++i)
    if (is_placeholder(t[i].kind)) has_int = true;
  // The denominator: placeholders or a fixed number.
  size_t after = slash + 1;
  int fixed_den = 0;
  std::vector<Kind> den_places;
  if (after < t.size() && t[after].kind == Kind::Literal && t[after].text[0] >= '1' &&
      t[after].text[0] <= '9') {
    size_t n = 0;
    while (n < t[after].text.size() && t[after].text[n] >= '0' && t[after].text[n] <= '9') ++n;
    fixed_den = std::atoi(t[after].text.substr(0, n).c_str());
  } else {
    while (after < t.size() && is_placeholder(t[after].kind)) den_places.push_back(t[after++].kind);
  }
  double a = std::fabs(v);
  double whole = has_int ? std::floor(a) : 0;
  double frac = a - whole;
  int64_t num = 0;
  int den = 1;
  if (fixed_den > 0) {
    num = static_cast<int64_t>(std::ceil(frac * fixed_den - 0.5));  // a half rounds down
    den = fixed_den;
  } else {
    int max_den = 1;
    for (size_t i = 0; i < den_places.size(); ++i) max_den *= 10;
    max_den = std::max(1, max_den - 1);
    if (!has_int) {
      whole = std::floor(a);
      frac = a - whole;
    }
    best_fraction(frac, max_den, &num, &den);
    if (!has_int) {
      num += static_cast<int64_t>(whole) * den;
      whole = 0;
    }
  }
  if (has_int && num == den) {
    whole += 1;
    num = 0;
  }
  const std::vector<Token> num_tokens(t.begin() + static_cast<ptrdiff_t>(num_start),
                                      t.begin() + static_cast<ptrdiff_t>(slash));
  // Integer part.
  const bool show_fraction = num != 0 || !has_int;
  std::string whole_digits = whole == 0 ? "" : general_fixed(decimal_of(whole), 0);
  {
    std::vector<Kind> places;
    for (size_t i = 0; i < int_end; ++i)
      if (is_placeholder(t[i].kind)) places.push_back(t[i].kind);
    if (has_int && whole_digits.empty() && !show_fraction) whole_digits = "0";
    bool grouping = false;
    for (size_t i = 0; i < int_end; ++i) grouping |= t[i].kind == Kind::Comma;
    const std::string filled = fill_integer(whole_digits, places, grouping);
    bool wrote_int = false;
    for (size_t i = 0; i < int_end; ++i) {
      if (is_placeholder(t[i].kind)) {
        if (!wrote_int) {
          out.text += filled;
          wrote_int = true;
        }
      } else if (t[i].kind == Kind::Comma) {
        continue;
      } else if (!wrote_int || t[i].kind != Kind::Literal || show_fraction || filled.empty()) {
        if (t[i].kind == Kind::Literal && wrote_int && !show_fraction)
          out.text += std::string(t[i].text.size(), ' ');
        else
          put_token_literal(out, t[i]);
      } else {
        out.text += std::string(t[i].text.size(), ' ');
      }
    }
  }
  if (show_fraction) {
    std::string n = std::to_string(num);
    std::string nt;
    for (size_t p = num_tokens.size(), i = n.size(); p-- > 0;) {
      if (i > 0) {
        nt.insert(0, p == 0 ? n.substr(0, i) : n.substr(i - 1, 1));
        i = p == 0 ? 0 : i - 1;
      } else if (num_tokens[p].kind == Kind::Zero) {
        nt.insert(0, "0");
      } else if (num_tokens[p].kind == Kind::Query) {
        nt.insert(0, " ");
      }
    }
    out.text += nt + "/";
    if (fixed_den > 0) {
      out.text += std::to_string(den);
    } else {
      std::string d = std::to_string(den);
      while (d.size() < den_places.size()) {
        const Kind k = den_places[d.size()];
        if (k == Kind::Hash) break;
        d += k == Kind::Zero ? "0" : " ";
      }
      out.text += d;
    }
  } else {
    // No fraction: its place kept blank.
    size_t width = 1;
    for (size_t i = num_start; i < slash; ++i) width += t[i].kind == Kind::Hash ? 0 : 1;
    width += fixed_den > 0 ? 0 : den_places.size();
    out.text += std::string(width, ' ');
  }
  // What follows the denominator.
  size_t rest = after;
  if (fixed_den > 0) {
    const std::string& lit = t[after].text;
    size_t n = 0;
    while (n < lit.size() && lit[n] >= '0' && lit[n] <= '9') ++n;
    out.text += lit.substr(n);
    rest = after + 1;
  }
  for (size_t i = rest; i < t.size(); ++i)
    if (!is_placeholder(t[i].kind)) put_token_literal(out, t[i]);
  return !has_int && num == 0;
}

void format_fixed(double v, const Section& s, Output& out, const FormatOptions& options) {
  const std::vector<Token>& t = s.tokens;
  size_t first = t.size(), point = t.size();
  for (size_t i = 0; i < t.size(); ++i) {
    if (is_placeholder(t[i].kind) || t[i].kind == Kind::General) {
      first = std::min(first, i);
    }
    if (t[i].kind == Kind::Point && point == t.size() && first != t.size()) point = i;
  }
  if (point == t.size()) {
    // A point before any placeholder (".00") still splits the number.
    for (size_t i = 0; i < t.size(); ++i)
      if (t[i].kind == Kind::Point) {
        point = i;
        break;
      }
  }
  int percent = 0, scale = 0;
  bool grouping = false;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind == Kind::Percent) ++percent;
    if (t[i].kind != Kind::Comma) continue;
    // A comma between placeholders of the integer part groups thousands; a
    // comma after the last placeholder of the integer part scales by 1000.
    bool placeholder_before = false, placeholder_after = false;
    for (size_t j = 0; j < i; ++j) placeholder_before |= is_placeholder(t[j].kind);
    for (size_t j = i + 1; j < t.size(); ++j) placeholder_after |= is_placeholder(t[j].kind);
    if (placeholder_before && placeholder_after && i < point)
      grouping = true;
    else if (placeholder_before && !placeholder_after)
      ++scale;
  }
  double a = std::fabs(v);
  for (int i = 0; i < percent; ++i) a *= 100;
  for (int i = 0; i < scale; ++i) a /= 1000;
  std::vector<Kind> int_places, dec_places;
  for (size_t i = 0; i < t.size(); ++i) {
    if (!is_placeholder(t[i].kind)) continue;
    (i < point ? int_places : dec_places).push_back(t[i].kind);
  }
  if (s.general) {
    // General among literals: the number as General shows it.
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i].kind == Kind::General)
        out.text += general_text(a, options);
      else if (t[i].kind != Kind::Comma && !is_placeholder(t[i].kind))
        put_token_literal(out, t[i]);
    }
    return;
  }
  std::string ip, dp;
  fixed_digits(decimal_of(a), static_cast<int>(dec_places.size()), &ip, &dp);
  // Decimals: # drops trailing zeros, ? turns them to spaces.
  std::string dec_text;
  {
    size_t significant = dp.size();
    while (significant > 0 && dp[significant - 1] == '0') --significant;
    for (size_t i = 0; i < dec_places.size(); ++i) {
      if (i < significant || dec_places[i] == Kind::Zero)
        dec_text += dp[i];
      else if (dec_places[i] == Kind::Query)
        dec_text += ' ';
    }
  }
  const std::string int_text = fill_integer(ip, int_places, grouping);
  // Literals between the integer's placeholders stay where they are when
  // there is no grouping; with grouping they follow the number.
  bool int_written = int_places.empty();
  size_t dec_index = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    const Token& k = t[i];
    if (is_placeholder(k.kind)) {
      if (i < point) {
        if (!int_written) {
          out.text += int_text;
          int_written = true;
        }
      } else {
        // One decimal place's text (possibly empty for a dropped #).
        if (dec_index < dec_text.size()) out.text += dec_text[dec_index];
        ++dec_index;
      }
      continue;
    }
    if (k.kind == Kind::Comma) continue;
    if (k.kind == Kind::Point) {
      if (i == point) {
        if (!int_written) {
          out.text += int_text;
          int_written = true;
        }
        out.text += '.';
      } else {
        out.text += '.';
      }
      continue;
    }
    put_token_literal(out, k);
  }
}

void format_scientific(double v, const Section& s, size_t exp_at, Output& out) {
  const std::vector<Token>& t = s.tokens;
  size_t point = exp_at;
  for (size_t i = 0; i < exp_at; ++i)
    if (t[i].kind == Kind::Point) {
      point = i;
      break;
    }
  std::vector<Kind> int_places, dec_places;
  for (size_t i = 0; i < exp_at; ++i)
    if (is_placeholder(t[i].kind)) (i < point ? int_places : dec_places).push_back(t[i].kind);
  int exp_digits = 0;
  size_t exp_end = exp_at + 1;
  while (exp_end < t.size() && is_placeholder(t[exp_end].kind)) {
    if (t[exp_end].kind == Kind::Zero) ++exp_digits;
    ++exp_end;
  }
  exp_digits = std::max(exp_digits, 1);
  const int int_count = std::max<int>(1, static_cast<int>(int_places.size()));
  const int decimals = static_cast<int>(dec_places.size());
  const Decimal d = decimal_of(v);
  std::string ip, dp;
  int e = 0;
  {
    // The exponent a multiple of the integer placeholders when there are
    // several (##0.0E+0 shows 12.3E+3); one leading digit otherwise.
    const bool engineering = int_places.size() > 1;
    int exponent = std::fabs(v) == 0 ? 0 : d.point - 1;
    if (engineering)
      exponent =
          static_cast<int>(std::floor(static_cast<double>(exponent) / int_count)) * int_count;
    Decimal shifted = d;
    shifted.point -= exponent;
    fixed_digits(shifted, decimals, &ip, &dp);
    // Rounding may add a digit: 9.99 -> 10.0 -> 1.00E+1.
    if (static_cast<int>(ip.size()) > (engineering ? int_count : 1)) {
      exponent += engineering ? int_count : 1;
      shifted = d;
      shifted.point -= exponent;
      fixed_digits(shifted, decimals, &ip, &dp);
    }
    e = exponent;
  }
  std::string dec_text;
  {
    size_t significant = dp.size();
    while (significant > 0 && dp[significant - 1] == '0') --significant;
    for (size_t i = 0; i < dec_places.size(); ++i) {
      if (i < significant || dec_places[i] == Kind::Zero)
        dec_text += dp[i];
      else if (dec_places[i] == Kind::Query)
        dec_text += ' ';
    }
  }
  std::string int_text = fill_integer(ip, int_places, false);
  if (int_text.empty() && dec_text.empty()) int_text = "0";  // a mantissa shows a digit
  bool int_written = false;
  for (size_t i = 0; i < exp_at; ++i) {
    if (is_placeholder(t[i].kind)) {
      if (i < point && !int_written) {
        out.text += int_text;
        int_written = true;
      }
      continue;
    }
    if (t[i].kind == Kind::Point) {
      if (!int_written) {
        out.text += int_text.empty() ? "0" : int_text;
        int_written = true;
      }
      if (!dec_text.empty()) out.text += '.' + dec_text;
      continue;
    }
    if (t[i].kind == Kind::Comma) continue;
    put_token_literal(out, t[i]);
  }
  if (!int_written) out.text += int_text;
  out.text += 'E';
  if (e < 0)
    out.text += '-';
  else if (t[exp_at].text == "+")
    out.text += '+';
  out.text += padded(std::abs(e), exp_digits);
  for (size_t i = exp_end; i < t.size(); ++i)
    if (!is_placeholder(t[i].kind)) put_token_literal(out, t[i]);
}

// ---------------------------------------------------------------------------
// Dates and times.

constexpr std::array<std::string_view, 12> kMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};
constexpr std::array<std::string_view, 12> kChineseMonths = {"一月", "二月", "三月",   "四月",
                                                             "五月", "六月", "七月",   "八月",
                                                             "九月", "十月", "十一月", "十二月"};
constexpr std::array<std::string_view, 7> kChineseDays = {"日", "一", "二", "三", "四", "五", "六"};

bool format_date(double serial, const Section& s, Output& out) {
  const std::vector<Token>& t = s.tokens;
  // Time is rounded to the smallest unit shown.
  int sub = 0;
  bool ampm = false;
  for (const Token& k : t) {
    if (k.kind == Kind::SubSecond) sub = std::max(sub, std::min(k.count, 3));
    if (k.kind == Kind::AmPm) ampm = true;
  }
  int64_t unit = 1;
  for (int i = 0; i < sub; ++i) unit *= 10;
  // The serial to its decimal digits first. Elapsed time rounds to the
  // second; other times cut the seconds, except that a date with a time
  // within half a second of midnight shows the next day. Parts of a second
  // round without carrying into the second.
  bool has_date = false, has_time = false, elapsed = false;
  for (const Token& k : t) {
    has_date |= k.kind == Kind::Year || k.kind == Kind::Month || k.kind == Kind::Day ||
                k.kind == Kind::DayName;
    has_time |= k.kind == Kind::Hour || k.kind == Kind::Minute || k.kind == Kind::Second;
    elapsed |= k.kind == Kind::Elapsed;
  }
  const Decimal dd = decimal_of(serial);
  std::string ip, dp;
  fixed_digits(dd, 10, &ip, &dp);
  const double clean = std::strtod(((ip.empty() ? "0" : ip) + "." + dp).c_str(), nullptr);
  const double exact = clean * 86400.0;
  int64_t total = static_cast<int64_t>(std::floor(exact + 1e-4));
  int64_t fraction = 0;
  if (sub > 0) {
    const auto rounded = static_cast<int64_t>(
        std::floor((exact - static_cast<double>(total)) * static_cast<double>(unit) + 0.5));
    fraction = std::clamp<int64_t>(rounded, 0, unit - 1);
  } else if (elapsed) {
    total = static_cast<int64_t>(std::floor(exact + 0.5));
  } else if (has_date && has_time && std::fmod(exact, 86400.0) >= 86399.5) {
    total = static_cast<int64_t>(std::floor(exact + 0.5));  // midnight of the next day
  }
  const int64_t days = total / 86400;
  const int64_t secs = total % 86400;
  const int hour = static_cast<int>(secs / 3600), minute = static_cast<int>(secs / 60 % 60),
            second = static_cast<int>(secs % 60);
  // Serial 1 is Sunday the 1st of January 1900 and serial 60 the 29th of
  // February 1900, counted though it never was; so the days before it carry
  // the weekday one later than they had.
  const int weekday = static_cast<int>((days + 6) % 7);
  const CivilDate date = civil_date(days);
  const int year = date.year, month = date.month, day = date.day;
  const bool chinese = s.chinese;
  const int dbnum = s.dbnum;
  // Chinese numerals write years digit by digit, the rest with units
  // (months and days as 十二, hours as 一十二) and unpadded.
  auto number = [&](int64_t v, int width, bool year_part, bool drop_one = false) {
    std::string digits = padded(v, width);
    if (dbnum == 0) return digits;
    if (year_part || dbnum == 3) return chinese_digits(digits, dbnum);
    return chinese_integer(digits, dbnum, drop_one);
  };
  for (const Token& k : t) {
    switch (k.kind) {
      case Kind::Year:
        out.text += k.count <= 2 ? number(year % 100, 2, true) : number(year, 4, true);
        break;
      case Kind::Month:
        if (k.count <= 2) {
          out.text += number(month, k.count, false, true);
        } else if (k.count == 3) {
          out.text +=
              chinese ? std::to_string(month) + "月" : std::string(kMonths[month - 1].substr(0, 3));
        } else if (k.count == 4) {
          out.text +=
              chinese ? std::string(kChineseMonths[month - 1]) : std::string(kMonths[month - 1]);
        } else {
          out.text += chinese ? std::string(kChineseMonths[month - 1])
                              : std::string(kMonths[month - 1].substr(0, 1));
        }
        break;
      case Kind::Day:
        if (k.count <= 2) {
          out.text += number(day, k.count, false, true);
        } else if (chinese) {
          out.text += (k.count == 3 ? "" : "星期") + std::string(kChineseDays[weekday]);
        } else {
          out.text += k.count == 3 ? kDays[weekday].substr(0, 3) : kDays[weekday];
        }
        break;
      case Kind::DayName:
        if (s.english) {
          out.text += k.count == 3 ? kDays[weekday].substr(0, 3) : kDays[weekday];
        } else {
          out.text += (k.count == 3 ? "" : "星期") + std::string(kChineseDays[weekday]);
        }
        break;
      case Kind::Hour: {
        int h = hour;
        if (ampm) h = h % 12 == 0 ? 12 : h % 12;
        out.text += number(h, k.count >= 2 ? 2 : 1, false);
        break;
      }
      case Kind::Minute:
        out.text += number(minute, k.count >= 2 ? 2 : 1, false);
        break;
      case Kind::Second:
        out.text += number(second, k.count >= 2 ? 2 : 1, false);
        break;
      case Kind::SubSecond: {
        std::string f = padded(fraction, sub);
        out.text += "." + f.substr(0, static_cast<size_t>(k.count));
        break;
      }
      case Kind::Elapsed: {
        const int64_t total = days * 86400 + secs;
        int64_t v = total / 3600;
        if (k.text == "m") v = total / 60;
        if (k.text == "s") v = total;
        out.text += (serial < 0 ? "-" : "") + number(v, k.count, false);
        break;
      }
      case Kind::AmPm: {
        const bool pm = hour >= 12;
        if (k.text == "\xE4\xB8\x8A\xE5\x8D\x88" || chinese) {
          out.text += pm ? "下午" : "上午";
        } else if (k.text.size() == 3) {
          // A/P keeps the case it is written in.
          out.text += pm ? k.text[2] : k.text[0];
        } else {
          out.text += pm ? "PM" : "AM";
        }
        break;
      }
      case Kind::Point:
      case Kind::Comma:
      case Kind::Slash:
        out.text += k.text;
        break;
      case Kind::Zero:
        out.text += '0';
        break;
      default:
        put_token_literal(out, k);
        break;
    }
  }
  return true;
}

bool holds(const Section& s, double v) {
  switch (s.op) {
    case Op::None:
      return true;
    case Op::Lt:
      return v < s.operand;
    case Op::Le:
      return v <= s.operand;
    case Op::Gt:
      return v > s.operand;
    case Op::Ge:
      return v >= s.operand;
    case Op::Eq:
      return v == s.operand;
    case Op::Ne:
      return v != s.operand;
  }
  return true;
}

bool has_condition(const std::vector<Section>& sections) {
  for (size_t i = 0; i < sections.size() && i < 2; ++i)
    if (sections[i].op != Op::None) return true;
  return false;
}

// The section a number shows through, and whether that section writes the
// number's sign itself (the minus is then not added).
const Section* pick(const std::vector<Section>& sections, double v, bool* own_sign) {
  *own_sign = false;
  std::vector<const Section*> numeric;
  for (const Section& s : sections)
    if (!(s.text && !s.digits && !s.date && !s.general)) numeric.push_back(&s);
  if (sections.size() == 4 || numeric.size() < sections.size()) {
    // A text section is never a number's.
    if (numeric.size() < sections.size() && sections.size() <= 4) {
      numeric.clear();
      for (size_t i = 0; i < sections.size() && i < 3; ++i) numeric.push_back(&sections[i]);
      if (sections.size() < 4 && sections.back().text && !sections.back().digits)
        numeric.pop_back();
    }
  }
  if (numeric.empty()) return nullptr;
  if (has_condition(sections)) {
    const Section& a = *numeric[0];
    if (a.op != Op::None && holds(a, v)) {
      // [<0] and [<=0] sections write their own sign.
      *own_sign = (a.op == Op::Lt || a.op == Op::Le) && a.operand == 0;
      return &a;
    }
    if (numeric.size() > 1) {
      const Section& b = *numeric[1];
      // The sections after the first show no sign of their own.
      *own_sign = true;
      if (b.op == Op::None && numeric.size() == 2) return &b;
      if (holds(b, v)) return &b;
      if (numeric.size() > 2) return numeric[2];
    }
    return nullptr;
  }
  if (numeric.size() == 1) return numeric[0];
  if (v < 0) {
    *own_sign = true;
    return numeric[1];
  }
  if (v == 0 && numeric.size() > 2) return numeric[2];
  return numeric[0];
}

}  // namespace

std::string general_text(double value, const FormatOptions& options) {
  if (!std::isfinite(value)) return "#NUM!";
  auto fits = [&](const std::string& s) {
    if (std::isinf(options.width)) return true;
    const double w = options.measure ? options.measure(s) : static_cast<double>(s.size());
    return w <= options.width;
  };
  const Decimal d = decimal_of(value);
  const std::string sign = value < 0 ? "-" : "";
  const double a = std::fabs(value);
  if (a == 0) return fits("0") ? "0" : "";
  // Fixed notation for |v| in [1e-5, 1e15) as written with 15 digits;
  // scientific beyond.
  const bool fixed = a >= 1e-5 && a < 1e15 - 0.5;
  if (fixed) {
    // Fewer decimals often write the same text (a whole number does for all
    // of them): each text is measured once, as the painter measures in its
    // font and a seat label's exam number came here fifteen times.
    std::string tried;
    for (int decimals = std::max(0, 15 - d.point); decimals >= 0; --decimals) {
      std::string s = sign + general_fixed(d, decimals);
      if (s == sign + "0") break;
      if (s != tried) {
        if (fits(s)) return s;
        tried = std::move(s);
      }
      if (decimals == 0) break;
    }
  }
  for (int sig = 15; sig >= 1; --sig) {
    std::string s = sign + general_scientific(d, sig);
    if (fits(s)) return s;
  }
  return "";
}

FormattedText format_number(double value, std::string_view code, const FormatOptions& options) {
  FormattedText r;
  const std::vector<Section> sections = parse(code.empty() ? "General" : code, options);
  bool own_sign = false;
  const Section* s = pick(sections, value, &own_sign);
  if (s == nullptr) {
    // Only a text section: the number shows as General.
    if (!sections.empty() && sections[0].text && !sections[0].digits && !sections[0].date) {
      r.text = general_text(value, options);
      r.general = true;
    } else {
      r.text = "###";
    }
    return r;
  }
  r.color = s->color;
  if (s->empty) return r;
  Output out;
  if (s->date) {
    if (value < 0 || value >= 2958466) {
      r.text = "########";  // no date to show
      return r;
    }
    format_date(value, *s, out);
  } else {
    const std::vector<Token>& t = s->tokens;
    size_t exp_at = t.size(), slash = t.size();
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i].kind == Kind::Exponent && exp_at == t.size()) exp_at = i;
      if (t[i].kind == Kind::Slash && slash == t.size() && i > 0 && is_placeholder(t[i - 1].kind))
        slash = i;
    }
    const bool only_general = s->general && !s->digits;
    r.general = only_general;
    if (only_general && t.size() == 1) {
      out.text = general_text(own_sign ? std::fabs(value) : value, options);
      own_sign = true;
      r.general = true;
    } else if (exp_at != t.size() && s->digits) {
      format_scientific(value, *s, exp_at, out);
    } else if (slash != t.size()) {
      if (format_fraction(value, *s, slash, out)) own_sign = true;
    } else if (s->digits || s->general) {
      format_fixed(value, *s, out, options);
    } else {
      for (const Token& k : t) put_token_literal(out, k);
      own_sign = true;  // a section of literals shows no number, so no sign
    }
    if (value < 0 && !own_sign) {
      out.text.insert(0, "-");
      if (out.fill_at != std::string::npos) ++out.fill_at;
    }
    if (s->dbnum > 0) out.text = chinese_number(out.text, s->dbnum, s->general);
  }
  r.text = std::move(out.text);
  r.fill = std::move(out.fill);
  r.fill_at = out.fill_at;
  return r;
}

FormattedText format_text(std::string_view text, std::string_view code) {
  FormattedText r;
  const std::vector<Section> sections = parse(code, {});
  const Section* s = nullptr;
  if (sections.size() == 4) {
    s = &sections[3];
  } else {
    for (const Section& c : sections)
      if (c.text) {
        s = &c;
        break;
      }
  }
  if (s == nullptr) {
    r.text = std::string(text);
    return r;
  }
  r.color = s->color;
  Output out;
  for (const Token& k : s->tokens) {
    if (k.kind == Kind::At)
      out.text += text;
    else if (k.kind == Kind::Literal || k.kind == Kind::Fill)
      put_token_literal(out, k);
  }
  r.text = std::move(out.text);
  r.fill = std::move(out.fill);
  r.fill_at = out.fill_at;
  return r;
}

bool is_date_format(std::string_view code) {
  const std::vector<Section> sections = parse(code, {});
  return !sections.empty() && sections[0].date;
}

}  // namespace kelv::spreadsheet
