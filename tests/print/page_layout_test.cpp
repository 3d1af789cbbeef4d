// The page model on small hand-made sheets: paper and orientation,
// margins, scale and fitting, centring, print areas and titles, manual and
// automatic breaks, hidden lines and page order.
#include "print/page_layout.h"

#include <gtest/gtest.h>

#include "print/paper.h"
#include "spreadsheet/cells.h"

namespace kelv::print {
namespace {

using spreadsheet::Sheet;
using spreadsheet::Workbook;

constexpr double kA4W = 595.2756, kA4H = 841.8898;

class PageLayoutTest : public ::testing::Test {
 protected:
  PageLayoutTest() {
    book_.sheets.push_back(std::make_unique<Sheet>());
    sheet().name = "表";
  }
  Sheet& sheet() { return *book_.sheets[0]; }

  // Rows 1..rows of `height` points with a value in columns 1..cols.
  void fill(int32_t rows, int32_t cols, double height = 20) {
    for (int32_t r = 1; r <= rows; ++r) {
      for (int32_t c = 1; c <= cols; ++c)
        spreadsheet::cells::get(sheet(), r, c).value = host::Variant(1.0);
      spreadsheet::cells::row_at(sheet(), r).height = height;
    }
  }
  void name(const std::string& n, const std::string& value) {
    book_.defined_names.push_back({n, value, 0, false, ""});
  }
  SheetLayout layout() { return layout_sheet(book_, 0); }

  // The first row (or column) of each page.
  static std::vector<int32_t> first_rows(const SheetLayout& l) {
    std::vector<int32_t> v;
    for (const Page& p : l.pages) v.push_back(p.body.cells.row1);
    return v;
  }
  static std::vector<int32_t> first_cols(const SheetLayout& l) {
    std::vector<int32_t> v;
    for (const Page& p : l.pages) v.push_back(p.body.cells.col1);
    return v;
  }

