// Cuts a worksheet's XML, as it streams in, into the sheet without its rows
// and the rows in segments that each parse as a document of their own, so
// that a large sheet's rows can be parsed on several threads.
//
// The cut is lexical: markup is told from text, comments, CDATA sections,
// processing instructions and quoted attribute values are skipped whole, and
// elements are counted. A segment starts at a row element that names its
// row (r="N"); the first starts where the rows start. A document the cut
// does not suit (not UTF-8, a prefixed sheetData, no sheetData) passes whole
// to the sheet side, and `split()` stays false.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kelv::xlsx {

class RowSplitter {
 public:
  struct Segment {
    std::string xml;        // the rows, as written
    int32_t first_row = 0;  // the r of its first row element; 0 for the first segment
  };

  // sheet receives every byte that is not inside sheetData; segment receives
  // the rows, in order, in pieces of about segment_bytes.
  RowSplitter(std::function<void(std::string_view)> sheet, std::function<void(Segment&&)> segment,
              size_t segment_bytes);

  void feed(std::string_view bytes);
  void finish();

  // Whether rows were taken out, and what wraps a segment into a document:
  // the XML declaration, the root's and sheetData's start tags, and their end.
  bool split() const { return split_; }
  std::string document_start() const { return declaration_ + root_tag_ + data_tag_; }
  std::string document_end() const { return "</sheetData></" + root_name_ + ">"; }

 private:
  enum class Lex { Text, Open, Tag, Bang, Comment, CData, Pi, Decl, SkipRow };
  enum class Mode { Start, Before, Rows, After, Whole };

  void step(size_t from);  // lexes held_ from `from` on
  void tag_ended();
  void pass(std::string_view bytes);
  void cut(size_t at);
  size_t skip_row(size_t from);
  static bool explicit_row(std::string_view tag, int32_t* row);

  std::function<void(std::string_view)> sheet_;
  std::function<void(Segment&&)> segment_;
  size_t segment_bytes_;

  Mode mode_ = Mode::Start;
  Lex lex_ = Lex::Text;
  std::string held_;         // bytes not yet handed on: the sheet before sheetData, or the segment
  size_t tag_start_ = 0;     // where the open tag began in held_
  size_t tag_ended_at_ = 0;  // just past the tag that ended, in held_
  size_t row_content_ = 0;   // where the row being skipped starts its content
  bool end_tag_ = false;
  char quote_ = 0;
  int32_t depth_ = 0;  // open elements; in the rows, counted from sheetData
  int32_t marks_ = 0;  // progress through "--", "[CDATA[", "-->", "]]>", "?>"
  std::string bang_;
  int32_t segment_row_ = 0;
  bool split_ = false;
  std::string declaration_, root_tag_, root_name_, data_tag_;
};

}  // namespace kelv::xlsx
