#include "engine_fixture.h"
#include "host/file_path.h"

namespace kelv::spreadsheet {
namespace {

using host::SheetVisibility;

TEST_F(EngineTest, AddPutsTheLowestFreeSheetNameAfterTheGivenSheet) {
  host::Worksheet& first = ws();
  host::Worksheet& s2 = book->worksheets().add_after(first);
  EXPECT_EQ(s2.name(), "Sheet2");
  EXPECT_EQ(&book->active_sheet(), &s2);
  host::Worksheet& s3 = book->worksheets().add_after(first);
  EXPECT_EQ(s3.name(), "Sheet3");
  EXPECT_EQ(book->sheet_at(1).name(), "Sheet3");
  EXPECT_EQ(book->sheet_at(2).name(), "Sheet2");
  s2.delete_sheet();
  EXPECT_EQ(book->worksheets().add_after(s3).name(), "Sheet2");
}

TEST_F(EngineTest, CopyIsAFullCopyNamedWithTheNextFreeNumber) {
  host::Worksheet& src = ws();
  src.set_name("MBB");
  src.cells(1, 1).set_value("caption");
  src.range(src.cells(1, 1), src.cells(1, 3)).merge();
  src.rows(1).set_row_height(30);
  src.page_setup().set(host::PageSetupProperty::Orientation, 2);
  book->worksheets().add_after(src);
  src.copy_after(src);
  host::Worksheet& copy = book->active_sheet();
  EXPECT_EQ(copy.name(), "MBB (2)");
  EXPECT_EQ(book->sheet_at(1).name(), "MBB (2)");
  EXPECT_EQ(copy.cells(1, 1).value(), Variant("caption"));
  EXPECT_EQ(copy.cells(1, 2).merge_area().columns_count(), 3);
  EXPECT_EQ(copy.cells(1, 1).row_height(), 30);
  EXPECT_EQ(copy.page_setup().get(host::PageSetupProperty::Orientation), Variant(2));
  // The copy is independent of its source.
  copy.cells(1, 1).set_value("changed");
  EXPECT_EQ(src.cells(1, 1).value(), Variant("caption"));
  src.copy_after(copy);
  EXPECT_EQ(book->active_sheet().name(), "MBB (3)");
  copy.copy_after(copy);
  EXPECT_EQ(book->active_sheet().name(), "MBB (4)");
}

TEST_F(EngineTest, SheetNamesFollowTheirSheets) {
  Workbook& m = Engine::model_of(*book);
  host::Worksheet& first = ws();
  first.set_name("MBB");
  book->worksheets().add_after(first);
  m.defined_names.push_back({"_xlnm.Print_Area", "MBB!$A$1:$H$20", 0, false, ""});
  m.defined_names.push_back({"_xlnm.Print_Titles", "Sheet2!$1:$2", 1, false, ""});
  first.copy_after(first);  // MBB (2) lands at index 1, Sheet2 moves to 2
  ASSERT_EQ(m.defined_names.size(), 3u);
  EXPECT_EQ(m.defined_names[0].local_sheet, 0);
  EXPECT_EQ(m.defined_names[1].local_sheet, 2);
  EXPECT_EQ(m.defined_names[2].local_sheet, 1);
  EXPECT_EQ(m.defined_names[2].value, "'MBB (2)'!$A$1:$H$20");
  book->active_sheet().set_name("门贴");
  EXPECT_EQ(m.defined_names[2].value, "'门贴'!$A$1:$H$20");
  EXPECT_EQ(m.defined_names[0].value, "MBB!$A$1:$H$20");
  book->sheet("门贴").delete_sheet();
  ASSERT_EQ(m.defined_names.size(), 2u);
  EXPECT_EQ(m.defined_names[1].local_sheet, 1);
}

TEST_F(EngineTest, FormulasFollowRenamedCopiedAndDeletedSheets) {
  Workbook& m = Engine::model_of(*book);
  host::Worksheet& data = ws();
  data.set_name("考生");
  host::Worksheet& summary = book->worksheets().add_after(data);
  summary.set_name("汇总");
  summary.cells(1, 1).set_formula_r1c1("=COUNTA('考生'!C1)+考生!R1C2");
  data.cells(1, 1).set_formula_r1c1("=考生!R1C2&\"考生!B1\"");
  m.defined_names.push_back({"名单", "考生!$A$1:$B$9", -1, false, ""});

  data.set_name("考生表");
  EXPECT_EQ(summary.cells(1, 1).formula(), "=COUNTA('考生表'!$A:$A)+'考生表'!$B$1");
  EXPECT_EQ(data.cells(1, 1).formula(), "='考生表'!$B$1&\"考生!B1\"");
  EXPECT_EQ(m.defined_names.back().value, "'考生表'!$A$1:$B$9");

  // A copy's references to its own sheet point at the copy; others' stay.
  data.copy_after(summary);
  host::Worksheet& copy = book->active_sheet();
  EXPECT_EQ(copy.cells(1, 1).formula(), "='考生表 (2)'!$B$1&\"考生!B1\"");
  EXPECT_EQ(summary.cells(1, 1).formula(), "=COUNTA('考生表'!$A:$A)+'考生表'!$B$1");

  data.delete_sheet();
  EXPECT_EQ(summary.cells(1, 1).formula(), "=COUNTA(#REF!$A:$A)+#REF!$B$1");
  EXPECT_EQ(copy.cells(1, 1).formula(), "='考生表 (2)'!$B$1&\"考生!B1\"");
  EXPECT_EQ(m.defined_names.back().value, "#REF!$A$1:$B$9");
}

TEST_F(EngineTest, CopyNamesStayWithin31Characters) {
  ws().set_name(std::string(31, 'x'));
  ws().copy_after(ws());
  EXPECT_EQ(book->active_sheet().name(), std::string(27, 'x') + " (2)");
}

TEST_F(EngineTest, SheetNameRefusals) {
  host::Worksheet& first = ws();
  host::Worksheet& other = book->worksheets().add_after(first);
  for (const char* bad : {"", "a[b", "a]b", "a:b", "a*b", "a?b", "a/b", "a\\b", "SHEET1", "sheet1"})
    EXPECT_EQ(error_number([&] { other.set_name(bad); }), 1004) << bad;
  EXPECT_EQ(error_number([&] { other.set_name(std::string(32, 'a')); }), 1004);
  EXPECT_EQ(other.name(), "Sheet2");
  other.set_name(std::string(31, 'a'));
  other.set_name(
      "考生表一二三四五六七八九十一二三四五六七八九十一二三四五六七八");  // 31 characters
  other.set_name("ÄRGER");
  EXPECT_EQ(error_number([&] { first.set_name("ärger"); }), 1004);
  first.set_name("sheet1");  // its own name in another case
  EXPECT_EQ(first.name(), "sheet1");
}

TEST_F(EngineTest, TheLastVisibleSheetCanNeitherGoNorHide) {
  host::Worksheet& hidden = book->worksheets().add_after(ws());
  hidden.set_visible(SheetVisibility::VeryHidden);
  EXPECT_EQ(error_number([&] { ws().delete_sheet(); }), 1004);
  EXPECT_EQ(error_number([&] { ws().set_visible(SheetVisibility::Hidden); }), 1004);
  EXPECT_EQ(book->sheet_count(), 2);
  hidden.delete_sheet();
  EXPECT_EQ(book->sheet_count(), 1);
}

TEST_F(EngineTest, DeletingTheActiveSheetActivatesAVisibleNeighbour) {
  host::Worksheet& a = ws();
  host::Worksheet& b = book->worksheets().add_after(a);
  host::Worksheet& c = book->worksheets().add_after(b);
  b.set_visible(SheetVisibility::Hidden);
  c.activate();
  c.delete_sheet();
  EXPECT_EQ(&book->active_sheet(), &a);
  EXPECT_EQ(error_number([&] { book->sheet("Sheet3"); }), 9);
}

TEST_F(EngineTest, VisibilityAndTabColour) {
  host::Worksheet& s = book->worksheets().add_after(ws());
  for (SheetVisibility v :
       {SheetVisibility::Hidden, SheetVisibility::VeryHidden, SheetVisibility::Visible}) {
    s.set_visible(v);
    EXPECT_EQ(s.visible(), v);
  }
  s.set_tab_color_index(3);
  EXPECT_EQ(s.tab_color_index(), 3);
  EXPECT_EQ(Engine::model_of(s).tab_color, Color::indexed(10));
  s.set_tab_color_index(0);
  EXPECT_EQ(s.tab_color_index(), 0);
  EXPECT_EQ(error_number([&] { s.set_tab_color_index(57); }), 1004);
}

TEST_F(EngineTest, HiddenSheetsCannotBeActivated) {
  host::Worksheet& s = book->worksheets().add_after(ws());
  s.set_visible(SheetVisibility::Hidden);
  EXPECT_NE(&book->active_sheet(), &s);
  EXPECT_EQ(error_number([&] { s.activate(); }), 1004);
}

TEST_F(EngineTest, LookupsByNameAreExact) {
  EXPECT_EQ(book->worksheets().item("Sheet1").name(), "Sheet1");
  EXPECT_EQ(error_number([&] { book->worksheets().item("sheet1"); }), 9);
  EXPECT_EQ(error_number([&] { book->sheet_at(1); }), 9);
  EXPECT_EQ(&engine.workbooks().item("book.xlsx"), book);
  EXPECT_EQ(error_number([&] { engine.workbooks().item("nope.xlsx"); }), 9);
}

TEST_F(EngineTest, WorkbookNameAndPath) {
  EXPECT_EQ(book->name(), "Book.xlsx");
  EXPECT_EQ(book->path(), host::absolute_path_text("/tmp/kelv-test"));
  EXPECT_EQ(error_number([&] { engine.add_workbook("/elsewhere/BOOK.xlsx"); }), 1004);
  EXPECT_EQ(error_number([&] { engine.workbooks().open("/tmp/kelv-test/notes.txt"); }), 1004);
  try {
    engine.workbooks().open("C:\\data\\考生.doc");
    FAIL();
  } catch (const host::HostError& e) {
    EXPECT_NE(e.description().find("考生.doc"), std::string::npos);
  }
}

TEST_F(EngineTest, FontsAndPaletteColours) {
  host::Range r = block(1, 1, 2, 2);
  r.font().set_name("宋体");
  r.font().set_size(12);
  r.font().set_color_index(5);
  r.font().set_underline(2);
  host::FontInfo f = cell(2, 2).font().get();
  EXPECT_EQ(f.name, "宋体");
  EXPECT_EQ(f.size, 12);
  EXPECT_EQ(f.color_index, 5);
  EXPECT_EQ(f.underline, 2);
  EXPECT_EQ(Engine::model_of(*book).styles.get(stored(2, 2)->style).font.color, Color::indexed(12));
  EXPECT_EQ(error_number([&] { r.font().set_color_index(99); }), 1004);
  EXPECT_EQ(cell(2, 2).font().get().color_index, 5);
}

TEST_F(EngineTest, StylesAreInterned) {
  const size_t before = Engine::model_of(*book).styles.size();
  for (int r = 1; r <= 1000; ++r) {
    cell(r, 1).font().set_bold(true);
    cell(r, 1).set_horizontal_alignment(host::xlCenter);
  }
  EXPECT_EQ(Engine::model_of(*book).styles.size(), before + 2);
}

TEST_F(EngineTest, NumberFormatLocalNames) {
  cell(1, 1).set_number_format_local("@");
  EXPECT_EQ(cell(1, 1).number_format(), "@");
  cell(1, 1).set_number_format_local("G/通用格式");
  EXPECT_EQ(cell(1, 1).number_format(), "General");
  cell(1, 1).set_number_format_local("0.00_ ");
  EXPECT_EQ(cell(1, 1).number_format(), "0.00_ ");
}

TEST_F(EngineTest, AlignmentConstants) {
  cell(1, 1).set_horizontal_alignment(host::xlRight);
  cell(1, 1).set_vertical_alignment(host::xlTop);
  EXPECT_EQ(cell(1, 1).horizontal_alignment(), host::xlRight);
  EXPECT_EQ(cell(1, 1).vertical_alignment(), host::xlTop);
  EXPECT_EQ(cell(2, 1).vertical_alignment(), host::xlBottom);
  EXPECT_EQ(error_number([&] { cell(1, 1).set_horizontal_alignment(12345); }), 1004);
}

TEST_F(EngineTest, SelectionActiveCellAndWindowGoToTheActiveSheetsView) {
  block(3, 2, 5, 4).select();
  cell(4, 3).activate();
  EXPECT_EQ(model().view.active_row, 4);
  EXPECT_EQ(model().view.selection.size(), 1u);
  EXPECT_EQ(model().view.selection[0], (host::Rect{3, 2, 5, 4}));
  cell(33, 1).activate();
  EXPECT_EQ(model().view.selection[0], host::Rect::cell(33, 1));
  host::Window& w = engine.active_window();
  w.set_scroll_row(30);
  w.set_scroll_column(2);
  w.set_split_row(1);
  w.set_freeze_panes(true);
  w.set_tab_ratio(0.8);
  EXPECT_EQ(model().view.top_row, 30);
  EXPECT_EQ(model().view.left_col, 2);
  EXPECT_EQ(model().view.split_rows, 1);
  EXPECT_TRUE(model().view.frozen);
  EXPECT_EQ(Engine::model_of(*book).tab_ratio, 0.8);
  EXPECT_EQ(error_number([&] { w.set_tab_ratio(1.5); }), 1004);
}

TEST_F(EngineTest, FreezingWithoutASplitFreezesAtTheActiveCell) {
  cell(3, 2).activate();
  engine.active_window().set_freeze_panes(true);
  EXPECT_EQ(model().view.split_rows, 2);
  EXPECT_EQ(model().view.split_cols, 1);
  engine.active_window().set_freeze_panes(false);
  EXPECT_EQ(model().view.split_rows, 0);
}

TEST_F(EngineTest, ApplicationSettingsAndModifiedFlag) {
  EXPECT_FALSE(book->modified());
  block(1, 1, 2, 2).select();
  cell(2, 2).activate();
  engine.active_window().set_scroll_row(5);
  EXPECT_FALSE(book->modified());
  engine.set_screen_updating(false);
  engine.set_display_alerts(false);
  EXPECT_FALSE(engine.screen_updating());
  EXPECT_FALSE(engine.display_alerts());
  cell(1, 1).set_value(1);
  EXPECT_TRUE(book->modified());
  EXPECT_EQ(error_number([&] { book->save(); }), 1004);  // no file format in this engine
}

TEST_F(EngineTest, PageBreaksAreKeptOnce) {
  ws().add_page_break(cell(10, 1));
  ws().add_page_break(cell(10, 3));
  ws().add_page_break(cell(5, 1));
  ws().add_page_break(cell(1, 1));
  EXPECT_EQ(model().row_breaks, (std::set<int32_t>{5, 10}));
}

}  // namespace
}  // namespace kelv::spreadsheet
