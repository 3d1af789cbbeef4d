// The first start of kelv-form: the sample workspace offered in
// 文档\kelv 考务, written once and opened as it is afterwards.
#include "app/form/first_start.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/form/main_window.h"
#include "app/sample/sample_workspace.h"
#include "host/file_path.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::form {
namespace {

namespace fs = std::filesystem;

SampleWriter small_sample() {
  return [](const std::string& folder) {
    xlsx::XlsxFormat format;
    sample::SampleOptions options;
    options.examinees = 20;
    sample::write_sample_workspace(folder, options, format);
  };
}

#ifndef _WIN32
// Clicks the default button of the start dialog once it is up; its text
// goes to `clicked`.
void click_default_of_next_box(QString* clicked) {
  QTimer::singleShot(0, [clicked] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->defaultButton(), nullptr);
    *clicked = box->defaultButton()->text();
    box->defaultButton()->click();
  });
}
#endif

// A second first start (the settings lost, say, after reinstalling) finds
// the sample made before, with the user's work in it, and opens that.
TEST(FirstStart, WritesTheSampleOnceAndThenOpensItAsItIs) {
  const test::TempFolder temp("form-first-start");
  const fs::path home = temp.path() / host::file_path(kSampleHomeFolder);  // not there yet
  const QString home_text = QString::fromStdString(host::path_text(home));
  const fs::path made = home / host::file_path(MainWindow::kSampleFolder);
  {
    MainWindow window(small_sample());
    host::RecordingDialogs script;
    window.dialogs().set_script(&script);
    ASSERT_TRUE(open_sample_in(window, home_text));
    ASSERT_NE(window.workspace(), nullptr);
    EXPECT_EQ(host::file_path(window.workspace()->root()), made);
  }
  std::ofstream(made / host::file_path("笔记.txt")) << "work of the user";
  MainWindow window(small_sample());
  host::RecordingDialogs script;
  window.dialogs().set_script(&script);
  ASSERT_TRUE(open_sample_in(window, home_text));
  EXPECT_EQ(host::file_path(window.workspace()->root()), made);
  EXPECT_TRUE(fs::exists(made / host::file_path("笔记.txt")));
  EXPECT_FALSE(fs::exists(home / host::file_path(std::string(MainWindow::kSampleFolder) + " 2")));
}

// The start dialog itself, with the documents folder under a temporary
// home: first the sample is the default answer; once a workspace has been
// opened, the last workspace is.
TEST(FirstStart, TheStartDialogOffersTheSampleInTheDocumentsUntilAWorkspaceWasOpened) {
#ifdef _WIN32
  GTEST_SKIP() << "the documents folder is the Windows account's own; the setup program's test "
                  "under Wine starts the form for real";
#else
  const test::TempFolder temp("form-first-start-dialog");
  const QByteArray old_home = qgetenv("HOME");
  qputenv("HOME", QByteArray::fromStdString(host::path_text(temp.path())));
  QSettings("kelv", "kelv-form").remove(MainWindow::kLastWorkspaceKey);

  MainWindow window(small_sample());
  host::RecordingDialogs script;
  window.dialogs().set_script(&script);
  QString clicked;
  click_default_of_next_box(&clicked);
  EXPECT_TRUE(window.offer_start());
  EXPECT_EQ(clicked, "打开示例工作区");
  const fs::path made = temp.path() / "Documents" / host::file_path(kSampleHomeFolder) /
                        host::file_path(MainWindow::kSampleFolder);
  EXPECT_TRUE(fs::is_regular_file(made / host::file_path(sample::kHostWorkbookName)));
  ASSERT_NE(window.workspace(), nullptr);
  EXPECT_EQ(host::file_path(window.workspace()->root()), made);

  MainWindow again(small_sample());
  again.dialogs().set_script(&script);
  click_default_of_next_box(&clicked);
  EXPECT_TRUE(again.offer_start());
  EXPECT_EQ(clicked, "打开上次的工作区");

  QSettings("kelv", "kelv-form").remove(MainWindow::kLastWorkspaceKey);
  qputenv("HOME", old_home);
#endif
}

}  // namespace
}  // namespace kelv::form
