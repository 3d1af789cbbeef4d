// The page model: how a worksheet falls onto paper. From the sheet's page
// setup (paper, orientation, margins, scale or fit to pages, centring, page
// order), its print area and print titles, its manual row and column breaks
// and its row heights and column widths, it works out the pages: for each
// page the block of rows and columns it shows and where that block sits on
// the paper, in points. Hidden rows and columns take no room; content
// outgrowing the printable area breaks onto further pages. It knows nothing
// of drawing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/rect.h"
#include "spreadsheet/geometry.h"
#include "spreadsheet/model.h"

namespace kelv::print {

// A sheet's rows and columns in points, unscaled (spreadsheet/geometry.h).
using spreadsheet::Track;

// A block of cells printed together: the rows and columns it covers
// (hidden ones among them take no room) and its box on the paper, points
// from the paper's top-left corner, after scaling.
struct Block {
  host::Rect cells;
  double x = 0, y = 0, width = 0, height = 0;
};

struct Page {
  int32_t sheet_page = 0;  // 1-based within the sheet
  Block body;
  std::optional<Block> title_rows;     // repeated rows, above the body
  std::optional<Block> title_columns;  // repeated columns, left of the body
  std::optional<Block> title_corner;   // where repeated rows and columns meet
};

struct Margins {
  double left = 0, right = 0, top = 0, bottom = 0, header = 0, footer = 0;  // points
};

using spreadsheet::PageOrder;

struct SheetLayout {
  int32_t sheet_index = 0;
  std::string paper_name;
  double paper_width = 0, paper_height = 0;  // points, orientation applied
  bool landscape = false;
  Margins margins;
  double scale = 1;  // 1 = 100 %
  PageOrder order = PageOrder::DownThenOver;
  bool grid_lines = false;
  // Row and column headings printed left of and above the cells (0: none),
  // points unscaled; the blocks of each page lie beside them.
  double heading_width = 0, heading_height = 0;
  Track rows, columns;  // the sheet's geometry, unscaled
  std::vector<Page> pages;
  // What the layout had to settle on its own (an unknown paper code, margins
  // that leave no room), in the words shown to the user.
  std::vector<std::string> notes;
};

// Lays out sheet `sheet_index` of `book`. A sheet with nothing to print
// (no print area and no used cell, picture or visibly formatted cell) has
// no pages.
SheetLayout layout_sheet(const spreadsheet::Workbook& book, int32_t sheet_index);

// How wide a text prints in a cell format, in points, estimated without
// fonts: Chinese, Japanese and Korean characters and full-width forms an em
// each, others a little over half an em, and the cell's padding and indent.
double text_width(std::string_view text, const spreadsheet::Style& style);

// What is printed when no print area is defined: from A1 to the last row
// and column holding a value, a border or a fill, reached by a picture, or
// reached by the text of a row's last value running on into the empty
// cells to its right (its width estimated from its characters). Nullopt for
// an empty sheet.
std::optional<host::Rect> used_range(const spreadsheet::Workbook& book,
                                     const spreadsheet::Sheet& sheet);

// The sheet's print areas (its local "_xlnm.Print_Area" name), in order;
// empty when none is defined or it cannot be read.
std::vector<host::Rect> print_areas(const spreadsheet::Workbook& book, int32_t sheet_index);

// The sheet's print titles (its local "_xlnm.Print_Titles" name): rows to
// repeat at the top and columns to repeat at the left of every page.
struct PrintTitles {
  std::optional<std::pair<int32_t, int32_t>> rows, columns;  // first, last
};
PrintTitles print_titles(const spreadsheet::Workbook& book, int32_t sheet_index);

}  // namespace kelv::print
