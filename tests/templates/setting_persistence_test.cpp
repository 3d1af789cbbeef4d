#include "templates/setting_persistence.h"

#include <gtest/gtest.h>

#include "sheets/settings_sheet.h"
#include "templates/template_catalogue.h"
#include "templates/template_host.h"

namespace kelv::templates {
namespace {

using namespace sheets;  // the settings sheet's layout
using testing::TemplateHost;

class SettingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.self.FormReady = true;
    host.AddTemplate({.name = "A"});
    host.AddTemplate({.name = "B"}, true);
    FillTemplateList(host.self, host.engine, *host.form);  // B selected: row 3
  }

  // Types into a control and reports the change, as the form does.
  void Set(std::string_view name, const host::Variant& v) {
    host.control(name).set_value(v);
    RouteSetting(host.self, host.engine, *host.form, name);
  }

  host::Variant Cell(int32_t r, int32_t c) { return host.DTB().cells(r, c).value(); }

  TemplateHost host;
};

TEST_F(SettingTest, LayoutCountsAreClampedToOneTo300) {
  Set("TxtHang", "500");
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant("300"));
  EXPECT_EQ(Cell(3, kRowsPerPageColumn), host::Variant(300));
  Set("TxtHang", "0");
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant("1"));
  EXPECT_EQ(Cell(3, kRowsPerPageColumn), host::Variant(1));
  Set("TxtLie", "2.5");
  EXPECT_EQ(Cell(3, kColsAcrossColumn), host::Variant(2));
  Set("TxtLie", " 3.5 ");
  EXPECT_EQ(Cell(3, kColsAcrossColumn), host::Variant(4));
  EXPECT_EQ(host.control("TxtLie").value(), host::Variant("4"));
  // The other template's row is untouched.
  EXPECT_EQ(Cell(2, kRowsPerPageColumn), host::Variant(6));
}

TEST_F(SettingTest, SpacingsAreClampedToZeroTo300) {
  Set("TxtHJv", "0");
  EXPECT_EQ(Cell(3, kRowSpacingColumn), host::Variant(0));
  Set("TxtLJv", "-5");
  EXPECT_EQ(host.control("TxtLJv").value(), host::Variant("0"));
  EXPECT_EQ(Cell(3, kColSpacingColumn), host::Variant(0));
  Set("TxtLJv", "301");
  EXPECT_EQ(Cell(3, kColSpacingColumn), host::Variant(300));
}

TEST_F(SettingTest, ANonNumberFailsAndWritesNothing) {
  for (const char* typed : {"abc", ""}) {
    host.control("TxtHang").set_value(typed);
    try {
      RouteSetting(host.self, host.engine, *host.form, "TxtHang");
      ADD_FAILURE() << "no failure for '" << typed << "'";
    } catch (const host::HostError& e) {
      EXPECT_EQ(e.number(), host::kTypeMismatch);
    }
    EXPECT_EQ(host.control("TxtHang").value(), host::Variant(typed));
    EXPECT_EQ(Cell(3, kRowsPerPageColumn), host::Variant(6));
  }
}

TEST_F(SettingTest, TemplateValuesAreStoredUnconverted) {
  host.control("CmbPaiXv").add_item("学校");
  Set("CmbPaiXv", "学校");
  Set("CmbHuanYe", "考场");
  Set("ChbHengPai", false);
  EXPECT_EQ(Cell(3, kSortNameColumn), host::Variant("学校"));
  EXPECT_EQ(Cell(3, kPageNameColumn), host::Variant("考场"));
  EXPECT_EQ(Cell(3, kAcrossFirstColumn), host::Variant(false));
  Set("ChbSJYuan", false);
  EXPECT_EQ(Cell(3, kDataSourceColumn), host::Variant(false));
  Set("ChbSJYuan", host::Variant::null());
  EXPECT_EQ(Cell(3, kDataSourceColumn), host::Variant(false));
}

TEST_F(SettingTest, DataSourceRefillsTheColumnLists) {
  host::Workbook& data = host.engine.add_workbook(host.folder() + "/数据/考试.xlsx");
  host::Worksheet& rooms = data.sheet_at(0);
  rooms.set_name("考场表");
  rooms.cells(1, 1).set_value("考场");
  rooms.cells(1, 2).set_value("场人");
  host::Worksheet& examinees = data.add_sheet_after(rooms);
  examinees.set_name("考生表");
  examinees.cells(1, 1).set_value("姓名");
  examinees.cells(1, 2).set_value("学校");
  host.self.DataBookName = data.name();
  host.self.WorkColumn = 168;

  Set("ChbSJYuan", false);
  EXPECT_EQ(host.ListItems("CmbPaiXv"), (std::vector<std::string>{"无", "考场", "场人"}));
  // The keep-apart list offers the examinee sheet's headings either way.
  EXPECT_EQ(host.ListItems("CmbFenKai"), (std::vector<std::string>{"无", "姓名", "学校"}));
  Set("ChbSJYuan", true);
  EXPECT_EQ(host.ListItems("CmbHuanYe"), (std::vector<std::string>{"无", "姓名", "学校"}));
  EXPECT_EQ(Cell(3, kDataSourceColumn), host::Variant(true));
}

