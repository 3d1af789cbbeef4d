#include "arrange/exam_numbers.h"

#include <algorithm>

#include "host/host_error.h"
#include "host/variant.h"

namespace kelv::arrange {
namespace {

bool IsContinuationByte(char ch) {
  return (static_cast<unsigned char>(ch) & 0xC0) == 0x80;
}

// Byte offset where the last `n` characters of a UTF-8 text begin.
size_t OffsetOfLastChars(std::string_view text, int32_t n) {
  size_t pos = text.size();
  for (int32_t k = 0; k < n && pos > 0; ++k) {
    --pos;
    while (pos > 0 && IsContinuationByte(text[pos])) --pos;
  }
  return pos;
}

// Decodes one UTF-8 code point at `pos` and moves past it; a stray byte reads
// as itself.
char32_t NextCodePoint(std::string_view text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos++]);
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  char32_t cp = extra == 3   ? lead & 0x07
                : extra == 2 ? lead & 0x0F
                : extra == 1 ? lead & 0x1F
                             : lead;
  while (extra-- > 0 && pos < text.size() && IsContinuationByte(text[pos]))
    cp = (cp << 6) | (static_cast<unsigned char>(text[pos++]) & 0x3F);
  return cp;
}

// White space of any kind a typed or pasted number may carry: ASCII blanks and
// control characters, the no-break and ideographic spaces, the typographic
// spaces, zero-width characters and the byte-order mark.
bool IsBlank(char32_t cp) {
  return cp <= 0x20 || cp == 0x7F || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
         (cp >= 0x2000 && cp <= 0x200D) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
         cp == 0x205F || cp == 0x2060 || cp == 0x3000 || cp == 0xFEFF;
}

std::string LastChars(std::string_view ascii, size_t n) {
  return std::string(n >= ascii.size() ? ascii : ascii.substr(ascii.size() - n));
}

}  // namespace

int32_t CharCount(std::string_view text) {
  return static_cast<int32_t>(
      std::count_if(text.begin(), text.end(), [](char ch) { return !IsContinuationByte(ch); }));
}

int32_t CheckedAdd(int32_t a, int32_t b) {
  const int64_t sum = int64_t{a} + int64_t{b};
  if (sum < INT32_MIN || sum > INT32_MAX) throw host::HostError::host(host::kOverflow);
  return static_cast<int32_t>(sum);
}

std::string NormalizeStartNumber(std::string_view text) {
  std::string out;
  std::string pending;  // blanks kept only when something follows them
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t begin = pos;
    const char32_t cp = NextCodePoint(text, pos);
    if (IsBlank(cp)) {
      if (!out.empty()) pending.append(text.substr(begin, pos - begin));
      continue;
    }
    out += pending;
    pending.clear();
    if (cp >= 0xFF10 && cp <= 0xFF19)
      out += static_cast<char>('0' + (cp - 0xFF10));
    else
      out.append(text.substr(begin, pos - begin));
  }
  return out;
}

ExamNumbers::ExamNumbers(std::string_view typed) {
  const std::string normalized = NormalizeStartNumber(typed);
  const std::string_view start_text = normalized;
  width_ = std::min(8, CharCount(start_text));
  const size_t split = OffsetOfLastChars(start_text, width_);
  prefix_ = std::string(start_text.substr(0, split));
  start_ = host::Variant(start_text.substr(split)).to_int32();
}

std::string ExamNumbers::operator()(int32_t j) const {
  const std::string padded = std::string(width_, '0') + std::to_string(CheckedAdd(start_, j));
  return prefix_ + LastChars(padded, width_);
}

std::string SeatNumber(int32_t counter, int32_t width) {
  return LastChars("'000" + std::to_string(counter), static_cast<size_t>(std::max(width, 0)));
}

}  // namespace kelv::arrange
