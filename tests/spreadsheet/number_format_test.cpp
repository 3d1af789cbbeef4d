// The number format engine: General fitted to a width, the colour a
// section names, and the rounding the office suites use.
#include "spreadsheet/number_format.h"

#include <gtest/gtest.h>

namespace kelv::spreadsheet {
namespace {

std::string fitted(double v, double chars) {
  FormatOptions o;
  o.width = chars;  // one unit a character
  return general_text(v, o);
}

TEST(NumberFormat, GeneralGivesUpDecimalsThenTurnsScientificToFit) {
  EXPECT_EQ(fitted(1234.5678, 100), "1234.5678");
  EXPECT_EQ(fitted(1234.5678, 8), "1234.568");
  EXPECT_EQ(fitted(1234.5678, 6), "1234.6");
  EXPECT_EQ(fitted(1234.5678, 5), "1235");  // a lone point is never left
  EXPECT_EQ(fitted(1234.5678, 4), "1235");
  EXPECT_EQ(fitted(2024010001, 10), "2024010001");
  EXPECT_EQ(fitted(2024010001, 8), "2.02E+09");
  EXPECT_EQ(fitted(2024010001, 5), "2E+09");
  EXPECT_EQ(fitted(2024010001, 4), "");  // nothing fits: the caller shows #
  EXPECT_EQ(fitted(-2024010001, 9), "-2.02E+09");
  EXPECT_EQ(fitted(0.000123456, 7), "0.00012");
  EXPECT_EQ(fitted(9.99999, 3), "10");
  EXPECT_EQ(fitted(0, 1), "0");
  // The caller's measure decides: here a digit is twice as wide as a point.
  FormatOptions o;
  o.width = 11;
  o.measure = [](std::string_view s) {
    double w = 0;
    for (char c : s) w += c == '.' ? 1 : 2;
    return w;
  };
  EXPECT_EQ(general_text(3.14159, o), "3.1416");
  // A General section says so, so the painter knows it may shorten it.
  EXPECT_TRUE(format_number(5, "General").general);
  EXPECT_TRUE(format_number(-5, "G/通用格式;[Red]-G/通用格式").general);
  EXPECT_FALSE(format_number(5, "0.00").general);
}

TEST(NumberFormat, ASectionsColourComesWithItsText) {
  const auto negative = format_number(-1234.5, "#,##0.00;[Red]-#,##0.00");
  EXPECT_EQ(negative.text, "-1,234.50");
  EXPECT_EQ(negative.color, 0xFF0000u);
  EXPECT_FALSE(format_number(1234.5, "#,##0.00;[Red]-#,##0.00").color.has_value());
  EXPECT_EQ(format_number(-3, "0;[Blue]0").text, "3");
  EXPECT_EQ(format_number(-3, "0;[Blue]0").color, 0x0000FFu);
  EXPECT_EQ(format_number(50, "[Red][<60]0;[Color10]0").color, 0xFF0000u);
  EXPECT_EQ(format_number(70, "[Red][<60]0;[Color10]0").color, 0x008000u);
  // [ColorN] takes the workbook's palette when it has its own.
  uint32_t palette[56] = {};
  palette[9] = 0xFF123456;
  FormatOptions o;
  o.palette = palette;
  EXPECT_EQ(format_number(1, "[Color10]0", o).color, 0x123456u);
  EXPECT_EQ(format_text("abc", "0;0;0;[Magenta]@").color, 0xFF00FFu);
  EXPECT_EQ(format_text("abc", "0;0;0;[Magenta]@").text, "abc");
}

TEST(NumberFormat, HalvesRoundAwayFromZeroOnTheShownDigits) {
  EXPECT_EQ(format_number(88.5, "0").text, "89");
  EXPECT_EQ(format_number(1234.5, "#,##0").text, "1,235");
  EXPECT_EQ(format_number(0.125, "0.00").text, "0.13");
  EXPECT_EQ(format_number(0.125, "0%").text, "13%");
  EXPECT_EQ(format_number(2.675, "0.00").text, "2.68");
  EXPECT_EQ(format_number(1.005, "0.00").text, "1.01");
  EXPECT_EQ(format_number(-2.5, "0").text, "-3");
  EXPECT_EQ(format_number(0.1 + 0.2, "0.0000000000000000").text, "0.3000000000000000");
  EXPECT_EQ(format_number(9.995, "0.00").text, "10.00");
  EXPECT_EQ(format_number(99999.5, "0.0E+00").text, "1.0E+05");
}

TEST(NumberFormat, DatesCountTheLeapDayOf1900AsExcelDoes) {
  // The reference table leaves these out: LibreOffice counts days otherwise.
  EXPECT_EQ(format_number(0, "yyyy-mm-dd").text, "1900-01-00");
  EXPECT_EQ(format_number(0.5, "yyyy/m/d h:mm").text, "1900/1/0 12:00");
  EXPECT_EQ(format_number(1, "yyyy-mm-dd dddd").text, "1900-01-01 Sunday");
  EXPECT_EQ(format_number(60, "yyyy-mm-dd").text, "1900-02-29");
  EXPECT_EQ(format_number(61, "yyyy-mm-dd dddd").text, "1900-03-01 Thursday");
  EXPECT_EQ(format_number(-1, "yyyy-mm-dd").text, "########");
  EXPECT_EQ(format_number(45450, "[DBNum1][$-804]yyyy\"年\"m\"月\"d\"日\"").text,
            "二〇二四年六月七日");
  EXPECT_EQ(format_number(45450, "[$-804]aaaa").text, "星期五");
  EXPECT_EQ(format_number(45450.75, "上午/下午h\"时\"mm\"分\"").text, "下午6时00分");
  EXPECT_EQ(format_number(1.75, "[h]:mm").text, "42:00");
}

TEST(NumberFormat, FillStandsWhereItIsWritten) {
  const auto r = format_number(12, "\"¥\"* #,##0");
  EXPECT_EQ(r.fill, " ");
  EXPECT_EQ(r.text.substr(r.fill_at), "12");
}

}  // namespace
}  // namespace kelv::spreadsheet
