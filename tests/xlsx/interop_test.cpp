// Workbooks written by other producers read as their producer wrote them,
// and workbooks kelv writes read back right in openpyxl.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "host/host_error.h"
#include "host/workbook.h"
#include "host/worksheet.h"
#include "spreadsheet/engine.h"
#include "spreadsheet/geometry.h"
#include "xlsx/xlsx_format.h"
#include "xlsx_test_util.h"

namespace kelv::xlsx {
namespace {

using spreadsheet::Color;
using spreadsheet::Sheet;
using spreadsheet::Visibility;
using spreadsheet::Workbook;
using test::data_file;

const spreadsheet::Cell* cell(const Sheet& s, int32_t r, int32_t c) {
  if (r < 1 || static_cast<size_t>(r) > s.rows.size()) return nullptr;
  for (const auto& x : s.rows[static_cast<size_t>(r - 1)].cells) {
    if (x.col == c) return &x;
  }
  return nullptr;
}

host::Variant value(const Sheet& s, int32_t r, int32_t c) {
  const auto* x = cell(s, r, c);
  return x ? x->value.variant() : host::Variant();
}

const spreadsheet::Style& style(const Workbook& b, const Sheet& s, int32_t r, int32_t c) {
  const auto* x = cell(s, r, c);
  return b.styles.get(x ? x->style : 0);
}

// What both producers must carry over from the same source workbook. The
// office suite's headless converter writes a very hidden sheet as hidden,
// substitutes the fonts it has and keeps no window panes; its anchors are
// rounded to its own units.
enum class Producer { Openpyxl, LibreOffice };

void expect_common_features(const Workbook& b, Producer producer) {
  const bool lo = producer == Producer::LibreOffice;
  ASSERT_EQ(b.sheets.size(), 3u);
  const Sheet& s = *b.sheets[0];
  EXPECT_EQ(s.name, "考生表");
  EXPECT_EQ(b.sheets[1]->visibility, Visibility::Hidden);
  EXPECT_EQ(b.sheets[2]->visibility, lo ? Visibility::Hidden : Visibility::VeryHidden);
  EXPECT_EQ(value(*b.sheets[2], 3, 2), host::Variant("模板"));

  EXPECT_EQ(value(s, 1, 1), host::Variant("姓名"));
  EXPECT_EQ(value(s, 2, 2), host::Variant(98.5));
  EXPECT_EQ(value(s, 2, 3), host::Variant(true));
  EXPECT_EQ(value(s, 3, 3), host::Variant(false));
  EXPECT_EQ(value(s, 3, 2), host::Variant(0.1));
  EXPECT_EQ(value(s, 6, 1), host::Variant(1e20));
  EXPECT_EQ(value(s, 7, 1), host::Variant(-1.5e-10));
  EXPECT_EQ(value(s, 5, 1), host::Variant("  "));
  ASSERT_NE(cell(s, 4, 2), nullptr);
  ASSERT_TRUE(cell(s, 4, 2)->formula);
  EXPECT_EQ(cell(s, 4, 2)->formula->text, "SUM(B2:B3)");

  const auto& a1 = style(b, s, 1, 1);
  EXPECT_EQ(a1.font.name, lo ? "Noto Sans CJK SC" : "宋体");
  EXPECT_EQ(a1.font.size, 14);
  EXPECT_TRUE(a1.font.bold);
  EXPECT_TRUE(a1.font.italic);
  EXPECT_EQ(a1.font.color, Color::rgb(0xFFFF0000));
  EXPECT_EQ(style(b, s, 1, 2).fill.pattern, "solid");
  EXPECT_EQ(style(b, s, 1, 2).fill.fg, Color::rgb(0xFFFFFF00));
  EXPECT_EQ(style(b, s, 1, 3).border.left.style, "thin");
  EXPECT_EQ(style(b, s, 1, 3).border.left.color, Color::rgb(0xFF0000FF));
  EXPECT_EQ(style(b, s, 1, 3).border.bottom.style, "double");
  EXPECT_EQ(style(b, s, 2, 2).number_format, "0.00");
  EXPECT_EQ(style(b, s, 3, 2).number_format, "0%");
  EXPECT_EQ(style(b, s, 2, 1).alignment.horizontal, "center");
  EXPECT_EQ(style(b, s, 2, 1).alignment.vertical, "top");
  EXPECT_TRUE(style(b, s, 2, 1).alignment.wrap_text);
  EXPECT_FALSE(style(b, s, 3, 1).protection.locked);
  EXPECT_TRUE(style(b, s, 3, 1).protection.hidden);
  EXPECT_EQ(style(b, s, 2, 3).font.underline, "single");

  EXPECT_EQ(s.merges, (std::vector<host::Rect>{{1, 4, 2, 5}}));
  EXPECT_NEAR(s.columns.at(1).width, 20, 0.75);
  EXPECT_TRUE(s.columns.at(6).hidden);
  EXPECT_EQ(s.rows[1].height, 30);
  EXPECT_TRUE(s.rows[7].hidden);
  EXPECT_EQ(s.view.frozen, !lo);
  EXPECT_EQ(s.view.split_rows, lo ? 0 : 1);
  EXPECT_EQ(s.view.split_cols, lo ? 0 : 1);
  EXPECT_EQ(s.tab_color, Color::rgb(0xFF00FF00));

  const auto& ps = s.page_setup;
  EXPECT_EQ(ps.orientation, 2);
  EXPECT_EQ(ps.paper_size, 9);
  EXPECT_EQ(ps.scale, 80);
  EXPECT_EQ(ps.left_margin, 0.5);
  EXPECT_EQ(ps.top_margin, 1.0);
  EXPECT_TRUE(ps.horizontal_centered);
  EXPECT_NE(ps.header_footer.odd_footer.find("&P"), std::string::npos);
  EXPECT_NE(ps.header_footer.odd_footer.find("第"), std::string::npos);
  EXPECT_EQ(s.row_breaks, (std::set<int32_t>{11, 21}));
  EXPECT_TRUE(b.sheets[1]->page_setup.fit_to_page);
  EXPECT_EQ(b.sheets[1]->page_setup.fit_to_height, 0);

  // Two pictures of the same image, 64 x 48 px = 48 x 36 pt, at B10 and D12.
  ASSERT_EQ(s.pictures.size(), 2u);
  ASSERT_EQ(b.images.size(), 1u);
  EXPECT_EQ(s.pictures[0].image, s.pictures[1].image);
  EXPECT_EQ(b.images[0].width_px, 64);
  EXPECT_EQ(b.images[0].height_px, 48);
  const auto& p = s.pictures[0];
  EXPECT_NEAR(p.width, 48, lo ? 0.1 : 0.01);
  EXPECT_NEAR(p.height, 36, lo ? 0.1 : 0.01);

  ASSERT_FALSE(b.defined_names.empty());
  EXPECT_EQ(b.defined_names[0].name, "考生");
  EXPECT_EQ(b.defined_names[0].value, "考生表!$A$1:$C$3");
}

TEST(Interop, ReadsWhatOpenpyxlWrote) {
  auto b = read_workbook(data_file("openpyxl_features.xlsx"));
  expect_common_features(*b, Producer::Openpyxl);
  const Sheet& s = *b->sheets[0];
  EXPECT_EQ(s.page_setup.horizontal_dpi, 300);
  // openpyxl anchors one-cell: B10 is column 2, row 10.
  const auto& p = s.pictures[0];
  EXPECT_NEAR(p.left, spreadsheet::column_width_points(s.columns.at(1).width, b->max_digit_width),
              1e-6);
  double top = 0;
  for (int r = 1; r < 10; ++r) {
    const auto& row = s.rows.size() >= static_cast<size_t>(r) ? s.rows[r - 1] : spreadsheet::Row{};
    top += row.hidden ? 0 : row.height >= 0 ? row.height : s.default_row_height;
  }
  EXPECT_NEAR(p.top, top, 1e-6);
  EXPECT_NE(style(*b, s, 5, 5).fill.gradient_xml.find("gradientFill"), std::string::npos);
  // Conditional formats, data validation and the comment are carried.
  bool cf = false, dv = false, legacy = false;
  for (const auto& e : s.passthrough.elements) {
    cf |= e.xml.find("conditionalFormatting") != std::string::npos;
    dv |= e.xml.find("dataValidations") != std::string::npos;
    legacy |= e.xml.find("legacyDrawing") != std::string::npos;
  }
  EXPECT_TRUE(cf);
  EXPECT_TRUE(dv);
  EXPECT_TRUE(legacy);
}

TEST(Interop, ReadsWhatLibreOfficeWrote) {
  auto b = read_workbook(data_file("libreoffice_features.xlsx"));
  expect_common_features(*b, Producer::LibreOffice);
}

TEST(Interop, ReadsPrefixedNamespacesSharedFormulasAndRichText) {
  auto b = read_workbook(data_file("prefixed.xlsx"));
  ASSERT_EQ(b->sheets.size(), 1u);
  const Sheet& s = *b->sheets[0];
  EXPECT_EQ(s.name, "数据");
  EXPECT_EQ(value(s, 1, 1), host::Variant("考号"));
  EXPECT_EQ(value(s, 1, 2), host::Variant("王 五"));  // runs joined, phonetic run skipped
  EXPECT_EQ(value(s, 1, 3), host::Variant("   "));
  EXPECT_EQ(value(s, 1, 4), host::Variant(" "));
  EXPECT_EQ(value(s, 2, 3), host::Variant("甲乙"));
  EXPECT_EQ(value(s, 2, 4), host::Variant(host::CellError::NA));
  EXPECT_EQ(value(s, 3, 4), host::Variant(true));
  EXPECT_EQ(value(s, 3, 3), host::Variant("ab"));
  EXPECT_EQ(cell(s, 3, 3)->formula->text, "\"a\"&\"b\"");
  EXPECT_EQ(value(s, 6, 2), host::Variant(1e20));
  ASSERT_TRUE(cell(s, 4, 2)->formula);
  EXPECT_EQ(cell(s, 2, 2)->formula->text, "A2*2+$A$1");
  EXPECT_EQ(cell(s, 3, 2)->formula->text, "A3*2+$A$1");
  EXPECT_EQ(cell(s, 4, 2)->formula->text, "A4*2+$A$1");
  EXPECT_EQ(value(s, 4, 2), host::Variant(5.0));

  const auto& a2 = style(*b, s, 2, 1);
  EXPECT_EQ(a2.number_format, "0.000");
  EXPECT_EQ(a2.font.name, "黑体");
  EXPECT_TRUE(a2.font.bold);
  EXPECT_EQ(a2.font.color.kind, Color::Kind::Theme);
  EXPECT_EQ(a2.font.color.value, 1u);
  EXPECT_DOUBLE_EQ(a2.font.color.tint, -0.249977111117893);
  EXPECT_EQ(style(*b, s, 4, 1).number_format, "@");
  EXPECT_EQ(b->styles.get(0).font.name, "宋体");
  EXPECT_EQ(b->max_digit_width, 7);

  EXPECT_EQ(s.tab_color, Color::theme(4, 0.39997558519241921));
  EXPECT_EQ(s.default_row_height, 13.5);
  EXPECT_EQ(s.columns.at(1).width, 12.625);
  EXPECT_EQ(s.columns.at(2).width, 12.625);
  EXPECT_EQ(s.rows[0].height, 20.25);
  EXPECT_EQ(s.view.top_row, 2);
  EXPECT_EQ(s.view.active_row, 4);
  EXPECT_EQ(s.view.active_col, 3);
  EXPECT_EQ(s.view.selection, (std::vector<host::Rect>{{4, 3, 5, 4}, {1, 1, 1, 1}}));
  EXPECT_EQ(s.page_setup.header_footer.odd_header, "&C考场");
  EXPECT_EQ(s.row_breaks, (std::set<int32_t>{4}));
  EXPECT_EQ(b->tab_ratio, 0.75);
  EXPECT_NE(s.passthrough.sheet_view_attributes.find("pageBreakPreview"), std::string::npos);
  EXPECT_NE(s.passthrough.sheet_pr_attributes.find("codeName"), std::string::npos);
}

// Runs the read-back script on a file kelv wrote.
TEST(Interop, OpenpyxlReadsWhatKelvWrote) {
  test::TempFolder dir("xlsx");
  auto b = read_workbook(data_file("openpyxl_features.xlsx"));
  const std::string out = dir.file("kelv.xlsx");
  write_workbook(*b, out);
  const std::string script = std::string(KELV_TEST_DATA) + "/xlsx/check_openpyxl.py";
  EXPECT_TRUE(test::python_script_passes(script, {out}));
}

// A workbook another program wrote: a load and save adds no page setup to
// the sheets that had none, and a sheet that had one keeps it exactly.
TEST(Interop, ALoadAndSaveAddsNoPageSetup) {
#ifdef _WIN32
  GTEST_SKIP() << "the workbook is made by openpyxl, which Wine can not start";
#endif
  test::TempFolder dir("xlsx");
  const std::string made = dir.file("openpyxl.xlsx"), saved = dir.file("kelv.xlsx");
  const std::string maker = dir.file("make.py"), checker = dir.file("check.py");
  std::ofstream(maker) << R"(import sys, openpyxl
wb = openpyxl.Workbook()
wb.active.title = '开始'
wb.active['A1'] = '考务'
wb.create_sheet('DTB')['E1'] = '模板'
ws = wb.create_sheet('门贴')
ws.page_setup.orientation = 'landscape'
ws.page_setup.paperSize = 11
ws.page_setup.fitToHeight = 0
ws.page_margins.left = 0.3
ws.print_options.horizontalCentered = True
wb.create_sheet('Letter').page_setup.orientation = 'landscape'
wb.save(sys.argv[1])
)";
  std::ofstream(checker) << R"(import sys, openpyxl
before, after = openpyxl.load_workbook(sys.argv[1]), openpyxl.load_workbook(sys.argv[2])
problems = []
for name in before.sheetnames:
    a, b = before[name], after[name]
    for what in ('page_setup', 'page_margins', 'print_options'):
        if dict(getattr(a, what)) != dict(getattr(b, what)):
            problems.append(f'{name} {what}: {dict(getattr(a, what))} -> {dict(getattr(b, what))}')
for name in ('开始', 'DTB'):
    ps = after[name].page_setup
    if ps.paperSize is not None or ps.scale is not None:
        problems.append(f'{name}: paperSize {ps.paperSize}, scale {ps.scale}')
print('\n'.join(problems))
sys.exit(1 if problems else 0)
)";
  ASSERT_TRUE(test::python_script_passes(maker, {made}));
  // A page setup naming no paper is on Letter, the format's default.
  EXPECT_EQ(read_workbook(made)->sheets[3]->page_setup.paper_size, 1);
  write_workbook(*read_workbook(made), saved);
  EXPECT_TRUE(test::python_script_passes(checker, {made, saved}));
  // What the component sets is written, even where it is the default.
  spreadsheet::Engine engine(std::make_shared<XlsxFormat>());
  host::Workbook& book = engine.open_host_workbook(saved);
  book.sheet("DTB").page_setup().set(host::PageSetupProperty::PaperSize, 9);
  // A sheet given only an orientation keeps its A4 paper in the file: a
  // page setup without a paper size would read back as Letter.
  book.sheet("开始").page_setup().set(host::PageSetupProperty::Orientation, 2);
  book.save();
  const std::string dtb = test::read_part(saved, "xl/worksheets/sheet2.xml");
  EXPECT_NE(dtb.find("paperSize=\"9\""), std::string::npos) << dtb;
  EXPECT_EQ(dtb.find("scale="), std::string::npos) << dtb;
  const auto again = read_workbook(saved);
  EXPECT_EQ(again->sheets[0]->page_setup.paper_size, 9);
  EXPECT_EQ(again->sheets[3]->page_setup.paper_size, 1);
}

}  // namespace
}  // namespace kelv::xlsx
