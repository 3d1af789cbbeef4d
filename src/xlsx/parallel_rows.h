// Reads a worksheet part with its rows cut into segments (RowSplitter) that
// are parsed side by side on the cores while the rest streams in, then put
// back in order on the reading thread. The worksheet reader gives both sides:
// what reads the sheet outside its rows, and what parses one segment; this
// side knows the threads, the order and the shared formulas that cross
// segments, and nothing of the XML.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/model.h"
#include "xlsx/row_splitter.h"

namespace kelv::xlsx {

class PackageReader;

// The cell that carries a shared formula's text (its anchor).
struct SharedFormula {
  int32_t row = 0, col = 0;
  std::string text;
};

// A cell of a shared formula whose anchor was not in its segment: settled
// when the segments are put back in order.
struct SharedFollower {
  int32_t row, col;
  int64_t si;
};

// What one segment's parse gives back.
struct SegmentRows {
  spreadsheet::Sheet rows;  // the rows from the segment's first row on (see row_base)
  std::vector<SharedFollower> followers;
  std::map<int64_t, SharedFormula> anchors;  // the last anchor of each group met
  uint64_t charged = 0;                      // what its cells count against the unpacking limit
};

// The row number just before a segment's first row: its rows are read as
// rows after this one.
inline int32_t row_base(const RowSplitter::Segment& segment) {
  return segment.first_row > 0 ? segment.first_row - 1 : 0;
}

struct ParallelRowSides {
  // Receives every byte of the sheet outside its rows, in order.
  std::function<void(std::string_view)> sheet;
  // Called once the part has streamed in, before the last segments are put
  // back.
  std::function<void()> sheet_end;
  // Parses one segment, wrapped into a document by head and tail, on any
  // thread. False, or an exception, when the segment can not be read alone.
  std::function<bool(const RowSplitter::Segment& segment, std::string_view head,
                     std::string_view tail, SegmentRows& out)>
      segment;
};

// Reads the part into `sheet`; false when any failure, or anything a segment
// can not settle alone, gave up. The caller then reads the sheet in one
// piece, which reports what is wrong exactly as it always has; a failure of
// the sheet side gives up the same way.
bool read_rows_in_parallel(PackageReader& package, const std::string& part,
                           spreadsheet::Sheet& sheet, const ParallelRowSides& sides);

}  // namespace kelv::xlsx
