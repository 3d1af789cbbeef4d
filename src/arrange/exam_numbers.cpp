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

ExamNumbers::ExamNumbers(std::string_view start_text) {
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
