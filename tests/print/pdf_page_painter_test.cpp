// Pages drawn as images: what the page model places lands where it says,
// repeated title rows are drawn on later pages, grid lines (black) only
// when the sheet asks for them, borders and diagonals on their cells and
// never from a cell of another page, headings, and long words wrapped.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "print/qt/page_painter.h"
#include "print/qt/pdf_export.h"
#include "spreadsheet/cells.h"

namespace kelv::print {
namespace {

using spreadsheet::cells::get;

class PagePainterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { font_warning(); }  // starts Qt's offscreen platform

  PagePainterTest() {
    book_.sheets.push_back(std::make_unique<spreadsheet::Sheet>());
    spreadsheet::Sheet& s = sheet();
    s.name = "表";
    s.page_setup.left_margin = s.page_setup.right_margin = 1;  // 72 pt
    s.page_setup.top_margin = s.page_setup.bottom_margin = 1;
    for (int32_t r = 1; r <= 100; ++r) {
      get(s, r, 1).value = host::Variant(static_cast<double>(r));
      spreadsheet::cells::row_at(s, r).height = 20;
    }
    spreadsheet::Style red;
    red.fill.pattern = "solid";
    red.fill.fg = spreadsheet::Color::rgb(0xFFFF0000);
    get(s, 1, 2).style = book_.styles.intern(red);
    spreadsheet::Style boxed;
    for (auto* side :
         {&boxed.border.left, &boxed.border.right, &boxed.border.top, &boxed.border.bottom})
      side->style = "medium";
    boxed.border.diagonal.style = "thin";
    boxed.border.diagonal_down = true;
    get(s, 5, 3).style = book_.styles.intern(boxed);
  }
  spreadsheet::Sheet& sheet() { return *book_.sheets[0]; }
  // Page `index` at one pixel per point.
  QImage page(int32_t index) {
    const PrintJob job(book_, {0});
    PagePainter painter(job);
    return painter.image(index, 1.0);
  }
  // Columns are 48 pt (64 px); the body starts at (72, 72).
  static QPoint cell_point(int32_t row, int32_t col, double dx = 22, double dy = 10) {
    return QPoint(static_cast<int>(72 + (col - 1) * 48 + dx),
                  static_cast<int>(72 + (row - 1) * 20 + dy));
  }

  spreadsheet::Workbook book_;
};

TEST_F(PagePainterTest, CellsLandWhereThePageModelPutsThem) {
  const QImage first = page(0);
  EXPECT_EQ(first.size(), QSize(595, 842));
  EXPECT_EQ(QColor(first.pixel(cell_point(1, 2))), QColor(Qt::red));
  EXPECT_EQ(QColor(first.pixel(cell_point(2, 2))), QColor(Qt::white));
  // The medium border of C5 and its diagonal.
  EXPECT_LT(qGray(first.pixel(cell_point(5, 3, 22, 0))), 100);  // top edge
  EXPECT_LT(qGray(first.pixel(cell_point(5, 3, 0, 10))), 100);  // left edge
  int darkest = 255;                                            // around the diagonal's middle
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy)
      darkest = std::min(darkest, qGray(first.pixel(cell_point(5, 3, 22 + dx, 10 + dy))));
  EXPECT_LT(darkest, 160);
  EXPECT_EQ(QColor(first.pixel(cell_point(6, 3, 22, 10))), QColor(Qt::white));
  // Some text in column A.
  bool dark = false;
  for (int x = 72; x < 116; ++x)
    for (int y = 92; y < 112; ++y) dark |= qGray(first.pixel(x, y)) < 128;
  EXPECT_TRUE(dark);
}

TEST_F(PagePainterTest, TitleRowsAreDrawnAgainAtTheTopOfLaterPages) {
  EXPECT_NE(QColor(page(1).pixel(cell_point(1, 2))), QColor(Qt::red));
  book_.defined_names.push_back({"_xlnm.Print_Titles", "'表'!$1:$1", 0, false, ""});
  const QImage second = page(1);
  EXPECT_EQ(QColor(second.pixel(cell_point(1, 2))), QColor(Qt::red));
  EXPECT_EQ(QColor(second.pixel(cell_point(2, 2))), QColor(Qt::white));
}

