// The in-memory workbook model. The engine (engine.h) implements the host
// interfaces over it; the .xlsx reader and writer fill it and write it out.
// It knows nothing of exams, templates or forms.
//
// Storage: rows are a dense vector indexed by row number - 1, each holding
// its stored cells sorted by column, so whole-row and whole-column work
// touches only stored cells. A cell holds a style id into the workbook's
// interned style table.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/rect.h"
#include "host/variant.h"
#include "spreadsheet/cell_value.h"
#include "spreadsheet/passthrough.h"

namespace kelv::spreadsheet {

using host::Rect;
using host::Variant;

// A colour in the form the file gave it.
struct Color {
  enum class Kind : uint8_t { None, Auto, Rgb, Indexed, Theme };
  Kind kind = Kind::None;
  uint32_t value = 0;  // ARGB for Rgb, the index for Indexed and Theme
  double tint = 0;
  bool operator==(const Color&) const = default;

  static Color rgb(uint32_t argb) { return {Kind::Rgb, argb, 0}; }
  static Color indexed(uint32_t i) { return {Kind::Indexed, i, 0}; }
  static Color theme(uint32_t i, double tint = 0) { return {Kind::Theme, i, tint}; }
  static Color automatic() { return {Kind::Auto, 0, 0}; }
};

struct Font {
  std::string name = "Calibri";
  double size = 11;
  bool bold = false;
  bool italic = false;
  bool strike = false;
  std::string underline;   // "" none, "single", "double", "singleAccounting", ...
  std::string vert_align;  // "" or "superscript" / "subscript"
  Color color;
  int32_t family = 0;    // 0: not given
  int32_t charset = -1;  // -1: not given
  std::string scheme;    // "" / "minor" / "major"
  bool operator==(const Font&) const = default;
};

struct Fill {
  std::string pattern;  // "" none, "solid", "gray125", ...
  Color fg, bg;
  std::string gradient_xml;  // a gradient fill, carried as written
  bool operator==(const Fill&) const = default;
};

struct BorderSide {
  std::string style;  // "" none, "thin", "medium", "double", ...
  Color color;
  bool operator==(const BorderSide&) const = default;
};

struct Border {
  BorderSide left, right, top, bottom, diagonal;
  bool diagonal_up = false, diagonal_down = false;
  bool operator==(const Border&) const = default;
};

struct Alignment {
  std::string horizontal;  // "" general, "left", "center", "right", "fill", "justify", ...
  std::string vertical;    // "" bottom, "top", "center", "justify", "distributed"
  bool wrap_text = false;
  bool shrink_to_fit = false;
  int32_t indent = 0;
  int32_t text_rotation = 0;
  int32_t reading_order = 0;
  bool operator==(const Alignment&) const = default;
};

struct Protection {
  bool locked = true;
  bool hidden = false;
  bool operator==(const Protection&) const = default;
};

// One cell format. Interned per workbook; id 0 is the default format.
struct Style {
  std::string number_format = "General";
  Font font;
  Fill fill;
  Border border;
  Alignment alignment;
  Protection protection;
  bool quote_prefix = false;
  uint32_t xf_id = 0;  // the named cell style it is based on (cellStyleXfs index)
  bool operator==(const Style&) const = default;
};

struct StyleHash {
  size_t operator()(const Style& s) const;
};

class StyleTable {
 public:
  StyleTable();
  uint32_t intern(const Style& s);
  const Style& get(uint32_t id) const { return styles_[id]; }
  size_t size() const { return styles_.size(); }
  // Replaces the whole table (the reader installs the file's formats in
  // order, so style ids match cellXfs indices).
  void assign(std::vector<Style> styles);

