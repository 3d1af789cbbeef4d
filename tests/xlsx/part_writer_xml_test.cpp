// The exact XML each part writer emits for small inputs, one test per kind
// of element. The fragments are what a desktop spreadsheet application
// writes for the same content, less the optional hints it adds (spans on
// rows, zoomScaleNormal, its own extension namespaces and extLst blocks) and
// with these deliberate differences: an empty sheet's rows are written as
// <sheetData></sheetData>, page margins and setup only when the sheet has
// them, and calcPr asks for a full recalculation on opening. Round trips and
// other readers check that a file reads; these pin what it says.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <unordered_map>

#include "spreadsheet/geometry.h"
#include "spreadsheet/model.h"
#include "xlsx/drawing_part.h"
#include "xlsx/opc.h"
#include "xlsx/styles_part.h"
#include "xlsx/workbook_part.h"
#include "xlsx/worksheet_part.h"
#include "xlsx/xlsx_format.h"
#include "xlsx/xml_util.h"
#include "xlsx_test_util.h"

namespace kelv::xlsx {
namespace {

using spreadsheet::Cell;
using spreadsheet::Color;
using spreadsheet::Sheet;
using spreadsheet::Style;
using spreadsheet::Workbook;

const char* const kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

// The first <name> element of xml, start tag to end tag (or the empty-element
// tag); "" when there is none.
std::string element(std::string_view xml, std::string_view name) {
  const std::string open = "<" + std::string(name);
  size_t at = xml.find(open);
  while (at != std::string_view::npos && xml[at + open.size()] != ' ' &&
         xml[at + open.size()] != '>' && xml[at + open.size()] != '/')
    at = xml.find(open, at + 1);
  if (at == std::string_view::npos) return "";
  const size_t tag_end = xml.find('>', at);
  if (xml[tag_end - 1] == '/') return std::string(xml.substr(at, tag_end + 1 - at));
  const std::string close = "</" + std::string(name) + ">";
  const size_t end = xml.find(close, tag_end);
  return std::string(xml.substr(at, end + close.size() - at));
}

Cell cell(int32_t col, host::Variant v, uint32_t style = 0) {
  Cell c;
  c.col = col;
  c.value = std::move(v);
  c.style = style;
  return c;
}

std::string worksheet(const Sheet& s, size_t style_count = 1, const std::string& drawing = "") {
  SharedStrings strings;
  return write_worksheet(s, style_count, drawing, strings);
}

// --- worksheet ---------------------------------------------------------------------------

TEST(WorksheetXml, AnEmptySheetHasItsDimensionViewFormatAndNoRows) {
  const std::string xml = worksheet(Sheet());
  EXPECT_EQ(
      xml,
      std::string(kDeclaration) +
          R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
          R"(<dimension ref="A1"/><sheetViews><sheetView workbookViewId="0">)"
          R"(<selection activeCell="A1" sqref="A1"/></sheetView></sheetViews>)"
          R"(<sheetFormatPr defaultRowHeight="14.25"/><sheetData></sheetData></worksheet>)");
}

TEST(WorksheetXml, NumbersTextBooleansErrorsAndFormulasInACell) {
  Sheet s;
  s.rows.resize(1);
  auto& cells = s.rows[0].cells;
  cells.push_back(cell(1, 42.5));
  cells.push_back(cell(2, std::string("考场")));
  cells.push_back(cell(3, true));
  cells.push_back(cell(4, host::CellError::Div0));
  Cell f = cell(5, 85.0);
  f.formula = std::make_shared<spreadsheet::Formula>(spreadsheet::Formula{"SUM(A1,E2)", ""});
  cells.push_back(std::move(f));
  Cell t = cell(6, std::string("B"));
  t.formula = std::make_shared<spreadsheet::Formula>(spreadsheet::Formula{"\"B\"", ""});
  cells.push_back(std::move(t));
  cells.push_back(cell(7, host::Variant(), 0));
  EXPECT_EQ(element(worksheet(s), "sheetData"),
            R"(<sheetData><row r="1"><c r="A1"><v>42.5</v></c><c r="B1" t="s"><v>0</v></c>)"
            R"(<c r="C1" t="b"><v>1</v></c><c r="D1" t="e"><v>#DIV/0!</v></c><c r="E1">)"
            R"(<f>SUM(A1,E2)</f><v>85</v></c><c r="F1" t="str"><f>"B"</f><v>B</v></c>)"
            R"(<c r="G1"/></row></sheetData>)");
}

TEST(WorksheetXml, ARowWithItsHeightHiddenStyleAndOutline) {
  Sheet s;
  s.rows.resize(3);
  s.rows[0].height = 30;
  s.rows[0].custom_height = true;
  s.rows[1].hidden = true;
  s.rows[1].outline_level = 1;
  s.rows[2].style = 1;
  s.rows[2].cells.push_back(cell(2, 1.0, 1));
  EXPECT_EQ(element(worksheet(s, 2), "sheetData"),
            R"(<sheetData><row r="1" ht="30" customHeight="1"/>)"
            R"(<row r="2" hidden="1" outlineLevel="1"/><row r="3" s="1" customFormat="1">)"
            R"(<c r="B3" s="1"><v>1</v></c></row></sheetData>)");
}

TEST(WorksheetXml, ColumnsWithWidthsHiddenAndStyle) {
  Sheet s;
  s.columns[2].width = 12.625;
  s.columns[2].custom_width = true;
  s.columns[3].width = 12.625;
  s.columns[3].custom_width = true;
  s.columns[5].hidden = true;
  s.columns[6].style = 1;
  EXPECT_EQ(element(worksheet(s, 2), "cols"),
            R"(<cols><col min="2" max="3" width="12.625" customWidth="1"/>)"
            R"(<col min="5" max="5" width="9.140625" hidden="1"/>)"
            R"(<col min="6" max="6" width="9.140625" style="1"/></cols>)");
}

TEST(WorksheetXml, FrozenPanesAndASelectionInTheView) {
  Sheet s;
  s.view.frozen = true;
  s.view.split_rows = 1;
  s.view.split_cols = 2;
  s.view.active_row = 3;
  s.view.active_col = 4;
  s.view.selection = {host::Rect{3, 4, 3, 4}};
  s.view.tab_selected = true;
  EXPECT_EQ(
      element(worksheet(s), "sheetViews"),
      R"(<sheetViews><sheetView tabSelected="1" workbookViewId="0">)"
      R"(<pane xSplit="2" ySplit="1" topLeftCell="C2" activePane="bottomRight" state="frozen"/>)"
      R"(<selection pane="bottomRight" activeCell="D3" sqref="D3"/></sheetView>)"
      R"(</sheetViews>)");
}

TEST(WorksheetXml, ZoomAndGridLinesInTheView) {
  Sheet s;
  s.view.zoom = 85;
  s.view.show_grid_lines = false;
  EXPECT_EQ(element(worksheet(s), "sheetView"),
            R"(<sheetView showGridLines="0" zoomScale="85" workbookViewId="0">)"
            R"(<selection activeCell="A1" sqref="A1"/></sheetView>)");
}

TEST(WorksheetXml, TabColourAndFitToPageInSheetProperties) {
  Sheet s;
  s.tab_color = Color::rgb(0xFFFF0000);
  s.page_setup.fit_to_page = true;
  EXPECT_EQ(element(worksheet(s), "sheetPr"),
            R"(<sheetPr><tabColor rgb="FFFF0000"/><pageSetUpPr fitToPage="1"/></sheetPr>)");
}

TEST(WorksheetXml, MergedRanges) {
  Sheet s;
  s.merges = {host::Rect{1, 1, 1, 7}, host::Rect{2, 1, 3, 1}};
  EXPECT_EQ(element(worksheet(s), "mergeCells"),
            R"(<mergeCells count="2"><mergeCell ref="A1:G1"/><mergeCell ref="A2:A3"/>)"
            R"(</mergeCells>)");
}

TEST(WorksheetXml, PrintOptionsMarginsAndPageSetup) {
  Sheet s;
  auto& ps = s.page_setup;
  ps.horizontal_centered = true;
  ps.print_grid_lines = true;
  ps.given.margins = true;
  ps.left_margin = ps.right_margin = 0.25;
  ps.orientation = 2;
  ps.given.orientation = true;
  ps.paper_size = 9;
  ps.given.paper_size = true;
  ps.scale = 80;
  const std::string xml = worksheet(s);
  EXPECT_EQ(element(xml, "printOptions"),
            R"(<printOptions horizontalCentered="1" gridLines="1"/>)");
  EXPECT_EQ(
      element(xml, "pageMargins"),
      R"(<pageMargins left="0.25" right="0.25" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>)");
  EXPECT_EQ(element(xml, "pageSetup"),
            R"(<pageSetup paperSize="9" scale="80" orientation="landscape"/>)");
}

TEST(WorksheetXml, HeaderAndFooter) {
  Sheet s;
  s.page_setup.header_footer.odd_header = "&C考场安排";
  s.page_setup.header_footer.odd_footer = "&C第 &P 页，共 &N 页";
  EXPECT_EQ(element(worksheet(s), "headerFooter"),
            R"(<headerFooter><oddHeader>&amp;C考场安排</oddHeader>)"
            R"(<oddFooter>&amp;C第 &amp;P 页，共 &amp;N 页</oddFooter></headerFooter>)");
}

TEST(WorksheetXml, PageBreaksAboveRows) {
  Sheet s;
  s.row_breaks = {31, 61};
  EXPECT_EQ(element(worksheet(s), "rowBreaks"),
            R"(<rowBreaks count="2" manualBreakCount="2"><brk id="30" max="16383" man="1"/>)"
            R"(<brk id="60" max="16383" man="1"/></rowBreaks>)");
}

TEST(WorksheetXml, TheDrawingAndKeptElementsInTheirPlaces) {
  Sheet s;
  s.passthrough.elements.push_back(
      {static_cast<int32_t>(WorksheetElement::DataValidations),
       "<dataValidations count=\"1\"><dataValidation type=\"list\" sqref=\"A1\">"
       "<formula1>\"是,否\"</formula1></dataValidation></dataValidations>"});
  s.passthrough.elements.push_back(
      {static_cast<int32_t>(WorksheetElement::SheetProtection), "<sheetProtection sheet=\"1\"/>"});
  const std::string xml = worksheet(s, 1, "rId1");
  const size_t data = xml.find("<sheetData"), protection = xml.find("<sheetProtection");
  const size_t validations = xml.find("<dataValidations"), drawing = xml.find("<drawing");
  EXPECT_LT(data, protection);
  EXPECT_LT(protection, validations);
  EXPECT_LT(validations, drawing);
  EXPECT_EQ(element(xml, "drawing"), R"(<drawing r:id="rId1"/>)");
}

// --- shared strings ----------------------------------------------------------------------

TEST(SharedStringsXml, EachTextOnceWithItsUseCountedAndSpacesPreserved) {
  SharedStrings s;
  s.index("考号");
  s.index(" 姓名");
  s.index("考号");
  s.index("a&b<c>");
  EXPECT_EQ(
      s.xml(),
      std::string(kDeclaration) +
          R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="4" uniqueCount="3">)"
          R"(<si><t>考号</t></si><si><t xml:space="preserve"> 姓名</t></si><si>)"
          R"(<t>a&amp;b&lt;c&gt;</t></si></sst>)");
}

// A column repeating the text above it, a text met again after others, and
// enough distinct texts to grow the table several times: every use keeps the
// index its text first got, and every use is counted.
TEST(SharedStringsXml, RepeatedAndManyTextsKeepTheirFirstIndex) {
  Sheet sheet;
  const char* column[] = {"一考场", "一考场", "二考场", "一考场", "一考场", "二考场"};
  for (int32_t r = 0; r < 6; ++r) {
    sheet.rows.emplace_back();
    sheet.rows.back().cells.push_back(cell(1, column[r]));
    sheet.rows.back().cells.push_back(cell(2, "考生" + std::to_string(r % 4)));
  }
  SharedStrings strings;
  const std::string xml = write_worksheet(sheet, 1, "", strings);
  std::vector<std::string> indices;
  for (size_t at = xml.find("<v>"); at != std::string::npos; at = xml.find("<v>", at + 1))
    indices.push_back(xml.substr(at + 3, xml.find("</v>", at) - at - 3));
  EXPECT_EQ(indices,
            (std::vector<std::string>{"0", "1", "0", "2", "3", "4", "0", "5", "0", "1", "3", "2"}));
  EXPECT_EQ(strings.references(), 12u);
  EXPECT_EQ(strings.size(), 6u);

  for (int32_t i = 0; i < 5000; ++i)
    ASSERT_EQ(strings.index("第" + std::to_string(i) + "号"), static_cast<uint32_t>(6 + i));
  for (int32_t i = 4999; i >= 0; --i)
    ASSERT_EQ(strings.index("第" + std::to_string(i) + "号"), static_cast<uint32_t>(6 + i));
  EXPECT_EQ(strings.index("二考场"), 3u);
  EXPECT_EQ(strings.size(), 5006u);
}

// A sheet long enough for the table of texts to be made ready part way down,
// once with a new name on every row and once with names that stop being new
// after the first rows: each text still gets the index of its first use, and
// the part lists each once, in that order.
TEST(SharedStringsXml, ALongSheetsTextsKeepTheirFirstIndexOnceTheTableIsMadeReady) {
  for (const int32_t fresh_rows : {80000, 9000}) {
    Sheet sheet;
    std::vector<std::string> texts;
    for (int32_t r = 0; r < 80000; ++r) {
      sheet.rows.emplace_back();
      texts.push_back("考生" + std::to_string(r % fresh_rows));
      texts.push_back(r % 2 ? "男" : "女");
      sheet.rows.back().cells.push_back(cell(1, texts[texts.size() - 2]));
      sheet.rows.back().cells.push_back(cell(2, texts.back()));
    }
    SharedStrings strings;
    const std::string xml = write_worksheet(sheet, 1, "", strings);
    std::unordered_map<std::string, size_t> first;
    std::string expected_items;
    size_t at = 0;
    for (const std::string& t : texts) {
      const auto [it, added] = first.emplace(t, first.size());
      if (added) expected_items.append("<si><t>").append(t).append("</t></si>");
      at = xml.find("<v>", at) + 3;
      ASSERT_EQ(xml.substr(at, xml.find("</v>", at) - at), std::to_string(it->second)) << t;
    }
    EXPECT_EQ(strings.size(), first.size());
    const std::string sst = strings.xml();
    EXPECT_EQ(sst.substr(sst.find("<si>"), expected_items.size()), expected_items);
  }
}

// --- styles ------------------------------------------------------------------------------

Workbook styled_book(const Style& st) {
  Workbook b;
  b.styles.intern(st);
  return b;
}

TEST(StylesXml, TheDefaultTable) {
  EXPECT_EQ(write_styles(Workbook()),
            std::string(kDeclaration) +
                R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
                R"(<fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>)"
                R"(<fills count="2"><fill><patternFill patternType="none"/></fill><fill>)"
                R"(<patternFill patternType="gray125"/></fill></fills><borders count="1"><border>)"
                R"(<left/><right/><top/><bottom/><diagonal/></border></borders>)"
                R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/>)"
                R"(</cellStyleXfs><cellXfs count="1">)"
                R"(<xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>)"
                R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/>)"
                R"(</cellStyles></styleSheet>)");
}

