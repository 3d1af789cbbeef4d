#include "generate/layout_cursor.h"

namespace kelv::generate {
namespace {

using PageStart = std::function<void(int32_t break_row, int32_t next_record)>;

// After a record placed across first: move to the next block position; on a
// change of the page column start a new page; after a full row of blocks go
// down a row; after a full page of rows start a new page.
void AdvanceAcrossFirst(const BlockGeometry& g, LayoutCursor& cur, int32_t i, bool page_changes,
                        const PageStart& page) {
  cur.col += g.C + 1;
  cur.j += 1;
  if (page_changes) {
    const int32_t b = cur.top + g.B;
    if (page) page(b, i + 1);
    cur.top = b + 1 + g.H + 1;
    cur.col = 2;
    cur.j = 1;
    cur.k = 1;
  }
  if (cur.j > g.K) {
    cur.col = 2;
    cur.j = 1;
    const int32_t b = cur.top + g.B;
    cur.top = b + 1;
    cur.k += 1;
    if (cur.k > g.R) {
      if (page) page(b, i + 1);
      cur.top += g.H + 1;
      cur.k = 1;
    }
  }
}

// After a record placed down first: the same moves with rows and columns of
// blocks exchanged.
void AdvanceDownFirst(const BlockGeometry& g, LayoutCursor& cur, int32_t i, bool page_changes,
                      const PageStart& page) {
  cur.top += g.B + 1;
  cur.j += 1;
  if (page_changes) {
    // The next page starts right below this column of blocks while the page
    // has only its first column, else below a full column of blocks.
    const int32_t e = cur.k == 1 ? cur.top : cur.pageTop + (g.B + 1) * g.R;
    if (page) page(e - 1, i + 1);
    cur.top = e + g.H + 1;
    cur.pageTop = cur.top;
    cur.col = 2;
    cur.j = 1;
    cur.k = 1;
  }
  if (cur.j > g.R) {
    cur.col += g.C + 1;
    cur.top = cur.pageTop;
    cur.j = 1;
    cur.k += 1;
    if (cur.k > g.K) {
      cur.top = cur.pageTop + (g.B + 1) * g.R;
      if (page) page(cur.top - 1, i + 1);
      cur.top += g.H + 1;
      cur.pageTop = cur.top;
      cur.col = 2;
      cur.k = 1;
    }
  }
}

}  // namespace

void WalkRecords(const BlockGeometry& g, int32_t lastRow,
                 const std::function<bool(int32_t)>& page_changes_after,
                 const LayoutVisitor& visit) {
  LayoutCursor cur(g);
  for (int32_t i = 2; i <= lastRow; ++i) {
    const bool starts_line = g.across_first ? cur.j == 1 : cur.k == 1;
    if (visit.block) visit.block(i, cur.top, cur.col, starts_line);
    const bool page_changes = page_changes_after(i);
    if (g.across_first) {
      AdvanceAcrossFirst(g, cur, i, page_changes, visit.page);
    } else {
      AdvanceDownFirst(g, cur, i, page_changes, visit.page);
    }
  }
}

}  // namespace kelv::generate
