// The engine's own sheet operations on a workbook read from a file, saved
// and read again: copies carry their unmodelled parts, added sheets and
// inserted pictures make a valid package.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>

#include "host/picture.h"
#include "host/workbook.h"
#include "host/worksheet.h"
#include "spreadsheet/engine.h"
#include "xlsx/xlsx_format.h"
#include "xlsx_test_util.h"

namespace kelv::xlsx {
namespace {

TEST(EngineFiles, CopiedAddedAndPicturedSheetsSaveAndReadBack) {
  test::TempDir dir;
  const std::string path = dir.path("考务.xlsx");
  std::filesystem::copy_file(test::data_file("openpyxl_features.xlsx"), path);
  const std::string png = dir.path("photo.png");
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

  if (std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") == 0) {
    const std::string cmd =
        "/usr/bin/python3 -c \"import openpyxl,sys; wb=openpyxl.load_workbook(sys.argv[1]); "
        "ws=wb.worksheets[1]; sys.exit(0 if ws['A2'].comment and ws['A2'].comment.text=='备注' "
        "and len(ws.data_validations.dataValidation)==1 and len(wb.worksheets[4]._images)==1 "
        "else 1)\" '" +
        path + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
  }
}

}  // namespace
}  // namespace kelv::xlsx