  Workbook book_;
};

TEST(Paper, KnownCodesAndTheirSizes) {
  EXPECT_NEAR(paper_for_code(9)->width, kA4W, 0.01);  // A4
  EXPECT_NEAR(paper_for_code(9)->height, kA4H, 0.01);
  EXPECT_NEAR(paper_for_code(8)->height, 1190.55, 0.01);  // A3
  EXPECT_NEAR(paper_for_code(11)->width, 419.53, 0.01);   // A5
  EXPECT_EQ(paper_for_code(1)->width, 612);               // Letter
  EXPECT_EQ(paper_for_code(5)->height, 1008);             // Legal
  EXPECT_EQ(paper_for_code(12)->name, "B4 (JIS)");
  EXPECT_NEAR(paper_for_code(13)->width, 515.91, 0.01);  // B5 (JIS)
  EXPECT_FALSE(paper_for_code(300));
  EXPECT_FALSE(paper_for_code(0));
}

TEST_F(PageLayoutTest, PaperOrientationAndUnknownCodes) {
  fill(1, 1);
  sheet().page_setup.paper_size = 8;
  sheet().page_setup.orientation = 2;
  SheetLayout l = layout();
  EXPECT_EQ(l.paper_name, "A3");
  EXPECT_TRUE(l.landscape);
  EXPECT_GT(l.paper_width, l.paper_height);
  EXPECT_TRUE(l.notes.empty());

  sheet().page_setup.paper_size = 300;
  sheet().page_setup.orientation = 1;
  l = layout();
  EXPECT_EQ(l.paper_name, "A4");
  EXPECT_NEAR(l.paper_width, kA4W, 0.01);
  ASSERT_EQ(l.notes.size(), 1u);
  EXPECT_NE(l.notes[0].find("300"), std::string::npos);
}

TEST_F(PageLayoutTest, RowsBreakWhereThePrintableHeightIsFull) {
  fill(100, 2);
  // A4 less 0.75 in at top and bottom leaves 733.9 pt: 36 rows of 20 pt.
  SheetLayout l = layout();
  EXPECT_EQ(first_rows(l), (std::vector<int32_t>{1, 37, 73}));
  EXPECT_EQ(l.pages[0].body.cells, (host::Rect{1, 1, 36, 2}));
  EXPECT_EQ(l.pages[2].body.cells.row2, 100);
  EXPECT_EQ(l.pages[1].sheet_page, 2);
  // The body sits at the margins.
  EXPECT_DOUBLE_EQ(l.pages[0].body.x, 0.7 * 72);
  EXPECT_DOUBLE_EQ(l.pages[0].body.y, 0.75 * 72);
  EXPECT_DOUBLE_EQ(l.pages[0].body.height, 720);

  // Margins change the room: 0.25 in top and bottom leave 805.9 pt, 40 rows.
  sheet().page_setup.top_margin = sheet().page_setup.bottom_margin = 0.25;
  EXPECT_EQ(first_rows(layout()), (std::vector<int32_t>{1, 41, 81}));

  // Hidden rows take no room but stay inside their page's span.
  sheet().page_setup.top_margin = sheet().page_setup.bottom_margin = 0.75;
  for (int32_t r = 10; r <= 19; ++r) spreadsheet::cells::row_at(sheet(), r).hidden = true;
  EXPECT_EQ(first_rows(layout()), (std::vector<int32_t>{1, 47, 83}));

  // A row taller than the page gets a page of its own.
  spreadsheet::cells::row_at(sheet(), 90).height = 1000;
  EXPECT_EQ(first_rows(layout()), (std::vector<int32_t>{1, 47, 83, 90, 91}));
}

TEST_F(PageLayoutTest, ManualBreaksStartPagesAndCombineWithAutomaticOnes) {
  fill(100, 2);
  sheet().row_breaks = {11, 21, 101};  // a break after the last row adds nothing
  EXPECT_EQ(first_rows(layout()), (std::vector<int32_t>{1, 11, 21, 57, 93}));
  // A page made of hidden rows only is left out.
  for (int32_t r = 11; r <= 20; ++r) spreadsheet::cells::row_at(sheet(), r).hidden = true;
  EXPECT_EQ(first_rows(layout()), (std::vector<int32_t>{1, 21, 57, 93}));
}

TEST_F(PageLayoutTest, ColumnsBreakAcrossAndPagesFollowThePageOrder) {
  fill(50, 12);
  // Columns of the standard width are 48 pt (64 px); A4 less 0.7 in each
  // side leaves 494.5 pt: 10 columns.
  SheetLayout l = layout();
  ASSERT_EQ(l.pages.size(), 4u);
  EXPECT_EQ(first_rows(l), (std::vector<int32_t>{1, 37, 1, 37}));  // down, then over
  EXPECT_EQ(first_cols(l), (std::vector<int32_t>{1, 1, 11, 11}));
  EXPECT_EQ(l.pages[0].body.cells.col2, 10);

  sheet().page_setup.page_order = PageOrder::OverThenDown;
  l = layout();
  EXPECT_EQ(l.order, PageOrder::OverThenDown);
  EXPECT_EQ(first_rows(l), (std::vector<int32_t>{1, 1, 37, 37}));
  EXPECT_EQ(first_cols(l), (std::vector<int32_t>{1, 11, 1, 11}));

  // A manual column break before column 5; hidden columns take no room.
  sheet().page_setup.page_order = PageOrder::DownThenOver;
  sheet().column_breaks = {5};
  sheet().columns[2].hidden = true;
  l = layout();
  EXPECT_EQ(first_cols(l), (std::vector<int32_t>{1, 1, 5, 5}));
  EXPECT_EQ(l.pages[0].body.width, 3 * 48);
}

TEST_F(PageLayoutTest, ScaleShrinksOrGrowsWhatFitsOnAPage) {
  fill(100, 2);
  sheet().page_setup.scale = 50;
  SheetLayout l = layout();
  EXPECT_DOUBLE_EQ(l.scale, 0.5);
  EXPECT_EQ(first_rows(l), (std::vector<int32_t>{1, 74}));
  EXPECT_DOUBLE_EQ(l.pages[0].body.height, 73 * 20 * 0.5);
  EXPECT_DOUBLE_EQ(l.pages[0].body.width, 2 * 48 * 0.5);

  sheet().page_setup.scale = 1000;  // out of range: held at 400 %
  EXPECT_DOUBLE_EQ(layout().scale, 4.0);
}

TEST_F(PageLayoutTest, FittingPicksTheLargestScaleThatFits) {
  fill(100, 14);
  sheet().row_breaks = {50};  // ignored while fitting
  sheet().page_setup.fit_to_page = true;
  sheet().page_setup.fit_to_width = 1;
  sheet().page_setup.fit_to_height = 1;
  SheetLayout l = layout();
  // 2000 pt of rows into 733.9 pt: 36 %.
  EXPECT_DOUBLE_EQ(l.scale, 0.36);
  ASSERT_EQ(l.pages.size(), 1u);
  EXPECT_EQ(l.pages[0].body.cells, (host::Rect{1, 1, 100, 14}));

  // One page wide, as many down as needed: 14 columns of 48 pt into 494.5 pt.
  sheet().page_setup.fit_to_height = 0;
  l = layout();
  EXPECT_DOUBLE_EQ(l.scale, 0.73);
  EXPECT_EQ(first_cols(l), (std::vector<int32_t>{1, 1}));

  // Content that already fits is printed at 100 %.
  sheet().page_setup.fit_to_width = 5;
  sheet().page_setup.fit_to_height = 5;
  EXPECT_DOUBLE_EQ(layout().scale, 1.0);
}

TEST_F(PageLayoutTest, CentringPlacesTheBlockInTheMiddleOfThePrintableArea) {
  fill(10, 2);
  sheet().page_setup.horizontal_centered = true;
  sheet().page_setup.vertical_centered = true;
  const SheetLayout l = layout();
  const Block& b = l.pages[0].body;
  EXPECT_NEAR(b.x + b.width / 2, kA4W / 2, 0.01);  // equal side margins
  EXPECT_NEAR(b.y + b.height / 2, kA4H / 2, 0.01);
}

TEST_F(PageLayoutTest, PrintTitlesRepeatOnLaterPagesAndTakeTheirRoom) {
  fill(100, 12);
  name("_xlnm.Print_Titles", "'表'!$A:$A,'表'!$1:$2");
  const SheetLayout l = layout();
  // Page 1 shows rows 1-2 itself; later pages repeat them, leaving room
  // for 34 rows.
  EXPECT_EQ(first_rows(l), (std::vector<int32_t>{1, 37, 71, 1, 37, 71}));
  EXPECT_FALSE(l.pages[0].title_rows);
  ASSERT_TRUE(l.pages[1].title_rows);
  EXPECT_EQ(l.pages[1].title_rows->cells, (host::Rect{1, 1, 2, 10}));
  EXPECT_DOUBLE_EQ(l.pages[1].title_rows->y, 54);
  EXPECT_DOUBLE_EQ(l.pages[1].body.y, 54 + 40);
  // The second column band repeats column A at its left, and the corner.
  const Page& p = l.pages[4];
  EXPECT_EQ(p.body.cells.col1, 11);
  ASSERT_TRUE(p.title_columns && p.title_corner);
  EXPECT_EQ(p.title_columns->cells, (host::Rect{37, 1, 70, 1}));
  EXPECT_EQ(p.title_corner->cells, (host::Rect{1, 1, 2, 1}));
  EXPECT_DOUBLE_EQ(p.body.x, 0.7 * 72 + 48);
  EXPECT_FALSE(l.pages[3].title_rows);
  EXPECT_TRUE(l.pages[3].title_columns);
}

TEST_F(PageLayoutTest, PrintAreasReplaceTheUsedRange) {
  fill(100, 5);
  name("_xlnm.Print_Area", "'表'!$B$3:$C$10,'表'!$D:$D");
  const SheetLayout l = layout();
  ASSERT_EQ(l.pages.size(), 4u);  // each area on its own pages
  EXPECT_EQ(l.pages[0].body.cells, (host::Rect{3, 2, 10, 3}));
  // A whole-column area stops at the last used row.
  EXPECT_EQ(l.pages[1].body.cells, (host::Rect{1, 4, 36, 4}));
  EXPECT_EQ(l.pages[3].body.cells.row2, 100);
  EXPECT_EQ(l.pages[3].sheet_page, 4);

  // A name for another sheet or one that cannot be read changes nothing.
  book_.defined_names.clear();
  book_.defined_names.push_back({"_xlnm.Print_Area", "$B$3:$C$10", 1, false, ""});
  name("_xlnm.Print_Area", "nonsense");
  EXPECT_EQ(layout().pages[0].body.cells, (host::Rect{1, 1, 36, 5}));
}

TEST_F(PageLayoutTest, UsedRangeCountsValuesBordersFillsAndPictures) {
  EXPECT_FALSE(used_range(book_, sheet()));
  EXPECT_TRUE(layout().pages.empty());

  spreadsheet::Style bold;
  bold.font.bold = true;
  spreadsheet::cells::get(sheet(), 30, 30).style = book_.styles.intern(bold);
  EXPECT_FALSE(used_range(book_, sheet()));  // a font shows nothing on paper

  spreadsheet::Style boxed;
  boxed.border.bottom.style = "thin";
  spreadsheet::cells::get(sheet(), 4, 2).style = book_.styles.intern(boxed);
  spreadsheet::cells::get(sheet(), 2, 5).value = host::Variant("x");
  EXPECT_EQ(used_range(book_, sheet()), (host::Rect{1, 1, 4, 5}));

  // A picture reaching to the bottom line of row 10 and into column G (a
  // corner on a line stays in the cell before it).
  spreadsheet::PictureModel pic;
  pic.top = 100;
  pic.height = 42.5;  // to 142.5 pt: ten rows of 14.25 pt
  pic.left = 200;
  pic.width = 100;  // 300 pt: inside column G (288 - 336)
  sheet().pictures.push_back(pic);
  EXPECT_EQ(used_range(book_, sheet()), (host::Rect{1, 1, 10, 7}));

  // A merged block prints whole when its first cell is used, not when only
  // a font is in it.
  sheet().merges.push_back({30, 30, 40, 31});
  EXPECT_EQ(used_range(book_, sheet()), (host::Rect{1, 1, 10, 7}));
  sheet().merges.push_back({9, 8, 20, 9});
  spreadsheet::cells::get(sheet(), 9, 8).value = host::Variant("准考证号");
  EXPECT_EQ(used_range(book_, sheet()), (host::Rect{1, 1, 20, 9}));
}

TEST_F(PageLayoutTest, TextRunningOnWidensTheRangeAndEmptyPagesAreLeftOut) {
  // 40 Chinese characters at 11 pt from column B reach about 491 pt: into
  // column K (from 480 pt), past the 10 columns of the first page.
  std::string text;
  for (int i = 0; i < 40; ++i) text += "座";
  spreadsheet::cells::get(sheet(), 2, 2).value = host::Variant(text);
  spreadsheet::cells::get(sheet(), 100, 1).value = host::Variant(1.0);
  EXPECT_EQ(used_range(book_, sheet()), (host::Rect{1, 1, 100, 11}));
  // Of the four pages (51 rows of 14.25 pt each), the second of the second
  // column band holds nothing; its first holds the text running on.
  SheetLayout l = layout();
  EXPECT_EQ(first_rows(l), (std::vector<int32_t>{1, 52, 1}));
  EXPECT_EQ(first_cols(l), (std::vector<int32_t>{1, 1, 11}));
  EXPECT_EQ(l.pages[2].sheet_page, 3);

  // Wrapped text stays in its cell.
  spreadsheet::Style wrapped;
  wrapped.alignment.wrap_text = true;
  spreadsheet::cells::get(sheet(), 2, 2).style = book_.styles.intern(wrapped);
  EXPECT_EQ(used_range(book_, sheet()), (host::Rect{1, 1, 100, 2}));
}

TEST_F(PageLayoutTest, PrintedHeadingsTakeTheirRoomBeforeTheCells) {
  fill(100, 2, 20.1);  // 733.9 pt of paper: 36 rows a page
  EXPECT_EQ(first_rows(layout()), (std::vector<int32_t>{1, 37, 73}));
  sheet().page_setup.print_headings = true;
  const SheetLayout l = layout();
  // 12.8 pt of column letters leave room for 35 rows.
  EXPECT_EQ(first_rows(l), (std::vector<int32_t>{1, 36, 71}));
  EXPECT_DOUBLE_EQ(l.pages[1].body.x, 0.7 * 72 + 72 / 2.54);
  EXPECT_DOUBLE_EQ(l.pages[1].body.y, 0.75 * 72 + 12.8);
}

TEST_F(PageLayoutTest, MarginsThatLeaveNoRoomFallBackWithANote) {
  fill(5, 2);
  sheet().page_setup.left_margin = 5;
  sheet().page_setup.right_margin = 4;
  const SheetLayout l = layout();
  ASSERT_EQ(l.notes.size(), 1u);
  EXPECT_DOUBLE_EQ(l.margins.left, 0.7 * 72);
  EXPECT_EQ(l.pages.size(), 1u);
}

}  // namespace
}  // namespace kelv::print
