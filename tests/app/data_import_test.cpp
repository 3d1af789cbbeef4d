// kelv import's work: a data workbook from an examinee list of another kind.
#include "app/core/data_import.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "host/host_error.h"
#include "spreadsheet/cells.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::app {
namespace {

std::string contents(const std::string& path) {
  return test::read_bytes(path);
}

TEST(DataImport, AListBecomesTheExamineeSheetBesideAnEmptyRoomSheet) {
  test::TempFolder folder("import");
  const std::string csv = folder.file("高一名单.csv");
  test::write_bytes(csv, "\xEF\xBB\xBF姓名,身份证号,班级\n张三,110105200801011234,1\n");
  const ImportResult r = import_data_file(csv, "", false);
  EXPECT_EQ(r.output, folder.file("高一名单.xlsx"));
  EXPECT_EQ(r.rows, 2);
  auto book = xlsx::read_workbook(r.output);
  ASSERT_EQ(book->sheets.size(), 2u);
  EXPECT_EQ(book->sheets[0]->name, "考生表");
  EXPECT_EQ(book->sheets[1]->name, "考场表");
  const spreadsheet::Sheet& examinees = *book->sheets[0];
  EXPECT_EQ(spreadsheet::cells::find(examinees, 2, 2)->value, host::Variant("110105200801011234"));
  EXPECT_EQ(spreadsheet::cells::find(examinees, 2, 3)->value, host::Variant(1.0));
  const spreadsheet::Sheet& rooms = *book->sheets[1];
  ASSERT_EQ(rooms.rows.size(), 1u);
  std::vector<std::string> headings;
  for (const auto& c : rooms.rows[0].cells) headings.emplace_back(c.value.as_text());
  EXPECT_EQ(headings, (std::vector<std::string>{"考场", "场人", "考室", "监考甲", "监考乙",
                                                "首考号", "尾考号"}));
}

TEST(DataImport, AnExistingFileIsReplacedOnlyWhenForcedAndTheListNever) {
  test::TempFolder folder("import");
  const std::string csv = folder.file("名单.csv");
  test::write_bytes(csv, "姓名\n李四\n");
  const std::string out = folder.file("名单.xlsx");
  test::write_bytes(out, "keep");
  EXPECT_THROW(import_data_file(csv, "", false), host::HostError);
  EXPECT_EQ(contents(out), "keep");
  import_data_file(csv, "", true);
  EXPECT_EQ(xlsx::read_workbook(out)->sheets[0]->name, "考生表");
  // A text list that is merely named .xlsx is never written over, even forced.
  const std::string fake = folder.file("假.xlsx");
  test::write_bytes(fake, "姓名\n王五\n");
  EXPECT_THROW(import_data_file(fake, fake, true), host::HostError);
  EXPECT_EQ(contents(fake), "姓名\n王五\n");
  EXPECT_EQ(import_data_file(fake, "", false).output, folder.file("假（已转换）.xlsx"));
  EXPECT_EQ(contents(fake), "姓名\n王五\n");
}

}  // namespace
}  // namespace kelv::app
