// What desktop applications put in their files and what odd text a model may
// hold: both must come out as a file that reads back, with nothing changed
// that XML could have kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <set>

#include "host/workbook.h"
#include "host/worksheet.h"
#include "spreadsheet/engine.h"
#include "xlsx/package.h"
#include "xlsx/xlsx_format.h"
#include "xlsx/xml_util.h"
#include "xlsx_test_util.h"

namespace kelv::xlsx {
namespace {

const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

std::string package(const test::TempFolder& dir, const std::string& workbook_children,
                    const std::string& strings, const std::string& after_sheet_data = "") {
  std::map<std::string, std::string> p = test::package_skeleton();
  p["xl/workbook.xml"] =
      std::string("<workbook xmlns=\"") + kMain +
      "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
      "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
      "mc:Ignorable=\"x15 xr\" "
      "xmlns:x15=\"http://schemas.microsoft.com/office/spreadsheetml/2010/11/main\" "
      "xmlns:xr=\"http://schemas.microsoft.com/office/spreadsheetml/2014/revision\">" +
      workbook_children + "</workbook>";
  p["xl/sharedStrings.xml"] = std::string("<sst xmlns=\"") + kMain + "\">" + strings + "</sst>";
  std::string cells;
  int n = 0;
  for (size_t at = strings.find("<si>"); at != std::string::npos;
       at = strings.find("<si>", at + 1)) {
    cells += std::string("<c r=\"") + static_cast<char>('A' + n) + "1\" t=\"s\"><v>" +
             std::to_string(n) + "</v></c>";
    ++n;
  }
  p["xl/worksheets/sheet1.xml"] = std::string("<worksheet xmlns=\"") + kMain +
                                  "\"><sheetData><row r=\"1\">" + cells + "</row></sheetData>" +
                                  after_sheet_data + "</worksheet>";
  const std::string path = dir.file("in.xlsx");
  PackageWriter w(path);
  for (const auto& [part, data] : p) w.add(part, data);
  w.close();
  return path;
}

// The element names of the workbook part's root, in order.
std::vector<std::string> workbook_children(const std::string& file) {
  pugi::xml_document d;
  const std::string xml = test::read_part(file, "xl/workbook.xml");
  EXPECT_TRUE(d.load_buffer(xml.data(), xml.size()));
  std::vector<std::string> out;
  for (pugi::xml_node n : d.document_element().children()) out.emplace_back(n.name());
  return out;
}

TEST(DesktopFiles, ForeignWorkbookElementsKeepTheirPlaceAndTheWindowItsLook) {
  test::TempFolder dir("xlsx");
  // As a desktop spreadsheet application writes it: revision and path
  // markers right after workbookPr, extensions last.
  const std::string in = package(
      dir,
      "<fileVersion appName=\"xl\"/><workbookPr/>"
      "<mc:AlternateContent><mc:Choice Requires=\"x15\"><x15ac:absPath url=\"C:\\\" "
      "xmlns:x15ac=\"http://schemas.microsoft.com/office/spreadsheetml/2010/11/ac\"/>"
      "</mc:Choice></mc:AlternateContent><xr:revisionPtr revIDLastSave=\"0\"/>"
      "<bookViews><workbookView xWindow=\"-108\" windowWidth=\"23256\" showSheetTabs=\"0\" "
      "tabRatio=\"750\"/></bookViews><sheets><sheet name=\"S\" sheetId=\"1\" "
      "r:id=\"rId1\"/></sheets><calcPr calcId=\"191029\"/><extLst><ext uri=\"{1}\"/></extLst>",
      "<si><t>a</t></si>");
  const std::string out = dir.file("out.xlsx");
  write_workbook(*read_workbook(in), out);
  EXPECT_EQ(workbook_children(out),
            (std::vector<std::string>{"workbookPr", "mc:AlternateContent", "xr:revisionPtr",
                                      "bookViews", "sheets", "calcPr", "extLst"}));
  // The window keeps its size and its hidden tab bar.
  const std::string wb = test::read_part(out, "xl/workbook.xml");
  for (const char* a :
       {"xWindow=\"-108\"", "windowWidth=\"23256\"", "showSheetTabs=\"0\"", "tabRatio=\"750\""})
    EXPECT_NE(wb.find(a), std::string::npos) << a;
}

TEST(DesktopFiles, EscapedCharactersOutsideTheBasicPlaneReadAsOne) {
  test::TempFolder dir("xlsx");
  // U+1F600 as a UTF-16 pair, then a lone surrogate, then a carriage return.
  const std::string in =
      package(dir, "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets>",
              "<si><t>a_xD83D__xDE00_b</t></si><si><t>c_xD800_d</t></si>"
              "<si><t>e_x000D_\nf</t></si>");
  auto book = read_workbook(in);
  const auto& cells = book->sheets[0]->rows[0].cells;
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(cells[0].value.as_text(),
            "a\xF0\x9F\x98\x80"
            "b");
  EXPECT_EQ(cells[1].value.as_text(),
            "c\xEF\xBF\xBD"
            "d");
  EXPECT_EQ(cells[2].value.as_text(), "e\r\nf");
  // And they survive a save.
  const std::string out = dir.file("out.xlsx");
  write_workbook(*book, out);
  auto back = read_workbook(out);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(back->sheets[0]->rows[0].cells[i].value.as_text(), cells[i].value.as_text()) << i;
}

TEST(DesktopFiles, TextXmlCanNotCarryBecomesAReplacementCharacter) {
  // Bytes that are no UTF-8 (a file name in another code page, say) must not
  // make a workbook that nothing can open again, kelv included.
  const std::string bad = std::string("a\xFF") + "b\xC3(\xE4\xB8\xAD\xED\xA0\x80\xEF\xBF\xBEz";
  XmlOut t;
  t.text(bad);
  EXPECT_EQ(t.str(),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD(\xE4\xB8\xAD\xEF\xBF\xBD\xEF\xBF\xBDz");
  XmlOut a;
  a.attr("v", bad);
  EXPECT_EQ(a.str(),
            " v=\"a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD(\xE4\xB8\xAD\xEF\xBF\xBD\xEF\xBF\xBDz\"");

  test::TempFolder dir("xlsx");
  auto book =
      read_workbook(package(dir, "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets>",
                            "<si><t>x</t></si>"));
  spreadsheet::Sheet& s = *book->sheets[0];
  s.name = "S\xFE";
  s.rows[0].cells[0].value = host::Variant(bad);
  s.page_setup.header_footer.odd_footer = "\xC0\xAF";
  const std::string out = dir.file("out.xlsx");
  write_workbook(*book, out);
  auto back = read_workbook(out);
  EXPECT_EQ(back->sheets[0]->name, "S\xEF\xBF\xBD");
  EXPECT_EQ(back->sheets[0]->rows[0].cells[0].value.as_text(),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD(\xE4\xB8\xAD\xEF\xBF\xBD\xEF\xBF\xBDz");
}

TEST(DesktopFiles, APhotoWhoseFileNameIsNoUtf8StillSaves) {
  // Photo folders unpacked from archives made elsewhere often carry names in
  // the GBK code page; the name becomes the picture's description.
#ifdef _WIN32
  GTEST_SKIP() << "Windows keeps every file name in UTF-16";
#endif
  test::TempFolder dir("xlsx");
  const std::string png = dir.file("\xD5\xC5\xC8\xFD.png");  // 张三 in GBK
  std::ofstream(png, std::ios::binary)
      << test::read_part(test::data_file("openpyxl_features.xlsx"), "xl/media/image1.png");
  spreadsheet::Engine engine(std::make_shared<XlsxFormat>());
  const std::string path = dir.file("照片.xlsx");
  host::Workbook& book = engine.add_workbook(path);
  book.active_sheet().insert_picture(png);
  book.save();
  auto back = read_workbook(path);
  ASSERT_EQ(back->sheets[0]->pictures.size(), 1u);
  EXPECT_EQ(back->sheets[0]->pictures[0].description,
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD.png");
}

TEST(DesktopFiles, OverlappingAndOneCellMergesAreDropped) {
  // Files from careless producers; the first of two overlapping merges wins.
  test::TempFolder dir("xlsx");
  auto book = read_workbook(package(
      dir, "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets>", "<si><t>x</t></si>",
      "<mergeCells count=\"6\"><mergeCell ref=\"A1:B2\"/><mergeCell ref=\"B2:C3\"/>"
      "<mergeCell ref=\"D1:D1\"/><mergeCell ref=\"A5:B5\"/><mergeCell ref=\"A4:A9\"/>"
      "<mergeCell ref=\"C4:C9\"/></mergeCells>"));
  EXPECT_EQ(book->sheets[0]->merges,
            (std::vector<host::Rect>{{1, 1, 2, 2}, {5, 1, 5, 2}, {4, 3, 9, 3}}));
}

// A package whose one sheet is the worksheet XML given (the relationships'
// namespace declared as r).
std::string sheet_package(const test::TempFolder& dir, const std::string& worksheet_children) {
  std::map<std::string, std::string> p = test::package_skeleton();
  p["xl/workbook.xml"] = std::string("<workbook xmlns=\"") + kMain +
                         "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                         "relationships\"><sheets><sheet name=\"S\" sheetId=\"1\" "
                         "r:id=\"rId1\"/></sheets></workbook>";
  p["xl/sharedStrings.xml"] = std::string("<sst xmlns=\"") + kMain + "\"/>";
  p["xl/worksheets/sheet1.xml"] =
      std::string("<worksheet xmlns=\"") + kMain +
      "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" +
      worksheet_children + "</worksheet>";
  const std::string path = dir.file("in.xlsx");
  PackageWriter w(path);
  for (const auto& [part, data] : p) w.add(part, data);
  w.close();
  return path;
}

TEST(DesktopFiles, AnInlineStringJoinsItsRunsAndLeavesOutItsPhoneticReading) {
  test::TempFolder dir("xlsx");
  auto book = read_workbook(sheet_package(
      dir,
      "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><r><rPr><b/></rPr><t>考</t></r>"
      "<r><t xml:space=\"preserve\">场 </t></r><rPh sb=\"0\" eb=\"1\"><t>kao</t></rPh>"
      "<phoneticPr fontId=\"1\"/></is></c><c r=\"B1\" t=\"inlineStr\"/></row></sheetData>"));
  const auto& cells = book->sheets[0]->rows.at(0).cells;
  ASSERT_EQ(cells.size(), 1u);  // an inline string cell with no string is blank
  EXPECT_EQ(cells[0].value.as_text(), "考场 ");
}

TEST(DesktopFiles, ElementsOutOfPlaceAmongTheRowsAreSkippedWithTheirContent) {
  test::TempFolder dir("xlsx");
  auto book = read_workbook(sheet_package(
      dir,
      "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v><extLst><v>9</v></extLst></c>"
      "<x><c r=\"B1\"><v>2</v></c></x></row><y><row r=\"2\"><c r=\"A2\"><v>3</v></c></row></y>"
      "<row r=\"3\"><c r=\"A3\"><v>4</v></c></row></sheetData>"));
  const auto& rows = book->sheets[0]->rows;
  ASSERT_EQ(rows.size(), 3u);
  ASSERT_EQ(rows[0].cells.size(), 1u);
  EXPECT_EQ(rows[0].cells[0].value.as_number(), 1.0);
  EXPECT_TRUE(rows[1].cells.empty());
  ASSERT_EQ(rows[2].cells.size(), 1u);
  EXPECT_EQ(rows[2].cells[0].value.as_number(), 4.0);
}

TEST(DesktopFiles, SheetPropertiesKeepTheirOtherChildrenInsideThem) {
  test::TempFolder dir("xlsx");
  const std::string in = sheet_package(
      dir,
      "<sheetPr codeName=\"Sheet1\"><tabColor rgb=\"FF00B050\"/><outlinePr summaryBelow=\"0\"/>"
      "<pageSetUpPr fitToPage=\"1\"/></sheetPr><sheetData/>"
      "<sheetProtection sheet=\"1\"/>");
  auto book = read_workbook(in);
  const spreadsheet::Sheet& s = *book->sheets[0];
  EXPECT_EQ(s.tab_color, spreadsheet::Color::rgb(0xFF00B050));
  EXPECT_TRUE(s.page_setup.fit_to_page);
  const std::string out = dir.file("out.xlsx");
  write_workbook(*book, out);
  const std::string xml = test::read_part(out, "xl/worksheets/sheet1.xml");
  EXPECT_NE(xml.find("<sheetPr codeName=\"Sheet1\"><tabColor rgb=\"FF00B050\"/>"
                     "<outlinePr summaryBelow=\"0\"/><pageSetUpPr fitToPage=\"1\"/></sheetPr>"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("</sheetData><sheetProtection sheet=\"1\"/>"), std::string::npos) << xml;
}

TEST(DesktopFiles, ACopiedSheetsTableGetsItsOwnIdAndName) {
  test::TempFolder dir("xlsx");
  const std::string path = dir.file("表格.xlsx");
  {
    PackageWriter w(path);
    w.add("[Content_Types].xml",
          "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
          "<Default Extension=\"rels\" "
          "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
          "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
          "<Override PartName=\"/xl/tables/table1.xml\" ContentType=\"application/"
          "vnd.openxmlformats-officedocument.spreadsheetml.table+xml\"/></Types>");
    w.add("_rels/.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
          "2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    w.add("xl/_rels/workbook.xml.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
          "2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>");
    w.add("xl/workbook.xml",
          std::string("<workbook xmlns=\"") + kMain +
              "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
              "relationships\"><sheets><sheet name=\"成绩\" sheetId=\"1\" r:id=\"rId1\"/>"
              "</sheets></workbook>");
    w.add("xl/worksheets/sheet1.xml",
          std::string("<worksheet xmlns=\"") + kMain +
              "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
              "relationships\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>分数"
              "</t></is></c></row><row r=\"2\"><c r=\"A2\"><v>1</v></c></row></sheetData>"
              "<tableParts count=\"1\"><tablePart r:id=\"rId1\"/></tableParts></worksheet>");
    w.add("xl/worksheets/_rels/sheet1.xml.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
          "2006/relationships/table\" Target=\"../tables/table1.xml\"/></Relationships>");
    w.add("xl/tables/table1.xml",
          std::string("<table xmlns=\"") + kMain +
              "\" id=\"3\" name=\"成绩表\" displayName=\"成绩表\" ref=\"A1:A2\">"
              "<autoFilter ref=\"A1:A2\"/><tableColumns count=\"1\"><tableColumn id=\"1\" "
              "name=\"分数\"/></tableColumns></table>");
    w.close();
  }
  spreadsheet::Engine engine(std::make_shared<XlsxFormat>());
  host::Workbook& book = engine.open_host_workbook(path);
  host::Worksheet& sheet = book.sheet_at(0);
  sheet.copy_after(sheet);
  sheet.copy_after(book.sheet_at(1));
  book.save();

  // Every table part of the saved file, by id and name: all distinct, the
  // original unchanged.
  std::map<std::string, std::string> names;  // id -> name
  for (const char* part :
       {"xl/tables/table1.xml", "xl/tables/table1_1.xml", "xl/tables/table1_2.xml"}) {
    ASSERT_TRUE(test::has_part(path, part)) << part;
    pugi::xml_document d;
    const std::string xml = test::read_part(path, part);
    ASSERT_TRUE(d.load_buffer(xml.data(), xml.size())) << part;
    pugi::xml_node t = d.document_element();
    EXPECT_EQ(std::string(t.attribute("name").value()), t.attribute("displayName").value());
    EXPECT_EQ(std::string(t.attribute("ref").value()), "A1:A2");
    names[t.attribute("id").value()] = t.attribute("name").value();
  }
  EXPECT_EQ(names, (std::map<std::string, std::string>{
                       {"3", "成绩表"}, {"4", "成绩表_2"}, {"5", "成绩表_3"}}));
}

TEST(DesktopFiles, CarriageReturnsAndEdgeSpacesSurviveASave) {
  test::TempFolder dir("xlsx");
  auto book =
      read_workbook(package(dir, "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets>",
                            "<si><t>x</t></si><si><t>y</t></si>"));
  auto& cells = book->sheets[0]->rows[0].cells;
  cells[0].value = host::Variant("第一行\r\n第二行\r");
  cells[1].value = host::Variant(" \t ");
  const std::string out = dir.file("out.xlsx");
  write_workbook(*book, out);
  auto back = read_workbook(out);
  EXPECT_EQ(back->sheets[0]->rows[0].cells[0].value.as_text(), "第一行\r\n第二行\r");
  EXPECT_EQ(back->sheets[0]->rows[0].cells[1].value.as_text(), " \t ");
}

TEST(DesktopFiles, NumbersXmlCanNotSpellAreWrittenAsNumErrors) {
  test::TempFolder dir("xlsx");
  auto book =
      read_workbook(package(dir, "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets>",
                            "<si><t>x</t></si><si><t>y</t></si>"));
  auto& cells = book->sheets[0]->rows[0].cells;
  cells[0].value = host::Variant(std::numeric_limits<double>::infinity());
  cells[1].value = host::Variant(std::numeric_limits<double>::quiet_NaN());
  const std::string out = dir.file("out.xlsx");
  write_workbook(*book, out);
  auto back = read_workbook(out);
  for (size_t i = 0; i < 2; ++i) {
    const host::Variant& v = back->sheets[0]->rows[0].cells[i].value;
    ASSERT_TRUE(v.is_error()) << i;
    EXPECT_EQ(v.as_error(), host::CellError::Num);
  }
}

}  // namespace
}  // namespace kelv::xlsx

namespace kelv::xlsx {
namespace {

// The worksheet's child `local` as written, or "".
std::string element_of(const std::string& xml, const std::string& local) {
  const size_t at = xml.find("<" + local);
  if (at == std::string::npos) return "";
  const size_t close = xml.find("</" + local + ">", at);
  const size_t empty = xml.find("/>", at);
  const size_t open_end = xml.find('>', at);
  if (empty != std::string::npos && empty + 1 == open_end) return xml.substr(at, empty + 2 - at);
  return close == std::string::npos ? "" : xml.substr(at, close + local.size() + 3 - at);
}

// Page order and column breaks are the model's own, and references to other
// parts are marked; each is written back where and as the file had it.
TEST(DesktopFiles, PageOrderColumnBreaksAndReferencesReadIntoTheModelAndWrittenBack) {
  test::TempFolder dir("xlsx");
  const std::string conditional =
      "<conditionalFormatting sqref=\"A1\"><cfRule type=\"cellIs\" dxfId=\"0\" priority=\"1\" "
      "operator=\"equal\"><formula>1</formula></cfRule></conditionalFormatting>";
  const std::string validation =
      "<dataValidations count=\"1\"><dataValidation type=\"whole\" sqref=\"B1\"/>"
      "</dataValidations>";
  struct Case {
    std::string page_setup, column_breaks;
    spreadsheet::PageOrder order;
    std::set<int32_t> breaks;
  };
  const Case cases[] = {
      // As LibreOffice writes them: the order among other attributes kept,
      // breaks with attributes of its own.
      {"<pageSetup paperSize=\"9\" scale=\"100\" pageOrder=\"overThenDown\" "
       "blackAndWhite=\"false\" r:id=\"rId9\" copies=\"1\"/>",
       "<colBreaks count=\"2\" manualBreakCount=\"2\"><brk id=\"3\" man=\"true\" max=\"1048575\" "
       "min=\"0\"/><brk id=\"7\" man=\"true\" max=\"1048575\" min=\"0\"/></colBreaks>",
       spreadsheet::PageOrder::OverThenDown,
       {4, 8}},
      // As Excel writes them: the reference last.
      {"<pageSetup paperSize=\"9\" orientation=\"landscape\" pageOrder=\"downThenOver\" "
       "r:id=\"rId9\"/>",
       "<colBreaks count=\"1\" manualBreakCount=\"1\"><brk id=\"1\" max=\"1048575\" man=\"1\"/>"
       "</colBreaks>",
       spreadsheet::PageOrder::DownThenOver,
       {2}},
      // The reference first, an order the model does not know kept as
      // written, and a break before the first column (no break) left out.
      {"<pageSetup paperSize=\"9\" r:id=\"rId9\" pageOrder=\"sideways\" draft=\"1\"/>",
       "<colBreaks count=\"1\"><brk id=\"0\"/></colBreaks>",
       spreadsheet::PageOrder::DownThenOver,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page_setup);
    const std::string in =
        sheet_package(dir, "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>" +
                               conditional + validation +
                               "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" "
                               "bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>" +
                               c.page_setup + c.column_breaks);
    auto book = read_workbook(in);
    const spreadsheet::Sheet& sheet = *book->sheets[0];
    EXPECT_EQ(sheet.page_setup.page_order, c.order);
    EXPECT_EQ(sheet.column_breaks, c.breaks);
    for (const auto& e : sheet.passthrough.elements)
      EXPECT_EQ(e.refers_to_parts, e.xml.starts_with("<conditionalFormatting")) << e.xml;

    const std::string out = dir.file("out.xlsx");
    write_workbook(*book, out);
    const std::string xml = test::read_part(out, "xl/worksheets/sheet1.xml");
    // pugixml writes the element the reader saw with its attributes in
    // order; the writer's own attributes are those of the test input.
    EXPECT_EQ(element_of(xml, "pageSetup"), c.page_setup);
    EXPECT_EQ(element_of(xml, "colBreaks"), c.column_breaks);
  }
}

TEST(DesktopFiles, ColumnBreaksChangedInTheModelAreWrittenFromIt) {
  test::TempFolder dir("xlsx");
  auto book = read_workbook(sheet_package(
      dir, "<sheetData/><colBreaks count=\"1\"><brk id=\"3\" man=\"true\"/></colBreaks>"));
  spreadsheet::Sheet& sheet = *book->sheets[0];
  ASSERT_EQ(sheet.column_breaks, (std::set<int32_t>{4}));
  sheet.column_breaks = {3, 10};
  sheet.page_setup.page_order = spreadsheet::PageOrder::OverThenDown;
  const std::string out = dir.file("out.xlsx");
  write_workbook(*book, out);
  const std::string xml = test::read_part(out, "xl/worksheets/sheet1.xml");
  EXPECT_EQ(element_of(xml, "colBreaks"),
            "<colBreaks count=\"2\" manualBreakCount=\"2\"><brk id=\"2\" max=\"1048575\" "
            "man=\"1\"/><brk id=\"9\" max=\"1048575\" man=\"1\"/></colBreaks>");
  EXPECT_NE(element_of(xml, "pageSetup").find(" pageOrder=\"overThenDown\""), std::string::npos);
  auto again = read_workbook(out);
  EXPECT_EQ(again->sheets[0]->column_breaks, (std::set<int32_t>{3, 10}));
  EXPECT_EQ(again->sheets[0]->page_setup.page_order, spreadsheet::PageOrder::OverThenDown);
}

TEST(DesktopFiles, ASheetCopiedToAnotherWorkbookLeavesItsReferencesAndKeepsItsPageOrder) {
  test::TempFolder dir("xlsx");
  const std::string in = sheet_package(
      dir,
      "<sheetData/><conditionalFormatting sqref=\"A1\"><cfRule type=\"cellIs\" dxfId=\"0\" "
      "priority=\"1\" operator=\"equal\"><formula>1</formula></cfRule></conditionalFormatting>"
      "<pageSetup paperSize=\"9\" r:id=\"rId9\" pageOrder=\"overThenDown\" copies=\"2\"/>"
      "<colBreaks count=\"1\"><brk id=\"3\"/></colBreaks>");
  spreadsheet::Engine engine(std::make_shared<XlsxFormat>());
  host::Workbook& from = engine.open_host_workbook(in);
  const std::string path = dir.file("to.xlsx");
  host::Workbook& to = engine.add_workbook(path);
  from.sheet_at(0).copy_after(to.sheet_at(0));
  to.save();
  const std::string xml = test::read_part(path, "xl/worksheets/sheet2.xml");
  EXPECT_EQ(element_of(xml, "pageSetup"),
            "<pageSetup paperSize=\"9\" pageOrder=\"overThenDown\" copies=\"2\"/>");
  EXPECT_EQ(element_of(xml, "colBreaks"), "<colBreaks count=\"1\"><brk id=\"3\"/></colBreaks>");
  EXPECT_EQ(xml.find("dxfId"), std::string::npos);
}

}  // namespace
}  // namespace kelv::xlsx
