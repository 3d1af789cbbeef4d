// Bar code and QR code fields: their syntax inside a photo field's braces,
// the checks before anything is written, and the pictures they leave.
#include <gtest/gtest.h>

#include "codes/symbol.h"
#include "generate/generate_tables.h"
#include "generate/template_layout.h"
#include "generate_host.h"
#include "spreadsheet/engine.h"

namespace kelv::generate {
namespace {

using codes::Symbology;
using Names = std::vector<std::string>;

std::optional<CodeField> Parse(const std::string& name) {
  return ParseCodeField({name, 2, 3, 0});
}

TEST(CodeFieldSyntax, BarCodeQrCodeAndTheTextOption) {
  const auto bar = Parse("条码:考号");
  ASSERT_TRUE(bar);
  EXPECT_EQ(bar->kind, Symbology::Code128);
  EXPECT_TRUE(bar->show_text);
  EXPECT_EQ(bar->columns, Names{"考号"});
  EXPECT_EQ(bar->areaRow, 2);
  EXPECT_EQ(bar->areaCol, 3);

  const auto plain = Parse("条码：考号：无文字");  // full-width colons count
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->show_text);

  const auto qr = Parse("二维码:考号+姓名＋考场+座号");
  ASSERT_TRUE(qr);
  EXPECT_EQ(qr->kind, Symbology::QR);
  EXPECT_EQ(qr->columns, (Names{"考号", "姓名", "考场", "座号"}));
  EXPECT_EQ(qr->data_columns.size(), 4u);
  // A Code 128 holds one column: "+" is part of its name.
  EXPECT_EQ(Parse("条码:A+B")->columns, Names{"A+B"});
}

TEST(CodeFieldSyntax, AnythingElseStaysAPhotoField) {
  for (const char* name :
       {"考号", "条码", "条码:", "条码::无文字", "条码:考号:有文字", "条码:考号:无文字:x",
        "二维码:考号++姓名", "二维码:+考号", "照片:考号", " 条码:考号"}) {
    EXPECT_FALSE(Parse(name)) << name;
  }
}

class CodeFieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Table({{"姓名", "号", "场"}, {"甲", 1001, "01"}, {"乙", "AB-2", "01"}, {"丙", 1003, ""}});
  }

  // A body of rows 3..4 over B..C: [姓名] above, the field `code` in the
  // merged cell B4:C4 (30 points high).
  host::Worksheet& CodeTemplate(const std::string& code) {
    host::Worksheet& t = host.AddTemplate({.name = "T"});
    t.cells(3, 1).set_value("#");
    t.cells(4, 1).set_value("#");
    t.cells(3, 4).set_value("#");
    t.cells(3, 2).set_value("[姓名]");
    t.range(t.cells(4, 2), t.cells(4, 3)).merge();
    t.cells(4, 2).set_value(code);
    t.rows(4).set_row_height(30);
    return t;
  }

  void Generate() { GenerateTables(host.self, host.engine, *host.form); }

  std::vector<spreadsheet::PictureModel> Pictures() {
    return spreadsheet::Engine::model_of(host.data_book->sheet("T")).pictures;
  }

  testing::GenerateHost host;
};

TEST_F(CodeFieldTest, EachRecordGetsItsCodeFittedOverTheMergedCell) {
  CodeTemplate("{二维码:号+姓名}");
  Generate();
  ASSERT_TRUE(host.dialogs.messages().empty()) << host.MessageTexts()[0];
  host::Worksheet& out = host.data_book->sheet("T");
  const std::vector<spreadsheet::PictureModel> pictures = Pictures();
  ASSERT_EQ(pictures.size(), 3u);
  const char* const expected[] = {"kelv-code:qr:1001%0A甲", "kelv-code:qr:AB-2%0A乙",
                                  "kelv-code:qr:1003%0A丙"};
  // Two blocks a page, a spacer row above each and a plain row starting
  // the second page: codes in rows 4, 7 and 11.
  const int32_t rows[] = {4, 7, 11};
  for (int32_t k = 0; k < 3; ++k) {
    const int32_t row = rows[k];
    EXPECT_EQ(pictures[k].description, expected[k]);
    const host::Range m = out.cells(row, 2).merge_area();
    EXPECT_DOUBLE_EQ(pictures[k].top, m.top() + 2);
    EXPECT_DOUBLE_EQ(pictures[k].left, m.left() + 2);
    EXPECT_DOUBLE_EQ(pictures[k].width, m.width() - 3);
    EXPECT_DOUBLE_EQ(pictures[k].height, m.height() - 3);
    EXPECT_TRUE(out.cells(row, 2).value().is_empty());  // the field text is gone
  }
  // The picture is the code's PNG, made with the box's proportions.
  const spreadsheet::Workbook& book = spreadsheet::Engine::model_of(*host.data_book);
  const spreadsheet::Image& image = book.images[pictures[0].image];
  EXPECT_EQ(image.extension, "png");
  EXPECT_NEAR(double(image.width_px) / image.height_px, pictures[0].width / pictures[0].height,
              0.02);
}

