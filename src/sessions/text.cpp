#include "sessions/text.h"

#include <array>

namespace kelv::sessions {
namespace {

constexpr std::string_view kIdeographicSpace = "\u3000";
constexpr std::array<std::string_view, 5> kNameSeparators = {"\u3001", "\uFF0C", "\uFF1B", "\u3000",
                                                             "\uFF0F"};

bool AsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string Trimmed(std::string_view s) {
  for (;;) {
    if (!s.empty() && AsciiSpace(s.front())) {
      s.remove_prefix(1);
    } else if (s.starts_with(kIdeographicSpace)) {
      s.remove_prefix(kIdeographicSpace.size());
    } else if (!s.empty() && AsciiSpace(s.back())) {
      s.remove_suffix(1);
    } else if (s.ends_with(kIdeographicSpace)) {
      s.remove_suffix(kIdeographicSpace.size());
    } else {
      return std::string(s);
    }
  }
}

std::vector<std::string> SplitNames(const host::Variant& cell) {
  std::vector<std::string> names;
  if (cell.is_empty()) return names;
  const std::string text = cell.to_text();
  if (cell.is_number()) return {text};
  std::string current;
  auto flush = [&] {
    if (!current.empty()) names.push_back(current);
    current.clear();
  };
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (AsciiSpace(c) || c == ',' || c == ';' || c == '/') {
      flush();
      ++i;
      continue;
    }
    bool separated = false;
    for (std::string_view sep : kNameSeparators)
      if (std::string_view(text).substr(i).starts_with(sep)) {
        flush();
        i += sep.size();
        separated = true;
        break;
      }
    if (separated) continue;
    current += c;
    ++i;
  }
  flush();
  return names;
}

std::string Thousands(int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return n < 0 ? "-" + out : out;
}

}  // namespace kelv::sessions
