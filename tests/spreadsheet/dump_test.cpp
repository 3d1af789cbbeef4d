#include "engine_fixture.h"

namespace kelv::spreadsheet {
namespace {

TEST_F(EngineTest, DumpListsCellsThenSheetFeatures) {
  ws().set_name("门贴");
  cell(1, 1).set_value("第一考场");
  block(1, 1, 1, 3).merge();
  block(1, 1, 1, 3).font().set_name("黑体");
  block(1, 1, 1, 3).font().set_size(20);
  block(1, 1, 1, 3).font().set_bold(true);
  block(1, 1, 1, 3).set_horizontal_alignment(host::xlCenter);
  cell(2, 1).set_value(1);
  cell(2, 2).set_number_format_local("@");
  cell(2, 2).set_value("0001");
  cell(2, 3).set_value("=x");
  cell(3, 1).set_formula_r1c1("=COUNTIF(C,R[-1]C)");
  cell(3, 2).font().set_color_index(5);
  ws().rows(1).set_row_height(30);
  ws().columns(2).set_column_width(12.5);
  ws().add_page_break(cell(4, 1));
  ws().page_setup().set(host::PageSetupProperty::CenterFooter, "第 &P 页");
  ws().page_setup().set(host::PageSetupProperty::Zoom, false);
  EXPECT_EQ(dump(),
            "sheet \"门贴\"\n"
            "A1 s \"第一考场\" | font=黑体,20,b align=h:center\n"
            "B1 - | font=黑体,20,b align=h:center\n"
            "C1 - | font=黑体,20,b align=h:center\n"
            "A2 n 1\n"
            "B2 s \"0001\" | fmt=@\n"
            "C2 s \"=x\"\n"
            "A3 n 1 = COUNTIF(A:A,A2)\n"
            "B3 - | font=Calibri,11,color=ind:12\n"
            "merge A1:C1\n"
            "row 1 height=30\n"
            "col B width=12.5\n"
            "break above 4\n"
            "page margins=50.40,50.40,54.00,54.00 header/footer=21.60,21.60 orientation=portrait "
            "paper=9 fit=1x1 quality=600\n"
            "footer \"&C第 &P 页\"\n");
}

TEST_F(EngineTest, DumpLeavesOutEmptyCellsWithoutFormat) {
  cell(1, 1).set_value("x");
  cell(1, 1).set_value("");
  EXPECT_EQ(dump().find("A1"), std::string::npos);
}

}  // namespace
}  // namespace kelv::spreadsheet
