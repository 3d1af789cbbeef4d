#include "spreadsheet/geometry.h"

#include <cmath>

#include "engine_fixture.h"
#include "host/constants.h"
#include "spreadsheet/model.h"

namespace kelv::spreadsheet {
namespace {

TEST_F(EngineTest, RowsHaveTheSheetsDefaultHeight) {
  EXPECT_EQ(cell(5, 1).row_height(), 14.25);
  EXPECT_EQ(cell(5, 1).top(), 4 * 14.25);
  // A default height given by the file.
  host::Workbook& other = engine.add_workbook("/tmp/kelv-test/B2.xlsx");
  Engine::model_of(other.active_sheet()).default_row_height = 13.5;
  EXPECT_EQ(other.active_sheet().cells(3, 1).top(), 27);
}

TEST_F(EngineTest, ColumnWidthsInPointsFollowTheDigitWidth) {
  // A column of the standard width: 64 pixels.
  EXPECT_DOUBLE_EQ(cell(1, 2).left(), 48);
  ws().columns(1).set_column_width(20);  // 140 pixels
  EXPECT_DOUBLE_EQ(cell(1, 2).left(), 105);
  EXPECT_DOUBLE_EQ(cell(1, 1).width(), 105);
  EXPECT_DOUBLE_EQ(cell(1, 3).left(), 105 + 48);
  // A width as the file gives it counts the cell margins: 8.43 is 59 pixels.
  ws().columns(1).set_column_width(8.43);
  EXPECT_DOUBLE_EQ(cell(1, 1).width(), 44.25);
}

// Widths in characters to pixels and points at their edges: nothing and
// less than a pixel, the standard widths, the widest column, and digit
// widths that are unknown (0 or less: 7 pixels).
TEST(ColumnWidth, CharactersToPixelsAndPointsAtTheEdges) {
  struct Case {
    double chars;
    int32_t digit_width;
    int32_t pixels;
  };
  const Case cases[] = {
      {-1, 7, 0},    {0, 7, 0},      {0.01, 7, 0},      {0.1, 7, 1},     {1, 7, 7},
      {3, 7, 21},    {8.43, 7, 59},  {9.140625, 7, 64}, {10, 8, 80},     {255, 7, 1785},
      {8.43, 0, 59}, {8.43, -3, 59}, {1, 1, 1},         {255, 20, 5100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.chars << " characters, digits of " << c.digit_width);
    EXPECT_EQ(column_width_pixels(c.chars, c.digit_width), c.pixels);
    EXPECT_EQ(column_width_points(c.chars, c.digit_width), c.pixels * 0.75);
  }
  // Standard widths for a number of digits, and their pixels.
  EXPECT_EQ(standard_column_width(0, 7), 1.140625);  // the margins alone: 8 pixels
  EXPECT_EQ(column_width_pixels(standard_column_width(0, 7), 7), 8);
  EXPECT_EQ(standard_column_width(10, 7), 11.42578125);
  EXPECT_EQ(standard_column_width(8, 0), 9.140625);
  EXPECT_EQ(column_width_pixels(standard_column_width(255, 7), 7), 1792);
  // Points to whole screen pixels: 14.25 points are 19 pixels, half a
  // pixel rounds up.
  const Track screen = in_whole_pixels(Track({14.25, 0.375, 0, 48}, 15));
  EXPECT_EQ(screen.size(1), 19);
  EXPECT_EQ(screen.size(2), 1);
  EXPECT_EQ(screen.size(3), 0);
  EXPECT_EQ(screen.size(4), 64);
  EXPECT_EQ(screen.size(5), 20);
}

// The engine's positions, the page model's tracks and picture anchors sum a
// sheet's lines alike: the same numbers to the last bit, also past the
// stored rows, where a height such as 14.4 summed seven times is not seven
// times 14.4.
TEST(SheetEdges, AgreeWithTheTracksAndLocateEveryEdge) {
  Sheet sheet;
  sheet.default_row_height = 14.4;
  sheet.rows.resize(5);
  sheet.rows[1].height = 20.1;
  sheet.rows[2].hidden = true;
  sheet.columns[2].width = 3;
  sheet.columns[3].hidden = true;
  const SheetEdges edges(&sheet, 7);
  const Track rows = row_track(sheet, 5);
  const Track cols = column_track(sheet, 3, 7);
  for (int32_t r = 1; r <= 40; ++r) EXPECT_EQ(edges.row_top(r), rows.offset(r)) << r;
  for (int32_t c = 1; c <= 40; ++c) EXPECT_EQ(edges.column_left(c), cols.offset(c)) << c;
  EXPECT_EQ(edges.row_top(12), rows.offset(6) + 6 * 14.4);
  EXPECT_EQ(edges.row_top(host::kMaxRows + 5), edges.row_top(host::kMaxRows + 1));

  for (int32_t r = 1; r <= 40; ++r) {
    int32_t row = 0;
    double offset = -1;
    edges.locate_row(edges.row_top(r), &row, &offset);
    // A hidden row is never the one found: its top is the next row's.
    EXPECT_EQ(row, r == 3 ? 4 : r) << r;
    EXPECT_EQ(offset, 0) << r;
  }
  int32_t col = 0;
  double offset = 0;
  edges.locate_column(cols.offset(3) + 1, &col, &offset);  // column 3 is hidden
  EXPECT_EQ(col, 4);
  EXPECT_EQ(offset, 1);
  edges.locate_column(-5, &col, &offset);
  EXPECT_EQ(col, 1);
  EXPECT_EQ(offset, 0);
}

TEST(ColumnWidth, TheStandardWidthIsWholeStepsOfEightPixels) {
  // 8 digits of 7 pixels and 5 of margins: 61, drawn as 64 (8.43 digits).
  EXPECT_EQ(column_width_pixels(standard_column_width(8, 7), 7), 64);
  EXPECT_EQ(standard_column_width(8, 7), 9.140625);
  EXPECT_EQ(column_width_pixels(standard_column_width(8, 8), 8), 72);
  EXPECT_EQ(column_width_pixels(standard_column_width(10, 7), 7), 80);
  EXPECT_EQ(column_width_pixels(Sheet().default_column_width, 7), 64);
}

TEST_F(EngineTest, HiddenRowsAndColumnsCountAsZero) {
  ws().rows(2).set_row_height(0);
  ws().columns(1).set_column_width(0);
  EXPECT_EQ(cell(2, 1).row_height(), 0);
  EXPECT_EQ(cell(2, 1).column_width(), 0);
  EXPECT_EQ(cell(3, 2).top(), 14.25);
  EXPECT_EQ(cell(3, 2).left(), 0);
}

TEST_F(EngineTest, GeometryOfAMergedArea) {
  ws().rows(3).set_row_height(20);
  ws().columns(3).set_column_width(10);  // 70 pixels
  block(2, 2, 3, 3).merge();
  host::Range area = cell(3, 3).merge_area();
  EXPECT_DOUBLE_EQ(area.top(), 14.25);
  EXPECT_DOUBLE_EQ(area.left(), 48);
  EXPECT_DOUBLE_EQ(area.height(), 14.25 + 20);
  EXPECT_DOUBLE_EQ(area.width(), 48 + 52.5);
}

TEST_F(EngineTest, UnionSetsEveryRowAndColumnOfEveryArea) {
  host::Range u = engine.union_of(ws().rows(2), block(5, 1, 6, 1));
  u.set_row_height(25);
  EXPECT_EQ(cell(2, 1).row_height(), 25);
  EXPECT_EQ(cell(3, 1).row_height(), 14.25);
  EXPECT_EQ(cell(5, 1).row_height(), 25);
  EXPECT_EQ(cell(6, 1).row_height(), 25);
  engine.union_of(ws().columns(2), ws().columns(4)).set_column_width(3);
  EXPECT_EQ(cell(1, 2).column_width(), 3);
  EXPECT_EQ(cell(1, 3).column_width(), Sheet().default_column_width);
  EXPECT_EQ(cell(1, 4).column_width(), 3);
}

TEST_F(EngineTest, TopFollowsHeightChangesMadeWhileWalkingDown) {
  double expected = 0;
  for (int r = 1; r <= 2000; ++r) {
    EXPECT_DOUBLE_EQ(cell(r, 1).top(), expected);
    const double h = 10 + r % 7;
    ws().rows(r).set_row_height(h);
    expected += h;
  }
  ws().rows(1).set_row_height(100);
  EXPECT_DOUBLE_EQ(cell(2001, 1).top(), expected - 11 + 100);
}

TEST_F(EngineTest, SizesOutOfRangeAreRefused) {
  EXPECT_EQ(error_number([&] { ws().rows(1).set_row_height(410); }), 1004);
  EXPECT_EQ(error_number([&] { ws().columns(1).set_column_width(-1); }), 1004);
  EXPECT_EQ(cell(1, 1).row_height(), 14.25);
}

TEST_F(EngineTest, RowHeightOfEveryRowSetsTheDefault) {
  ws().columns(1).set_row_height(20);
  EXPECT_EQ(cell(1000000, 1).row_height(), 20);
  EXPECT_LT(model().rows.size(), 10u);
}

TEST_F(EngineTest, DirectModelChangesAreSeenAfterModelChanged) {
  EXPECT_DOUBLE_EQ(cell(3, 1).top(), 2 * 14.25);
  model().rows.resize(3);
  model().rows[0].height = 40;
  model().merges.push_back(host::Rect{5, 1, 6, 2});
  Engine::model_changed(ws());
  EXPECT_DOUBLE_EQ(cell(3, 1).top(), 40 + 14.25);
  EXPECT_EQ(cell(6, 2).merge_area().area(), (host::Rect{5, 1, 6, 2}));
}

TEST_F(EngineTest, LeftFollowsColumnsAddedByFormats) {
  EXPECT_DOUBLE_EQ(cell(1, 3).left(), 2 * 48);
  ws().columns(5).font().set_bold(true);
  EXPECT_DOUBLE_EQ(cell(1, 7).left(), 6 * 48);
  ws().columns(9).set_column_width(0);
  EXPECT_DOUBLE_EQ(cell(1, 10).left(), 8 * 48);
}

}  // namespace
}  // namespace kelv::spreadsheet
