#include "bridge/form_startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "bridge/torb.h"
#include "host/file_path.h"
#include "sheets/settings_sheet.h"
#include "templates/template_host.h"

namespace kelv::bridge {
namespace {

using testing::TemplateHost;
using Names = std::vector<std::string>;
namespace fs = std::filesystem;
using namespace kelv::sheets;

class StartUpTest : public ::testing::Test {
 protected:
  void SetUp() override { data_ = host::file_path(host.folder() + "/数据"); }

  void DataFile(const std::string& name) {
    fs::create_directories(data_);
    std::ofstream(data_ / host::file_path(name)) << "x";
  }

  void Settings(const host::Variant& bi3, const host::Variant& bi4, const host::Variant& bj3,
                const host::Variant& bj4) {
    host::Worksheet& d = host.DTB();
    d.cells(3, kNumberOrderColumn).set_value(bi3);
    d.cells(4, kNumberOrderColumn).set_value(bi4);
    d.cells(3, kSeatModeColumn).set_value(bj3);
    d.cells(4, kSeatModeColumn).set_value(bj4);
  }

  void StartUp() { FormStartUp(host.self, host.engine, *host.form); }

  bool Chosen(std::string_view name) { return host.control(name).value().to_bool(); }

  Names ColumnA() {
    Names out;
    for (int32_t r = 1; r <= 12; ++r) out.push_back(host.DTB().cells(r, 1).text());
    while (!out.empty() && out.back().empty()) out.pop_back();
    return out;
  }

  TemplateHost host;
  fs::path data_;
};

TEST_F(StartUpTest, RestoresTheExamSettingsAndTheFirstTrueOption) {
  host.DTB().cells(kStartNumberRow, kStartNumberColumn).set_value("'2024010001");
  host.DTB().cells(kCycleRow, kCycleColumn).set_value(30);
  Settings(true, true, false, true);
  StartUp();
  EXPECT_EQ(host.control("TxtSKHao").value(), host::Variant("2024010001"));
  EXPECT_EQ(host.control("TxtXHShu").value(), host::Variant("30"));
  EXPECT_TRUE(Chosen("OptSXKaoHao"));
  EXPECT_FALSE(Chosen("OptSJKaoHao"));
  EXPECT_FALSE(Chosen("OptXHZuoHao"));
  EXPECT_TRUE(Chosen("OptACZuoHao"));
  EXPECT_TRUE(host.self.FormReady);
}

TEST_F(StartUpTest, RestoresTheSeatingSettingsWhereTheFormHasTheirControls) {
  host.DTB().cells(kSeatingRow, kSeedColumn).set_value(123456789012345.0);
  host.DTB().cells(kSeatingRow, kKeepApartColumn).set_value("班级");
  StartUp();
  EXPECT_EQ(host.control("TxtZhongZi").value(), host::Variant("123456789012345"));
  EXPECT_EQ(host.control("CmbFenKai").value(), host::Variant("班级"));

  host.form = host::FormModel::standard_form(host::FormModel::SeatingControls::Without);
  StartUp();
  EXPECT_TRUE(host.self.FormReady);
  EXPECT_FALSE(host.form->has_control("TxtZhongZi"));
}

TEST_F(StartUpTest, FalseOrEmptyOptionsLeaveTheFormAsItWas) {
  host.control("OptSJKaoHao").set_value(true);
  host.control("OptACZuoHao").set_value(true);
  host.control("TxtSKHao").set_value("typed");
  Settings(false, false, host::Variant(), host::Variant());
  StartUp();
  EXPECT_TRUE(Chosen("OptSJKaoHao"));
  EXPECT_TRUE(Chosen("OptACZuoHao"));
  EXPECT_EQ(host.control("TxtSKHao").value(), host::Variant(""));
  EXPECT_EQ(host.control("TxtXHShu").value(), host::Variant(""));
}

TEST_F(StartUpTest, ListsTheDataFolderSortedAndDropsOldEntries) {
  for (int32_t r = 1; r <= 9; ++r) host.DTB().cells(r, 1).set_value("old" + std::to_string(r));
  host.DTB().cells(5, 1).font().set_bold(true);
  DataFile("c.xlsx");
  DataFile("b.xlsx");
  DataFile("A.xlsx");
  DataFile(".hidden.xlsx");
  DataFile("~$b.xlsx");
  fs::create_directories(data_ / host::file_path("子目录"));
  StartUp();
  EXPECT_EQ(ColumnA(), (Names{"数据表", "A.xlsx", "b.xlsx", "c.xlsx"}));
  EXPECT_FALSE(host.DTB().cells(5, 1).font().get().bold);
  EXPECT_EQ(host.ListItems("LtbBiao"), (Names{"A.xlsx", "b.xlsx", "c.xlsx"}));
}

TEST_F(StartUpTest, AnEmptyOrMissingDataFolderListsNothing) {
  host.DTB().cells(2, 1).set_value("old.xlsx");
  StartUp();
  EXPECT_EQ(ColumnA(), (Names{"数据表"}));
  EXPECT_TRUE(host.DTB().cells(2, 1).value().is_empty());
  EXPECT_EQ(host.control("LtbBiao").list_count(), 0);

  fs::create_directories(data_);
  StartUp();
  EXPECT_EQ(ColumnA(), (Names{"数据表"}));
  EXPECT_EQ(host.control("LtbBiao").list_count(), 0);
  EXPECT_TRUE(host.self.FormReady);
}

TEST_F(StartUpTest, FillsTheTemplateListAndAsksForAResizableWindow) {
  host.AddTemplate({.name = "A"});
  host.AddTemplate({.name = "B"}, true);
  host.form->set_caption("考务管理");
  StartUp();
  EXPECT_EQ(host.ListItems("LtbMoBan"), (Names{"A", "B"}));
  EXPECT_EQ(host.control("LtbMoBan").list_index(), 1);
  // The list only: no settings loaded, no sheet shown.
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant(""));
  ASSERT_EQ(host.dialogs.records().size(), 1u);
  EXPECT_EQ(host.dialogs.records()[0].kind, "resizable");
  EXPECT_EQ(host.dialogs.records()[0].text, "考务管理");
}

TEST_F(StartUpTest, AWindowThatCannotBeResizedStillEndsReady) {
  host.dialogs.set_resizable_fails(true);
  StartUp();
  EXPECT_TRUE(host.self.FormReady);
  EXPECT_TRUE(host.dialogs.records().empty());
}

TEST_F(StartUpTest, UnreadableOptionOrMissingSettingsSheetLeavesTheFormNotReady) {
  host.self.FormReady = true;
  Settings("maybe", false, false, false);
  try {
    StartUp();
    ADD_FAILURE() << "no failure";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kTypeMismatch);
  }
  EXPECT_FALSE(host.self.FormReady);

