// The desktop dialogs: the window-style request and documents, and the
// script that stands in for the person in tests.
#include "app/form/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QWidget>

#include "host/host_error.h"

namespace kelv::form {
namespace {

TEST(QtDialogs, StartUpMakesTheFixedFormWindowResizableByItsCaption) {
  QWidget window;
  window.setWindowTitle("kelv 考务");
  window.resize(400, 300);
  QtDialogs::make_fixed(&window);
  EXPECT_EQ(window.maximumSize(), window.minimumSize());
  QtDialogs dialogs;
  dialogs.set_window(&window);
  // A caption that names no window is a failure the caller ignores.
  EXPECT_THROW(dialogs.make_form_resizable("别的窗体"), host::HostError);
  EXPECT_EQ(window.maximumWidth(), window.minimumWidth());
  dialogs.make_form_resizable("kelv 考务");
  EXPECT_EQ(window.maximumWidth(), QWIDGETSIZE_MAX);
  EXPECT_EQ(window.size(), QSize(400, 300));
}

TEST(QtDialogs, AMissingDocumentIsFileNotFound) {
  QtDialogs dialogs;
  try {
    dialogs.open_document("/nonexistent/kelv/帮助.doc");
    FAIL() << "no failure";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kFileNotFound);
  }
}

TEST(QtDialogs, AScriptAnswersAndRecordsEveryDialog) {
  host::RecordingDialogs script;
  QtDialogs dialogs;
  dialogs.set_script(&script);
  script.queue_answer("Yes");
  script.queue_answer("座签");
  EXPECT_EQ(dialogs.message_box("确实要删除<门贴 模板设计>吗？", host::MessageButtons::YesNo,
                                host::MessageIcon::None, "删除模板"),
            host::MessageResult::Yes);
  EXPECT_EQ(dialogs.input_box("请输入要添加的模板名:", "添加模板", ""), "座签");
  EXPECT_EQ(dialogs.input_box("请输入新的模板名:", "模板改名", "门贴"), "");  // Cancel
  dialogs.tone(360, 36);
  ASSERT_EQ(script.records().size(), 4u);
  EXPECT_EQ(script.records()[0].title, "删除模板");
  EXPECT_EQ(script.records()[1].answer, "座签");
  EXPECT_TRUE(script.records()[2].defaulted);
  EXPECT_EQ(script.records()[3].hertz, 360);
}

}  // namespace
}  // namespace kelv::form
