// Range: a cheap value naming one or more rectangles of one worksheet. Every
// member forwards to the worksheet's primitives, one call per rectangle, so a
// block operation costs one virtual call, not one per cell.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/constants.h"
#include "host/font.h"
#include "host/rect.h"
#include "host/variant.h"

namespace kelv::host {

class Worksheet;
class Range;

class RangeFont;

class Range {
 public:
  Range(Worksheet& sheet, const Rect& area) : sheet_(&sheet), first_(area) {}

  Worksheet& worksheet() const { return *sheet_; }
  // The areas, first one first.
  std::vector<Rect> areas() const;
  int32_t area_count() const { return 1 + static_cast<int32_t>(more_.size()); }
  const Rect& area() const { return first_; }
  // Adds the areas of another range of the same sheet (Application.Union);
  // throws 1004 for a range of another sheet.
  void add(const Range& other);

  // Position and size of the first area.
  int32_t row() const { return first_.row1; }
  int32_t column() const { return first_.col1; }
  int32_t rows_count() const { return first_.rows(); }
  int32_t columns_count() const { return first_.columns(); }
  Range cell(int32_t r, int32_t c) const;  // relative, 1-based (Range.Cells)

  // Values. value() reads the first cell; set_value writes every cell.
  Variant value() const;
  std::string text() const { return value().to_text(); }
  void set_value(const Variant& v) const;
  // One value per cell of the first area, row by row (a column filled in one
  // call rather than cell by cell).
  void set_values(const std::vector<Variant>& values) const;
  std::string formula() const;  // A1 form with "=", "" for a constant
  void set_formula_r1c1(std::string_view formula) const;

  Range current_region() const;
  Range merge_area() const;
  void clear() const;
  void clear_contents() const;
  void copy() const;                  // onto the application clipboard
  void paste_special_values() const;  // clipboard values into this cell
  void delete_shift_up() const;       // Delete Shift:=xlUp
  void sort(const Range& key1, SortOrder order1, SortHeader header) const;
  // Returns True when something matched (the runtime ignores the result).
  bool replace(std::string_view what, std::string_view replacement, LookAt look_at,
               bool replace_format = false) const;

  std::string number_format() const;
  void set_number_format_local(std::string_view code) const;
  RangeFont font() const;
  int32_t horizontal_alignment() const;
  void set_horizontal_alignment(int32_t xl) const;
  int32_t vertical_alignment() const;
  void set_vertical_alignment(int32_t xl) const;
  void merge() const;

  // Sizes. column_width/row_height read the first column/row; the setters
  // apply to every column/row of every area.
  double column_width() const;
  void set_column_width(double width) const;
  double row_height() const;
  void set_row_height(double height) const;

  // Geometry of the first area in points.
  double top() const;
  double left() const;
  double width() const;
  double height() const;

  void select() const;
  void activate() const;  // makes the first cell active

  // Every cell of every area, row by row, left to right.
  std::vector<Range> each_cell() const;

 private:
  // Calls f with each area, first one first, without building a list.
  template <typename F>
  void for_each_area(F&& f) const {
    f(first_);
    for (const Rect& a : more_) f(a);
  }

  Worksheet* sheet_;
  Rect first_;
  std::vector<Rect> more_;
};

// Range.Font: a handle that applies each property to the whole range.
class RangeFont {
 public:
  explicit RangeFont(Range r) : range_(std::move(r)) {}
  FontInfo get() const;  // the font of the range's first cell
  void set_name(std::string_view name) const;
  void set_size(double size) const;
  void set_bold(bool bold) const;
  void set_color_index(int32_t index) const;
  void set_underline(int32_t style) const;
  void apply(const FontChange& change) const;

 private:
  Range range_;
};

}  // namespace kelv::host