TEST(StylesXml, ACustomNumberFormat) {
  Style st;
  st.number_format = "0.0_ ";
  const std::string xml = write_styles(styled_book(st));
  EXPECT_EQ(element(xml, "numFmts"),
            R"(<numFmts count="1"><numFmt numFmtId="164" formatCode="0.0_ "/></numFmts>)");
  EXPECT_EQ(
      element(xml, "cellXfs"),
      R"(<cellXfs count="2">)"
      R"(<xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
      R"(<xf numFmtId="164" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)"
      R"(</cellXfs>)");
}

TEST(StylesXml, ABoldColouredFont) {
  Style st;
  st.font.name = "宋体";
  st.font.size = 12;
  st.font.bold = true;
  st.font.color = Color::rgb(0xFF0000FF);
  st.font.charset = 134;
  EXPECT_EQ(element(write_styles(styled_book(st)), "fonts"),
            R"(<fonts count="2"><font><sz val="11"/><name val="Calibri"/></font><font><b/>)"
            R"(<sz val="12"/><color rgb="FF0000FF"/><name val="宋体"/><charset val="134"/></font>)"
            R"(</fonts>)");
}

TEST(StylesXml, ASolidFill) {
  Style st;
  st.fill.pattern = "solid";
  st.fill.fg = Color::theme(4, 0.7999816888943144);
  st.fill.bg = Color::indexed(64);
  EXPECT_EQ(element(write_styles(styled_book(st)), "fills"),
            R"(<fills count="3"><fill><patternFill patternType="none"/></fill><fill>)"
            R"(<patternFill patternType="gray125"/></fill><fill>)"
            R"(<patternFill patternType="solid"><fgColor theme="4" tint="0.7999816888943144"/>)"
            R"(<bgColor indexed="64"/></patternFill></fill></fills>)");
}

