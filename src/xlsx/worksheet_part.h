// Worksheet parts. Reading streams the XML (a sheet of a million cells never
// becomes a tree); elements the model does not hold are kept as raw XML with
// their schema position. Writing puts everything back in schema order.
#pragma once

#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/model.h"
#include "spreadsheet/text_hash.h"

namespace kelv::xlsx {

class PackageReader;

// The children of <worksheet>, in the order the file format puts them. The
// reader notes each element it keeps as raw XML by its place here; the writer
// emits the elements it makes itself and the kept ones in this one order.
enum class WorksheetElement : int32_t {
  SheetPr,
  Dimension,
  SheetViews,
  SheetFormatPr,
  Cols,
  SheetData,
  SheetCalcPr,
  SheetProtection,
  ProtectedRanges,
  Scenarios,
  AutoFilter,
  SortState,
  DataConsolidate,
  CustomSheetViews,
  MergeCells,
  PhoneticPr,
  ConditionalFormatting,
  DataValidations,
  Hyperlinks,
  PrintOptions,
  PageMargins,
  PageSetup,
  HeaderFooter,
  RowBreaks,
  ColBreaks,
  CustomProperties,
  CellWatches,
  IgnoredErrors,
  SmartTags,
  Drawing,
  LegacyDrawing,
  LegacyDrawingHF,
  DrawingHF,
  Picture,
  OleObjects,
  Controls,
  WebPublishItems,
  TableParts,
  ExtLst,
};

inline constexpr std::string_view kWorksheetElements[] = {
    "sheetPr",
    "dimension",
    "sheetViews",
    "sheetFormatPr",
    "cols",
    "sheetData",
    "sheetCalcPr",
    "sheetProtection",
    "protectedRanges",
    "scenarios",
    "autoFilter",
    "sortState",
    "dataConsolidate",
    "customSheetViews",
    "mergeCells",
    "phoneticPr",
    "conditionalFormatting",
    "dataValidations",
    "hyperlinks",
    "printOptions",
    "pageMargins",
    "pageSetup",
    "headerFooter",
    "rowBreaks",
    "colBreaks",
    "customProperties",
    "cellWatches",
    "ignoredErrors",
    "smartTags",
    "drawing",
    "legacyDrawing",
    "legacyDrawingHF",
    "drawingHF",
    "picture",
    "oleObjects",
    "controls",
    "webPublishItems",
    "tableParts",
    "extLst",
};
static_assert(std::size(kWorksheetElements) == static_cast<size_t>(WorksheetElement::ExtLst) + 1);

// Position of a worksheet child element in kWorksheetElements; -1 when the
// element is not part of a worksheet.
int32_t worksheet_element_order(std::string_view local);

struct WorksheetRead {
  std::string drawing_rel;  // r:id of <drawing>, "" when none
};

// Local defects (a shared-string index past the end, a row numbered 0) are
// read as well as they can be and described in `repairs`.
WorksheetRead read_worksheet(PackageReader& package, const std::string& part,
                             const std::vector<std::string>& shared_strings, size_t style_count,
                             spreadsheet::Sheet& sheet, std::vector<std::string>& repairs);

// Shared strings gathered while writing sheets: each distinct text once, in
// the order first met, found again through an open-addressing table of
// hashes (a workbook of a million texts looks up every one of them).
class SharedStrings {
 public:
  uint32_t index(std::string_view s);
  // One more use of the text at `i`, an index this table gave.
  uint32_t index_again(uint32_t i) {
    ++references_;
    return i;
  }
  // Asks for the slot where the text would be, ahead of its index().
  void prefetch(std::string_view s) const {
    if (slots_.empty()) return;
    const uint64_t tag = spreadsheet::text_hash(s) & spreadsheet::kTextTagMask;
    __builtin_prefetch(&slots_[spreadsheet::text_slot_home(tag, slots_.size() - 1)]);
  }
  // Makes room for `total` distinct texts in all, `bytes` long end to end,
  // before the index() calls that bring them: grown by doubling instead,
  // the table of a million examinees' texts takes as much fresh memory
  // again as it ends with, and is rehashed at every step.
  void expect(size_t total, size_t bytes);
  size_t size() const { return ends_.size(); }
  size_t bytes() const { return texts_.size(); }
  size_t references() const { return references_; }
  std::string xml() const;
  // The same part handed to `flush` in pieces of about kDeflatePiece bytes
  // (it takes the text out); the rest is returned. A million examinees
  // have some three million distinct texts.
  std::string xml(const std::function<void(std::string&)>& flush) const;

 private:
  std::string_view text(uint32_t i) const {
    const size_t from = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(texts_).substr(from, ends_[i] - from);
  }
  void grow();

  std::string texts_;            // every distinct text, end to end
  std::vector<uint64_t> ends_;   // where each text ends in texts_
  std::vector<uint64_t> slots_;  // hash's high half << 32 | index + 1; 0 is free
  size_t references_ = 0;
};

// Writes the worksheet part. drawing_rel is the r:id of its drawing ("" for
// none). With flush, the rows are handed to it in pieces of about
// kDeflatePiece bytes as they are written (it takes the text out of the
// string), and what is returned is only the rest.
std::string write_worksheet(const spreadsheet::Sheet& sheet, size_t style_count,
                            const std::string& drawing_rel, SharedStrings& strings,
                            const std::function<void(std::string&)>& flush = {});

}  // namespace kelv::xlsx
