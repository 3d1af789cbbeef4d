#include "generate/layout_cursor.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kelv::generate {
namespace {

// Runs the walk and writes down every block (record@row,col, "*" when it
// opens a line of blocks) and every page start (|break:row>record).
std::string Walk(const BlockGeometry& g, int32_t records, std::set<int32_t> changesAfter = {}) {
  std::string out;
  LayoutVisitor visit;
  visit.block = [&](int32_t i, int32_t top, int32_t col, bool starts_line) {
    out += std::to_string(i - 1);
    out += '@';
    out += std::to_string(top);
    out += ',';
    out += std::to_string(col);
    out += starts_line ? "* " : " ";
  };
  visit.page = [&](int32_t break_row, int32_t next) {
    out += '|';
    out += std::to_string(break_row);
    out += '>';
    out += std::to_string(next - 1);
    out += ' ';
  };
  WalkRecords(
      g, records + 1, [&](int32_t i) { return changesAfter.count(i - 1) > 0; }, visit);
  return out;
}

TEST(LayoutCursor, AcrossFirstFillsTwoRowsOfThreeThenStartsPageTwo) {
  const BlockGeometry g{2, 2, 1, 2, 3, true};
  EXPECT_EQ(Walk(g, 7), "1@4,2* 2@4,5 3@4,8 4@7,2* 5@7,5 6@7,8 |9>7 7@12,2* ");
}

TEST(LayoutCursor, DownFirstFillsColumnsOfThreeThenStartsPageTwo) {
  const BlockGeometry g{2, 2, 1, 3, 2, false};
  EXPECT_EQ(Walk(g, 7), "1@4,2* 2@7,2* 3@10,2* 4@4,5 5@7,5 6@10,5 |12>7 7@15,2* ");
}

TEST(LayoutCursor, AcrossFirstPageChangeEndsTheRowOfBlocks) {
  const BlockGeometry g{2, 2, 1, 2, 3, true};
  EXPECT_EQ(Walk(g, 4, {2}), "1@4,2* 2@4,5 |6>3 3@9,2* 4@9,5 ");
}

TEST(LayoutCursor, DownFirstPageChangeInSecondColumnBreaksBelowAFullColumn) {
  const BlockGeometry g{2, 2, 1, 3, 2, false};
  EXPECT_EQ(Walk(g, 6, {5}), "1@4,2* 2@7,2* 3@10,2* 4@4,5 5@7,5 |12>6 6@15,2* ");
}

TEST(LayoutCursor, DownFirstPageChangeInFirstColumnBreaksRightBelowIt) {
  const BlockGeometry g{2, 2, 1, 3, 2, false};
  EXPECT_EQ(Walk(g, 2, {1}), "1@4,2* |6>2 2@9,2* ");
}

TEST(LayoutCursor, WithoutHeaderAPageIsOnePlainAndOneSpacerRowBeforeTheBlocks) {
  const BlockGeometry g{1, 1, 0, 1, 1, true};
  EXPECT_EQ(Walk(g, 2), "1@3,2* |4>2 2@6,2* |7>3 ");
}

TEST(LayoutCursor, LastRecordWithAPageValueIsFollowedByABreak) {
  const BlockGeometry g{2, 2, 1, 2, 3, true};
  // The last record's value differs from the empty row below the table.
  EXPECT_EQ(Walk(g, 2, {1, 2}), "1@4,2* |6>2 2@9,2* |11>3 ");
}

TEST(LayoutCursor, EveryRecordOnItsOwnPage) {
  const BlockGeometry g{1, 2, 2, 3, 3, false};
  EXPECT_EQ(Walk(g, 3, {1, 2}), "1@5,2* |6>2 2@10,2* |11>3 3@15,2* ");
}

TEST(LayoutCursor, NoRecordsNoEvents) {
  EXPECT_EQ(Walk(BlockGeometry{}, 0), "");
}

}  // namespace
}  // namespace kelv::generate