TEST(StylesXml, ThinBordersAllRound) {
  Style st;
  for (auto* side : {&st.border.left, &st.border.right, &st.border.top, &st.border.bottom}) {
    side->style = "thin";
    side->color = Color::indexed(64);
  }
  EXPECT_EQ(element(write_styles(styled_book(st)), "borders"),
            R"(<borders count="2"><border><left/><right/><top/><bottom/><diagonal/></border>)"
            R"(<border><left style="thin"><color indexed="64"/></left><right style="thin">)"
            R"(<color indexed="64"/></right><top style="thin"><color indexed="64"/></top>)"
            R"(<bottom style="thin"><color indexed="64"/></bottom><diagonal/></border>)"
            R"(</borders>)");
}

TEST(StylesXml, AlignmentAndProtectionOfAFormat) {
  Style st;
  st.alignment.horizontal = "center";
  st.alignment.vertical = "center";
  st.alignment.wrap_text = true;
  st.protection.locked = false;
  EXPECT_EQ(
      element(write_styles(styled_book(st)), "cellXfs"),
      R"(<cellXfs count="2">)"
      R"(<xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
      R"(<xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0" applyAlignment="1" applyProtection="1">)"
      R"(<alignment horizontal="center" vertical="center" wrapText="1"/>)"
      R"(<protection locked="0"/></xf></cellXfs>)");
}

