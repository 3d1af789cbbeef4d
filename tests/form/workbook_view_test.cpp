// The workbook view draws the model and follows the active sheet and cell.
#include "app/form/workbook_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "app/form/sheet_look.h"
#include "print/qt/fonts.h"

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

// The person's reading of a sheet: a second sheet with a table.
class ReadingTest : public WorkbookViewTest {
 protected:
  void SetUp() override {
    WorkbookViewTest::SetUp();
    Sheet& table = *book->sheets[2];
    put(table, 1, 1, "考号");
    put(table, 1, 2, "姓名");
    put(table, 1, 3, "备注");
    put(table, 2, 1, "2024010001");
    put(table, 2, 2, "张三");
    put(table, 2, 3, "第一行\n第二行");
    put(table, 3, 1, "2024010002");
    put(table, 3, 2, "李四张");
    put(table, 4, 1, "合并的一行");
    table.merges.push_back(host::Rect{4, 1, 4, 2});
    book->active_sheet = 2;
    view.refresh(book.get(), "考试.xlsx");
  }
  SheetCanvas* canvas() { return view.canvas(); }
  QWidget* grid() { return canvas()->viewport(); }
  QPoint centre(int32_t row, int32_t col) { return canvas()->cell_rect(row, col).center(); }
  // Where the right edge of column `col`'s heading is.
  QPoint edge(int32_t col) {
    return {canvas()->cell_rect(1, col).right() + 1, SheetCanvas::kColumnHeaderHeight / 2};
  }
};

TEST_F(ReadingTest, ClicksSelectTheLineAboveShowsTheCellAndCopyGivesTabbedText) {
  QTest::mouseClick(grid(), Qt::LeftButton, {}, centre(2, 3));
  EXPECT_EQ(view.cell_address(), "C2");
  EXPECT_EQ(view.cell_line()->text(), "第一行 第二行");
  EXPECT_EQ(view.cell_line()->toolTip(), "第一行\n第二行");
  QTest::mouseClick(grid(), Qt::LeftButton, Qt::ShiftModifier, centre(3, 1));
  EXPECT_EQ(canvas()->selection(), (host::Rect{2, 1, 3, 3}));
  EXPECT_EQ(view.cell_address(), "C2");  // the current cell stays
  QString said;
  view.on_message([&](const QString& text) { said = text; });
  view.copy_action()->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(),
            "2024010001\t张三\t\"第一行\n第二行\"\n2024010002\t李四张\t");
  EXPECT_EQ(said, "已复制 2 行 × 3 列");
  // A column heading selects the column down to the sheet's end; copied,
  // it stops at the last row used.
  QTest::mouseClick(grid(), Qt::LeftButton, {},
                    QPoint(centre(1, 2).x(), SheetCanvas::kColumnHeaderHeight / 2));
  EXPECT_EQ(canvas()->selection(), host::Rect::whole_column(2));
  EXPECT_EQ(canvas()->selected_text(), "姓名\n张三\n李四张\n");
  // A merged block is selected whole, and a step leaves it whole.
  QTest::mouseClick(grid(), Qt::LeftButton, {}, centre(4, 2));
  EXPECT_EQ(canvas()->selection(), (host::Rect{4, 1, 4, 2}));
  EXPECT_EQ(view.cell_address(), "A4");
  EXPECT_EQ(view.cell_line()->text(), "合并的一行");
  QTest::keyClick(canvas(), Qt::Key_Right);
  EXPECT_EQ(view.cell_address(), "C4");
  QTest::keyClick(canvas(), Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_EQ(canvas()->selection(), (host::Rect{3, 3, 4, 3}));
  // The mouse shows a cell's whole text.
  EXPECT_EQ(canvas()->tip_at(centre(2, 3)), "第一行\n第二行");
  EXPECT_EQ(canvas()->tip_at(centre(9, 9)), "");
}

