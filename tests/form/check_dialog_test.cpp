// The check before assignment in the desktop form, on a copy of the check's
// test workspace: the list, 取消 sending nothing, 修正 mending and showing
// what is left, and the scripted form answering through a message box.
//
// With KELV_FORM_SCREENSHOTS=DIR the run also writes check-dialog.png there.

#include "app/form/check_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/core/workspace.h"
#include "app/form/qt_dialogs.h"
#include "host/file_path.h"
#include "support/temp_folder.h"

namespace kelv::form {
namespace {

namespace fs = std::filesystem;

class CheckBeforeWork : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(fs::path(KELV_SOURCE_DIR) / host::file_path("tests/app/data/check/workspace"),
             temp.path(), fs::copy_options::recursive);
  }

  // Opens the workspace and the data workbook `data` through the component.
  void open(const std::string& data) {
    ws = std::make_unique<app::Workspace>(host::path_text(temp.path()), dialogs);
    ws->start();
    host::Control& list = ws->form().control("LtbBiao");
    const std::vector<std::string>& items = list.items();
    const auto it = std::find(items.begin(), items.end(), data);
    ASSERT_NE(it, items.end());
    list.set_list_index(static_cast<int32_t>(it - items.begin()));
    ws->click("LtbBiaoClick", app::Questions{});
    ASSERT_EQ(ws->component().state().DataBookName, data);
  }

  // The workspace's click with the form's check question: true when the
  // event went to the component.
  bool passes(const std::string& event) {
    app::Questions questions;
    questions.check = check_question(dialogs, nullptr);
    return ws->click(event, questions).gate != app::WorkReport::Gate::CheckDeclined;
  }

  host::Worksheet& rooms() {
    return ws->engine().workbook(ws->component().state().DataBookName).sheet("考场表");
  }

  // Answers the next check dialog with `answer` once it is shown.
  void when_shown(std::function<void(CheckDialog&)> answer) {
    QTimer::singleShot(0, [answer] {
      auto* dialog = dynamic_cast<CheckDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      answer(*dialog);
    });
  }

  void screenshot(QWidget& widget, const char* name) {
    const QByteArray folder = qgetenv("KELV_FORM_SCREENSHOTS");
    if (folder.isEmpty()) return;
    QDir().mkpath(QString::fromLocal8Bit(folder));
    QApplication::processEvents();
    widget.grab().save(QString::fromLocal8Bit(folder) + "/" + name);
  }

  test::TempFolder temp{"check-form"};
  QtDialogs dialogs;
  std::unique_ptr<app::Workspace> ws;
};

TEST_F(CheckBeforeWork, MendThenCancelSendsNothing) {
  open("场人.xlsx");
  int shown = 0, first_rows = 0;
  when_shown([&](CheckDialog& d) {
    ++shown;
    QTableWidget* t = d.table();
    first_rows = t->rowCount();
    EXPECT_EQ(t->columnCount(), 6);
    EXPECT_EQ(t->horizontalHeaderItem(0)->text(), "级别");
    EXPECT_EQ(t->horizontalHeaderItem(5)->text(), "说明");
    EXPECT_EQ(t->item(0, 0)->text(), "错误");
    ASSERT_NE(d.mend_button(), nullptr);
    screenshot(d, "check-dialog.png");
    // The list again after the mend, without the mended rows.
    when_shown([&](CheckDialog& again) {
      ++shown;
      EXPECT_EQ(again.table()->rowCount(), first_rows - 3);
      EXPECT_EQ(again.mend_button(), nullptr);
      again.findChild<QPushButton*>("CheckCancel")->click();
    });
    d.mend_button()->click();
  });
  EXPECT_FALSE(passes("CmdDoKaoHaoClick"));
  EXPECT_EQ(shown, 2);
  // The mends wait to be saved like any other change.
  EXPECT_TRUE(ws->unsaved());
  EXPECT_EQ(rooms().cells(2, 2).value(), host::Variant(30));
  EXPECT_EQ(rooms().cells(4, 2).value(), host::Variant(30));
  // Nothing was assigned.
  EXPECT_TRUE(rooms().cells(2, 6).value().is_empty());
}

TEST_F(CheckBeforeWork, ContinueAndCleanDataGoOn) {
  host::RecordingDialogs script;
  open("空行.xlsx");
  when_shown([&](CheckDialog& d) {
    EXPECT_EQ(d.mend_button(), nullptr);
    // What the assignment then says goes to the script, not to a window.
    dialogs.set_script(&script);
    d.findChild<QPushButton*>("CheckContinue")->click();
  });
  EXPECT_TRUE(passes("CmdDoKaoHaoClick"));

  // Clean data passes without a word; a script would record any list.
  open("干净.xlsx");
  EXPECT_TRUE(passes("CmdDoKaoHaoClick"));
  host::Control& templates = ws->form().control("LtbMoBan");
  const std::vector<std::string>& names = templates.items();
  templates.set_list_index(
      static_cast<int32_t>(std::find(names.begin(), names.end(), "准考证") - names.begin()));
  ws->click("LtbMoBanClick", app::Questions{});
  script.clear();
  EXPECT_TRUE(passes("CmdDoYongBiaoClick"));
  for (const host::DialogRecord& m : script.messages()) ADD_FAILURE() << m.text;
  // Other events are never checked.
  open("空行.xlsx");
  EXPECT_TRUE(passes("LtbBiaoClick"));
  EXPECT_TRUE(script.messages().empty());
}

TEST_F(CheckBeforeWork, ScriptAnswersThroughAMessageBox) {
  host::RecordingDialogs script;
  dialogs.set_script(&script);
  open("合计.xlsx");
  script.clear();
  EXPECT_FALSE(passes("CmdDoKaoHaoClick"));  // no answer: No
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].title, "检查数据");
  EXPECT_NE(script.messages()[0].text.find("考场表 第 4 行"), std::string::npos)
      << script.messages()[0].text;
  script.queue_answer("Yes");
  EXPECT_TRUE(passes("CmdDoKaoHaoClick"));
}

}  // namespace
}  // namespace kelv::form
