#include "spreadsheet/a1.h"

#include <gtest/gtest.h>

#include <optional>

namespace kelv::spreadsheet {
namespace {

using host::kMaxColumns;
using host::kMaxRows;
using host::Rect;

TEST(A1, ColumnLettersAndNumbers) {
  const struct {
    int32_t column;
    const char* letters;
  } table[] = {{1, "A"},    {26, "Z"},    {27, "AA"},   {52, "AZ"},    {168, "FL"},
               {702, "ZZ"}, {703, "AAA"}, {728, "AAZ"}, {16384, "XFD"}};
  for (const auto& t : table) {
    EXPECT_EQ(column_letters(t.column), t.letters);
    EXPECT_EQ(column_number(t.letters), t.column) << t.letters;
  }
  EXPECT_EQ(column_number("xfd"), 16384);
  EXPECT_EQ(column_letters(0), "");
  for (const char* bad : {"", "XFE", "ZZZ", "AAAA", "A1", "$A", "A B", "Ａ"})
    EXPECT_EQ(column_number(bad), 0) << bad;
}

TEST(A1, Cells) {
  const struct {
    const char* text;
    int32_t row, column;
    bool row_absolute, column_absolute;
  } good[] = {
      {"B7", 7, 2, false, false},
      {"$B$7", 7, 2, true, true},
      {"b$7", 7, 2, true, false},
      {"$AB12", 12, 28, false, true},
      {"XFD1048576", kMaxRows, kMaxColumns, false, false},
  };
  for (const auto& t : good) {
    CellRef c;
    ASSERT_TRUE(parse_cell(t.text, &c)) << t.text;
    EXPECT_EQ(c.row, t.row) << t.text;
    EXPECT_EQ(c.column, t.column) << t.text;
    EXPECT_EQ(c.row_absolute, t.row_absolute) << t.text;
    EXPECT_EQ(c.column_absolute, t.column_absolute) << t.text;
  }
  int32_t r = 0, c = 0;
  for (const char* bad : {"XFE1", "A1048577", "A99999999999", "A0", "A", "1", "A1B", "$$A1", "A$",
                          "", "AAAA1", "A 1", " A1", "A1 ", "A-1", "R1C1", "1A"})
    EXPECT_FALSE(parse_cell(bad, &r, &c)) << bad;
  // Every column and a few rows read back as written.
  for (int32_t col = 1; col <= kMaxColumns; ++col) {
    ASSERT_TRUE(parse_cell(cell_address(kMaxRows - col, col), &r, &c)) << col;
    ASSERT_EQ(c, col);
    ASSERT_EQ(r, kMaxRows - col);
  }
}

TEST(A1, RangesReadAndWrite) {
  const struct {
    const char* text;
    Rect parsed;
    const char* area;     // area_address
    const char* compact;  // rect_address
  } table[] = {
      {"A1", Rect::cell(1, 1), "A1", "A1"},
      {"C4:A1", {1, 1, 4, 3}, "A1:C4", "A1:C4"},
      {"$B$2:$B$2", Rect::cell(2, 2), "B2", "B2"},
      {"B:D", {1, 2, kMaxRows, 4}, "B1:D1048576", "B:D"},
      {"$D:B", {1, 2, kMaxRows, 4}, "B1:D1048576", "B:D"},
      {"$3:$5", {3, 1, 5, kMaxColumns}, "A3:XFD5", "3:5"},
      {"7:7", {7, 1, 7, kMaxColumns}, "A7:XFD7", "7:7"},
      {"A1:XFD1048576", {1, 1, kMaxRows, kMaxColumns}, "A1:XFD1048576", "A1:XFD1048576"},
  };
  for (const auto& t : table) {
    Rect r;
    ASSERT_TRUE(parse_range(t.text, &r)) << t.text;
    EXPECT_EQ(r, t.parsed) << t.text;
    EXPECT_EQ(area_address(r), t.area);
    EXPECT_EQ(rect_address(r), t.compact);
    Rect back;
    ASSERT_TRUE(parse_range(rect_address(r), &back));
    EXPECT_EQ(back, r);
  }
  Rect r;
  for (const char* bad : {"", ":", "A1:", ":A1", "A:1", "1:A", "A1:B", "B:A1", "XFE:XFE", "0:3",
                          "3:1048577", "A1:B2:C3", "A1 :B2"})
    EXPECT_FALSE(parse_range(bad, &r)) << bad;

  EXPECT_EQ(absolute_address(Rect::cell(1, 1)), "$A$1");
  EXPECT_EQ(absolute_address(Rect{2, 2, 5, 4}), "$B$2:$D$5");
}

TEST(A1, RangeLists) {
  std::vector<Rect> list;
  ASSERT_TRUE(parse_range_list("C4:D5  A1 B:B", &list));
  EXPECT_EQ(area_list_address(list), "C4:D5 A1 B1:B1048576");
  ASSERT_TRUE(parse_range_list("", &list));
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(parse_range_list("C4:D5 ZZZZ1", &list));
}

TEST(A1, SheetPrefixes) {
  const struct {
    const char* name;
    const char* prefix;
  } table[] = {
      {"Sheet1", "Sheet1!"}, {"my_data.2", "my_data.2!"},
      {"门贴", "'门贴'!"},   {"My Sheet", "'My Sheet'!"},
      {"it's", "'it''s'!"},  {"2024", "'2024'!"},
      {"A1", "'A1'!"},       {"xfd1", "'xfd1'!"},
      {"R1C1", "'R1C1'!"},   {"rc", "'rc'!"},
      {"R", "'R'!"},         {"C3", "'C3'!"},
      {"RCX", "RCX!"},       {"XFE1", "XFE1!"},
  };
  for (const auto& t : table) EXPECT_EQ(sheet_prefix(t.name), t.prefix) << t.name;
}

TEST(A1, SheetQualifiedRanges) {
  // What sheet_prefix writes reads back as the same sheet and range.
  for (const char* name : {"Sheet1", "My Sheet", "it's", "''", "考生 表", "a!b", "a,b", "A1"}) {
    for (const Rect& rect :
         {Rect::cell(2, 3), Rect{1, 2, kMaxRows, 4}, Rect{3, 1, 5, kMaxColumns}}) {
      SheetRange sr;
      const std::string text = sheet_prefix(name) + rect_address(rect);
      ASSERT_TRUE(parse_sheet_range(text, &sr)) << text;
      EXPECT_EQ(sr.sheet, name) << text;
      EXPECT_EQ(sr.rect, rect) << text;
    }
  }
  SheetRange sr;
  ASSERT_TRUE(parse_sheet_range(" $A$1:$F$20 ", &sr));
  EXPECT_EQ(sr.sheet, "");
  EXPECT_EQ(sr.rect, (Rect{1, 1, 20, 6}));
  for (const char* bad : {"'Sheet1!A1", "''!A1", "!A1", "'a'A1", "Sheet1!", "Sheet1!A0", "'a'!"})
    EXPECT_FALSE(parse_sheet_range(bad, &sr)) << bad;

  const std::string_view list = "'考 生,1'!$A$1:$F$20,Sheet1!$1:$2,'it''s'!B:B";
  const std::vector<std::string_view> parts = split_references(list);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0], "'考 生,1'!$A$1:$F$20");
  EXPECT_EQ(parts[2], "'it''s'!B:B");
  ASSERT_TRUE(parse_sheet_range(parts[2], &sr));
  EXPECT_EQ(sr.sheet, "it's");
}

}  // namespace
}  // namespace kelv::spreadsheet