 private:
  std::vector<Style> styles_;
  std::unordered_map<Style, uint32_t, StyleHash> index_;
};

struct Cell {
  int32_t col = 0;
  uint32_t style = 0;
  CellValue value;     // the constant, or the formula's cached value
  FormulaRef formula;  // null for constants
};
static_assert(sizeof(Cell) == 32, "a row of cells is most of a large sheet's memory");

struct Row {
  std::vector<Cell> cells;  // sorted by col, no duplicates
  double height = -1;       // points; < 0: the sheet's default height
  bool hidden = false;
  bool custom_height = false;
  std::optional<uint32_t> style;  // a whole-row format
  int32_t outline_level = 0;
};

struct ColumnInfo {
  double width = -1;  // character units; < 0: the sheet's default width
  bool hidden = false;
  bool custom_width = false;
  std::optional<uint32_t> style;  // a whole-column format
  int32_t outline_level = 0;
  bool operator==(const ColumnInfo&) const = default;
};

struct HeaderFooter {
  std::string odd_header, odd_footer, even_header, even_footer, first_header, first_footer;
  bool different_odd_even = false;
  bool different_first = false;
  bool scale_with_doc = true;
  bool align_with_margins = true;
};

// Which parts of a sheet's page setup it really has: read from its file or
// set through PageSetup. A file writes back these and any value that differs
// from the defaults, nothing else, so a sheet that never had a page setup
// keeps printing with the printer's own paper, scale and margins.
struct PageSetupGiven {
  bool print_options = false;
  bool margins = false;  // all six together, as the file stores them
  bool paper_size = false, scale = false, orientation = false;
  bool fit_to_width = false, fit_to_height = false;
  bool horizontal_dpi = false, vertical_dpi = false;
  bool first_page_number = false;
  bool header_footer = false;
  bool page_order = false;
};

// The order pages of a sheet wider and taller than a page are numbered and
// printed in: down the first columns, then over (the default), or across
// the first rows, then down.
enum class PageOrder : uint8_t { DownThenOver, OverThenDown };

struct PageSetupModel {
  // Margins in inches, as the file stores them.
  double left_margin = 0.7, right_margin = 0.7, top_margin = 0.75, bottom_margin = 0.75;
  double header_margin = 0.3, footer_margin = 0.3;
  int32_t paper_size = 9;    // A4
  int32_t orientation = 0;   // 0 default (portrait), 1 portrait, 2 landscape
  int32_t scale = 100;       // Zoom when not fitting to pages
  bool fit_to_page = false;  // Zoom False
  int32_t fit_to_width = 1, fit_to_height = 1;
  int32_t horizontal_dpi = 600;  // PrintQuality
  int32_t vertical_dpi = 600;
  int32_t first_page_number = 0;  // 0: auto
  bool horizontal_centered = false;
  bool vertical_centered = false;
  bool print_grid_lines = false;
  bool print_headings = false;
  PageOrder page_order = PageOrder::DownThenOver;
  HeaderFooter header_footer;
  PageSetupGiven given;
};

struct SheetView {
  int32_t active_row = 1, active_col = 1;
  std::vector<Rect> selection{Rect::cell(1, 1)};
  int32_t top_row = 1, left_col = 1;       // scroll position
  int32_t split_rows = 0, split_cols = 0;  // SplitRow / SplitColumn
  bool frozen = false;
  // With frozen panes, the scrolling pane's top-left cell; 0: just past
  // the split.
  int32_t pane_top_row = 0, pane_left_col = 0;
  int32_t zoom = 100;
  bool show_grid_lines = true;
  bool tab_selected = false;
};

// A picture placed on a sheet: its image in the workbook's image store and
// its box in points from the sheet's top-left corner.
struct PictureModel {
  uint32_t image = 0;  // index into Workbook::images
  double top = 0, left = 0, width = 0, height = 0;
  bool lock_aspect_ratio = true;
  std::string name;
  std::string description;
  int32_t id = 0;
};

struct Image {
  std::shared_ptr<const std::string> bytes;
  std::string extension;  // "jpeg", "png", ...
  int32_t width_px = 0, height_px = 0;
};

enum class Visibility : uint8_t { Visible, Hidden, VeryHidden };

struct Sheet {
  std::string name;
  Visibility visibility = Visibility::Visible;
  Color tab_color;
  std::vector<Row> rows;                  // rows[r - 1]; may be shorter than the last row
  std::map<int32_t, ColumnInfo> columns;  // by column number
  double default_row_height = 14.25;      // points
  // Column width in the file's units (digits of the default font plus the
  // cell margins): the standard width, 64 pixels of 7-pixel digits.
  double default_column_width = 9.140625;
  bool custom_default_height = false;
  std::vector<Rect> merges;
  PageSetupModel page_setup;
  std::set<int32_t> row_breaks;     // manual breaks above these rows
  std::set<int32_t> column_breaks;  // manual breaks left of these columns
  std::vector<PictureModel> pictures;
  SheetView view;
  SheetPassthrough passthrough;  // what the engine does not model
};

// A sheet's merges never share a cell: merge look-ups, and every reader of a
// saved file, rely on it. Merges from a file are kept as a desktop
// application keeps them: a one-cell merge is no merge, and one overlapping
// an earlier merge is dropped, as that application's repair of such a file
// would.
void keep_disjoint_merges(Sheet& sheet);
bool merges_disjoint(const Sheet& sheet);

struct DefinedName {
  std::string name;
  std::string value;
  int32_t local_sheet = -1;  // index of the sheet it belongs to, -1 global
  bool hidden = false;
  std::string extra_attributes;  // other attributes as written
};

// The kind of file a workbook was read from. Only .xlsx / .xlsm files are
// ever written: a workbook read from any other kind is saved as a new
// .xlsx file, never over the file it came from.
enum class SourceKind : uint8_t {
  Xlsx,            // .xlsx / .xlsm, or a workbook made in memory
  Xls,             // a binary workbook in a compound file
  SpreadsheetXml,  // the XML spreadsheet of 2003
  Html,            // an HTML table saved as a spreadsheet
  Text,            // delimited text (.csv, tab-separated text)
};

struct Workbook {
  std::string file_path;  // absolute, platform separators; "" until saved
  StyleTable styles;
  std::vector<std::unique_ptr<Sheet>> sheets;
  std::vector<Image> images;
  std::vector<DefinedName> defined_names;
  int32_t active_sheet = 0;
  int32_t first_visible_tab = 0;
  double tab_ratio = 0.6;       // 0..1
  bool macro_enabled = false;   // .xlsm
  int32_t max_digit_width = 7;  // pixels, of the default font
  WorkbookPassthrough passthrough;
  // What the reader mended to open a damaged file, a line each, for the
  // front ends to show; empty for a sound file.
  std::vector<std::string> repairs;
  // The kind of file this workbook was read from and that file's absolute
  // path: a workbook whose source is not Xlsx is never saved to
  // source_path.
  SourceKind source_kind = SourceKind::Xlsx;
  std::string source_path;
  bool from_other_format() const { return source_kind != SourceKind::Xlsx; }
};

// Where a workbook read from another kind of file is saved: NAME.xlsx
// beside NAME.xls / NAME.csv / ...; for any other workbook its own path.
std::string xlsx_path_for(const Workbook& book);
// Throws host::HostError 1004 when `path` is the file a workbook of another
// kind was read from: such a file is never overwritten with an .xlsx.
void refuse_overwriting_source(const Workbook& book, std::string_view path);

}  // namespace kelv::spreadsheet