// --- workbook ----------------------------------------------------------------------------

Workbook two_sheets() {
  Workbook b;
  for (const char* name : {"设置", "考生"}) {
    auto s = std::make_unique<Sheet>();
    s->name = name;
    b.sheets.push_back(std::move(s));
  }
  return b;
}

TEST(WorkbookXml, SheetsWithTheirStatesInOrder) {
  Workbook b = two_sheets();
  b.sheets[0]->visibility = spreadsheet::Visibility::Hidden;
  const std::string xml = write_workbook_part(b, {"rId1", "rId2"});
  EXPECT_EQ(element(xml, "sheets"),
            R"(<sheets><sheet name="设置" sheetId="1" state="hidden" r:id="rId1"/>)"
            R"(<sheet name="考生" sheetId="2" r:id="rId2"/></sheets>)");
}

TEST(WorkbookXml, TheBookViewWithTheActiveAndFirstTab) {
  Workbook b = two_sheets();
  b.active_sheet = 1;
  b.first_visible_tab = 1;
  EXPECT_EQ(element(write_workbook_part(b, {"rId1", "rId2"}), "bookViews"),
            R"(<bookViews><workbookView firstSheet="1" activeTab="1" tabRatio="600"/>)"
            R"(</bookViews>)");
}

TEST(WorkbookXml, GlobalAndSheetLocalDefinedNames) {
  Workbook b = two_sheets();
  b.defined_names.push_back({"考场数", "设置!$B$2", -1, false, ""});
  b.defined_names.push_back({"_xlnm.Print_Area", "考生!$A$1:$G$30", 1, false, ""});
  EXPECT_EQ(element(write_workbook_part(b, {"rId1", "rId2"}), "definedNames"),
            R"(<definedNames><definedName name="考场数">设置!$B$2</definedName>)"
            R"(<definedName name="_xlnm.Print_Area" localSheetId="1">考生!$A$1:$G$30</definedName>)"
            R"(</definedNames>)");
}

