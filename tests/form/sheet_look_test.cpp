// Screen geometry of the workbook view.
#include "app/form/sheet_look.h"

#include <gtest/gtest.h>

namespace kelv::form {
namespace {

TEST(SheetLook, AxisFindsLinesIncludingHiddenAndDefaultOnes) {
  const Axis axis({20, 0, 30}, 19);  // line 2 hidden
  EXPECT_EQ(axis.offset(1), 0);
  EXPECT_EQ(axis.offset(3), 20);
  EXPECT_EQ(axis.offset(4), 50);
  EXPECT_EQ(axis.offset(6), 50 + 2 * 19);
  EXPECT_EQ(axis.line_at(0), 1);
  EXPECT_EQ(axis.line_at(19), 1);
  EXPECT_EQ(axis.line_at(20), 3);  // the hidden line is never hit
  EXPECT_EQ(axis.line_at(50), 4);
  EXPECT_EQ(axis.line_at(50 + 19), 5);
  EXPECT_EQ(axis.size(2), 0);
  EXPECT_EQ(axis.size(100), 19);
}

TEST(SheetLook, SheetAxesTakeRowHeightsColumnWidthsAndHiddenLines) {
  spreadsheet::Sheet sheet;
  sheet.rows.resize(3);
  sheet.rows[0].height = 30;  // points
  sheet.rows[2].hidden = true;
  sheet.columns[2].width = 3;
  sheet.columns[3].hidden = true;
  const Axis rows = row_axis(sheet, 4);
  EXPECT_EQ(rows.size(1), 40);
  EXPECT_EQ(rows.size(2), 19);  // 14.25 points
  EXPECT_EQ(rows.size(3), 0);
  const Axis cols = column_axis(sheet, 4, 7);
  EXPECT_EQ(cols.size(1), 64);  // the standard width
  EXPECT_EQ(cols.size(2), 21);
  EXPECT_EQ(cols.size(3), 0);
}

TEST(SheetLook, OnScreenTakesThePersonsWidthsAndZoomsEveryLineInWholePixels) {
  const Axis file({64, 0, 21}, 64);  // column B hidden
  const Axis plain = on_screen(file, {}, 1);
  EXPECT_EQ(plain.offset(4), 85);
  // A width given to C and to a column past the stored ones; hidden B
  // stays hidden even when given one.
  const Axis widened = on_screen(file, {{2, 50}, {3, 140}, {6, 10}}, 1);
  EXPECT_EQ(widened.size(2), 0);
  EXPECT_EQ(widened.size(3), 140);
  EXPECT_EQ(widened.size(5), 64);
  EXPECT_EQ(widened.size(6), 10);
  EXPECT_EQ(widened.size(7), 64);
  EXPECT_EQ(widened.offset(7), 64 + 140 + 64 + 64 + 10);
  // At 150 % every line is rounded on its own, so lines meet without gaps.
  const Axis zoomed = on_screen(file, {{3, 25}}, 1.5);
  EXPECT_EQ(zoomed.size(1), 96);
  EXPECT_EQ(zoomed.size(3), 38);
  EXPECT_EQ(zoomed.size(9), 96);
  EXPECT_EQ(zoomed.offset(4), 96 + 38);
  EXPECT_EQ(zoomed.line_at(96 + 37), 3);
}

TEST(SheetLook, ZoomStepsStopAtTheEnds) {
  EXPECT_DOUBLE_EQ(zoom_in(1), 1.1);
  EXPECT_DOUBLE_EQ(zoom_out(1), 0.9);
  EXPECT_DOUBLE_EQ(zoom_in(1.05), 1.1);  // from between two steps
  EXPECT_DOUBLE_EQ(zoom_out(1.05), 1);
  EXPECT_DOUBLE_EQ(zoom_in(kMaxZoom), kMaxZoom);
  EXPECT_DOUBLE_EQ(zoom_out(kMinZoom), kMinZoom);
}

}  // namespace
}  // namespace kelv::form