// The darkest grey of the pixels around a point.
int darkest_near(const QImage& image, QPoint at, int reach = 1) {
  int darkest = 255;
  for (int dx = -reach; dx <= reach; ++dx)
    for (int dy = -reach; dy <= reach; ++dy)
      darkest = std::min(darkest, qGray(image.pixel(at + QPoint(dx, dy))));
  return darkest;
}

TEST_F(PagePainterTest, GridLinesOnlyWhenTheSheetAsksForThem) {
  const QPoint line = cell_point(10, 4, 0, 10);  // between C10 and D10
  EXPECT_EQ(QColor(page(0).pixel(line)), QColor(Qt::white));
  sheet().page_setup.print_grid_lines = true;
  // Printed grid lines are black hairlines, not the screen's light grey.
  EXPECT_LT(darkest_near(page(0), line), 150);
}

// Rows are 20 pt and the paper has 698 pt between the margins: rows 1-34
// on the first page, 35-68 on the second.
TEST_F(PagePainterTest, APageDrawsTheBordersOfItsOwnCellsOnly) {
  spreadsheet::Style underlined;
  underlined.border.bottom.style = "medium";
  const uint32_t id = book_.styles.intern(underlined);
  for (int32_t c = 2; c <= 4; ++c) get(sheet(), 34, c).style = id;
  EXPECT_LT(darkest_near(page(0), cell_point(35, 3, 22, 0)), 100);  // under row 34
  // The second page starts with row 35: no line above it.
  const QImage second = page(1);
  for (int32_t c = 2; c <= 4; ++c)
    EXPECT_EQ(darkest_near(second, cell_point(1, c, 22, 0), 2), 255) << c;
  // Row 35's own top border is drawn there.
  spreadsheet::Style overlined;
  overlined.border.top.style = "medium";
  get(sheet(), 35, 3).style = book_.styles.intern(overlined);
  EXPECT_LT(darkest_near(page(1), cell_point(1, 3, 22, 0)), 100);
}

TEST_F(PagePainterTest, HeadingsPrintWhenTheSheetAsksForThem) {
  sheet().page_setup.print_headings = true;
  const QImage first = page(0);
  // The cells move right by the row numbers' centimetre and down by the
  // letters' 12.8 pt.
  const QPoint shift(static_cast<int>(72 / 2.54), 13);
  EXPECT_EQ(QColor(first.pixel(cell_point(1, 2) + shift)), QColor(Qt::red));
  // "B" above column B, "3" left of row 3: ink in their boxes.
  auto ink = [&](QRect box) {
    int dark = 0;
    for (int x = box.left() + 3; x < box.right() - 2; ++x)
      for (int y = box.top() + 3; y < box.bottom() - 2; ++y) dark += qGray(first.pixel(x, y)) < 128;
    return dark;
  };
  EXPECT_GT(ink(QRect(cell_point(1, 2, 0, 0) + QPoint(shift.x(), 0), QSize(48, 13))), 3);
  EXPECT_GT(ink(QRect(QPoint(72, cell_point(3, 1, 0, 0).y() + 13), QSize(28, 20))), 3);
  // Without them, none of it.
  sheet().page_setup.print_headings = false;
  EXPECT_EQ(QColor(page(0).pixel(cell_point(1, 2) + shift)), QColor(Qt::white));
}

TEST_F(PagePainterTest, AWordWiderThanItsWrappedCellBreaksInsideIt) {
  spreadsheet::Style wrapped;
  wrapped.alignment.wrap_text = true;
  wrapped.alignment.vertical = "top";
  get(sheet(), 3, 3).style = book_.styles.intern(wrapped);
  get(sheet(), 3, 3).value = host::Variant("abcdefghijklmnopqrstuvwxyz0123456789");
  spreadsheet::cells::row_at(sheet(), 3).height = 80;
  const QImage image = page(0);
  // Ink on the cell's second and third lines, not only on its first.
  const QPoint top_left = cell_point(3, 3, 0, 0);
  auto dark_in = [&](int from, int to) {
    int dark = 0;
    for (int x = top_left.x() + 1; x < top_left.x() + 47; ++x)
      for (int y = top_left.y() + from; y < top_left.y() + to; ++y)
        dark += qGray(image.pixel(x, y)) < 128;
    return dark;
  };
  EXPECT_GT(dark_in(0, 15), 0);
  EXPECT_GT(dark_in(16, 30), 0);
  EXPECT_GT(dark_in(31, 45), 0);
}

