#include "bridge/switch_page.h"

#include <gtest/gtest.h>

#include "bridge/torb.h"
#include "templates/template_catalogue.h"
#include "templates/template_host.h"

namespace kelv::bridge {
namespace {

using testing::TemplateHost;

class SwitchPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.self.FormReady = true;
    host.AddTemplate({.name = "A"}, true);
    templates::FillTemplateList(host.self, host.engine, *host.form);
  }

  host::Workbook& OpenDataBook() {
    host::Workbook& data = host.engine.add_workbook(host.folder() + "/数据/考试.xlsx");
    host::Worksheet& rooms = data.sheet_at(0);
    rooms.set_name("考场表");
    data.add_sheet_after(rooms).set_name("考生表");
    rooms.activate();
    host.self.DataBookName = data.name();
    host.self.WorkColumn = 168;
    return data;
  }

  void Switch(std::string_view page) {
    host.control("MultiPage1").set_selected_page(page);
    SwitchPage(host.self, host.engine, *host.form);
  }

  TemplateHost host;
};

TEST_F(SwitchPageTest, FirstPageWithoutADataWorkbookDoesNothing) {
  Switch("Page0");
  EXPECT_EQ(host.book->active_sheet().name(), "开始");
  EXPECT_TRUE(host.FlaggedRows().size() == 1);
  EXPECT_TRUE(host.dialogs.records().empty());
}

TEST_F(SwitchPageTest, FirstPageShowsTheExamineeSheetWhateverTheDataSource) {
  host::Workbook& data = OpenDataBook();
  host.control("ChbSJYuan").set_value(false);
  Switch("Page0");
  EXPECT_EQ(data.active_sheet().name(), "考生表");
}

TEST_F(SwitchPageTest, SecondPageSelectsTheTemplate) {
  Switch("Page1");
  EXPECT_EQ(host.book->active_sheet().name(), "A");
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant("6"));
}

TEST_F(SwitchPageTest, FailuresAreIgnoredWhereAClickWouldShowTheErrorBox) {
  host.book->sheet("DTB").delete_sheet();
  torb component(host.dialogs, host.env);
  component.state().FormReady = true;
  host.control("MultiPage1").set_selected_page("Page1");
  component.MyFunClick(host.engine, *host.form, "MultiPage1Change");
  EXPECT_TRUE(host.dialogs.messages().empty());

  component.MyFunClick(host.engine, *host.form, "LtbMoBanClick");
  ASSERT_EQ(host.dialogs.messages().size(), 1u);
  EXPECT_EQ(host.dialogs.messages()[0].title, "错误");

  // A data workbook without its examinee sheet: still nothing shown.
  host.dialogs.clear();
  host::Workbook& data = OpenDataBook();
  data.sheet("考生表").delete_sheet();
  component.state().DataBookName = data.name();
  host.control("MultiPage1").set_selected_page("Page0");
  component.MyFunClick(host.engine, *host.form, "MultiPage1Change");
  EXPECT_TRUE(host.dialogs.messages().empty());
}

TEST_F(SwitchPageTest, MyFunSetReachesTheSettingWriters) {
  torb component(host.dialogs, host.env);
  host.control("TxtHang").set_value("700");
  component.MyFunSet(host.engine, *host.form, "TxtHang");
  EXPECT_EQ(host.DTB().cells(2, sheets::kRowsPerPageColumn).value(), host::Variant(300));
  component.MyFunSet(host.engine, *host.form, "txthang");
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant("300"));
}

}  // namespace
}  // namespace kelv::bridge
