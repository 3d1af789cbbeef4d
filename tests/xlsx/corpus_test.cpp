// Hand-made files of what real-world workbooks do (tests/data/xlsx/corpus,
// made by make_corpus.py): each is read, saved and read back, by kelv and by
// openpyxl, and nothing it held is lost or changed on the way.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/workbook.h"
#include "host/worksheet.h"
#include "spreadsheet/engine.h"
#include "xlsx/xlsx_format.h"
#include "xlsx_test_util.h"

namespace kelv::xlsx {
namespace {

using spreadsheet::Sheet;
using spreadsheet::Workbook;

std::string corpus(const std::string& name) {
  return test::data_file("corpus/" + name);
}

const spreadsheet::Cell* cell(const Sheet& s, int32_t r, int32_t c) {
  if (r < 1 || static_cast<size_t>(r) > s.rows.size()) return nullptr;
  for (const auto& x : s.rows[static_cast<size_t>(r - 1)].cells)
    if (x.col == c) return &x;
  return nullptr;
}

host::Variant value(const Sheet& s, int32_t r, int32_t c) {
  const auto* x = cell(s, r, c);
  return x ? x->value.variant() : host::Variant();
}

// Reads the file, checks it, saves it, reads that back and checks it again;
// the second read needs no repairs. Returns the saved file.
template <typename Check>
std::string round_trip(const test::TempFolder& dir, const std::string& name, Check check) {
  auto book = read_workbook(corpus(name));
  check(*book);
  const std::string saved = dir.file(name);
  write_workbook(*book, saved);
  auto back = read_workbook(saved);
  check(*back);
  EXPECT_TRUE(back->repairs.empty()) << back->repairs.front();
  return saved;
}

TEST(Corpus, ThePreReleaseNamespaceReadsLikeTheFinalOne) {
  test::TempFolder dir("xlsx");
  const std::string saved = round_trip(dir, "beta-namespace.xlsx", [](const Workbook& b) {
    const Sheet& s = *b.sheets[0];
    EXPECT_EQ(value(s, 1, 1), host::Variant("姓名"));
    EXPECT_EQ(value(s, 2, 1), host::Variant("张三"));
    EXPECT_EQ(value(s, 2, 2), host::Variant(3.5));
    ASSERT_NE(cell(s, 2, 2), nullptr);
    EXPECT_TRUE(b.styles.get(cell(s, 2, 2)->style).font.bold);
  });
  EXPECT_TRUE(test::openpyxl_accepts(
      saved,
      "ws = wb['考生']\n"
      "ok = ws['A1'].value == '姓名' and ws['A2'].value == '张三' and ws['B2'].font.b"));
}

TEST(Corpus, EmptyInlineStringsStayBlank) {
  test::TempFolder dir("xlsx");
  const std::string saved = round_trip(dir, "empty-inline.xlsx", [](const Workbook& b) {
    const Sheet& s = *b.sheets[0];
    EXPECT_TRUE(value(s, 1, 2).is_empty());
    EXPECT_TRUE(value(s, 2, 1).is_empty());
    EXPECT_EQ(value(s, 2, 2), host::Variant(""));  // a string that is there, but empty
    EXPECT_EQ(value(s, 1, 3), host::Variant("姓名"));
  });
  EXPECT_TRUE(test::openpyxl_accepts(
      saved,
      "ws = wb.active\n"
      "ok = ws['B1'].value is None and ws['A2'].value is None and ws['C1'].value == '姓名'"));
}

TEST(Corpus, TheActiveChartSheetStaysActiveUntilAWorksheetIsActivated) {
  test::TempFolder dir("xlsx");
  const std::string saved = round_trip(dir, "active-chart.xlsx", [](const Workbook& b) {
    ASSERT_EQ(b.passthrough.other_sheets.size(), 1u);
    EXPECT_TRUE(b.passthrough.other_sheets[0].active);
  });
  EXPECT_TRUE(test::openpyxl_accepts(saved, "why = wb.active.title\nok = why == '图表'"));

  spreadsheet::Engine engine(std::make_shared<XlsxFormat>());
  host::Workbook& book = engine.open_host_workbook(saved);
  book.sheet("汇总").activate();
  book.save();
  EXPECT_TRUE(test::openpyxl_accepts(saved, "why = wb.active.title\nok = why == '汇总'"));
}

TEST(Corpus, SplitPanesAndTheScrolledPaneOfFrozenOnesAreKept) {
  test::TempFolder dir("xlsx");
  const std::string saved = round_trip(dir, "panes.xlsx", [](const Workbook& b) {
    const auto& split = *b.sheets[0];
    EXPECT_FALSE(split.view.frozen);
    EXPECT_NE(split.passthrough.split_pane_attributes.find("xSplit=\"2400\""), std::string::npos);
    const auto& frozen = b.sheets[1]->view;
    EXPECT_TRUE(frozen.frozen);
    EXPECT_EQ(frozen.split_rows, 2);
    EXPECT_EQ(frozen.pane_top_row, 40);
    EXPECT_EQ(frozen.pane_left_col, 3);
  });
  EXPECT_TRUE(test::openpyxl_accepts(
      saved,
      "s, f = wb['拆分'].sheet_view.pane, wb['冻结'].sheet_view.pane\n"
      "why = f'{s.xSplit} {s.ySplit} {s.topLeftCell} {s.state} / {f.topLeftCell} {f.state}'\n"
      "ok = (s.xSplit, s.ySplit, s.topLeftCell, s.state) == (2400, 1800, 'D8', 'split') and "
      "(f.xSplit, f.ySplit, f.topLeftCell, f.state) == (1, 2, 'C40', 'frozen') and "
      "wb['拆分'].sheet_view.selection[0].pane == 'bottomRight'"));

  // Freezing through the window replaces the split; its scrolled pane starts
  // past the new split.
  spreadsheet::Engine engine(std::make_shared<XlsxFormat>());
  host::Workbook& book = engine.open_host_workbook(saved);
  book.sheet("冻结").activate();
  book.window().set_freeze_panes(false);
  book.window().set_split_row(3);
  book.window().set_freeze_panes(true);
  book.save();
  EXPECT_TRUE(test::openpyxl_accepts(saved, "why = wb['冻结'].freeze_panes\nok = why == 'A4'"));
}

TEST(Corpus, ARowTallerThanAnApplicationAllowsKeepsItsHeight) {
  test::TempFolder dir("xlsx");
  const std::string saved = round_trip(
      dir, "tall-row.xlsx", [](const Workbook& b) { EXPECT_EQ(b.sheets[0]->rows[1].height, 500); });
  EXPECT_TRUE(
      test::openpyxl_accepts(saved, "why = wb.active.row_dimensions[2].height\nok = why == 500"));
}

TEST(Corpus, DamagedFilesOpenWithEveryRepairListed) {
  test::TempFolder dir("xlsx");
  auto damaged = read_workbook(corpus("damaged.xlsx"));
  ASSERT_EQ(damaged->repairs.size(), 2u);
  EXPECT_EQ(damaged->repairs[0],
            "工作表“损坏”：2 个单元格的共享字符串索引超出范围（第一个是 B1），已作为空单元格读入");
  EXPECT_EQ(damaged->repairs[1], "工作表“损坏”：1 处行号为 0 或负数，已按上一行的下一行读入");
  const Sheet& s = *damaged->sheets[0];
  EXPECT_EQ(value(s, 1, 1), host::Variant("考号"));
  EXPECT_TRUE(value(s, 1, 2).is_empty());
  EXPECT_EQ(value(s, 2, 1), host::Variant(5.0));  // the row numbered 0
  EXPECT_EQ(value(s, 2, 2), host::Variant(6.0));
  EXPECT_EQ(value(s, 4, 2), host::Variant(8.0));
  write_workbook(*damaged, dir.file("damaged.xlsx"));
  EXPECT_TRUE(read_workbook(dir.file("damaged.xlsx"))->repairs.empty());
  EXPECT_TRUE(test::openpyxl_accepts(
      dir.file("damaged.xlsx"),
      "ws = wb.active\nok = ws['A1'].value == '考号' and ws['B1'].value is None and "
      "ws['A2'].value == 5 and ws['B4'].value == 8"));

  // Numbers no cell can hold read as the error they are saved as.
  auto not_finite = read_workbook(corpus("not-finite.xlsx"));
  ASSERT_EQ(not_finite->repairs.size(), 1u);
  EXPECT_EQ(not_finite->repairs[0],
            "工作表“数值”：3 个单元格的数值不是有限数（第一个是 A1），已作为错误值 #NUM! 读入");
  const Sheet& n = *not_finite->sheets[0];
  EXPECT_EQ(value(n, 1, 1), host::Variant(host::CellError::Num));
  EXPECT_EQ(value(n, 1, 2), host::Variant(host::CellError::Num));
  EXPECT_EQ(value(n, 1, 3), host::Variant(3.5));
  EXPECT_EQ(value(n, 2, 1), host::Variant(host::CellError::Num));
  write_workbook(*not_finite, dir.file("not-finite.xlsx"));
  EXPECT_TRUE(read_workbook(dir.file("not-finite.xlsx"))->repairs.empty());
  EXPECT_TRUE(test::openpyxl_accepts(dir.file("not-finite.xlsx"),
                                     "ws = wb.active\nok = ws['A1'].value == '#NUM!' and "
                                     "ws['C1'].value == 3.5"));

  auto rels = read_workbook(corpus("broken-rels.xlsx"));
  ASSERT_EQ(rels->repairs.size(), 1u);
  EXPECT_EQ(rels->repairs[0],
            "包关系部件 _rels/.rels 损坏，已从标准位置 xl/workbook.xml 读入工作簿");
  write_workbook(*rels, dir.file("rels.xlsx"));
  EXPECT_TRUE(read_workbook(dir.file("rels.xlsx"))->repairs.empty());
  // The document properties keep their link.
  EXPECT_NE(test::read_part(dir.file("rels.xlsx"), "_rels/.rels").find("docProps/core.xml"),
            std::string::npos);
  EXPECT_TRUE(test::openpyxl_accepts(
      dir.file("rels.xlsx"),
      "ok = wb.active['A1'].value == 1 and wb.properties.creator == '教务处'"));
}

}  // namespace
}  // namespace kelv::xlsx
