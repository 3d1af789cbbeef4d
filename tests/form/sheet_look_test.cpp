// Geometry, colours and cell texts of the workbook view.
#include "app/form/sheet_look.h"

#include <gtest/gtest.h>

namespace kelv::form {
namespace {

using spreadsheet::Cell;
using spreadsheet::Color;
using spreadsheet::Style;

QString shown(const host::Variant& v, const std::string& format) {
  Cell cell;
  cell.value = v;
  Style style;
  style.number_format = format;
  return display_text(cell, style);
}

TEST(SheetLook, ColumnWidthsFollowTheDigitWidthRule) {
  EXPECT_EQ(column_pixels(8.43, 7), 59);
  EXPECT_EQ(column_pixels(3, 7), 21);
  EXPECT_EQ(column_pixels(0, 7), 0);
  EXPECT_EQ(column_pixels(10, 8), 80);
}

TEST(SheetLook, ColoursResolveFromEveryFileForm) {
  EXPECT_EQ(resolve_color(Color::rgb(0xFF123456), Qt::black), QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(resolve_color(Color::indexed(10), Qt::black), QColor(Qt::red));  // ColorIndex 3
  EXPECT_EQ(resolve_color(Color::indexed(2), Qt::black), QColor(Qt::red));   // first eight repeat
  EXPECT_EQ(resolve_color(Color::indexed(63), Qt::black), QColor(0x33, 0x33, 0x33));
  EXPECT_EQ(resolve_color(Color::indexed(64), Qt::blue), QColor(Qt::blue));  // system colour
  EXPECT_EQ(resolve_color(Color::theme(1), Qt::red), QColor(Qt::black));
  EXPECT_EQ(resolve_color(Color::automatic(), Qt::green), QColor(Qt::green));
  EXPECT_EQ(resolve_color(Color{}, Qt::green), QColor(Qt::green));
  // A positive tint lightens, a negative one darkens.
  EXPECT_GT(resolve_color(Color::theme(4, 0.4), Qt::black).lightness(),
            resolve_color(Color::theme(4), Qt::black).lightness());
  EXPECT_LT(resolve_color(Color::theme(0, -0.25), Qt::black).lightness(), 255);
}

TEST(SheetLook, NumbersShowThroughTheirFormats) {
  EXPECT_EQ(shown(0.1 + 0.2, "General"), "0.3");
  EXPECT_EQ(shown(20240001, "@"), "20240001");
  EXPECT_EQ(shown(7, "000"), "007");
  EXPECT_EQ(shown(1234567.891, "#,##0.00"), "1,234,567.89");
  EXPECT_EQ(shown(0.256, "0.0%"), "25.6%");
  EXPECT_EQ(shown(-3.5, "0.00"), "-3.50");
  EXPECT_EQ(shown(-3.5, "0.00;(0.00)"), "(3.50)");
  EXPECT_EQ(shown(12, "0\"人\""), "12人");
  EXPECT_EQ(shown(45444, "yyyy/m/d"), "2024/6/1");
  EXPECT_EQ(shown(45444, "yyyy\"年\"m\"月\"d\"日\""), "2024年6月1日");
  EXPECT_EQ(shown(45444.5, "yyyy-mm-dd hh:mm"), "2024-06-01 12:00");
  EXPECT_EQ(shown(1.5, "[Red]0.0"), "1.5");
  // Literals on both sides, and a section of literals only.
  EXPECT_EQ(shown(12, "\"共\"0\"人\""), "共12人");
  EXPECT_EQ(shown(0, "0;-0;\"无\""), "无");
  // Time parts with one letter unpadded, with two padded.
  EXPECT_EQ(shown(45444 + 3661 / 86400.0, "h:m:s"), "1:1:1");
  EXPECT_EQ(shown(45444 + 3661 / 86400.0, "hh:mm:ss"), "01:01:01");
}

TEST(SheetLook, OtherValuesShowAsTheyAre) {
  EXPECT_EQ(shown(host::Variant("0001"), "@"), "0001");
  EXPECT_EQ(shown(true, "General"), "TRUE");
  EXPECT_EQ(shown(host::CellError::NA, "General"), "#N/A");
  EXPECT_EQ(shown(host::Variant(), "0.00"), "");
}

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
  EXPECT_EQ(cols.size(1), 59);
  EXPECT_EQ(cols.size(2), 21);
  EXPECT_EQ(cols.size(3), 0);
  EXPECT_EQ(column_letters(1), "A");
  EXPECT_EQ(column_letters(28), "AB");
  EXPECT_EQ(column_letters(168), "FL");
}

}  // namespace
}  // namespace kelv::form