TEST(WorkbookXml, WholePartOfAOneSheetBook) {
  Workbook b;
  b.sheets.push_back(std::make_unique<Sheet>());
  b.sheets[0]->name = "Sheet1";
  EXPECT_EQ(
      write_workbook_part(b, {"rId1"}),
      std::string(kDeclaration) +
          R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
          R"(<workbookPr/><bookViews><workbookView tabRatio="600"/></bookViews><sheets>)"
          R"(<sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets>)"
          R"(<calcPr calcId="191029" fullCalcOnLoad="1"/></workbook>)");
}

// --- drawing -----------------------------------------------------------------------------

TEST(DrawingXml, APictureAnchoredBetweenTwoCells) {
  Sheet s;
  spreadsheet::PictureModel p;
  p.image = 0;
  p.top = 15;
  p.left = 54;
  p.width = 108;
  p.height = 45;
  p.name = "图片 1";
  p.id = 2;
  s.pictures.push_back(p);
  const DrawingOut d = write_drawing(s, 7, [](uint32_t) { return "xl/media/image1.png"; });
  EXPECT_EQ(
      d.xml,
      std::string(kDeclaration) +
          R"(<wsDr xmlns="http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing" xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
          R"(<twoCellAnchor editAs="oneCell"><from><col>1</col>)"
          R"(<colOff>76200</colOff><row>1</row><rowOff>9525</rowOff>)"
          R"(</from><to><col>3</col><colOff>228600</colOff>)"
          R"(<row>4</row><rowOff>38100</rowOff></to><pic>)"
          R"(<nvPicPr><cNvPr id="2" name="图片 1"/><cNvPicPr>)"
          R"(<a:picLocks noChangeAspect="1"/></cNvPicPr></nvPicPr><blipFill>)"
          R"(<a:blip r:embed="rId1"/><a:stretch><a:fillRect/></a:stretch></blipFill>)"
          R"(<spPr><a:prstGeom prst="rect"/></spPr></pic><clientData/></twoCellAnchor>)"
          R"(</wsDr>)");
  ASSERT_EQ(d.relationships.size(), 1u);
  EXPECT_EQ(
      write_relationships("xl/drawings/drawing1.xml", d.relationships),
      std::string(kDeclaration) +
          R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
          R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/image" Target="../media/image1.png"/>)"
          R"(</Relationships>)");
}