TEST_F(SettingTest, SeatingSettingsGoBelowTheExamSettings) {
  Set("TxtZhongZi", "20240601");
  Set("CmbFenKai", "班级");
  EXPECT_EQ(Cell(kSeatingRow, kSeedColumn), host::Variant(20240601));
  EXPECT_EQ(Cell(kSeatingRow, kKeepApartColumn), host::Variant("班级"));
  // Like the other combo boxes, the keep-apart column waits for start-up.
  host.self.FormReady = false;
  Set("CmbFenKai", "学校");
  Set("TxtZhongZi", "");
  EXPECT_EQ(Cell(kSeatingRow, kKeepApartColumn), host::Variant("班级"));
  EXPECT_EQ(Cell(kSeatingRow, kSeedColumn).to_text(), "");
}

TEST_F(SettingTest, ExamSettingsAreStoredAsTheControlHoldsThem) {
  Set("TxtSKHao", "A2024-01");
  Set("TxtXHShu", "30");
  EXPECT_EQ(Cell(2, kStartNumberColumn), host::Variant("A2024-01"));
  EXPECT_EQ(Cell(2, kCycleColumn), host::Variant(30));
  // Written at any time, and without a selected template.
  host.self.FormReady = false;
  host.control("LtbMoBan").set_list_index(-1);
  Set("TxtXHShu", "99999");
  EXPECT_EQ(Cell(2, kCycleColumn), host::Variant(99999));
}

TEST_F(SettingTest, OptionPairsRecordTheNamedButton) {
  Set("OptSJKaoHao", true);
  EXPECT_EQ(Cell(3, kNumberOrderColumn), host::Variant(false));
  EXPECT_EQ(Cell(4, kNumberOrderColumn), host::Variant(true));
  // The writer looks at the name, not at the buttons.
  host.control("OptSJKaoHao").set_value(true);
  RouteSetting(host.self, host.engine, *host.form, "OptSXKaoHao");
  EXPECT_EQ(Cell(3, kNumberOrderColumn), host::Variant(true));
  EXPECT_EQ(Cell(4, kNumberOrderColumn), host::Variant(false));
  Set("OptACZuoHao", true);
  EXPECT_EQ(Cell(3, kSeatModeColumn), host::Variant(false));
  EXPECT_EQ(Cell(4, kSeatModeColumn), host::Variant(true));
  Set("OptXHZuoHao", true);
  EXPECT_EQ(Cell(3, kSeatModeColumn), host::Variant(true));
  EXPECT_EQ(Cell(4, kSeatModeColumn), host::Variant(false));
}

TEST_F(SettingTest, GatedWritersWaitForStartUpToFinish) {
  host.self.FormReady = false;
  Set("CmbPaiXv", "学校");
  Set("CmbHuanYe", "考场");
  Set("ChbHengPai", false);
  Set("ChbSJYuan", false);
  Set("OptSJKaoHao", true);
  Set("OptACZuoHao", true);
  EXPECT_EQ(Cell(3, kSortNameColumn), host::Variant("无"));
  EXPECT_EQ(Cell(3, kPageNameColumn), host::Variant("无"));
  EXPECT_EQ(Cell(3, kAcrossFirstColumn), host::Variant(true));
  EXPECT_EQ(Cell(3, kDataSourceColumn), host::Variant(true));
  EXPECT_TRUE(Cell(3, kNumberOrderColumn).is_empty());
  EXPECT_TRUE(Cell(4, kSeatModeColumn).is_empty());
  // The layout boxes are not gated.
  Set("TxtHang", "7");
  EXPECT_EQ(Cell(3, kRowsPerPageColumn), host::Variant(7));
}

TEST_F(SettingTest, UnknownOrWronglyCasedNamesDoNothing) {
  host.control("TxtHang").set_value("9");
  RouteSetting(host.self, host.engine, *host.form, "txthang");
  RouteSetting(host.self, host.engine, *host.form, "TXTHANG");
  RouteSetting(host.self, host.engine, *host.form, "");
  RouteSetting(host.self, host.engine, *host.form, "LtbMoBan");
  EXPECT_EQ(Cell(3, kRowsPerPageColumn), host::Variant(6));
}

TEST_F(SettingTest, NoSelectedTemplateWritesNothingIntoTheHeadingRow) {
  host.control("LtbMoBan").set_list_index(-1);
  const host::Variant headings[] = {Cell(1, kRowsPerPageColumn), Cell(1, kColsAcrossColumn),
                                    Cell(1, kRowSpacingColumn),  Cell(1, kColSpacingColumn),
                                    Cell(1, kSortNameColumn),    Cell(1, kPageNameColumn),
                                    Cell(1, kAcrossFirstColumn), Cell(1, kDataSourceColumn)};
  Set("TxtHang", "500");
  Set("TxtLie", "5");
  Set("TxtHJv", "5");
  Set("TxtLJv", "5");
  Set("CmbPaiXv", "学校");
  Set("CmbHuanYe", "考场");
  Set("ChbHengPai", false);
  Set("ChbSJYuan", false);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Cell(1, kRowsPerPageColumn + i), headings[i]) << i;
  // The box still shows the clamped number.
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant("300"));
}

TEST_F(SettingTest, AMissingSettingsSheetFailsAfterTheBoxIsCorrected) {
  host.book->sheet("DTB").delete_sheet();
  host.control("TxtHang").set_value("400");
  EXPECT_THROW(RouteSetting(host.self, host.engine, *host.form, "TxtHang"), host::HostError);
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant("300"));
}

}  // namespace
}  // namespace kelv::templates
