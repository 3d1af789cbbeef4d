// A worksheet of the host. The non-virtual members are the object model the
// handlers call (cells, rows, columns, paste, pictures, page setup); the
// virtual primitives below them take rectangles and are what a host
// implements. Failures throw HostError (1004 for refusals, 9 for lookups).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/constants.h"
#include "host/font.h"
#include "host/page_setup.h"
#include "host/picture.h"
#include "host/range.h"
#include "host/rect.h"
#include "host/variant.h"

namespace kelv::host {

class Workbook;

class Worksheet {
 public:
  virtual ~Worksheet() = default;

  // --- The object model --------------------------------------------------
  Range cells(int32_t row, int32_t column);           // 1004 outside the sheet
  Range range(const Range& from, const Range& to);    // the block spanning both cells
  Range rows(int32_t row);
  Range columns(int32_t column);
  Range used_range();
  // Worksheet.Paste with a destination cell: the clipboard block arrives there.
  void paste(const Range& destination) { paste_at(destination.row(), destination.column()); }
  // Pictures.Insert(path): loads a JPEG or PNG at the active cell, natural
  // size, and selects it. The sheet owns the picture.
  Picture& insert_picture(std::string_view path) { return insert_picture_at_active_cell(path); }
  // HPageBreaks.Add(Before): a manual break above the given cell's row.
  void add_page_break(const Range& before) { add_page_break_above(before.row()); }
  PageSetup page_setup() { return PageSetup(*this); }

  // --- Identity and sheet operations -------------------------------------
  virtual Workbook& parent() = 0;
  virtual std::string name() const = 0;
  virtual void set_name(std::string_view name) = 0;  // 1004 on a bad or taken name
  virtual SheetVisibility visible() const = 0;
  virtual void set_visible(SheetVisibility v) = 0;  // 1004 hiding the last visible sheet
  virtual void activate() = 0;
  // Copies the sheet (cells, formats, merges, sizes, pictures, page setup)
  // right after `after`, named "NAME (2)" or the next free number; the copy
  // becomes the active sheet.
  virtual void copy_after(Worksheet& after) = 0;
  virtual void delete_sheet() = 0;                   // 1004 for the last visible sheet
  virtual int32_t tab_color_index() const = 0;      // 0: none
  virtual void set_tab_color_index(int32_t index) = 0;

  // --- Primitives over rectangles ------------------------------------------
  virtual Variant cell_value(int32_t row, int32_t column) const = 0;
  virtual void set_value(const Rect& area, const Variant& v) = 0;
  // One value per cell, row by row, each written as set_value writes it;
  // 1004 when the count does not match the area.
  virtual void set_values(const Rect& area, const std::vector<Variant>& values) = 0;
  virtual std::string cell_formula(int32_t row, int32_t column) const = 0;
  virtual void set_formula_r1c1(const Rect& area, std::string_view formula) = 0;
  virtual Rect current_region(int32_t row, int32_t column) const = 0;
  virtual Rect used_rect() const = 0;  // a lone A1 when the sheet is empty
  virtual void clear(const Rect& area) = 0;
  virtual void clear_contents(const Rect& area) = 0;
  virtual void copy_rect(const Rect& area) = 0;
  virtual void paste_at(int32_t row, int32_t column) = 0;
  virtual void paste_values_at(int32_t row, int32_t column) = 0;
  virtual void delete_shift_up(const Rect& area) = 0;
  virtual void sort(const Rect& area, int32_t key_column, SortOrder order, SortHeader header) = 0;
  virtual bool replace(const Rect& area, std::string_view what, std::string_view replacement,
                       LookAt look_at, bool replace_format) = 0;
  virtual std::string number_format(int32_t row, int32_t column) const = 0;
  virtual void set_number_format_local(const Rect& area, std::string_view code) = 0;
  virtual FontInfo font(int32_t row, int32_t column) const = 0;
  virtual void change_font(const Rect& area, const FontChange& change) = 0;
  virtual int32_t horizontal_alignment(int32_t row, int32_t column) const = 0;
  virtual void set_horizontal_alignment(const Rect& area, int32_t xl) = 0;
  virtual int32_t vertical_alignment(int32_t row, int32_t column) const = 0;
  virtual void set_vertical_alignment(const Rect& area, int32_t xl) = 0;
  virtual void merge(const Rect& area) = 0;
  virtual Rect merge_area(int32_t row, int32_t column) const = 0;
  virtual double column_width(int32_t column) const = 0;     // character units
  virtual void set_column_width(int32_t first, int32_t last, double width) = 0;
  virtual double row_height(int32_t row) const = 0;          // points
  virtual void set_row_height(int32_t first, int32_t last, double height) = 0;
  virtual double top_of(int32_t row) const = 0;    // points above the row
  virtual double left_of(int32_t column) const = 0;  // points left of the column
  virtual void select(const Rect& area) = 0;
  virtual void activate_cell(int32_t row, int32_t column) = 0;
  virtual Picture& insert_picture_at_active_cell(std::string_view path) = 0;
  virtual void add_page_break_above(int32_t row) = 0;
  virtual Variant page_setup_value(PageSetupProperty p) const = 0;
  virtual void set_page_setup_value(PageSetupProperty p, const Variant& v) = 0;
};

}  // namespace kelv::host