// A long school name in a merged block that shrinks to fit prints in a
// smaller font, whole, inside the block; without it the name keeps its
// size and the block cuts it at both ends.
TEST_F(PagePainterTest, ShrinkToFitPrintsALongNameSmallerInsideItsBlock) {
  const char* name = "北京市海淀区中关村第一小学附属初级中学（实验校区）";
  sheet().merges.push_back({3, 3, 3, 5});
  get(sheet(), 3, 3).value = host::Variant(name);
  // The rows and columns holding ink inside the block, at 3 pixels a point.
  auto ink = [&](bool shrink) {
    spreadsheet::Style style;
    style.alignment.horizontal = "center";
    style.alignment.shrink_to_fit = shrink;
    get(sheet(), 3, 3).style = book_.styles.intern(style);
    const PrintJob job(book_, {0});
    PagePainter painter(job);
    const QImage image = painter.image(0, 3.0);
    const QPoint top_left = cell_point(3, 3, 0, 0) * 3;
    int top = 1 << 20, bottom = -1, left = 1 << 20, right = -1;
    for (int x = top_left.x() + 1; x < top_left.x() + 3 * 144 - 1; ++x) {
      for (int y = top_left.y() + 1; y < top_left.y() + 3 * 20 - 1; ++y) {
        if (qGray(image.pixel(x, y)) >= 128) continue;
        top = std::min(top, y), bottom = std::max(bottom, y);
        left = std::min(left, x), right = std::max(right, x);
      }
    }
    return std::array<int, 4>{top, bottom, left - top_left.x(), top_left.x() + 3 * 144 - right};
  };
  const auto shrunk = ink(true);
  const auto plain = ink(false);
  ASSERT_GE(shrunk[1], shrunk[0]) << "no ink";
  EXPECT_LT(shrunk[1] - shrunk[0], (plain[1] - plain[0]) * 3 / 4);
  // Shrunk, the name stands clear of both ends; cut, it runs up to them.
  EXPECT_GT(shrunk[2], plain[2] + 5);
  EXPECT_GT(shrunk[3], plain[3] + 5);
}

// Text turned up, turned down or stacked runs along a tall narrow block
// (taller than wide where it is dark); the same text unturned runs across.
TEST_F(PagePainterTest, TurnedAndStackedTextRunsAlongTheCell) {
  // D20:E29: 88.5 pt wide, 200 pt tall.
  spreadsheet::Sheet& s = sheet();
  s.merges.push_back({20, 4, 29, 5});
  get(s, 20, 4).value = host::Variant("准考证号码一二三");
  auto dark_box = [&](int32_t rotation) {
    spreadsheet::Style turned;
    turned.alignment.text_rotation = rotation;
    turned.alignment.vertical = "center";
    get(s, 20, 4).style = book_.styles.intern(turned);
    const QImage image = page(0);
    const QPoint from = cell_point(20, 4, 0, 0), to = cell_point(30, 6, 0, 0);
    QRect box;
    for (int x = from.x() + 2; x < to.x() - 2; ++x)
      for (int y = from.y() + 2; y < to.y() - 2; ++y)
        if (qGray(image.pixel(x, y)) < 128) box |= QRect(x, y, 1, 1);
    return box;
  };
  const QRect flat = dark_box(0);
  EXPECT_GT(flat.width(), flat.height());
  for (int32_t rotation : {90, 180, 255}) {
    const QRect turned = dark_box(rotation);
    EXPECT_GT(turned.height(), 2 * turned.width()) << rotation;
    EXPECT_GT(turned.height(), flat.width() / 2) << rotation;
  }
}

}  // namespace
}  // namespace kelv::print
