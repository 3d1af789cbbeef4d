// load -> save -> load gives the same model, and what the model does not
// hold comes through a save unchanged.
//
// Compared as parsed XML (see canonical_xml): prefixes are resolved to their
// namespaces, namespace declarations, attribute order and whitespace between
// elements are ignored. What a save normalises on purpose:
//   - part names of modelled parts (sheets, drawings, media, styles, shared
//     strings) and relationship ids of modelled relationships are assigned anew;
//   - relationship targets are written relative to their source part;
//   - the calculation chain is dropped and calcPr asks for a full recalculation;
//   - shared formulas are written per cell; rich-text runs are joined;
//   - a second sheet using the same carried part (a copy) gets its own copy.
#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <set>

#include "host/environment.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "xlsx/package.h"
#include "xlsx/xlsx_format.h"
#include "xlsx_test_util.h"

namespace kelv::xlsx {
namespace {

using spreadsheet::Color;
using spreadsheet::Sheet;
using spreadsheet::Style;
using spreadsheet::Workbook;
using test::canonical_xml;
using test::data_file;

std::shared_ptr<const std::string> fake_image(char seed) {
  // Not a real picture; the writer stores image bytes as they are.
  return std::make_shared<const std::string>(std::string("\x89PNG\r\n\x1a\n", 8) +
                                             std::string(64, seed));
}

void put(Sheet& s, int32_t r, int32_t c, host::Variant v, uint32_t style = 0,
         const char* formula = nullptr) {
  if (s.rows.size() < static_cast<size_t>(r)) s.rows.resize(static_cast<size_t>(r));
  spreadsheet::Cell cell;
  cell.col = c;
  cell.style = style;
  cell.value = std::move(v);
  if (formula)
    cell.formula = std::make_shared<spreadsheet::Formula>(spreadsheet::Formula{formula, ""});
  auto& cells = s.rows[static_cast<size_t>(r - 1)].cells;
  cells.push_back(std::move(cell));
}

// A workbook using everything the model holds.
std::unique_ptr<Workbook> feature_book() {
  auto b = std::make_unique<Workbook>();
  Style base;
  base.font.name = "宋体";
  b->styles.assign({base});
  Style title = base;
  title.font.bold = true;
  title.font.size = 16;
  title.font.color = Color::theme(1, -0.25);
  title.fill.pattern = "solid";
  title.fill.fg = Color::indexed(13);
  title.fill.bg = Color::automatic();
  title.border.bottom = {"medium", Color::rgb(0xFF112233)};
  title.border.diagonal = {"thin", Color::automatic()};
  title.border.diagonal_up = true;
  title.alignment.horizontal = "centerContinuous";
  title.alignment.vertical = "center";
  title.alignment.wrap_text = true;
  title.alignment.text_rotation = 90;
  title.alignment.indent = 1;
  const uint32_t t = b->styles.intern(title);
  Style text = base;
  text.number_format = "@";
  text.protection.locked = false;
  const uint32_t at = b->styles.intern(text);
  Style date = base;
  date.number_format = "yyyy\"年\"m\"月\"d\"日\"";
  date.font.italic = true;
  date.font.underline = "double";
  date.font.vert_align = "superscript";
  const uint32_t d = b->styles.intern(date);
  Style money = base;
  money.number_format = "#,##0.00_ ;[红色]-#,##0.00 ";
  money.quote_prefix = true;
  const uint32_t m = b->styles.intern(money);

  auto s = std::make_unique<Sheet>();
  s->name = "考生表";
  s->tab_color = Color::rgb(0xFFFF0000);
  s->default_row_height = 13.5;
  s->default_column_width = 9.5;
  put(*s, 1, 1, "考号", t);
  put(*s, 1, 2, "  前后空格  ", at);
  put(*s, 1, 3, "换行\n第二行");
  put(*s, 1, 4, std::string("控制\x01字符_x0041_"));
  put(*s, 2, 1, 0.1);
  put(*s, 2, 2, 1e-310);  // subnormal
  put(*s, 2, 3, -0.0);
  put(*s, 2, 4, 123456789012345678.0, m);
  put(*s, 3, 1, true);
  put(*s, 3, 2, host::CellError::Div0);
  put(*s, 3, 3, 45000.5, d);
  put(*s, 3, 4, "", at);  // formatted empty
  put(*s, 4, 1, 3.0, 0, "SUM(A2:B2)+1");
  put(*s, 4, 2, "ab", 0, "\"a\"&\"b\"");
  put(*s, 4, 3, false, 0, "A3<>A3");
  put(*s, 4, 4, host::CellError::NA, 0, "NA()");
  put(*s, 5, 1, host::Variant(), 0, "COUNTIF(A:A,A1)");
  put(*s, 5, 2, 1.0, 0, nullptr);
  s->rows[4].cells[1].formula =
      std::make_shared<spreadsheet::Formula>(spreadsheet::Formula{"A1:A2*2", "B5:B6"});
  put(*s, 40, 16384, "最后一列");
  s->rows[1].height = 30;
  s->rows[1].custom_height = true;
  s->rows[2].hidden = true;
  s->rows[3].style = t;
  s->columns[1] = {12.625, false, true, std::nullopt, 0};
  s->columns[2] = {12.625, false, true, std::nullopt, 0};
  s->columns[3] = {-1, true, false, std::nullopt, 0};
  s->columns[5] = {20, false, true, at, 1};
  s->merges = {{1, 5, 2, 7}, {10, 1, 12, 1}};
  s->row_breaks = {11, 25};
  auto& ps = s->page_setup;
  ps.left_margin = 0.25;
  ps.right_margin = 0.3;
  ps.top_margin = 0.5;
  ps.bottom_margin = 0.6;
  ps.header_margin = 0.1;
  ps.footer_margin = 0.2;
  ps.paper_size = 8;
  ps.orientation = 2;
  ps.scale = 85;
  ps.horizontal_dpi = 300;
  ps.vertical_dpi = 200;
  ps.first_page_number = 3;
  ps.horizontal_centered = true;
  ps.vertical_centered = true;
  ps.header_footer.odd_header = "&C&\"宋体,加粗\"考场安排";
  ps.header_footer.odd_footer = "第 &P 页，共 &N 页";
  auto& v = s->view;
  v.active_row = 7;
  v.active_col = 3;
  v.selection = {{7, 3, 9, 4}, {1, 1, 1, 1}};
  v.top_row = 5;
  v.left_col = 2;
  v.split_rows = 1;
  v.split_cols = 2;
  v.frozen = true;
  v.zoom = 85;
  v.show_grid_lines = false;
  v.tab_selected = true;
  b->images.push_back({fake_image('a'), "png", 0, 0});
  b->images.push_back({fake_image('b'), "jpeg", 0, 0});
  s->pictures.push_back({0, 100.5, 20.25, 75, 100, true, "照片 1", "张三", 5});
  s->pictures.push_back({0, 400, 300, 48, 36, false, "照片 2", "", 6});
  s->pictures.push_back({1, 12, 0, 10, 10, true, "照片 3", "", 7});
  b->sheets.push_back(std::move(s));

  auto hidden = std::make_unique<Sheet>();
  hidden->name = "DTB";
  hidden->visibility = spreadsheet::Visibility::Hidden;
  put(*hidden, 1, 1, 1.0);
  hidden->page_setup.fit_to_page = true;
  hidden->page_setup.fit_to_width = 1;
  hidden->page_setup.fit_to_height = 0;
  b->sheets.push_back(std::move(hidden));
  auto very = std::make_unique<Sheet>();
  very->name = "MBB";
  very->visibility = spreadsheet::Visibility::VeryHidden;
  b->sheets.push_back(std::move(very));

  b->defined_names.push_back({"考生", "考生表!$A$1:$D$5", -1, false, ""});
  b->defined_names.push_back({"_xlnm.Print_Titles", "考生表!$1:$1", 0, false, ""});
  b->defined_names.push_back({"内部", "DTB!$A$1", 1, true, ""});
  b->active_sheet = 0;
  b->tab_ratio = 0.7;
  return b;
}

TEST(RoundTrip, EveryModelledItemComesBack) {
  test::TempFolder dir("xlsx");
  auto book = feature_book();
  write_workbook(*book, dir.file("features.xlsx"));
  auto back = read_workbook(dir.file("features.xlsx"));
  test::expect_same_book(*book, *back);
  // Identical images are stored once.
  EXPECT_EQ(back->images.size(), 2u);
  EXPECT_EQ(back->sheets[0]->pictures[0].image, back->sheets[0]->pictures[1].image);
  // The file asks for recalculation on opening.
  EXPECT_NE(
      test::read_part(dir.file("features.xlsx"), "xl/workbook.xml").find("fullCalcOnLoad=\"1\""),
      std::string::npos);
  // A workbook made from nothing opens in another reader too (its pictures
  // are not real images, so they are not counted there).
  EXPECT_TRUE(test::openpyxl_accepts(
      dir.file("features.xlsx"),
      "ws = wb['考生表']\n"
      "ok = ws['A1'].value == '考号' and ws['A1'].font.b and ws.freeze_panes == 'D6' and "
      "wb['MBB'].sheet_state == 'veryHidden'"));
}

TEST(RoundTrip, PicturesKeepTheirBoxOverHiddenAndResizedRows) {
  test::TempFolder dir("xlsx");
  auto book = feature_book();
  Sheet& s = *book->sheets[0];
  // A picture whose box starts inside a hidden row and spans custom sizes.
  s.pictures.push_back({1, 27.75, 250, 33.3, 70.2, true, "", "", 0});
  write_workbook(*book, dir.file("p.xlsx"));
  auto back = read_workbook(dir.file("p.xlsx"));
  const auto& p = back->sheets[0]->pictures.back();
  EXPECT_NEAR(p.top, 27.75 + 0, 1e-3);
  EXPECT_NEAR(p.left, 250, 1e-3);
  EXPECT_NEAR(p.width, 33.3, 1e-3);
  EXPECT_NEAR(p.height, 70.2, 1e-3);
}

class FileRoundTrip : public ::testing::TestWithParam<const char*> {};

// Unmodelled worksheet elements of a sheet part, canonical, in order.
std::vector<std::string> carried_elements(const std::string& sheet_xml) {
  static const std::set<std::string> modelled = {
      "sheetPr",      "dimension",  "sheetViews",   "sheetFormatPr", "cols",
      "sheetData",    "mergeCells", "printOptions", "pageMargins",   "pageSetup",
      "headerFooter", "rowBreaks",  "drawing"};
  pugi::xml_document doc;
  doc.load_buffer(sheet_xml.data(), sheet_xml.size());
  std::vector<std::string> out;
  pugi::xml_node root = doc.document_element();
  for (pugi::xml_node n : root.children()) {
    std::string local = n.name();
    if (local.find(':') != std::string::npos) local = local.substr(local.find(':') + 1);
    if (n.type() != pugi::node_element || modelled.count(local)) continue;
    // Canonical form with the root's declarations in scope.
    pugi::xml_document one;
    pugi::xml_node w = one.append_child("w");
    for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute()) {
      if (std::string(a.name()).rfind("xmlns", 0) == 0) w.append_attribute(a.name()) = a.value();
    }
    w.append_copy(n);
    std::ostringstream os;
    one.print(os, "", pugi::format_raw);
    // The element itself, without the wrapper carrying the declarations.
    std::string c = canonical_xml(os.str());
    c = c.substr(c.find('>') + 1);
    c.resize(c.size() - 3);
    out.push_back(c);
  }
  return out;
}

std::vector<std::string> part_names(const std::string& file) {
  std::vector<std::string> names;
  int err = 0;
  zip_t* z = zip_open(file.c_str(), ZIP_RDONLY, &err);
  for (zip_int64_t i = 0; z && i < zip_get_num_entries(z, 0); ++i)
    names.push_back(zip_get_name(z, i, 0));
  if (z) zip_discard(z);
  return names;
}

TEST_P(FileRoundTrip, LoadSaveLoadKeepsModelAndCarriedContent) {
  test::TempFolder dir("xlsx");
  const std::string source = data_file(GetParam());
  auto first = read_workbook(source);
  const std::string saved = dir.file(std::string("saved_") + GetParam());
  write_workbook(*first, saved);
  auto second = read_workbook(saved);
  test::expect_same_book(*first, *second);

  // Every carried part is in the saved package, byte for byte.
  for (const auto& part : first->passthrough.parts) {
    SCOPED_TRACE(part.path);
    ASSERT_TRUE(test::has_part(saved, part.path));
    EXPECT_EQ(test::read_part(saved, part.path), *part.data);
  }
  // Unmodelled worksheet elements read the same as parsed XML. The sheets
  // are found through the workbook relationships of each file.
  auto sheet_parts = [](const std::string& file) {
    std::vector<std::string> out;
    for (const std::string& n : part_names(file)) {
      if (n.rfind("xl/worksheets/sheet", 0) == 0 && n.find("_rels") == std::string::npos)
        out.push_back(n);
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  const auto before = sheet_parts(source);
  const auto after = sheet_parts(saved);
  ASSERT_EQ(before.size(), after.size());
  for (size_t i = 0; i < before.size(); ++i) {
    SCOPED_TRACE(before[i]);
    EXPECT_EQ(carried_elements(test::read_part(source, before[i])),
              carried_elements(test::read_part(saved, after[i])));
  }
  // Saving again changes nothing.
  const std::string again = dir.file(std::string("again_") + GetParam());
  write_workbook(*second, again);
  for (const std::string& n : part_names(saved)) {
    SCOPED_TRACE(n);
    EXPECT_EQ(test::read_part(saved, n), test::read_part(again, n));
  }
}

INSTANTIATE_TEST_SUITE_P(Files, FileRoundTrip,
                         ::testing::Values("openpyxl_features.xlsx", "libreoffice_features.xlsx",
                                           "chartsheet.xlsx", "prefixed.xlsx", "macro.xlsm"),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return n;
                         });

TEST(RoundTrip, MacrosAndTheirContentTypeAreKept) {
  test::TempFolder dir("xlsx");
  auto book = read_workbook(data_file("macro.xlsm"));
  EXPECT_TRUE(book->macro_enabled);
  write_workbook(*book, dir.file("m.xlsm"));
  const std::string types = test::read_part(dir.file("m.xlsm"), "[Content_Types].xml");
  EXPECT_NE(types.find("application/vnd.ms-excel.sheet.macroEnabled.main+xml"), std::string::npos);
  EXPECT_NE(types.find("application/vnd.ms-office.vbaProject"), std::string::npos);
  EXPECT_EQ(test::read_part(dir.file("m.xlsm"), "xl/vbaProject.bin"),
            test::read_part(data_file("macro.xlsm"), "xl/vbaProject.bin"));
  EXPECT_NE(
      test::read_part(dir.file("m.xlsm"), "xl/_rels/workbook.xml.rels").find("vbaProject.bin"),
      std::string::npos);
}

TEST(RoundTrip, CopiedSheetsGetTheirOwnCarriedParts) {
  test::TempFolder dir("xlsx");
  auto book = read_workbook(data_file("openpyxl_features.xlsx"));
  // What the engine does for Worksheet.Copy: the whole sheet, passthrough included.
  auto copy = std::make_unique<Sheet>(*book->sheets[0]);
  copy->name = "考生表 (2)";
  book->sheets.push_back(std::move(copy));
  write_workbook(*book, dir.file("copy.xlsx"));
  auto back = read_workbook(dir.file("copy.xlsx"));
  ASSERT_EQ(back->sheets.size(), 4u);
  const auto& a = back->sheets[0]->passthrough.relationships;
  const auto& b = back->sheets[3]->passthrough.relationships;
  ASSERT_EQ(a.size(), b.size());
  std::set<std::string> targets;
  for (const auto& r : a) targets.insert(r.target);
  for (const auto& r : b) EXPECT_FALSE(targets.count(r.target)) << r.target;
  EXPECT_EQ(back->sheets[3]->pictures.size(), 2u);
  EXPECT_TRUE(test::openpyxl_accepts(dir.file("copy.xlsx"),
                                     "ws = wb.worksheets[3]\n"
                                     "why = f'pictures: {len(ws._images)}'\n"
                                     "ok = ws['A2'].comment and len(ws._images) == 2"));
}

TEST(Save, ReplacesTheOldFileOnlyWhenComplete) {
  test::TempFolder dir("xlsx");
  const std::string path = dir.file("考务.xlsx");
  std::ofstream(host::file_path(path)) << "old";
  namespace fs = std::filesystem;
#ifndef _WIN32
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
  auto book = feature_book();
  write_workbook(*book, path);
  EXPECT_EQ(read_workbook(path)->sheets.size(), 3u);
#ifndef _WIN32
  // The file keeps its permissions.
  EXPECT_EQ(fs::status(path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
  // Saved again over itself, through the replacing rename.
  write_workbook(*book, path);
  EXPECT_EQ(read_workbook(path)->sheets.size(), 3u);
  // Nothing is left beside it.
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.file("")))
    files += e.is_regular_file();
  EXPECT_EQ(files, 1u);
}

TEST(Save, AFailureLeavesTheOldFileAndNamesIt) {
  test::TempFolder dir("xlsx");
  // A folder where the file should go is never replaced, nor emptied.
  const std::string path = dir.file("占用.xlsx");
  std::filesystem::create_directory(host::file_path(path));
  std::ofstream(host::file_path(path + "/keep")) << "x";
  try {
    write_workbook(*feature_book(), path);
    ADD_FAILURE();
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), 1004);
    EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
  }
  EXPECT_TRUE(std::filesystem::exists(host::file_path(path + "/keep")));
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.file("")))
    entries += 1 + 0 * e.is_regular_file();
  EXPECT_EQ(entries, 1u);  // no temporary file left behind
  try {
    write_workbook(*feature_book(), dir.file("无此文件夹/a.xlsx"));
    ADD_FAILURE();
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), 1004);
    EXPECT_NE(e.description().find(host::native_path("无此文件夹/a.xlsx")), std::string::npos);
  }
}

}  // namespace
}  // namespace kelv::xlsx

