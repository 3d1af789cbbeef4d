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

}  // namespace
}  // namespace kelv::form