  host.book->sheet("DTB").delete_sheet();
  EXPECT_THROW(StartUp(), host::HostError);
  EXPECT_FALSE(host.self.FormReady);
}

// A data folder of `count` made-up names, without touching the disk.
class ManyFiles : public host::Environment {
 public:
  explicit ManyFiles(int32_t count) {
    for (int32_t i = 0; i < count; ++i) names_.push_back("f" + std::to_string(100000 + i));
  }
  std::vector<std::string> list_files(std::string_view) override { return names_; }
  bool file_exists(std::string_view) override { return false; }
  void randomize() override {}
  float next_random() override { return 0; }

 private:
  std::vector<std::string> names_;
};

TEST_F(StartUpTest, TheListingRowCounterIsSixteenBit) {
  // 32,766 names fill rows 2 to 32,767, the last row the counter can number.
  ManyFiles fits(32766);
  component::Component full(host.dialogs, fits);
  FormStartUp(full, host.engine, *host.form);
  EXPECT_TRUE(full.FormReady);
  EXPECT_EQ(host.DTB().cells(32767, 1).text(), "f132765");
  EXPECT_EQ(host.control("LtbBiao").list_count(), 32766);

  // One more name needs row 32,768: an overflow, and the form stays not ready.
  ManyFiles too_many(32767);
  component::Component over(host.dialogs, too_many);
  try {
    FormStartUp(over, host.engine, *host.form);
    ADD_FAILURE() << "no failure";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kOverflow);
  }
  EXPECT_FALSE(over.FormReady);
}

TEST_F(StartUpTest, TheEventRunsStartUpAndReportsFailuresInTheErrorBox) {
  torb component(host.dialogs, host.env);
  DataFile("a.xlsx");
  component.MyFunClick(host.engine, *host.form, "UserFormInitialize");
  EXPECT_TRUE(component.state().FormReady);
  EXPECT_EQ(host.ListItems("LtbBiao"), (Names{"a.xlsx"}));

  torb again(host.dialogs, host.env);
  host.book->sheet("DTB").delete_sheet();
  again.MyFunClick(host.engine, *host.form, "UserFormInitialize");
  EXPECT_FALSE(again.state().FormReady);
  const auto messages = host.dialogs.messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].title, "错误");
  EXPECT_NE(messages[0].text.find("(9)"), std::string::npos);
}

}  // namespace
}  // namespace kelv::bridge
