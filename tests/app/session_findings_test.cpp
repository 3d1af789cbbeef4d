// The session arrangement's check inside the check before the work.
#include "app/core/session_findings.h"

#include <gtest/gtest.h>

#include <memory>

#include "spreadsheet/engine.h"
#include "xlsx/xlsx_format.h"

namespace kelv::app {
namespace {

TEST(SessionFindings, TheTimetablesProblemsJoinTheCheckAndItsColumnsAreNotYetMissing) {
  spreadsheet::Engine engine(std::make_shared<xlsx::XlsxFormat>());
  host::Workbook& data = engine.open_workbook("../sessions/data/问题.xlsx");
  // What the template check says of a card that prints 物理's room before
  // 场次编排 has written it, and of a field nothing will write.
  Finding later, missing;
  later.sheet = missing.sheet = "考生表";
  later.value = "[物理考场]";
  missing.value = "[物理老师]";
  later.message = missing.message = "模板“卡”的字段……里没有这一列：生成会停下";
  Finding seat = later;
  seat.value = "[物理座号]";
  std::vector<Finding> findings = {later, missing, seat};
  add_session_findings(data, findings);
  ASSERT_GT(findings.size(), 2u);
  // Errors first: the unwritten field and the timetable's errors.
  EXPECT_EQ(findings.front().severity, Severity::Error);
  int32_t clashes = 0, later_notices = 0;
  for (const Finding& f : findings) {
    if (f.value == "[物理老师]") {
      EXPECT_EQ(f.severity, Severity::Error);
    }
    EXPECT_NE(f.value, "[物理考场]");
    EXPECT_NE(f.value, "[物理座号]");
    // The two columns still to come, in one notice for the template.
    if (f.message.find("模板“卡”的 2 个字段（[物理考场]、[物理座号]）") == 0) {
      EXPECT_EQ(f.severity, Severity::Notice);
      EXPECT_NE(f.message.find("先编排场次"), std::string::npos);
      ++later_notices;
    }
    if (f.message.find("同时考“物理”和“化学”") != std::string::npos) {
      ++clashes;
      EXPECT_EQ(f.book, "问题.xlsx");
      EXPECT_EQ(f.sheet, "考生表");
      EXPECT_EQ(f.row, 2);
    }
  }
  EXPECT_EQ(clashes, 1);
  EXPECT_EQ(later_notices, 1);
}

TEST(SessionFindings, TheWorkbookOfOneSessionNeverHasThePerPaperColumns) {
  spreadsheet::Engine engine(std::make_shared<xlsx::XlsxFormat>());
  host::Workbook& data = engine.open_workbook("../sessions/data/问题.xlsx");
  host::Worksheets sheets = data.worksheets();
  sheets.add_after(sheets.item(sheets.count() - 1)).set_name("kelv场次");
  Finding paper, other;
  paper.sheet = other.sheet = "考生表";
  paper.value = "[物理考场]";
  other.value = "[考场]";
  paper.message = other.message = "模板“卡”的字段……里没有这一列：生成会停下";
  std::vector<Finding> findings = {paper, other};
  add_session_findings(data, findings);
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_EQ(findings[0].value, "[考场]");
  EXPECT_EQ(findings[0].severity, Severity::Error);
  EXPECT_EQ(findings[1].severity, Severity::Notice);
  EXPECT_NE(findings[1].message.find("请从主数据工作簿生成"), std::string::npos);
}

}  // namespace
}  // namespace kelv::app