TEST(DrawingXml, AnchorsFarDownAreWrittenInPlainDigits) {
  // Below row 100,000 (seat labels for a hundred thousand examinees), where
  // the shortest form of a number would be 1e+05, which xsd:int is not.
  Sheet s;
  spreadsheet::PictureModel p;
  p.top = 14.25 * 100000;
  p.width = 10;
  p.height = 10;
  s.pictures.push_back(p);
  const DrawingOut d = write_drawing(s, 7, [](uint32_t) { return "xl/media/image1.png"; });
  EXPECT_NE(d.xml.find("<row>100000</row><rowOff>0</rowOff>"), std::string::npos) << d.xml;
  EXPECT_EQ(d.xml.find("e+"), std::string::npos);
}

// A drawing read from a file whose drawing is in the default namespace
// (openpyxl's, LibreOffice's charts) keeps its other anchors as written;
// the default namespace is declared once on the root, never twice, and the
// kept anchor still declares its own.
TEST(DrawingXml, KeptAnchorsOfADefaultNamespaceDrawingStayBesideThePictures) {
  Sheet s;
  const std::string ns = "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing";
  s.passthrough.drawing_namespaces =
      " xmlns=\"" + ns + "\" xmlns:x14=\"http://schemas.microsoft.com/office/drawing/2010/main\"";
  const std::string kept = "<absoluteAnchor xmlns=\"" + ns +
                           "\"><pos x=\"0\" y=\"0\"/><ext cx=\"0\" cy=\"0\"/><clientData/>"
                           "</absoluteAnchor>";
  s.passthrough.drawing_anchors.push_back(kept);
  spreadsheet::PictureModel p;
  p.width = 20;
  p.height = 10;
  p.description = "kelv-code:code128:2024000001";
  p.lock_aspect_ratio = false;
  s.pictures.push_back(p);
  const DrawingOut d = write_drawing(s, 7, [](uint32_t) { return "xl/media/image1.png"; });
  const std::string root = d.xml.substr(0, d.xml.find('>', d.xml.find("<wsDr")) + 1);
  EXPECT_EQ(root.find("xmlns=", root.find("xmlns=") + 1), std::string::npos) << root;
  EXPECT_NE(root.find("xmlns:x14="), std::string::npos) << root;
  EXPECT_NE(d.xml.find(kept), std::string::npos);
  // A picture whose aspect is free has no locks, and its description stays.
  EXPECT_NE(d.xml.find(R"(<cNvPr id="1" name="图片 1" descr="kelv-code:code128:2024000001"/>)"
                       R"(<cNvPicPr/></nvPicPr>)"),
            std::string::npos)
      << d.xml;
}

