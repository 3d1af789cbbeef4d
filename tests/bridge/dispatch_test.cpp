#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bridge/fake_application.h"
#include "bridge/torb.h"
#include "host/file_path.h"
#include "host/form_model.h"
#include "host/recording_dialogs.h"
#include "host/system_environment.h"
#include "support/temp_folder.h"

namespace kelv::bridge {
namespace {

namespace fs = std::filesystem;
using testing::FakeApplication;

// A folder standing in for the host workbook's, with or without the help
// document; removed afterwards.
class HostFolder {
 public:
  explicit HostFolder(bool with_help) : temp_("dispatch") {
    if (with_help) std::ofstream(temp_.path() / host::file_path("帮助.doc")) << "help";
  }
  std::string path() const { return host::path_text(temp_.path()); }

 private:
  test::TempFolder temp_;
};

std::vector<std::string> Calls;

void First(component::Component&, host::Application&, host::Form&) {
  Calls.push_back("first");
}
void Second(component::Component&, host::Application&, host::Form&) {
  Calls.push_back("second");
}

// Changes the form, then fails looking up a sheet the workbook lacks.
void FailsHalfway(component::Component& self, host::Application& EA, host::Form& UF) {
  self.WorkColumn = 168;
  UF["TxtSKHao"].set_value("1001");
  EA.this_workbook().sheet("DTB");
  UF["TxtXHShu"].set_value("30");
}

void ThrowsLogicError(component::Component&, host::Application&, host::Form&) {
  throw std::logic_error("broken");
}

constexpr EventRow kTable[] = {
    {"Go", First},
    {"Go", Second},
    {"Fail", FailsHalfway},
    {"Logic", ThrowsLogicError},
};

class DispatchTest : public ::testing::Test {
 protected:
  host::RecordingDialogs dialogs;
  host::SystemEnvironment env{1};
  component::Component self{dialogs, env};
  std::unique_ptr<host::FormModel> form = host::FormModel::standard_form();
};

TEST_F(DispatchTest, OnlyAnExactNameCallsAndOnlyTheFirstMatchingRow) {
  FakeApplication app;
  for (const char* name : {"", "go", "GO", "Go ", " Go", "Gone", "Unknown"}) {
    Calls.clear();
    Dispatch(self, app, *form, name, kTable);
    EXPECT_TRUE(Calls.empty()) << "\"" << name << "\"";
  }
  Dispatch(self, app, *form, "Go", kTable);
  EXPECT_EQ(Calls, std::vector<std::string>{"first"});
  EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(DispatchTest, BracketRunsInOrderAndLeavesBothSettingsOnWhateverTheyWere) {
  for (const char* name : {"Go", "Nothing", "Fail", ""}) {
    for (bool su : {false, true}) {
      for (bool da : {false, true}) {
        FakeApplication app;
        app.screen_updating_value = su;
        app.display_alerts_value = da;
        Dispatch(self, app, *form, name, kTable);
        EXPECT_TRUE(app.screen_updating()) << name << su << da;
        EXPECT_TRUE(app.display_alerts()) << name << su << da;
        EXPECT_EQ(app.log, (std::vector<std::string>{"SU=0", "DA=0", "DA=1", "SU=1"}));
      }
    }
  }
}

TEST_F(DispatchTest, HandlerFailingHalfwayKeepsItsEffectsAndShowsOneErrorBox) {
  FakeApplication app;
  app.screen_updating_value = false;
  Dispatch(self, app, *form, "Fail", kTable);

  EXPECT_EQ(self.WorkColumn, 168);
  EXPECT_EQ((*form)["TxtSKHao"].value().to_text(), "1001");
  EXPECT_EQ((*form)["TxtXHShu"].value().to_text(), "");
  ASSERT_EQ(dialogs.records().size(), 1u);
  const host::DialogRecord& box = dialogs.records()[0];
  EXPECT_EQ(box.kind, "message");
  EXPECT_EQ(box.text, "kelv 电子表格：(9)下标越界");
  EXPECT_EQ(box.title, "错误");
  EXPECT_EQ(box.buttons, "OK");
  EXPECT_EQ(box.icon, "critical");
  EXPECT_TRUE(app.screen_updating());
  EXPECT_TRUE(app.display_alerts());
}

TEST_F(DispatchTest, FailuresThatAreNotHostErrorsReachTheBoxUnderTheComponentsName) {
  FakeApplication app;
  Dispatch(self, app, *form, "Logic", kTable);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "kelv.torb：(5)broken");
}

TEST_F(DispatchTest, FailingExitStepAfterAnErrorBoxShowsNoSecondBox) {
  FakeApplication app;
  app.refuse_display_alerts = true;
  Dispatch(self, app, *form, "Fail", kTable);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "kelv 电子表格：(9)下标越界");
  // The refused DisplayAlerts does not keep screen updating off.
  EXPECT_TRUE(app.screen_updating());
}

TEST_F(DispatchTest, UnusableApplicationShowsOneBoxAndStillReturns) {
  FakeApplication app;
  app.refuse_screen_updating = false;
  app.refuse_display_alerts = true;
  Calls.clear();
  Dispatch(self, app, *form, "Go", kTable);
  EXPECT_TRUE(Calls.empty());  // the bracket failed before routing
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "kelv 电子表格：(1004)应用程序定义或对象定义错误");
}

