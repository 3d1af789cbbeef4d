// Rules the model keeps itself, whoever fills it: merges never share a
// cell, and a row's cells stay sorted by column with no repeats.
#include <gtest/gtest.h>

#include "spreadsheet/cells.h"
#include "spreadsheet/model.h"

namespace kelv::spreadsheet {
namespace {

using host::Rect;

TEST(ModelRules, MergesFromAFileKeepTheFirstOfOverlappingOnesAndNoOneCellMerges) {
  Sheet s;
  s.merges = {
      {1, 1, 10, 2},  // tall: overlaps a merge that starts nine rows below it
      {3, 5, 3, 5},   // one cell
      {10, 2, 10, 4}, {11, 1, 11, 3},
      {2, 4, 4, 6},   {4, 6, 5, 7},  // shares (4, 6) with the one before
  };
  EXPECT_FALSE(merges_disjoint(s));
  keep_disjoint_merges(s);
  EXPECT_EQ(s.merges, (std::vector<Rect>{{1, 1, 10, 2}, {11, 1, 11, 3}, {2, 4, 4, 6}}));
  EXPECT_TRUE(merges_disjoint(s));
}

TEST(ModelRules, DisjointMergesAreLeftAsTheyAre) {
  Sheet s;
  s.merges = {{5, 1, 6, 2}, {1, 1, 4, 2}, {1, 3, 1, 9}};
  const std::vector<Rect> before = s.merges;
  EXPECT_TRUE(merges_disjoint(s));
  keep_disjoint_merges(s);
  EXPECT_EQ(s.merges, before);
}

TEST(ModelRules, CellsPutInAnyOrderStaySortedAndARepeatReplacesTheCell) {
  Row row;
  auto cell = [](int32_t col, double v) {
    Cell c;
    c.col = col;
    c.value = v;
    return c;
  };
  for (int32_t col : {3, 7, 1, 5, 7, 2}) cells::put(row, cell(col, col * 10.0 + row.cells.size()));
  ASSERT_TRUE(cells::sorted(row));
  std::vector<int32_t> cols;
  for (const Cell& c : row.cells) cols.push_back(c.col);
  EXPECT_EQ(cols, (std::vector<int32_t>{1, 2, 3, 5, 7}));
  // The second 7 was put when the row held four cells.
  EXPECT_EQ(row.cells.back().value.as_number(), 74.0);
}

}  // namespace
}  // namespace kelv::spreadsheet
