// The workbook view draws the model and follows the active sheet and cell.
#include "app/form/workbook_view.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>

#include "app/form/sheet_look.h"

namespace kelv::form {
namespace {

using spreadsheet::Cell;
using spreadsheet::Sheet;
using spreadsheet::Style;
using spreadsheet::Workbook;

std::unique_ptr<Sheet> make_sheet(const std::string& name) {
  auto s = std::make_unique<Sheet>();
  s->name = name;
  return s;
}

void put(Sheet& sheet, int32_t row, int32_t col, host::Variant v, uint32_t style = 0) {
  if (static_cast<int32_t>(sheet.rows.size()) < row) sheet.rows.resize(row);
  Cell cell;
  cell.col = col;
  cell.value = std::move(v);
  cell.style = style;
  auto& cells = sheet.rows[row - 1].cells;
  cells.push_back(cell);
  std::sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) { return a.col < b.col; });
}

class WorkbookViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    book = std::make_unique<Workbook>();
    Style red;
    red.fill.pattern = "solid";
    red.fill.fg = spreadsheet::Color::rgb(0xFFFF0000);
    red_style = book->styles.intern(red);
    auto first = make_sheet("考生表");
    put(*first, 2, 2, "甲", red_style);
    put(*first, 3, 3, "合并");
    first->merges.push_back(host::Rect{3, 3, 4, 4});
    first->row_breaks.insert(5);
    first->view.active_row = 2;
    first->view.active_col = 2;
    auto hidden = make_sheet("DTB");
    hidden->visibility = spreadsheet::Visibility::Hidden;
    book->sheets.push_back(std::move(first));
    book->sheets.push_back(std::move(hidden));
    book->sheets.push_back(make_sheet("考场表"));
    view.resize(640, 480);
    view.show();
  }

  QImage picture() { return view.canvas()->viewport()->grab().toImage(); }

  std::unique_ptr<Workbook> book;
  uint32_t red_style = 0;
  WorkbookView view;
};

TEST_F(WorkbookViewTest, TabsListTheVisibleSheetsAndSelectTheActiveOne) {
  book->active_sheet = 2;
  view.refresh(book.get(), "考试.xlsx");
  ASSERT_EQ(view.tabs()->count(), 2);
  EXPECT_EQ(view.tabs()->tabText(0), "考生表");
  EXPECT_EQ(view.tabs()->tabText(1), "考场表");
  EXPECT_EQ(view.tabs()->currentIndex(), 1);
  EXPECT_EQ(view.shown_sheet(), 2);
  book->active_sheet = 0;
  view.refresh(book.get(), "考试.xlsx");
  EXPECT_EQ(view.shown_sheet(), 0);
}

TEST_F(WorkbookViewTest, FillsMergesAndPageBreaksAreDrawn) {
  view.refresh(book.get(), "考试.xlsx");
  const QImage img = picture();
  // Columns are 64 px wide after the 46 px row header, rows 19 px under
  // the 20 px column header: B2 spans x 110..173, y 39..57.
  const int col = spreadsheet::column_width_pixels(spreadsheet::Sheet().default_column_width, 7);
  EXPECT_EQ(col, 64);
  EXPECT_EQ(QColor(img.pixel(46 + col + col / 2, 48)), QColor(Qt::red));
  EXPECT_EQ(QColor(img.pixel(46 + col / 2, 48)), QColor(Qt::white));
  // No grid line runs through the merged block C3:D4 where unmerged cells
  // have one (between C6 and D6).
  const int grid_x = 46 + col * 3 - 1;
  EXPECT_EQ(QColor(img.pixel(grid_x, 90)), QColor(Qt::white));
  EXPECT_NE(QColor(img.pixel(grid_x, 20 + 19 * 5 + 8)), QColor(Qt::white));
  // The break above row 5 is a blue dashed line across the sheet.
  const int break_y = 20 + 19 * 4 - 1;
  int blue = 0;
  for (int x = 50; x < 600; ++x)
    if (QColor(img.pixel(x, break_y)).blue() > 150 && QColor(img.pixel(x, break_y)).red() < 100)
      ++blue;
  EXPECT_GT(blue, 100);
}

TEST_F(WorkbookViewTest, FollowsTheWindowsScrollPositionWhenItChanges) {
  book->sheets[0]->view.top_row = 40;
  book->sheets[0]->view.active_row = 45;
  view.refresh(book.get(), "考试.xlsx");
  EXPECT_EQ(view.canvas()->top_row(), 40);
  // The person scrolls; a refresh with nothing new keeps their place.
  view.canvas()->scroll_to(10, 1);
  view.refresh(book.get(), "考试.xlsx");
  EXPECT_EQ(view.canvas()->top_row(), 10);
  book->sheets[0]->view.active_row = 46;
  view.refresh(book.get(), "考试.xlsx");
  EXPECT_EQ(view.canvas()->top_row(), 40);
}

TEST_F(WorkbookViewTest, AFrozenViewKeepsItsPictureAfterTheModelIsGone) {
  view.refresh(book.get(), "考试.xlsx");
  const QImage before = picture();
  view.freeze();
  book.reset();
  const QImage after = picture();
  EXPECT_EQ(QColor(after.pixel(130, 48)), QColor(before.pixel(130, 48)));
  EXPECT_EQ(QColor(after.pixel(130, 48)), QColor(Qt::red));
  view.refresh(nullptr, QString());
  EXPECT_EQ(view.tabs()->count(), 0);
  EXPECT_EQ(QColor(picture().pixel(130, 48)), QColor(Qt::white));
}

}  // namespace
}  // namespace kelv::form
