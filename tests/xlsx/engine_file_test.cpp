// The engine's own sheet operations on a workbook read from a file, saved
// and read again: copies carry their unmodelled parts, added sheets and
// inserted pictures make a valid package.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>

#include "host/file_path.h"
#include "host/picture.h"
#include "host/workbook.h"
#include "host/worksheet.h"
#include "spreadsheet/engine.h"
#include "xlsx/opc.h"
#include "xlsx/package.h"
#include "xlsx/xlsx_format.h"
#include "xlsx_test_util.h"

namespace kelv::xlsx {
namespace {

TEST(EngineFiles, CopiedAddedAndPicturedSheetsSaveAndReadBack) {
  test::TempFolder dir("xlsx");
  const std::string path = dir.file("考务.xlsx");
  std::filesystem::copy_file(test::data_file("openpyxl_features.xlsx"), host::file_path(path));
  const std::string png = dir.file("photo.png");
  std::ofstream(png, std::ios::binary) << test::read_part(path, "xl/media/image1.png");

  spreadsheet::Engine engine(std::make_shared<XlsxFormat>());
  host::Workbook& book = engine.open_host_workbook(path);
  host::Worksheet& first = book.sheet("考生表");
  first.copy_after(first);
  host::Worksheet& added = book.add_sheet_after(book.sheet_at(book.sheet_count() - 1));
  added.set_value(host::Rect::cell(1, 1), host::Variant("新表"));
  added.activate();
  host::Picture& p = added.insert_picture(png);
  p.set_top(30);
  p.set_left(40);
  book.save();

  auto back = read_workbook(path);
  ASSERT_EQ(back->sheets.size(), 5u);
  const auto& original = *back->sheets[0];
  const auto& copy = *back->sheets[1];
  EXPECT_EQ(copy.name, "考生表 (2)");
  EXPECT_EQ(copy.pictures.size(), 2u);
  EXPECT_EQ(copy.merges, original.merges);
  EXPECT_EQ(copy.passthrough.elements.size(), original.passthrough.elements.size());
  std::set<std::string> targets;
  for (const auto& r : original.passthrough.relationships) targets.insert(r.target);
  for (const auto& r : copy.passthrough.relationships)
    EXPECT_FALSE(targets.count(r.target)) << r.target;
  const auto& last = *back->sheets[4];
  ASSERT_EQ(last.pictures.size(), 1u);
  EXPECT_NEAR(last.pictures[0].top, 30, 1e-3);
  EXPECT_NEAR(last.pictures[0].left, 40, 1e-3);
  // One image for the original, the copy and the inserted picture.
  EXPECT_EQ(back->images.size(), 1u);
  EXPECT_EQ(back->sheets[static_cast<size_t>(back->active_sheet)]->name, last.name);

  EXPECT_TRUE(test::openpyxl_accepts(
      path,
      "ws = wb.worksheets[1]\n"
      "why = f'pictures: {len(wb.worksheets[4]._images)}'\n"
      "ok = ws['A2'].comment and ws['A2'].comment.text == '备注' and "
      "len(ws.data_validations.dataValidation) == 1 and len(wb.worksheets[4]._images) == 1"));
}

TEST(EngineFiles, ASheetCopiedIntoAnotherWorkbookLeavesNoDanglingReferences) {
  // The sheet has a comment (a carried part), a conditional format (a
  // differential format of its own workbook) and pictures.
  test::TempFolder dir("xlsx");
  spreadsheet::Engine engine(std::make_shared<XlsxFormat>());
  const std::string source = dir.file("源.xlsx");
  std::filesystem::copy_file(test::data_file("openpyxl_features.xlsx"), host::file_path(source));
  host::Workbook& from = engine.open_host_workbook(source);
  const std::string path = dir.file("新.xlsx");
  host::Workbook& to = engine.add_workbook(path);
  from.sheet("考生表").copy_after(to.sheet_at(0));
  to.save();

  auto back = read_workbook(path);
  ASSERT_EQ(back->sheets.size(), 2u);
  EXPECT_EQ(back->sheets[1]->pictures.size(), 2u);
  EXPECT_EQ(back->sheets[1]->merges, read_workbook(source)->sheets[0]->merges);
  PackageReader pkg(path);
  for (const std::string& part : pkg.parts()) {
    const std::string suffix = ".rels";
    if (part.size() < suffix.size() || part.substr(part.size() - suffix.size()) != suffix) continue;
    // "x/_rels/y.xml.rels" describes "x/y.xml".
    const size_t slash = part.rfind("_rels/");
    const std::string source_part =
        part.substr(0, slash) + part.substr(slash + 6, part.size() - slash - 6 - suffix.size());
    for (const auto& r : read_relationships(pkg, source_part)) {
      EXPECT_TRUE(r.external || pkg.has(r.target)) << part << " -> " << r.target;
    }
  }
  const std::string sheet = test::read_part(path, "xl/worksheets/sheet2.xml");
  EXPECT_EQ(sheet.find("legacyDrawing"), std::string::npos) << "the comment stayed behind";
  EXPECT_EQ(sheet.find("dxfId"), std::string::npos);
}

// A picture placed at a cell is anchored at that cell: the engine and the
// drawing part measure rows alike, also past the stored rows, where seven
// rows of 14.4 points summed one by one end a little below 7 × 14.4.
TEST(EngineFiles, APicturePlacedAtACellIsAnchoredAtThatCell) {
  test::TempFolder dir("xlsx");
  const std::string png = dir.file("photo.png");
  std::ofstream(png, std::ios::binary)
      << test::read_part(test::data_file("openpyxl_features.xlsx"), "xl/media/image1.png");
  spreadsheet::Engine engine(std::make_shared<XlsxFormat>());
  const std::string path = dir.file("图.xlsx");
  host::Workbook& book = engine.add_workbook(path);
  host::Worksheet& sheet = book.sheet_at(0);
  spreadsheet::Engine::model_of(sheet).default_row_height = 14.4;
  spreadsheet::Engine::model_changed(sheet);
  sheet.activate_cell(8, 2);
  sheet.insert_picture(png);
  book.save();
  const std::string drawing = test::read_part(path, "xl/drawings/drawing1.xml");
  EXPECT_NE(
      drawing.find("<from><col>1</col><colOff>0</colOff><row>7</row><rowOff>0</rowOff></from>"),
      std::string::npos)
      << drawing;
}

}  // namespace
}  // namespace kelv::xlsx
