// Widths of texts in one font, as QFontMetricsF measures them. A General
// number too wide for its cell is measured at every length it might be cut
// to, and Qt shapes every text it measures: a text of the characters
// numbers are written with is summed from their advances instead, when the
// font sets any two of them side by side at the sum of theirs (no kerning
// between them, checked pair by pair at the first such text).
#pragma once

#include <QFontMetricsF>
#include <string_view>
#include <vector>

namespace kelv::print {

class TextWidths {
 public:
  explicit TextWidths(const QFontMetricsF& metrics) : metrics_(metrics) {}
  // The width of UTF-8 `text`.
  double operator()(std::string_view text);

 private:
  QFontMetricsF metrics_;
  // By character code; empty until first needed, {-1} when the font kerns
  // some pair of the characters.
  std::vector<double> advances_;
};

}  // namespace kelv::print
