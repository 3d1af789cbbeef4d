// The text arithmetic of exam numbers and seat numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelv::arrange {

// Characters (code points) of a UTF-8 text.
int32_t CharCount(std::string_view text);

// The start exam number as typed, without the white space of any kind
// (ASCII, full-width, no-break, zero-width) around it, and with full-width
// digits read as digits: "２０２４０１０００１" followed by an ideographic space
// is 2024010001. A trailing blank would otherwise become a digit position of
// every exam number.
std::string NormalizeStartNumber(std::string_view text);

// Exam numbers counted on from the start exam number (TxtSKHao): its last
// min(8, length) characters are the number, zero-padded to that width; the
// characters before them are a fixed prefix.
class ExamNumbers {
 public:
  // The text is normalized first (NormalizeStartNumber). Fails with 13 when
  // the number part does not read as a number (an empty text, "A001").
  explicit ExamNumbers(std::string_view typed);

  // The exam number of the examinee with running index j: the prefix, then
  // the last `width` characters of width zeros followed by start + j. A value
  // with more digits than the width keeps its last digits (9999 + 1 -> 0000).
  // Fails with 6 when start + j leaves the 32-bit range.
  std::string operator()(int32_t j) const;

  const std::string& prefix() const { return prefix_; }
  int32_t width() const { return width_; }
  int32_t start() const { return start_; }

 private:
  std::string prefix_;
  int32_t width_ = 0;
  int32_t start_ = 0;
};

// A seat number: the last `width` characters of "'000" followed by the
// counter's digits. When the width reaches past the zeros the text starts
// with the apostrophe, which the host drops as its text-entry prefix.
std::string SeatNumber(int32_t counter, int32_t width);

// a + b, failing with 6 outside the 32-bit range.
int32_t CheckedAdd(int32_t a, int32_t b);

}  // namespace kelv::arrange