// Each corner of many pictures, met in any order over rows of many
// heights (hidden ones among them) and far apart, is anchored in the cell
// the sheet's edges put it in.
TEST(DrawingXml, EveryCornerIsAnchoredWhereTheSheetsEdgesPutIt) {
  Sheet s;
  s.rows.resize(3000);
  for (size_t r = 0; r < s.rows.size(); ++r) {
    s.rows[r].height = r % 7 == 3 ? 30 : -1;
    s.rows[r].hidden = r % 11 == 5;
  }
  s.columns[3].width = 30;
  std::mt19937 random(17);
  for (int k = 0; k < 400; ++k) {
    spreadsheet::PictureModel p;
    const bool jump = k % 50 == 0;
    const double near = s.pictures.empty() ? 0 : s.pictures.back().top;
    p.top = jump ? random() % 2000000 / 10.0 : std::max(0.0, near + random() % 600 / 10.0 - 20);
    p.left = random() % 8000 / 10.0;
    p.width = random() % 3000 / 10.0;
    p.height = k % 9 == 0 ? 0 : random() % 900 / 10.0;
    s.pictures.push_back(p);
  }
  const DrawingOut d = write_drawing(s, 7, [](uint32_t) { return "xl/media/image1.png"; });
  const spreadsheet::SheetEdges g(&s, 7);
  auto expected = [&](double x, double y) {
    int32_t col = 0, row = 0;
    double dx = 0, dy = 0;
    g.locate_column(x, &col, &dx);
    g.locate_row(y, &row, &dy);
    return "<col>" + std::to_string(col - 1) + "</col><colOff>" +
           std::to_string(std::llround(dx * 12700)) + "</colOff><row>" + std::to_string(row - 1) +
           "</row><rowOff>" + std::to_string(std::llround(dy * 12700)) + "</rowOff>";
  };
  size_t at = 0;
  for (const spreadsheet::PictureModel& p : s.pictures) {
    at = d.xml.find("<from>", at);
    ASSERT_NE(at, std::string::npos);
    const std::string from = "<from>" + expected(p.left, p.top) + "</from>";
    const std::string to = "<to>" + expected(p.left + p.width, p.top + p.height) + "</to>";
    EXPECT_EQ(d.xml.substr(at, from.size() + to.size()), from + to);
    at += from.size();
  }
}

// --- package -----------------------------------------------------------------------------

TEST(PackageXml, RelationshipsWithInternalAndExternalTargets) {
  const std::vector<spreadsheet::RawRelationship> rels = {
      {"rId1", std::string(kRelTypeBase) + "worksheet", "xl/worksheets/sheet1.xml", false},
      {"rId2", std::string(kRelTypeBase) + "hyperlink", "https://example.com/a?b=1&c=2", true}};
  EXPECT_EQ(
      write_relationships("xl/workbook.xml", rels),
      std::string(kDeclaration) +
          R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
          R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
          R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink" Target="https://example.com/a?b=1&amp;c=2" TargetMode="External"/>)"
          R"(</Relationships>)");
}

TEST(PackageXml, ContentTypesOfAOneSheetBookWithAPicture) {
  test::TempFolder dir("xlsx");
  Workbook b;
  b.sheets.push_back(std::make_unique<Sheet>());
  b.sheets[0]->name = "Sheet1";
  b.sheets[0]->rows.resize(1);
  b.sheets[0]->rows[0].cells.push_back(cell(1, std::string("a")));
  spreadsheet::Image img;
  img.bytes = std::make_shared<const std::string>("\x89PNG");
  img.extension = "png";
  b.images.push_back(img);
  spreadsheet::PictureModel p;
  p.width = p.height = 10;
  b.sheets[0]->pictures.push_back(p);
  const std::string path = dir.file("out.xlsx");
  write_workbook(b, path);
  EXPECT_EQ(
      test::read_part(path, "[Content_Types].xml"),
      std::string(kDeclaration) +
          R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
          R"(<Default Extension="png" ContentType="image/png"/>)"
          R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
          R"(<Default Extension="xml" ContentType="application/xml"/>)"
          R"(<Override PartName="/xl/drawings/drawing1.xml" ContentType="application/vnd.openxmlformats-officedocument.drawing+xml"/>)"
          R"(<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>)"
          R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
          R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
          R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
          R"(</Types>)");
  EXPECT_EQ(
      test::read_part(path, "_rels/.rels"),
      std::string(kDeclaration) +
          R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
          R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
          R"(</Relationships>)");
}

}  // namespace
}  // namespace kelv::xlsx
