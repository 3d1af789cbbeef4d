// The check before the work names the rooms whose shape is wrong or whose
// places outnumber their desks, on the seat-map scenarios' workspace (made
// by openpyxl: tests/scenarios/seatmaps/make_workspaces.py).

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/core/workspace_check.h"
#include "host/file_path.h"
#include "spreadsheet/engine.h"
#include "xlsx/xlsx_format.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;

TEST(RoomShapeCheck, ARoomWithMorePlacesThanDesksIsNamed) {
  const fs::path folder = fs::path("..") / "scenarios" / "workspaces" / "seatmaps";
  spreadsheet::Engine engine(std::make_shared<xlsx::XlsxFormat>());
  host::Workbook& host_book =
      engine.open_host_workbook(host::path_text(folder / host::file_path("考务.xlsx")));
  host::Workbook& data = engine.open_workbook(
      host::path_text(folder / host::file_path("数据") / host::file_path("考试.xlsx")));
  auto shape_findings = [&](CheckPurpose purpose) {
    std::vector<Finding> out;
    for (const Finding& f :
         check_workspace(host_book, data, settings_from_host(host_book), purpose))
      if (f.sheet == "考场表" && f.message.find("考场表第 ") == 0) out.push_back(f);
    return out;
  };
  EXPECT_TRUE(shape_findings(CheckPurpose::Assign).empty());
  // The template laid out as the room prints the room sheet's 首考号 and
  // 尾考号, which the examinee sheet lacks.
  for (const Finding& f :
       check_workspace(host_book, data, settings_from_host(host_book), CheckPurpose::Both))
    EXPECT_EQ(f.message.find("没有这一列"), std::string::npos) << f.message;

  // Room 04 has 30 desks (6 × 5); 31 places are one too many.
  host::Worksheet& rooms = data.sheet("考场表");
  rooms.cells(5, 2).set_value(31);
  rooms.cells(3, 10).set_value("中");
  const std::vector<Finding> found = shape_findings(CheckPurpose::Assign);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].message, "考场表第 3 行的讲台“中”应是“前”或“后”。");
  EXPECT_EQ(found[0].heading, "讲台");
  EXPECT_EQ(found[1].message,
            "考场表第 5 行的考场“04”有 31 个场人，座位只有 30 个（每列座数 6 × 列数 5）。");
  EXPECT_EQ(found[1].row, 5);
  EXPECT_EQ(found[1].heading, "场人");
  EXPECT_EQ(found[1].severity, Severity::Error);
  // Before generating, only a notice: most templates do not use the shape.
  EXPECT_EQ(shape_findings(CheckPurpose::Generate)[1].severity, Severity::Notice);
}

}  // namespace
}  // namespace kelv::app
