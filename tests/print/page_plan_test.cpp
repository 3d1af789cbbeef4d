// kelv's pages for the demo's data workbook against LibreOffice's: for 300
// and 3,000 examinees, sheet by sheet, the same number of pages, each
// starting at the same row and column. The plans were made once with
// LibreOffice by scripts/make_page_plans.py.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/sample/demo.h"
#include "app/sample/sample_workspace.h"
#include "host/file_path.h"
#include "print/print_job.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::print {
namespace {

namespace fs = std::filesystem;

struct SheetPlan {
  std::string name;
  std::vector<std::string> pages;  // "row:column" of each page's first cell
};

std::vector<SheetPlan> read_plan(const std::string& file) {
  std::ifstream in(std::string(KELV_PRINT_DATA) + "/" + file);
  EXPECT_TRUE(in) << file;
  std::vector<SheetPlan> plans;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    SheetPlan plan;
    size_t count = 0;
    std::getline(fields, plan.name, '\t');
    fields >> count;
    for (std::string page; fields >> page;) plan.pages.push_back(page);
    EXPECT_EQ(plan.pages.size(), count) << plan.name;
    plans.push_back(plan);
  }
  return plans;
}

void check_demo(int32_t examinees) {
  const test::TempFolder temp("plan");
  const fs::path dir = temp.path();
  sample::DemoOptions options;
  options.dir = host::path_text(dir);
  options.examinees = examinees;
  std::ostringstream log;
  ASSERT_EQ(sample::run_demo(options, log), 0) << log.str();
  const auto book = xlsx::read_workbook(
      host::path_text(dir / host::file_path(std::string("数据/") + sample::kDataWorkbookName)));
  const PrintJob job(*book, sheets_to_print(*book, {}));
  const std::vector<SheetPlan> plans = read_plan("page-plan-" + std::to_string(examinees) + ".txt");
  ASSERT_EQ(job.sheets().size(), plans.size());
  for (size_t i = 0; i < plans.size(); ++i) {
    const SheetLayout& layout = job.sheets()[i];
    EXPECT_EQ(book->sheets[static_cast<size_t>(layout.sheet_index)]->name, plans[i].name);
    std::vector<std::string> pages;
    for (const Page& p : layout.pages)
      pages.push_back(std::to_string(p.body.cells.row1) + ":" + std::to_string(p.body.cells.col1));
    const std::vector<std::string>& expected = plans[i].pages;
    EXPECT_EQ(pages, expected) << plans[i].name;
  }
}

TEST(PagePlan, DemoWith300ExamineesPagesAsLibreOfficeDoes) {
  check_demo(300);
}

TEST(PagePlan, DemoWith3000ExamineesPagesAsLibreOfficeDoes) {
  check_demo(3000);
}

}  // namespace
}  // namespace kelv::print
