// Reads a segment of a worksheet's rows (what lies between sheetData's start
// and end tags, cut at row elements) without an XML parser, when the
// segment holds only what a plain table holds: rows, cells and the cells'
// <v> values, attribute values and values of printable ASCII with no
// reference ('&'), and no comment, CDATA section, processing instruction or
// any other element. Such rows are most of a large sheet, and reading them
// this way is several times quicker than the parser.
//
// It gives up on anything else, and on anything it is not sure the parser
// would accept (the caller then reads the segment with the parser, which
// reads it or reports what is wrong). What it reads, it reads exactly as
// the parser does: the same elements with the same attributes and the same
// text, in the same order.
#pragma once

#include <string_view>

namespace kelv::xlsx {

class PlainRowsHandler {
 public:
  virtual ~PlainRowsHandler() = default;
  // A start tag's attributes as the parser gives them: name, value, ...,
  // then nullptr. Prefixed names are left out (in the parser they carry
  // their namespace and never match a plain name). False gives up.
  virtual bool row(const char** atts) = 0;
  virtual bool cell(const char** atts) = 0;
  // A <v> element's text ("" for <v/>).
  virtual void value(std::string_view text) = 0;
  // The end of a cell. False gives up.
  virtual bool cell_end() = 0;
};

// Reads `rows` into the handler; false when it gave up. `start_tags` is what
// the segment is read inside (the document's start up to sheetData's start
// tag): the attribute prefixes its tags declare are the only ones a row or
// cell may use.
bool read_plain_rows(std::string_view start_tags, std::string_view rows, PlainRowsHandler& handler);

}  // namespace kelv::xlsx
