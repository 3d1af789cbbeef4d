// The walk that puts record blocks on the output pages. The record-block
// pass, the header pass and both photo passes all run this one walk, so the
// blocks, the page breaks, the headers and the photos land on the same rows.
#pragma once

#include <cstdint>
#include <functional>

namespace kelv::generate {

// Sizes of the layout: B body rows, C body columns, H header rows (0 without
// a header area), R rows of blocks per page (rowsPerPage), K blocks across
// (colsAcross).
struct BlockGeometry {
  int32_t B = 1, C = 1, H = 0, R = 1, K = 1;
  bool across_first = true;
};

// Position of the walk. Across first, j counts blocks in a row of blocks
// (limit K) and k rows of blocks on the page (limit R); down first, j counts
// blocks in a column of blocks (limit R) and k columns of blocks (limit K).
struct LayoutCursor {
  explicit LayoutCursor(const BlockGeometry& g) : top(g.H + 3), pageTop(g.H + 3) {}
  int32_t top;      // first content row of the current block
  int32_t col = 2;  // first content column of the current block
  int32_t j = 1;
  int32_t k = 1;
  int32_t pageTop;  // first content row of the page's first row of blocks (down first)
};

struct LayoutVisitor {
  // A record block with its top-left content cell at (top, col). starts_line:
  // the block opens a row of blocks (across first: j = 1; down first: it
  // lies in the page's first column of blocks, k = 1).
  std::function<void(int32_t record, int32_t top, int32_t col, bool starts_line)> block;
  // A new page: the page break goes above break_row, which stays a plain row;
  // the page's header starts on the row below it and is filled from
  // next_record (which is lastRow + 1 after the last record: no record
  // follows, and that page never gets a header).
  std::function<void(int32_t break_row, int32_t next_record)> page;
};

// Walks the records 2..lastRow. page_changes_after(i) tells whether the
// page-change value of record i differs from that of the row below it; it
// is asked after the record's block and before the fullness test.
void WalkRecords(const BlockGeometry& g, int32_t lastRow,
                 const std::function<bool(int32_t)>& page_changes_after,
                 const LayoutVisitor& visit);

}  // namespace kelv::generate
