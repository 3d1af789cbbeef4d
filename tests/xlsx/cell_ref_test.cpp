#include "xlsx/cell_ref.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

TEST(CellRef, ColumnNamesAndCellsRoundTrip) {
  for (int32_t c : {1, 26, 27, 52, 702, 703, 16384}) {
    int32_t row = 0, col = 0;
    ASSERT_TRUE(parse_cell(cell_name(7, c), &row, &col)) << c;
    EXPECT_EQ(col, c);
    EXPECT_EQ(row, 7);
  }
  EXPECT_EQ(cell_name(1, 16384), "XFD1");
  EXPECT_EQ(cell_name(1048576, 28), "AB1048576");
}

TEST(CellRef, RefusesReferencesOffTheSheet) {
  int32_t r = 0, c = 0;
  EXPECT_FALSE(parse_cell("XFE1", &r, &c));
  EXPECT_FALSE(parse_cell("A1048577", &r, &c));
  EXPECT_FALSE(parse_cell("A0", &r, &c));
  EXPECT_FALSE(parse_cell("A", &r, &c));
  EXPECT_FALSE(parse_cell("1", &r, &c));
  EXPECT_FALSE(parse_cell("A1B", &r, &c));
  EXPECT_TRUE(parse_cell("$B$7", &r, &c));
}

TEST(CellRef, RangesAndLists) {
  host::Rect r;
  ASSERT_TRUE(parse_range("C4:A1", &r));
  EXPECT_EQ(r, (host::Rect{1, 1, 4, 3}));
  ASSERT_TRUE(parse_range("B:D", &r));
  EXPECT_EQ(r, (host::Rect{1, 2, 1048576, 4}));
  ASSERT_TRUE(parse_range("$3:$5", &r));
  EXPECT_EQ(r, (host::Rect{3, 1, 5, 16384}));
  std::vector<host::Rect> list;
  ASSERT_TRUE(parse_range_list("C4:D5 A1", &list));
  EXPECT_EQ(range_list_name(list), "C4:D5 A1");
  EXPECT_FALSE(parse_range_list("C4:D5 ZZZZ1", &list));
}

TEST(ShiftFormula, MovesRelativePartsOnly) {
  EXPECT_EQ(shift_formula("A2*2+$A$1", 2, 0), "A4*2+$A$1");
  EXPECT_EQ(shift_formula("SUM($A1:B$2)", 1, 1), "SUM($A2:C$2)");
  EXPECT_EQ(shift_formula("Sheet1!A1+'其 他'!B2", 1, 0), "Sheet1!A2+'其 他'!B3");
  EXPECT_EQ(shift_formula("COUNTIF(A:A,A2)", 3, 1), "COUNTIF(B:B,B5)");
  EXPECT_EQ(shift_formula("SUM(2:3)", 1, 0), "SUM(3:4)");
}

TEST(ShiftFormula, LeavesFunctionsNamesAndTextAlone) {
  EXPECT_EQ(shift_formula("LOG10(A1)", 1, 0), "LOG10(A2)");
  EXPECT_EQ(shift_formula("\"A1\"&A1", 1, 0), "\"A1\"&A2");
  EXPECT_EQ(shift_formula("\"say \"\"B2\"\"\"&B2", 0, 1), "\"say \"\"B2\"\"\"&C2");
  EXPECT_EQ(shift_formula("Table1[[#This Row],[A1]]", 1, 1), "Table1[[#This Row],[A1]]");
  EXPECT_EQ(shift_formula("my_name1+1.5E+3", 1, 1), "my_name1+1.5E+3");
}

TEST(ShiftFormula, ReferencesLeavingTheSheetBecomeRefErrors) {
  EXPECT_EQ(shift_formula("A1+B2", -1, 0), "#REF!+B1");
  EXPECT_EQ(shift_formula("XFD1", 0, 1), "#REF!");
}

TEST(Numbers, ShortestFormReadsBackBitExact) {
  std::mt19937_64 rng(42);
  std::uniform_int_distribution<uint64_t> bits;
  for (int i = 0; i < 20000; ++i) {
    uint64_t b = bits(rng);
    double d;
    std::memcpy(&d, &b, sizeof d);
    if (!std::isfinite(d)) continue;
    double back = 0;
    ASSERT_TRUE(parse_number(format_number(d), &back)) << format_number(d);
    ASSERT_EQ(std::memcmp(&d, &back, sizeof d), 0) << format_number(d);
  }
  EXPECT_EQ(format_number(0.1), "0.1");
  EXPECT_EQ(format_number(1e20), "1e+20");
  double v = 0;
  EXPECT_TRUE(parse_number("1E+20", &v));
  EXPECT_EQ(v, 1e20);
  EXPECT_FALSE(parse_number("1,5", &v));
}

TEST(Escapes, ControlCharactersAndLiteralEscapesSurvive) {
  const std::string text = std::string("a\x01") + "b_x0041_c\t";
  XmlOut out;
  out.text(text);
  EXPECT_EQ(out.str(), "a_x0001_b_x005F_x0041_c\t");
  EXPECT_EQ(decode_escapes(out.str()), text);
}

}  // namespace
}  // namespace kelv::xlsx