TEST_F(CodeFieldTest, AnEmptyValueShowsNoCode) {
  CodeTemplate("{条码:场:无文字}");
  Generate();
  ASSERT_TRUE(host.dialogs.messages().empty());
  const std::vector<spreadsheet::PictureModel> pictures = Pictures();
  ASSERT_EQ(pictures.size(), 2u);
  EXPECT_EQ(pictures[0].description, "kelv-code:code128-plain:1");  // "01" was typed as a number
  EXPECT_TRUE(host.data_book->sheet("T").cells(11, 2).value().is_empty());
}

TEST_F(CodeFieldTest, AHeadingWithTheFieldsNameKeepsItAPhotoField) {
  host.Examinees().cells(1, 4).set_value("条码:号");
  host.Examinees().cells(2, 4).set_value("p1");
  CodeTemplate("{条码:号}");
  Generate();
  ASSERT_TRUE(host.dialogs.messages().empty());
  EXPECT_TRUE(Pictures().empty());  // no photo files
  EXPECT_EQ(host.data_book->sheet("T").cells(4, 2).text(), "p1.jpg");
}

TEST_F(CodeFieldTest, MissingColumnsAreReportedLikeTextFields) {
  CodeTemplate("{二维码:号+考场+座号}");
  Generate();
  EXPECT_EQ(host.MessageTexts(), (Names{"“考生表”中没有“T”模板表中的“考场、座号”字段，请检查！"}));
  EXPECT_EQ(host.DataSheetNames(), (Names{"考场表", "考生表"}));
}

TEST_F(CodeFieldTest, AValueTheCodeCannotHoldNamesItsRowBeforeAnythingIsWritten) {
  // Only the last record's name is not plain letters; sorted by 号 it
  // would come second, but the message names its row on the data sheet.
  host.Examinees().cells(2, 1).set_value("Jia");
  host.Examinees().cells(3, 1).set_value("Yi");
  CodeTemplate("{条码:姓名}");
  host.DTB().cells(2, sheets::kSortNameColumn).set_value("号");
  Generate();
  EXPECT_EQ(host.MessageTexts(),
            (Names{"“考生表”第4行：“T”模板表中的“条码:姓名”字段无法编码，条码只能容纳数字、"
                   "英文字母和常用符号，不能容纳汉字等字符，请检查！"}));
  EXPECT_EQ(host.DataSheetNames(), (Names{"考场表", "考生表"}));
  EXPECT_TRUE(host.Examinees().cells(1, 168).value().is_empty());  // scratch copy cleared

  host.dialogs.clear();
  host.Examinees().cells(3, 2).set_value(std::string(3000, 'x'));
  host.AddTemplate({.name = "Q"});
  host::Worksheet& q = host.host_book->sheet("Q");
  q.cells(3, 1).set_value("#");
  q.cells(3, 3).set_value("#");
  q.cells(3, 2).set_value("{二维码:场+号}");
  Generate();
  EXPECT_EQ(host.MessageTexts(),
            (Names{"“考生表”第3行：“Q”模板表中的“二维码:场+号”字段无法编码，内容太长，"
                   "二维码容纳不下，请检查！"}));
}

}  // namespace
}  // namespace kelv::generate
