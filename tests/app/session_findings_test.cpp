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
  later.message = missing.message = "……里没有这一列：生成会停下";
  std::vector<Finding> findings = {later, missing};
  add_session_findings(data, findings);
  ASSERT_GT(findings.size(), 2u);
  // Errors first: the unwritten field and the timetable's errors.
  EXPECT_EQ(findings.front().severity, Severity::Error);
  int32_t clashes = 0;
  for (const Finding& f : findings) {
    if (f.value == "[物理老师]") {
      EXPECT_EQ(f.severity, Severity::Error);
    }
    if (f.value == "[物理考场]") {
      EXPECT_EQ(f.severity, Severity::Notice);
      EXPECT_NE(f.message.find("先编排场次"), std::string::npos);
    }
    if (f.message.find("同时考“物理”和“化学”") != std::string::npos) {
      ++clashes;
      EXPECT_EQ(f.book, "问题.xlsx");
      EXPECT_EQ(f.sheet, "考生表");
      EXPECT_EQ(f.row, 2);
    }
  }
  EXPECT_EQ(clashes, 1);
}

}  // namespace
}  // namespace kelv::app
