// Texts that print cut off, on a hand-made sheet: merged and lone cells,
// left and centred, with and without room to run on, wrapped and shrunk.
#include "print/cut_texts.h"

#include <gtest/gtest.h>

#include "spreadsheet/cells.h"

namespace kelv::print {
namespace {

using spreadsheet::cells::get;

TEST(CutTexts, OnlyTextsThatCannotShowWholeAreListed) {
  spreadsheet::Workbook book;
  book.sheets.push_back(std::make_unique<spreadsheet::Sheet>());
  spreadsheet::Sheet& s = *book.sheets[0];
  s.name = "桌贴";
  const std::string school = "北京市海淀区中关村第一小学附属初级中学（实验校区）";
  auto style = [&](const std::string& horizontal, bool shrink = false, bool wrap = false) {
    spreadsheet::Style st;
    st.alignment.horizontal = horizontal;
    st.alignment.shrink_to_fit = shrink;
    st.alignment.wrap_text = wrap;
    return book.styles.intern(st);
  };
  auto put = [&](int32_t r, int32_t c, const std::string& text, uint32_t st) {
    get(s, r, c).value = host::Variant(text);
    get(s, r, c).style = st;
  };
  // Row 1: a merged block of two default columns, centred: cut.
  put(1, 1, school, style("center"));
  s.merges.push_back({1, 1, 1, 2});
  // Row 2: the same, shrinking to fit, and wrapped: both fit.
  put(2, 1, school, style("center", true));
  put(2, 4, school, style("", false, true));
  // Row 3: left-aligned with an empty neighbour runs on; with a filled one, cut.
  put(3, 1, school, style(""));
  put(4, 1, school, style(""));
  put(4, 2, "1班", style(""));
  // Row 5: a short name and a minority name with its dot fit; a number is no text.
  put(5, 1, "张三", style("center"));
  put(5, 3, "阿依·买买提", style("center"));
  s.columns[3].width = 14;
  s.columns[3].custom_width = true;
  get(s, 5, 5).value = host::Variant(123456.0);
  const std::vector<CutText> cut = texts_wider_than_cells(book, 0);
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[0].sheet, "桌贴");
  EXPECT_EQ(cut[0].cell, "A1");
  EXPECT_EQ(cut[0].text, school);
  EXPECT_EQ(cut[1].cell, "A4");
  EXPECT_TRUE(texts_wider_than_cells(book, 3).empty());
}

}  // namespace
}  // namespace kelv::print