TEST_F(DispatchTest, FailingExitStepAfterASuccessfulHandlerIsReportedOnce) {
  FakeApplication app;
  app.refuse_display_alerts = true;
  app.refuse_screen_updating = true;
  Dispatch(self, app, *form, "Go", kTable);
  EXPECT_EQ(dialogs.messages().size(), 1u);
}

TEST(ErrorBoxText, JoinsSourceNumberAndDescriptionWithNothingBetween) {
  EXPECT_EQ(ErrorBoxText(host::HostError("S", 9, "D")), "S：(9)D");
  EXPECT_EQ(ErrorBoxText(host::HostError("kelv.torb", -2147221504, "")),
            "kelv.torb：(-2147221504)");
}

// The real table, through torb.
class TorbTest : public DispatchTest {
 protected:
  torb component{dialogs, env};
};

TEST_F(TorbTest, MyHelpOpensTheDocumentBesideTheHostWorkbookEveryTime) {
  HostFolder folder(true);
  FakeApplication app(folder.path());
  // The help row takes no form: an empty one does.
  host::FormModel no_controls;
  component.MyFunClick(app, no_controls, "MyHelp");
  component.MyFunClick(app, no_controls, "MyHelp");
  ASSERT_EQ(dialogs.records().size(), 2u);
  for (const auto& r : dialogs.records()) {
    EXPECT_EQ(r.kind, "document");
    EXPECT_EQ(r.text, folder.path() + "\\帮助.doc");
  }
  EXPECT_TRUE(app.screen_updating());
  EXPECT_TRUE(app.display_alerts());
}

TEST_F(TorbTest, MissingHelpDocumentShowsTheErrorBoxOnly) {
  HostFolder folder(false);
  FakeApplication app(folder.path());
  component.MyFunClick(app, *form, "MyHelp");
  ASSERT_EQ(dialogs.records().size(), 1u);
  EXPECT_EQ(dialogs.records()[0].kind, "message");
  EXPECT_EQ(dialogs.records()[0].text,
            "kelv 电子表格：(53)文件未找到：" + folder.path() + "\\帮助.doc");
  EXPECT_EQ(dialogs.records()[0].icon, "critical");
}

TEST_F(TorbTest, NamesOutsideTheTableCallNothing) {
  HostFolder folder(true);
  FakeApplication app(folder.path());
  for (const char* name : {"", "myhelp", "MYHELP", "MyHelp ", "Help", "MyHelpClick"})
    EXPECT_TRUE(component.MyFunClick(app, *form, name).is_empty());
  EXPECT_TRUE(dialogs.records().empty());
  EXPECT_TRUE(app.screen_updating());
  EXPECT_TRUE(app.display_alerts());
}

TEST_F(TorbTest, MyFunSetFailuresReachTheCallerWithoutBracketOrBox) {
  FakeApplication app;  // a host workbook without the settings sheet
  (*form)["TxtHang"].set_value("abc");
  try {
    component.MyFunSet(app, *form, "TxtHang");
    FAIL() << "a text that is no number was stored";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kTypeMismatch);
  }
  EXPECT_EQ((*form)["TxtHang"].value().to_text(), "abc");

  (*form)["TxtSKHao"].set_value("0001");
  try {
    component.MyFunSet(app, *form, "TxtSKHao");
    FAIL() << "stored without a settings sheet";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kSubscriptOutOfRange);
  }

  EXPECT_NO_THROW(component.MyFunSet(app, *form, "txthang"));
  EXPECT_NO_THROW(component.MyFunSet(app, *form, ""));
  EXPECT_TRUE(app.log.empty());
  EXPECT_TRUE(dialogs.records().empty());
}

}  // namespace
}  // namespace kelv::bridge
