#include "engine_fixture.h"
#include "spreadsheet/model.h"

namespace kelv::spreadsheet {
namespace {

using host::LookAt;
using host::Rect;

TEST_F(EngineTest, ReplacePartIgnoresCaseAndKeepsTheRest) {
  cell(1, 1).set_value("Name: #name#");
  EXPECT_TRUE(cell(1, 1).replace("#NAME#", "张三", LookAt::Part));
  EXPECT_EQ(cell(1, 1).value(), Variant("Name: 张三"));
}

TEST_F(EngineTest, ReplaceWholeTouchesOnlyEqualTexts) {
  cell(1, 1).set_value("#");
  cell(2, 1).set_value("#1");
  EXPECT_TRUE(ws().used_range().replace("#", "", LookAt::Whole));
  EXPECT_TRUE(cell(1, 1).value().is_empty());
  EXPECT_EQ(cell(2, 1).value(), Variant("#1"));
  EXPECT_FALSE(ws().used_range().replace("#", "x", LookAt::Whole));
}

TEST_F(EngineTest, ReplaceWorksOnNumbersAndTheResultStaysText) {
  cell(1, 1).set_value(1000);
  EXPECT_TRUE(cell(1, 1).replace("0", " 0", LookAt::Part, false));
  EXPECT_EQ(cell(1, 1).value(), Variant("1 0 0 0"));
  cell(2, 1).set_value("1x000");
  EXPECT_TRUE(cell(2, 1).replace("x", "", LookAt::Part));
  EXPECT_EQ(cell(2, 1).value(), Variant("1000"));
}

TEST_F(EngineTest, ReplaceLeavesFormulasAlone) {
  cell(1, 1).set_value("a");
  cell(1, 2).set_formula_r1c1("=COUNTIF(C[-1],RC[-1])");
  EXPECT_FALSE(cell(1, 2).replace("1", "2", LookAt::Part));
  EXPECT_EQ(cell(1, 2).formula(), "=COUNTIF(A:A,A1)");
}

TEST_F(EngineTest, ReplaceFormatGoesOnEveryMatchedCellOnly) {
  host::ReplaceFormat& rf = engine.replace_format();
  rf.font.name = "黑体";
  rf.font.bold = true;
  rf.font.color_index = 3;
  rf.horizontal_alignment = host::xlCenter;
  cell(1, 1).set_value("【姓名】");
  cell(1, 2).set_value("other");
  cell(2, 1).set_value("x【姓名】y");
  EXPECT_TRUE(ws().used_range().replace("【姓名】", "【姓名】", LookAt::Part, true));
  host::FontInfo f = cell(1, 1).font().get();
  EXPECT_EQ(f.name, "黑体");
  EXPECT_TRUE(f.bold);
  EXPECT_EQ(f.color_index, 3);
  EXPECT_EQ(cell(1, 1).horizontal_alignment(), host::xlCenter);
  EXPECT_TRUE(cell(2, 1).font().get().bold);
  EXPECT_FALSE(cell(1, 2).font().get().bold);
  EXPECT_EQ(cell(1, 2).horizontal_alignment(), host::xlGeneral);
}

TEST_F(EngineTest, ReplaceOverAWholeColumnTouchesStoredCellsOnly) {
  cell(100000, 3).set_value("old");
  EXPECT_TRUE(ws().columns(3).replace("OLD", "new", LookAt::Whole));
  EXPECT_EQ(cell(100000, 3).value(), Variant("new"));
  EXPECT_EQ(model().rows.size(), 100000u);
}

class PasteTest : public EngineTest {
 protected:
  // A 3 x 2 formatted block at A1:B3 with a merge over A1:B1.
  void source() {
    cell(1, 1).set_value("title");
    block(1, 1, 1, 2).merge();
    block(1, 1, 3, 2).font().set_bold(true);
    cell(2, 1).set_value(1);
    cell(2, 2).set_number_format_local("@");
    cell(2, 2).set_value("0001");
    cell(3, 1).set_formula_r1c1("=COUNTIF(C,R[-1]C)");
    ws().rows(2).set_row_height(30);
    ws().columns(1).set_column_width(20);
  }
};

TEST_F(PasteTest, PasteBringsValuesFormulasFormatsAndMerges) {
  source();
  block(1, 1, 3, 2).copy();
  ws().paste(cell(11, 4));
  EXPECT_EQ(cell(11, 4).value(), Variant("title"));
  EXPECT_EQ(cell(11, 5).merge_area().area(), (Rect{11, 4, 11, 5}));
  EXPECT_TRUE(cell(12, 5).font().get().bold);
  EXPECT_EQ(cell(12, 5).value(), Variant("0001"));
  EXPECT_EQ(cell(12, 5).number_format(), "@");
  EXPECT_EQ(cell(13, 4).formula(), "=COUNTIF(D:D,D12)");
  // Sizes stay with the source.
  EXPECT_EQ(cell(12, 4).row_height(), 14.25);
  EXPECT_EQ(cell(12, 4).column_width(), Sheet().default_column_width);
}

TEST_F(PasteTest, PasteRemovesOldMergesInTheDestination) {
  source();
  block(10, 1, 12, 5).merge();
  block(20, 2, 21, 2).merge();
  block(1, 1, 3, 2).copy();
  ws().paste(cell(11, 2));
  EXPECT_EQ(cell(10, 1).merge_area().area(), Rect::cell(10, 1));
  EXPECT_EQ(cell(11, 2).merge_area().area(), (Rect{11, 2, 11, 3}));
  EXPECT_EQ(cell(20, 2).merge_area().area(), (Rect{20, 2, 21, 2}));
  EXPECT_EQ(model().merges.size(), 3u);
}

TEST_F(PasteTest, PasteOverwritesTheWholeBlockIncludingBlanks) {
  cell(1, 1).set_value("a");
  block(1, 1, 2, 2).copy();
  cell(5, 2).set_value("old");
  cell(5, 2).font().set_bold(true);
  ws().paste(cell(4, 1));
  EXPECT_TRUE(cell(5, 2).value().is_empty());
  EXPECT_FALSE(cell(5, 2).font().get().bold);
}

TEST_F(PasteTest, PasteValuesKeepsDestinationFormatsAndTakesFormulaResults) {
  source();
  cell(1, 1).set_value("x");
  cell(2, 1).set_value("x");
  cell(3, 1).set_formula_r1c1("=COUNTIF(C,R[-1]C)");
  EXPECT_EQ(cell(3, 1).value(), Variant(2.0));
  cell(20, 1).set_number_format_local("0.00");
  cell(22, 1).set_value("gone");
  block(1, 1, 3, 2).copy();
  cell(20, 1).paste_special_values();
  EXPECT_EQ(cell(20, 1).value(), Variant("x"));
  EXPECT_EQ(cell(20, 1).number_format(), "0.00");
  EXPECT_FALSE(cell(20, 1).font().get().bold);
  EXPECT_EQ(cell(22, 1).value(), Variant(2.0));
  EXPECT_EQ(cell(22, 1).formula(), "");
  EXPECT_EQ(cell(21, 2).value(), Variant("0001"));
  EXPECT_EQ(cell(20, 1).merge_area().area(), Rect::cell(20, 1));
}

TEST_F(PasteTest, PastingIntoAnotherWorkbookCarriesTheFormats) {
  source();
  block(1, 1, 3, 2).copy();
  host::Workbook& other = engine.add_workbook("/tmp/kelv-test/Other.xlsx");
  other.active_sheet().paste(other.active_sheet().cells(1, 1));
  EXPECT_TRUE(other.active_sheet().cells(2, 2).font().get().bold);
  EXPECT_EQ(other.active_sheet().cells(2, 2).number_format(), "@");
}

TEST_F(PasteTest, PasteWithoutCopyAndOffTheSheetAreRefused) {
  EXPECT_EQ(error_number([&] { ws().paste(cell(1, 1)); }), 1004);
  block(1, 1, 3, 2).copy();
  EXPECT_EQ(error_number([&] { ws().paste(cell(1048575, 1)); }), 1004);
  EXPECT_EQ(error_number([&] { ws().paste(cell(1, 16384)); }), 1004);
}

}  // namespace
}  // namespace kelv::spreadsheet
