#include "sheets/sheet_lookup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spreadsheet/engine.h"

namespace kelv::sheets {
namespace {

class SheetLookup : public ::testing::Test {
 protected:
  void Write(const std::vector<std::vector<host::Variant>>& rows) {
    for (size_t r = 0; r < rows.size(); ++r)
      for (size_t c = 0; c < rows[r].size(); ++c)
        sheet.cells(static_cast<int32_t>(r) + 1, static_cast<int32_t>(c) + 1).set_value(rows[r][c]);
  }

  spreadsheet::Engine engine{nullptr};
  host::Workbook& book = engine.add_workbook("/ws/a.xlsx");
  host::Worksheet& sheet = book.sheet_at(0);
};

TEST_F(SheetLookup, SheetExistsComparesWholeNamesWithCase) {
  sheet.set_name("Data");
  EXPECT_TRUE(SheetExists(book.worksheets(), "Data"));
  EXPECT_FALSE(SheetExists(book.worksheets(), "data"));
  EXPECT_FALSE(SheetExists(book.worksheets(), "Dat"));
}

TEST_F(SheetLookup, FindHeaderColumnFindsTheLeftmostExactHeader) {
  Write({{"姓名", "学校", "考号", "学校"}, {"甲", "一中", "01", "x"}});
  EXPECT_EQ(FindHeaderColumn(sheet, 1, "考号"), 3);
  EXPECT_EQ(FindHeaderColumn(sheet, 1, "学校"), 2);
  EXPECT_EQ(FindHeaderColumn(sheet, 1, "座号"), 0);
  EXPECT_EQ(FindHeaderColumn(sheet, 1, "考"), 0);
  // Searching from a later column passes the earlier match by.
  EXPECT_EQ(FindHeaderColumn(sheet, 3, "学校"), 4);
}

TEST_F(SheetLookup, FindHeaderColumnComparesNumbersAsText) {
  Write({{"姓名", 2024}});
  EXPECT_EQ(FindHeaderColumn(sheet, 1, "2024"), 2);
}

}  // namespace
}  // namespace kelv::sheets