TEST_F(ReadingTest, DraggingAHeadingsEdgeWidensTheColumnOnScreenOnly) {
  const int before = canvas()->cell_rect(2, 2).width();
  EXPECT_EQ(canvas()->column_edge_at(edge(2)), 2);
  EXPECT_EQ(canvas()->column_edge_at(edge(2) - QPoint(20, 0)), 0);
  QTest::mousePress(grid(), Qt::LeftButton, {}, edge(2));
  QMouseEvent move(QEvent::MouseMove, edge(2) + QPoint(50, 0),
                   grid()->mapToGlobal(edge(2) + QPoint(50, 0)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(grid(), &move);
  QTest::mouseRelease(grid(), Qt::LeftButton, {}, edge(2) + QPoint(50, 0));
  EXPECT_EQ(canvas()->cell_rect(2, 2).width(), before + 50);
  EXPECT_TRUE(book->sheets[2]->columns.empty());  // the workbook keeps its widths
  // The width outlives the refresh after the component's work.
  view.freeze();
  view.refresh(book.get(), "考试.xlsx");
  EXPECT_EQ(canvas()->column_width(2), before + 50);
  // A double click on the edge fits the column to its widest text.
  put(*book->sheets[2], 5, 2, "一个很长很长很长很长的名字");
  view.refresh(book.get(), "考试.xlsx");
  QTest::mouseDClick(grid(), Qt::LeftButton, {}, edge(2));
  const QFontMetricsF metrics(
      print::cell_font(book->styles.get(0).font, spreadsheet::kPixelsPerPoint));
  const double text = metrics.horizontalAdvance("一个很长很长很长很长的名字");
  EXPECT_GT(canvas()->column_width(2), text);
  EXPECT_LT(canvas()->column_width(2), text + 20);
}

TEST_F(ReadingTest, NumbersAndCodesAreNeverCutButOtherTextIs) {
  // A default column is narrower than a ten-digit exam number.
  const QFontMetricsF metrics(
      print::cell_font(book->styles.get(0).font, spreadsheet::kPixelsPerPoint));
  ASSERT_GT(metrics.horizontalAdvance("2024010001"), 60);
  EXPECT_GT(canvas()->cell_rect(2, 1).width(), metrics.horizontalAdvance("2024010001"));
  EXPECT_LE(canvas()->cell_rect(2, 1).width(), 100);
  // Names keep the file's width; they run on or are cut as in the office
  // programs.
  EXPECT_EQ(canvas()->cell_rect(2, 2).width(), 64);
  // The person's width wins.
  canvas()->set_column_width(1, 30);
  EXPECT_EQ(canvas()->cell_rect(2, 1).width(), 30);
}

TEST_F(ReadingTest, FindGoesRoundTheSheetFromTheCurrentCell) {
  view.find_action()->trigger();
  EXPECT_FALSE(view.find_bar()->isHidden());
  view.find_field()->setText("张");
  QTest::keyClick(view.find_field(), Qt::Key_Return);
  EXPECT_EQ(view.cell_address(), "B2");
  EXPECT_EQ(view.find_result(), "第 1 个，共 2 个");
  view.find(true);
  EXPECT_EQ(view.cell_address(), "B3");
  view.find(true);
  EXPECT_EQ(view.cell_address(), "B2");  // round the end
  QTest::keyClick(view.find_field(), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(view.cell_address(), "B3");  // back round the start
  view.find_field()->setText("王五");
  view.find(true);
  EXPECT_EQ(view.find_result(), "找不到“王五”");
  EXPECT_EQ(view.cell_address(), "B3");
  QTest::keyClick(view.find_field(), Qt::Key_Escape);
  EXPECT_TRUE(view.find_bar()->isHidden());
}

TEST_F(ReadingTest, ControlWheelAndTheZoomCommandsScaleTheSheet) {
  const int width = canvas()->cell_rect(2, 2).width();
  QWheelEvent wheel(QPointF(200, 200), grid()->mapToGlobal(QPointF(200, 200)), QPoint(),
                    QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(grid(), &wheel);
  EXPECT_DOUBLE_EQ(canvas()->zoom(), 1.1);
  EXPECT_EQ(canvas()->cell_rect(2, 2).width(), 70);
  view.zoom_in_action()->trigger();
  view.zoom_in_action()->trigger();
  EXPECT_DOUBLE_EQ(canvas()->zoom(), 1.5);
  EXPECT_EQ(canvas()->cell_rect(2, 2).width(), width * 3 / 2);
  view.zoom_reset_action()->trigger();
  EXPECT_EQ(canvas()->cell_rect(2, 2).width(), width);
}

TEST_F(ReadingTest, TheSelectionOutlivesARefreshUntilTheWindowMoves) {
  QTest::mouseClick(grid(), Qt::LeftButton, {}, centre(3, 2));
  view.freeze();
  view.refresh(book.get(), "考试.xlsx");
  EXPECT_EQ(view.cell_address(), "B3");
  book->sheets[2]->view.active_row = 2;
  book->sheets[2]->view.active_col = 1;
  view.refresh(book.get(), "考试.xlsx");
  EXPECT_EQ(view.cell_address(), "A2");
  EXPECT_EQ(view.cell_line()->text(), "2024010001");
}

}  // namespace
}  // namespace kelv::form