namespace kelv::xlsx {
namespace {

TEST(RoundTrip, ChartSheetsKeepTheirPlace) {
  test::TempFolder dir("xlsx");
  auto book = read_workbook(data_file("chartsheet.xlsx"));
  // The model holds the two worksheets; the chart sheet is carried.
  ASSERT_EQ(book->sheets.size(), 2u);
  EXPECT_EQ(book->sheets[1]->name, "汇总");
  EXPECT_EQ(book->active_sheet, 1);
  ASSERT_EQ(book->passthrough.other_sheets.size(), 1u);
  EXPECT_EQ(book->passthrough.other_sheets[0].position, 1);
  // openpyxl counts only worksheets for localSheetId, so its print area
  // reads as belonging to the chart sheet; it stays there.
  EXPECT_EQ(book->passthrough.other_sheets[0].defined_names.size(), 1u);
  // The engine adds a sheet at the end.
  auto added = std::make_unique<Sheet>();
  added->name = "Sheet1";
  book->sheets.push_back(std::move(added));
  const std::string out = dir.file("c.xlsx");
  write_workbook(*book, out);
  const std::string wb = test::read_part(out, "xl/workbook.xml");
  const size_t data = wb.find("数据"), chart = wb.find("图表"), sum = wb.find("汇总"),
               last = wb.find("Sheet1");
  ASSERT_NE(chart, std::string::npos);
  EXPECT_LT(data, chart);
  EXPECT_LT(chart, sum);
  EXPECT_LT(sum, last);
  EXPECT_NE(wb.find("activeTab=\"2\""), std::string::npos);
  EXPECT_NE(wb.find("localSheetId=\"1\""), std::string::npos);
  auto back = read_workbook(out);
  EXPECT_EQ(back->sheets.size(), 3u);
  EXPECT_EQ(back->active_sheet, 1);
  EXPECT_TRUE(test::openpyxl_accepts(
      out,
      "ok = wb.sheetnames == ['数据', '图表', '汇总', 'Sheet1'] and len(wb.chartsheets) == 1 "
      "and len(wb.chartsheets[0]._charts) == 1"));
}

}  // namespace
}  // namespace kelv::xlsx
