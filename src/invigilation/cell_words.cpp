#include "invigilation/cell_words.h"

#include <cmath>
#include <map>

namespace kelv::invigilation {
namespace {

// The byte length of the white-space character at text[i], or 0.
size_t space_at(std::string_view text, size_t i) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  if (c == ' ' || c == '\t' || c == '\n' || c == '\r') return 1;
  if (text.substr(i, 3) == "\u3000") return 3;  // ideographic space
  if (text.substr(i, 2) == "\u00A0") return 2;  // no-break space
  return 0;
}

// The byte length of the list separator at text[i], or 0.
size_t separator_at(std::string_view text, size_t i) {
  if (const size_t n = space_at(text, i)) return n;
  const char c = text[i];
  if (c == ',' || c == ';' || c == '/') return 1;
  for (std::string_view s : {"、", "，", "；", "／"})
    if (text.substr(i, s.size()) == s) return s.size();
  return 0;
}

}  // namespace

std::string AsciiDigits(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text.substr(i, 2) == "\xEF\xBC" && i + 2 < text.size()) {
      const unsigned char c = static_cast<unsigned char>(text[i + 2]);
      if (c >= 0x90 && c <= 0x99) {  // ０ .. ９ are EF BC 90 .. EF BC 99
        out += static_cast<char>('0' + (c - 0x90));
        i += 3;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

namespace {

bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

std::string Trimmed(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end) {
    const size_t n = space_at(text, begin);
    if (n == 0) break;
    begin += n;
  }
  while (end > begin) {
    size_t n = 0;
    for (size_t width : {1, 2, 3})
      if (end >= begin + width && space_at(text, end - width) == width) n = width;
    if (n == 0) break;
    end -= n;
  }
  return std::string(text.substr(begin, end - begin));
}

std::string CellText(const host::Variant& v) {
  if (v.is_error() || v.is_null()) return "";
  return Trimmed(v.to_text());
}

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> items;
  std::string item;
  for (size_t i = 0; i < text.size();) {
    if (const size_t n = separator_at(text, i)) {
      if (!item.empty()) items.push_back(std::move(item));
      item.clear();
      i += n;
      continue;
    }
    item += text[i++];
  }
  if (!item.empty()) items.push_back(std::move(item));
  return items;
}

std::optional<int32_t> WholeNumber(const host::Variant& v) {
  if (v.is_number()) {
    const double d = v.as_number();
    if (d < 0 || d > 1e6 || d != std::floor(d)) return std::nullopt;
    return static_cast<int32_t>(d);
  }
  if (!v.is_text()) return std::nullopt;
  std::string t = AsciiDigits(CellText(v));
  for (std::string_view unit : {"场", "人", "名", "次", "个"})
    if (t.size() > unit.size() && t.ends_with(unit)) {
      t = Trimmed(t.substr(0, t.size() - unit.size()));
      break;
    }
  if (!all_digits(t) || t.size() > 6) return std::nullopt;
  return std::stoi(t);
}

std::string SubjectKey(std::string_view name) {
  std::string n = Trimmed(name);
  if (n.size() > 3 && n.ends_with("组")) n.resize(n.size() - 3);
  static const std::map<std::string, std::string, std::less<>> kSame = {
      {"语", "语文"},         {"数", "数学"},       {"外", "外语"},   {"英", "外语"},
      {"英语", "外语"},       {"物", "物理"},       {"化", "化学"},   {"生", "生物"},
      {"史", "历史"},         {"地", "地理"},       {"政", "政治"},   {"思想政治", "政治"},
      {"道德与法治", "政治"}, {"道法", "政治"},     {"思品", "政治"}, {"技", "技术"},
      {"信息技术", "技术"},   {"通用技术", "技术"}, {"信息", "技术"},
  };
  const auto it = kSame.find(n);
  return it == kSame.end() ? n : it->second;
}

std::optional<double> HourOfDay(const host::Variant& v) {
  if (v.is_number()) {
    const double d = v.as_number();
    if (d < 0) return std::nullopt;
    return (d - std::floor(d)) * 24.0;
  }
  if (!v.is_text()) return std::nullopt;
  std::string t = AsciiDigits(CellText(v));
  // 8:00, 08：30, 8点, 8点30
  size_t i = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  if (i == 0 || i > 2) return std::nullopt;
  const int hour = std::stoi(t.substr(0, i));
  std::string_view rest = std::string_view(t).substr(i);
  int minute = 0;
  for (std::string_view sep : {":", "：", "点", "时"}) {
    if (!rest.starts_with(sep)) continue;
    rest.remove_prefix(sep.size());
    size_t j = 0;
    while (j < rest.size() && rest[j] >= '0' && rest[j] <= '9') ++j;
    if (j > 0) minute = std::stoi(std::string(rest.substr(0, j)));
    break;
  }
  if (hour > 23 || minute > 59) return std::nullopt;
  return hour + minute / 60.0;
}

std::string DateText(const host::Variant& v) {
  if (!v.is_number()) return CellText(v);
  // Day numbers of the 1900 date system, whose day 60 is the 29 February
  // 1900 that never was: from day 61 on, day n is n - 1 days after 31
  // December 1899.
  int64_t serial = static_cast<int64_t>(std::floor(v.as_number()));
  if (serial < 1) return CellText(v);
  if (serial > 60) --serial;
  // Days since 1970-01-01, then the civil date (Hinnant's algorithm).
  const int64_t z = serial - 25568 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  return std::to_string(month) + "月" + std::to_string(day) + "日";
}

}  // namespace kelv::invigilation
