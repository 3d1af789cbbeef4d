// Header and footer codes: sections, fields, formatting, and which string
// applies to which page.
#include "print/header_footer.h"

#include <gtest/gtest.h>

namespace kelv::print {
namespace {

PageFields fields() {
  PageFields f;
  f.page = 3;
  f.pages = 12;
  f.date = "2024/6/1";
  f.time = "9:05";
  f.sheet = "门贴";
  f.file = "期末考试.xlsx";
  f.path = "/考务/数据/";
  return f;
}

std::string text_of(const std::vector<Run>& runs) {
  std::string s;
  for (const Run& r : runs) s += r.text;
  return s;
}

TEST(HeaderFooter, FieldsExpandInTheirSections) {
  const Sections s = expand_header_footer("&L&A（&F）&C第 &P 页，共 &N 页&R&D &T&&&Z", fields());
  EXPECT_EQ(text_of(s.left), "门贴（期末考试.xlsx）");
  EXPECT_EQ(text_of(s.center), "第 3 页，共 12 页");
  EXPECT_EQ(text_of(s.right), "2024/6/1 9:05&/考务/数据/");
  // Text before any section code is centred; page arithmetic.
  const Sections t = expand_header_footer("页 &P+1 / &P-2 of &N", fields());
  EXPECT_TRUE(t.left.empty() && t.right.empty());
  EXPECT_EQ(text_of(t.center), "页 4 / 1 of 12");
  EXPECT_TRUE(expand_header_footer("", fields()).empty());
}

TEST(HeaderFooter, FormattingCodesHoldUntilTheSectionEnds) {
  const Sections s = expand_header_footer(
      "&L&\"宋体,加粗\"&14标题&B 常规&R&KFF0000&U红&\"-,Bold Italic\"斜&C&K01+000主题&Y2",
      fields());
  ASSERT_EQ(s.left.size(), 2u);
  EXPECT_EQ(s.left[0].text, "标题");
  EXPECT_EQ(s.left[0].format.font, "宋体");
  EXPECT_TRUE(s.left[0].format.bold);
  EXPECT_EQ(s.left[0].format.size, 14);
  EXPECT_EQ(s.left[1].text, " 常规");
  EXPECT_FALSE(s.left[1].format.bold);
  ASSERT_EQ(s.right.size(), 2u);
  EXPECT_EQ(s.right[0].format.color, 0xFF0000u);
  EXPECT_TRUE(s.right[0].format.underline);
  EXPECT_TRUE(s.right[1].format.bold && s.right[1].format.italic);
  EXPECT_EQ(s.right[1].format.font, "");  // "-": the default font
  // A section code resets the format; a theme colour keeps the default.
  ASSERT_EQ(s.center.size(), 2u);
  EXPECT_EQ(s.center[0].text, "主题");
  EXPECT_EQ(s.center[0].format, RunFormat{});
  EXPECT_TRUE(s.center[1].format.subscript);
}

TEST(HeaderFooter, FirstAndEvenPagesTakeTheirOwnStringsWhenAsked) {
  spreadsheet::HeaderFooter hf;
  hf.odd_header = "odd";
  hf.even_header = "even";
  hf.first_header = "first";
  hf.odd_footer = "foot";
  EXPECT_EQ(header_footer_for(hf, Edge::Header, 2), "odd");
  hf.different_odd_even = true;
  EXPECT_EQ(header_footer_for(hf, Edge::Header, 2), "even");
  EXPECT_EQ(header_footer_for(hf, Edge::Header, 1), "odd");
  hf.different_first = true;
  EXPECT_EQ(header_footer_for(hf, Edge::Header, 1), "first");
  EXPECT_EQ(header_footer_for(hf, Edge::Footer, 3), "foot");
  EXPECT_EQ(header_footer_for(hf, Edge::Footer, 1), "");
}

}  // namespace
}  // namespace kelv::print
