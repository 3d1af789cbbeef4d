// Page headers and footers: the codes of a header or footer string (&L, &C,
// &R sections; &P page, &N pages, &D date, &T time, &A sheet, &F file,
// &Z folder; &B, &I, &U, &E, &S, &X, &Y, &"font,style", &size, &Kcolour
// formatting; && an ampersand) turned into runs of text with their format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/model.h"

namespace kelv::print {

struct RunFormat {
  std::string font;  // "" for the default font
  double size = 0;   // points; 0 for the default size
  bool bold = false, italic = false, strike = false;
  bool underline = false, double_underline = false;
  bool superscript = false, subscript = false;
  std::optional<uint32_t> color;  // 0xRRGGBB
  bool operator==(const RunFormat&) const = default;
};

// Text of one format; "\n" starts a new line.
struct Run {
  std::string text;
  RunFormat format;
  bool operator==(const Run&) const = default;
};

struct Sections {
  std::vector<Run> left, center, right;
  bool empty() const { return left.empty() && center.empty() && right.empty(); }
};

// What the field codes stand for on one page.
struct PageFields {
  int32_t page = 1;   // &P
  int32_t pages = 1;  // &N
  std::string date;   // &D
  std::string time;   // &T
  std::string sheet;  // &A
  std::string file;   // &F: the workbook's file name
  std::string path;   // &Z: the folder holding it, with a trailing separator
};

// Expands a header or footer string. Formatting codes hold until the end of
// their section; text before any section code belongs to the centre.
Sections expand_header_footer(std::string_view text, const PageFields& fields);

enum class Edge { Header, Footer };

// The header or footer string that applies to page `sheet_page` (1-based
// within its sheet): the first page's own when the sheet has one, the even
// pages' own when the sheet has those, else the odd pages'.
const std::string& header_footer_for(const spreadsheet::HeaderFooter& hf, Edge edge,
                                     int32_t sheet_page);

}  // namespace kelv::print
