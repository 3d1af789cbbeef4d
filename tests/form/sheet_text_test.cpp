// The text the view shows of cells, for the cell line, the clipboard and find.
#include "app/form/sheet_text.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kelv::form {
namespace {

using spreadsheet::Cell;
using spreadsheet::Sheet;

class SheetTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    book.sheets.push_back(std::make_unique<Sheet>());
    sheet = book.sheets.back().get();
  }
  void put(int32_t row, int32_t col, host::Variant v, const std::string& format = "General") {
    if (static_cast<int32_t>(sheet->rows.size()) < row) sheet->rows.resize(row);
    spreadsheet::Style style;
    style.number_format = format;
    Cell cell;
    cell.col = col;
    cell.value = std::move(v);
    cell.style = book.styles.intern(style);
    auto& cells = sheet->rows[row - 1].cells;
    cells.push_back(cell);
    std::sort(cells.begin(), cells.end(),
              [](const Cell& a, const Cell& b) { return a.col < b.col; });
  }

  spreadsheet::Workbook book;
  Sheet* sheet = nullptr;
};

TEST_F(SheetTextTest, CellsShowTheirWholeTextThroughTheirFormat) {
  put(1, 1, 2024010001.0);  // a 10-digit exam number kept as a number
  put(1, 2, "2024010002", "@");
  put(1, 3, 0.5, "0.0%");
  put(2, 1, "合并");
  sheet->merges.push_back(host::Rect{2, 1, 3, 2});
  EXPECT_EQ(shown_text(book, *sheet, 1, 1), "2024010001");
  EXPECT_EQ(shown_text(book, *sheet, 1, 2), "2024010002");
  EXPECT_EQ(shown_text(book, *sheet, 1, 3), "50.0%");
  EXPECT_EQ(shown_text(book, *sheet, 2, 1), "合并");
  EXPECT_EQ(shown_text(book, *sheet, 3, 2), "");
  EXPECT_EQ(shown_text(book, *sheet, 9, 9), "");
}

TEST_F(SheetTextTest, CopiedCellsAreTabSeparatedWithAwkwardTextsQuoted) {
  put(1, 1, "考号");
  put(1, 2, "备注");
  put(2, 1, 2024010001.0);
  put(2, 2, "第一行\n第二行");
  put(3, 1, "\"引号\"开头");
  put(3, 2, "a\tb");
  EXPECT_EQ(copy_text(book, *sheet, {1, 1, 3, 2}),
            "考号\t备注\n"
            "2024010001\t\"第一行\n第二行\"\n"
            "\"\"\"引号\"\"开头\"\t\"a\tb\"");
  EXPECT_EQ(copy_text(book, *sheet, host::Rect::cell(2, 1)), "2024010001");
  // Whole columns stop at the last used row; a merged block's text is its
  // first cell's.
  sheet->merges.push_back(host::Rect{1, 1, 1, 2});
  EXPECT_EQ(copy_text(book, *sheet, host::Rect{1, 1, host::kMaxRows, 2}),
            "考号\t\n2024010001\t\"第一行\n第二行\"\n\"\"\"引号\"\"开头\"\t\"a\tb\"");
  EXPECT_EQ(copy_text(book, *sheet, host::Rect::cell(50, 50)), "");
}

TEST_F(SheetTextTest, FindGoesRowByRowIgnoringCaseWidthAndHiddenCells) {
  put(1, 1, "Zhang 张三");
  put(1, 3, "zhang");
  put(2, 2, "ＺＨＡＮＧ");  // full-width letters
  put(3, 1, "zhang hidden row");
  put(4, 4, "zhang hidden column");
  put(5, 1, 20240101.0);
  sheet->rows[2].hidden = true;
  sheet->columns[4].hidden = true;
  const std::vector<CellPlace> found = find_cells(book, *sheet, "zhang");
  EXPECT_EQ(found, (std::vector<CellPlace>{{1, 1}, {1, 3}, {2, 2}}));
  // Numbers are found by the text they show.
  EXPECT_EQ(find_cells(book, *sheet, "0101"), (std::vector<CellPlace>{{5, 1}}));
  EXPECT_TRUE(find_cells(book, *sheet, "").empty());
  EXPECT_TRUE(find_cells(book, *sheet, "李四").empty());
}

}  // namespace
}  // namespace kelv::form
