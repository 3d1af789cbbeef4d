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
  Range cells(int32_t row, int32_t column);         // 1004 outside the sheet
  Range range(const Range& from, const Range& to);  // the block spanning both cells
  Range rows(int32_t row);
  Range columns(int32_t column);
  Range used_range();
  // Worksheet.Paste with a destination cell: the clipboard block arrives there.
  void paste(const Range& destination) { paste_at(destination.row(), destination.column()); }
  // Pictures.Insert(path): loads a JPEG or PNG at the active cell, natural
  // size, and selects it. The sheet owns the picture.
  Picture& insert_picture(std::string_view path) { return insert_picture_at_active_cell(path); }
  // The same for a picture made in memory (PNG or JPEG bytes), as though
  // inserted from a file named `file_name`.
  Picture& insert_picture(std::string_view bytes, std::string_view file_name) {
    return insert_picture_bytes_at_active_cell(bytes, file_name);
  }
  // HPageBreaks.Add(Before): a manual break above the given cell's row.
  void add_page_break(const Range& before) { add_page_break_above(before.row()); }
  PageSetup page_setup() { return PageSetup(*this); }

  // Every primitive below follows the same rules unless it says otherwise:
  // rows run 1..kMaxRows and columns 1..kMaxColumns; a rectangle or cell
  // outside the sheet fails with kRefused (1004) and changes nothing; a
  // refusal is decided before the first cell changes, so a failed call leaves
  // the sheet as it was. Reads never change the sheet or the workbook's
  // modified flag; writes set the flag.

  // --- Identity and sheet operations -------------------------------------
  virtual Workbook& parent() = 0;
  virtual std::string name() const = 0;
  // Renames the sheet; formulas and defined names of the workbook that refer
  // to it follow. kRefused for an empty, over-long or ill-formed name or one
  // another sheet of the workbook has (compared ignoring case).
  virtual void set_name(std::string_view name) = 0;
  virtual SheetVisibility visible() const = 0;
  // kRefused when it would hide the last visible sheet of the workbook.
  virtual void set_visible(SheetVisibility v) = 0;
  // Makes the sheet the active sheet of its workbook. kRefused for a hidden
  // or deleted sheet.
  virtual void activate() = 0;
  // Copies the sheet (cells, formats, merges, sizes, pictures, page setup)
  // right after `after`, named "NAME (2)" or the next free number; the copy
  // becomes the active sheet and this sheet is unchanged. kRefused when
  // `after` is not a sheet of a workbook open in this application.
  virtual void copy_after(Worksheet& after) = 0;
  // Removes the sheet; this object must not be used afterwards. kRefused for
  // the last visible sheet or a sheet already deleted.
  virtual void delete_sheet() = 0;
  virtual int32_t tab_color_index() const = 0;  // 0: none
  // 0 removes the colour; kRefused for an index outside the palette.
  virtual void set_tab_color_index(int32_t index) = 0;

  // --- Values and formulas -------------------------------------------------
  // The value of a cell; Empty for a cell never written. A formula cell
  // gives its last calculated value.
  virtual Variant cell_value(int32_t row, int32_t column) const = 0;
  // Writes v into every cell of `area`, replacing formulas. Text is read as
  // the user's typing would be (numbers, TRUE/FALSE, a leading apostrophe
  // kept out) unless the cell's format is text "@". Empty clears values only.
  // kOverflow for an infinite or NaN number; kRefused for a non-empty value
  // on whole rows or columns.
  virtual void set_value(const Rect& area, const Variant& v) = 0;
  // One value per cell of `area`, row by row, each written as set_value
  // writes it. kRefused when the count does not match the area or for whole
  // rows or columns; kOverflow for an infinite or NaN number (nothing written).
  virtual void set_values(const Rect& area, const std::vector<Variant>& values) = 0;
  // The A1 formula with "=", or "" for a constant or an empty cell.
  virtual std::string cell_formula(int32_t row, int32_t column) const = 0;
  // Puts one R1C1 formula into every cell of `area` and calculates it
  // (COUNTIF and plain references). kRefused on whole rows or columns, or for
  // a formula that refers outside the sheet.
  virtual void set_formula_r1c1(const Rect& area, std::string_view formula) = 0;

  // --- Regions ---------------------------------------------------------------
  // The block of cells with values connected to (row, column) through
  // neighbours, diagonals included; the cell itself when it stands alone.
  virtual Rect current_region(int32_t row, int32_t column) const = 0;
  // The smallest block holding every cell with a value or a format other
  // than the default; a lone A1 when the sheet is empty.
  virtual Rect used_rect() const = 0;

  // --- Clearing, copying, deleting --------------------------------------------
  // Removes values, formulas, formats and any merge that touches `area`.
  virtual void clear(const Rect& area) = 0;
  // Removes values and formulas; formats and merges stay.
  virtual void clear_contents(const Rect& area) = 0;
  // Puts `area` (values, formulas, formats, merges inside it) on the
  // application's clipboard, replacing what was there. The sheet is unchanged.
  virtual void copy_rect(const Rect& area) = 0;
  // Pastes the clipboard with its top-left cell at (row, column): values,
  // formulas moved by the offset, formats and merges; merges that the block
  // touches are removed first. kRefused with an empty clipboard or when the
  // block would run off the sheet. The clipboard stays for further pastes.
  virtual void paste_at(int32_t row, int32_t column) = 0;
  // As paste_at, values only: formats and merges of the destination stay and
  // blank cells of the block clear the values under them.
  virtual void paste_values_at(int32_t row, int32_t column) = 0;
  // Deletes `area` and moves the cells below it (within its columns) up.
  // kRefused, before anything moves, when a merge would be cut.
  virtual void delete_shift_up(const Rect& area) = 0;
  // A stable one-key sort of the rows of `area`: numbers, then texts (the
  // Chinese PRC collation), then Booleans, then errors; empty keys last in
  // either order. With SortHeader::Yes the first row stays in place. kRefused
  // for a key outside the area or a merge spanning rows of it.
  virtual void sort(const Rect& area, int32_t key_column, SortOrder order, SortHeader header) = 0;
  // Replaces `what` (ignoring case) by `replacement` in constant texts and
  // numbers of `area`, within the text or only where the whole text matches;
  // a cell left empty becomes blank. With replace_format, matched cells take
  // the application's replace format. True when something matched; nothing
  // changes for an empty `what`.
  virtual bool replace(const Rect& area, std::string_view what, std::string_view replacement,
                       LookAt look_at, bool replace_format) = 0;

  // --- Formats -----------------------------------------------------------------
  // The cell's format code as stored ("General" for the default).
  virtual std::string number_format(int32_t row, int32_t column) const = 0;
  // Sets a format code in the user's (Chinese) form; "G/通用格式" is General.
  virtual void set_number_format_local(const Rect& area, std::string_view code) = 0;
  virtual FontInfo font(int32_t row, int32_t column) const = 0;
  // Applies the properties the change names and keeps the others. kRefused
  // for a size outside 1..409, an unknown colour index or underline style.
  virtual void change_font(const Rect& area, const FontChange& change) = 0;
  // Alignments are the xl constants (xlCenter, xlLeft, ...); kRefused for a
  // constant that is not one.
  virtual int32_t horizontal_alignment(int32_t row, int32_t column) const = 0;
  virtual void set_horizontal_alignment(const Rect& area, int32_t xl) = 0;
  virtual int32_t vertical_alignment(int32_t row, int32_t column) const = 0;
  virtual void set_vertical_alignment(const Rect& area, int32_t xl) = 0;
  // Merges `area` into one cell that keeps only its top-left value; merges it
  // touches are removed first. A single cell is left alone. kRefused on whole
  // rows or columns.
  virtual void merge(const Rect& area) = 0;
  // The merge holding the cell, or the cell itself.
  virtual Rect merge_area(int32_t row, int32_t column) const = 0;

  // --- Geometry ------------------------------------------------------------------
  // Width in characters of the default font's digit; 0 for a hidden column.
  virtual double column_width(int32_t column) const = 0;
  // 0 hides the columns. kRefused for a width outside 0..255 or bad columns.
  virtual void set_column_width(int32_t first, int32_t last, double width) = 0;
  // Height in points; 0 for a hidden row.
  virtual double row_height(int32_t row) const = 0;
  // 0 hides the rows; every row of the sheet sets its default height.
  // kRefused for a height outside 0..409 or bad rows.
  virtual void set_row_height(int32_t first, int32_t last, double height) = 0;
  // Points from the sheet's top edge to the row's top edge (row may be one
  // past the last row); from its left edge to the column's left edge.
  virtual double top_of(int32_t row) const = 0;
  virtual double left_of(int32_t column) const = 0;

  // --- Selection, pictures, printing --------------------------------------------
  // Selection and the active cell move the view only: they activate the
  // sheet but do not mark the workbook modified.
  virtual void select(const Rect& area) = 0;
  // Makes the cell active, keeping the selection when it holds the cell.
  virtual void activate_cell(int32_t row, int32_t column) = 0;
  // Loads a JPEG or PNG at the active cell at its natural size and selects
  // it. kFileNotFound for a missing file, kRefused for one that is not a
  // readable picture; the sheet is unchanged then.
  virtual Picture& insert_picture_at_active_cell(std::string_view path) = 0;
  // As insert_picture_at_active_cell, from the bytes of a picture file;
  // kRefused for bytes that are not a readable JPEG or PNG (nothing changes).
  // A host whose pictures come only from files writes the bytes to a file of
  // its own, inserts that and removes it; such a host may put the picture at
  // the sheet's top-left corner instead of the active cell, so callers place
  // it themselves.
  virtual Picture& insert_picture_bytes_at_active_cell(std::string_view bytes,
                                                       std::string_view file_name) = 0;
  // A manual page break above the row; none is added above row 1.
  virtual void add_page_break_above(int32_t row) = 0;
  // Page setup, read and written as values: see PageSetupProperty.
  // kRefused for a value out of range or of the wrong kind, which leaves the
  // property unchanged.
  virtual Variant page_setup_value(PageSetupProperty p) const = 0;
  virtual void set_page_setup_value(PageSetupProperty p, const Variant& v) = 0;
};

}  // namespace kelv::host
