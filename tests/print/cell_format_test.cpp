// Cell texts through number formats, and colours from every file form.
#include "print/cell_format.h"

#include <gtest/gtest.h>

namespace kelv::print {
namespace {

using spreadsheet::Cell;
using spreadsheet::Color;
using spreadsheet::Style;

std::string shown(const host::Variant& v, const std::string& format) {
  Cell cell;
  cell.value = v;
  Style style;
  style.number_format = format;
  return display_text(cell, style);
}

int lightness(uint32_t rgb) {
  return static_cast<int>(((rgb >> 16) & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF));
}

TEST(CellFormat, ColoursResolveFromEveryFileForm) {
  EXPECT_EQ(resolve_color(Color::rgb(0xFF123456), 0), 0x123456u);
  EXPECT_EQ(resolve_color(Color::indexed(10), 0), 0xFF0000u);  // ColorIndex 3
  EXPECT_EQ(resolve_color(Color::indexed(2), 0), 0xFF0000u);   // first eight repeat
  EXPECT_EQ(resolve_color(Color::indexed(63), 0), 0x333333u);
  EXPECT_EQ(resolve_color(Color::indexed(64), 0x0000FF), 0x0000FFu);  // system colour
  EXPECT_EQ(resolve_color(Color::theme(1), 0xFF0000), 0x000000u);
  EXPECT_EQ(resolve_color(Color::automatic(), 0x00FF00), 0x00FF00u);
  EXPECT_EQ(resolve_color(Color{}, 0x00FF00), 0x00FF00u);
  // A positive tint lightens, a negative one darkens.
  EXPECT_GT(lightness(resolve_color(Color::theme(4, 0.4), 0)),
            lightness(resolve_color(Color::theme(4), 0)));
  EXPECT_EQ(resolve_color(Color::theme(0, -0.25), 0), 0xBFBFBFu);
  EXPECT_EQ(resolve_color(Color{Color::Kind::Rgb, 0xFF000000, 0.5}, 0), 0x808080u);
}

TEST(CellFormat, NumbersShowThroughTheirFormats) {
  EXPECT_EQ(shown(0.1 + 0.2, "General"), "0.3");
  EXPECT_EQ(shown(20240001, "@"), "20240001");
  EXPECT_EQ(shown(7, "000"), "007");
  EXPECT_EQ(shown(1234567.891, "#,##0.00"), "1,234,567.89");
  EXPECT_EQ(shown(0.256, "0.0%"), "25.6%");
  EXPECT_EQ(shown(-3.5, "0.00"), "-3.50");
  EXPECT_EQ(shown(-3.5, "0.00;(0.00)"), "(3.50)");
  EXPECT_EQ(shown(2.5, "0.##"), "2.5");
  EXPECT_EQ(shown(12, "0\"人\""), "12人");
  EXPECT_EQ(shown(12, "0\\人"), "12人");
  EXPECT_EQ(shown(45444, "yyyy/m/d"), "2024/6/1");
  EXPECT_EQ(shown(45444, "yyyy\"年\"m\"月\"d\"日\""), "2024年6月1日");
  EXPECT_EQ(shown(45444.5, "yyyy-mm-dd hh:mm"), "2024-06-01 12:00");
  EXPECT_EQ(shown(59, "yyyy-mm-dd"), "1900-02-28");
  EXPECT_EQ(shown(61, "yyyy-mm-dd"), "1900-03-01");
  EXPECT_EQ(shown(-1, "yyyy-mm-dd"), "########");
  EXPECT_EQ(shown(1.5, "[Red]0.0"), "1.5");
  // Literals on both sides, a section of literals only, an empty section,
  // and a semicolon inside a literal.
  EXPECT_EQ(shown(12, "\"共\"0\"人\""), "共12人");
  EXPECT_EQ(shown(0, "0;-0;\"无\""), "无");
  EXPECT_EQ(shown(0, "0;-0;"), "");
  EXPECT_EQ(shown(5, "\"a;b\"0"), "a;b5");
  // Time parts with one letter unpadded, with two padded.
  EXPECT_EQ(shown(45444 + 3661 / 86400.0, "h:m:s"), "1:1:1");
  EXPECT_EQ(shown(45444 + 3661 / 86400.0, "hh:mm:ss"), "01:01:01");
}

TEST(CellFormat, OtherValuesShowAsTheyAre) {
  EXPECT_EQ(shown(host::Variant("0001"), "@"), "0001");
  EXPECT_EQ(shown(true, "General"), "TRUE");
  EXPECT_EQ(shown(host::CellError::NA, "General"), "#N/A");
  EXPECT_EQ(shown(host::Variant(), "0.00"), "");
}

}  // namespace
}  // namespace kelv::print
