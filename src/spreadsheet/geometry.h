// Sheet geometry: how wide a sheet's columns and how tall its rows are, in
// the units each user of them needs, and where lines start when laid end to
// end. The engine (Range.Top, Left, Width, Height), the .xlsx layer (picture
// anchors), the page model (rows and columns on paper) and the form's view
// (the sheet on screen) all measure through here, so pictures placed by one
// line up with cells drawn by another.
//
// Units: column widths are stored in characters of the workbook's default
// font (its maximum digit width in pixels, 7 when unknown, turns them into
// pixels); row heights in points; pixels are 96 an inch, points 72.
#pragma once

#include <cstdint>
#include <vector>

#include "spreadsheet/model.h"

namespace kelv::spreadsheet {

inline constexpr double kPointsPerPixel = 0.75;
inline constexpr double kPixelsPerPoint = 96.0 / 72.0;
inline constexpr int32_t kDefaultDigitWidth = 7;  // pixels, of an 11-point Calibri

// Whole pixels: trunc(((256 w + trunc(128 / d)) / 256) d), with d the
// maximum digit width (kDefaultDigitWidth when not positive); 0 for w <= 0.
int32_t column_width_pixels(double width_chars, int32_t max_digit_width);

// The same width in points: its whole pixels at 96 an inch.
double column_width_points(double width_chars, int32_t max_digit_width);

// The standard width of a column in the file's units, for `base_digits`
// digits: the digits and 5 pixels of margins, rounded up to a multiple of
// 8 pixels (8 digits of 7 pixels: 64 pixels, 9.140625).
double standard_column_width(double base_digits, int32_t max_digit_width);

// One line of a sheet. A hidden line measures 0; a line without a size of
// its own (or past the stored ones) has the sheet's default.
double column_width_chars(const Sheet& sheet, int32_t col);  // characters
double column_points(const Sheet& sheet, int32_t col, int32_t max_digit_width);
double row_points(const Sheet& sheet, int32_t row);

// Lines laid end to end: line i (1-based) starts where line i - 1 ends.
// The first stored() lines have sizes of their own, summed one after
// another; every later line has the default size.
class Track {
 public:
  Track() = default;
  Track(std::vector<double> sizes, double default_size);
  // Where line `line` starts, from the first line's start.
  double offset(int32_t line) const;
  double size(int32_t line) const;
  // From the start of `first` to the end of `last`.
  double span(int32_t first, int32_t last) const { return offset(last + 1) - offset(first); }
  // The line covering position p (p >= 0); lines of size 0 are never hit.
  int32_t line_at(double p) const;
  int32_t stored() const { return static_cast<int32_t>(sizes_.size()); }
  double extent() const { return starts_.back(); }  // the end of the stored lines
  double default_size() const { return default_size_; }

 private:
  std::vector<double> sizes_;
  std::vector<double> starts_{0};
  double default_size_ = 0;
};

// A sheet's rows in points, covering at least `rows` rows, and its columns
// in points (through the digit width), covering at least `columns`.
Track row_track(const Sheet& sheet, int32_t rows);
Track column_track(const Sheet& sheet, int32_t columns, int32_t max_digit_width);

// A track in points as the screen shows it: each line, and the default,
// rounded to whole pixels.
Track in_whole_pixels(const Track& points);

// The edges of a sheet's rows and columns in points from its top-left
// corner, summed as far as asked and kept: for walks down a long sheet
// (the engine's cell positions, picture anchors). Rows are summed over the
// stored ones, columns over those with an entry; the default size carries
// on past them. The sheet is read at each question: after a change of
// sizes, say from which row on (rows_changed) or that columns changed.
class SheetEdges {
 public:
  SheetEdges(const Sheet* sheet, int32_t max_digit_width)
      : sheet_(sheet), digit_width_(max_digit_width) {}
  void set_digit_width(int32_t max_digit_width) {
    if (max_digit_width != digit_width_) col_left_.clear();
    digit_width_ = max_digit_width;
  }

  // Rows 1 .. kMaxRows + 1, columns 1 .. kMaxColumns + 1; clamped.
  double row_top(int32_t row) const;
  double column_left(int32_t col) const;

  // The line at or before a position, and the distance past its edge.
  void locate_row(double top, int32_t* row, double* offset) const;
  void locate_column(double left, int32_t* col, double* offset) const;

  void rows_changed(int32_t from);
  void columns_changed() { col_left_.clear(); }
  void forget() {
    row_top_.clear();
    col_left_.clear();
  }

 private:
  const Sheet* sheet_;
  int32_t digit_width_;
  mutable std::vector<double> row_top_;   // [i]: the top of row i + 1, as far as summed
  mutable std::vector<double> col_left_;  // [i]: the left of column i + 1; empty: to sum
};

}  // namespace kelv::spreadsheet
