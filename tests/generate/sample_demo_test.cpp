#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "app/sample/demo.h"
#include "app/sample/sample_invigilation.h"
#include "app/sample/sample_workspace.h"
#include "host/file_path.h"
#include "spreadsheet/engine.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::sample {
namespace {

namespace fs = std::filesystem;

// RTF writes every character past ASCII as \uN? with N its signed UTF-16 unit.
std::string rtf_of(const std::u16string& text) {
  std::string out;
  for (char16_t c : text)
    out += c < 0x80 ? std::string(1, static_cast<char>(c))
                    : "\\u" + std::to_string(static_cast<int16_t>(c)) + "?";
  return out;
}

// 帮助.doc is the user guide's text: its headings are there, Markdown's
// marks and picture lines are not.
TEST(SampleWorkspace, HelpDocumentIsTheUserGuide) {
  const std::string rtf = help_document_rtf();
  EXPECT_TRUE(rtf.starts_with("{\\rtf1"));
  EXPECT_NE(rtf.find(rtf_of(u"kelv 考务 用户指南")), std::string::npos);
  EXPECT_NE(rtf.find(rtf_of(u"九、备份与恢复")), std::string::npos);
  EXPECT_NE(rtf.find(rtf_of(u"准备：场次表")), std::string::npos);
  EXPECT_NE(rtf.find(rtf_of(u"二、从自己的数据开始")), std::string::npos);
  EXPECT_NE(rtf.find(rtf_of(u"座位表与 AB 卷")), std::string::npos);
  for (const char* mark : {"**", "](", "|---", "![", "## ", "### "})
    EXPECT_EQ(rtf.find(mark), std::string::npos) << mark;
  // Braces balance, or a word processor would not open it.
  int depth = 0;
  for (size_t i = 0; i < rtf.size(); ++i) {
    if (rtf[i] == '\\') {
      ++i;
      continue;
    }
    depth += rtf[i] == '{' ? 1 : rtf[i] == '}' ? -1 : 0;
    ASSERT_GE(depth, 0);
  }
  EXPECT_EQ(depth, 0);
}

TEST(SampleWorkspace, HoldsTheWorkspaceAndItsHostWorkbookReadsBack) {
  const test::TempFolder temp("sample-test");
  const fs::path dir = temp.path() / "考务";
  xlsx::XlsxFormat format;
  SampleOptions options;
  options.examinees = 61;
  const SampleResult r = write_sample_workspace(host::path_text(dir), options, format);
  EXPECT_EQ(r.rooms, 3);
  EXPECT_EQ(r.photos, 61 - 2);  // every 23rd examinee has none
  EXPECT_TRUE(fs::exists(dir / host::file_path("帮助.doc")));
  EXPECT_TRUE(fs::exists(dir / host::file_path(std::string("数据/") + kDataWorkbookName)));

  spreadsheet::Engine engine(std::make_shared<xlsx::XlsxFormat>());
  host::Workbook& book =
      engine.open_host_workbook(host::path_text(dir / host::file_path(kHostWorkbookName)));
  EXPECT_EQ(book.sheet("MBB").visible(), host::SheetVisibility::VeryHidden);
  host::Worksheet& dtb = book.sheet("DTB");
  int32_t row = 2;
  for (const std::string& name : sample_template_names()) {
    EXPECT_EQ(dtb.cells(row, 5).text(), name);
    EXPECT_EQ(book.sheet(name).name(), name);
    ++row;
  }
  EXPECT_TRUE(dtb.cells(row, 5).value().is_empty());
  EXPECT_EQ(dtb.cells(2, 61).text(), "2024010001");
  EXPECT_EQ(dtb.number_format(2, 61), "@");
}

TEST(SampleWorkspace, ClassroomNamesStayReadableForThousandsOfRooms) {
  EXPECT_EQ(classroom_name(0), "教学楼A101");
  EXPECT_EQ(classroom_name(19), "教学楼A405");
  EXPECT_EQ(classroom_name(20), "教学楼B101");
  EXPECT_EQ(classroom_name(519), "教学楼Z405");
  EXPECT_EQ(classroom_name(520), "教学楼AA101");
  // 100,000 examinees fill 3,334 rooms: building letters, never stray bytes.
  EXPECT_EQ(classroom_name(3333), "教学楼FK304");
}

TEST(Demo, PlaysTheWholeCourseOfWorkWithoutAnErrorBox) {
  const test::TempFolder temp("demo-test");
  const fs::path dir = temp.path() / "考务";
  std::ostringstream out;
  DemoOptions options;
  options.dir = host::path_text(dir);
  options.examinees = 45;
  EXPECT_EQ(run_demo(options, out), 0) << out.str();
  // One notice only, the seating report: places and examinees match, every
  // template renders, and schools are kept apart.
  const std::string text = out.str();
  const size_t notice = text.find("[提示] 本次随机种子：");
  ASSERT_NE(notice, std::string::npos) << text;
  EXPECT_EQ(text.find("[提示]", notice + 1), std::string::npos) << text;
  EXPECT_NE(text.find("同组不相邻（按“学校”）：相邻座位同组 0 对。"), std::string::npos) << text;
  EXPECT_EQ(out.str().find("未生成"), std::string::npos) << out.str();

  spreadsheet::Engine engine(std::make_shared<xlsx::XlsxFormat>());
  engine.open_host_workbook(host::path_text(dir) + "/" + kHostWorkbookName);
  host::Workbook& data = engine.open_workbook(host::path_text(dir) + "/数据/" + kDataWorkbookName);
  for (const std::string& name : sample_template_names()) {
    if (name == kDutySlipTemplate) continue;
    EXPECT_EQ(data.sheet(name).name(), name);
  }
  // The duty slips are printed from the workbook the rota writes for them.
  host::Workbook& slips =
      engine.open_workbook(host::path_text(dir) + "/数据/期末考试（监考通知）.xlsx");
  EXPECT_EQ(slips.sheet(kDutySlipTemplate).name(), kDutySlipTemplate);
  // The door list's first page: the room's header, then its first examinee.
  host::Worksheet& door = data.sheet("门贴");
  EXPECT_EQ(door.cells(3, 3).text(), "01");
  EXPECT_EQ(door.cells(7, 2).text(), "2024010001");
  EXPECT_EQ(door.cells(9, 2).text(), "2024010002");
  // 场次 1's door list prints the invigilators the rota put into its rooms.
  host::Workbook& first =
      engine.open_workbook(host::path_text(dir) + "/数据/期末考试（第1场）.xlsx");
  host::Worksheet& first_door = first.sheet("门贴");
  EXPECT_EQ(first_door.cells(3, 3).text(), first.sheet("考场表").cells(2, 1).text());
  EXPECT_EQ(first_door.cells(4, 3).text(), first.sheet("考场表").cells(2, 4).text());
  EXPECT_FALSE(first_door.cells(4, 3).text().empty());
  EXPECT_FALSE(first_door.cells(4, 4).text().empty());
}

}  // namespace
}  // namespace kelv::sample
