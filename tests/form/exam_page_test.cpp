// The window's 场次编排 page on a fresh sample workspace (which has a
// 场次表 and electives): waiting for a data workbook, refusing before 编排考号
// with the reason, seating every 场次 after it (the per-session workbooks in
// the data list, unsaved until saved), and the keep-combinations setting.
#include "app/form/exam_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <memory>

#include "app/core/exam_work.h"
#include "app/form/main_window.h"
#include "app/sample/sample_workspace.h"
#include "form/form_test_util.h"
#include "host/file_path.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::form {
namespace {

class ExamPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = temp.path() / host::file_path("考务");
    xlsx::XlsxFormat format;
    sample::SampleOptions options;
    options.examinees = 90;
    sample::write_sample_workspace(host::path_text(dir), options, format);
    window = std::make_unique<MainWindow>();
    window->dialogs().set_script(&script);
    window->set_seed(3);
    window->show();
    ASSERT_TRUE(window->open_workspace(host::path_text(dir)));
  }

  QListWidget* data_list() {
    return qobject_cast<QListWidget*>(window->panel()->widget("LtbBiao"));
  }
  void open_data_workbook() {
    data_list()->setCurrentRow(row_of(data_list(), sample::kDataWorkbookName));
  }

  test::TempFolder temp{"exam-page"};
  std::filesystem::path dir;
  host::RecordingDialogs script;
  std::unique_ptr<MainWindow> window;
};

TEST_F(ExamPageTest, SeatsEverySessionAfterTheAssignmentAndSaysWhyNotBefore) {
  ExamPage& page = *window->exam_page();
  EXPECT_FALSE(page.arrange_button()->isEnabled());
  // Choosing the page is no event of the component's.
  auto* pages = window->panel()->findChild<QTabWidget*>("MultiPage1");
  ASSERT_NE(pages, nullptr);
  pages->setCurrentWidget(&page);
  EXPECT_EQ(window->workspace()->form().control("MultiPage1").selected_page(), "Page0");

  open_data_workbook();
  ASSERT_TRUE(page.arrange_button()->isEnabled());
  script.clear();
  QTest::mouseClick(page.arrange_button(), Qt::LeftButton);
  EXPECT_TRUE(window->status_text().startsWith("场次编排没有进行"))
      << window->status_text().toStdString();
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_NE(script.messages()[0].text.find("请先编排考号"), std::string::npos);
  EXPECT_EQ(row_of(data_list(), "期末考试（第1场）.xlsx"), -1);

  QTest::mouseClick(qobject_cast<QPushButton*>(window->panel()->widget("CmdDoKaoHao")),
                    Qt::LeftButton);
  script.clear();
  QTest::mouseClick(page.arrange_button(), Qt::LeftButton);
  EXPECT_TRUE(window->status_text().startsWith("场次编排完成"))
      << window->status_text().toStdString();
  EXPECT_TRUE(window->workspace()->unsaved());
  // Then the invigilators of every 场次's rooms: the sample's 监考表 is one
  // teacher short for 90 examinees, which the box explains with the way
  // out; switching off a rule on the page is one.
  script.clear();
  QTest::mouseClick(page.invigilate_button(), Qt::LeftButton);
  EXPECT_TRUE(window->status_text().startsWith("安排监考没有进行"))
      << window->status_text().toStdString();
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_NE(script.messages()[0].text.find("缺 1 名"), std::string::npos)
      << script.messages()[0].text;
  ASSERT_TRUE(page.own_subject_box()->isChecked());
  page.own_subject_box()->click();
  script.clear();
  QTest::mouseClick(page.invigilate_button(), Qt::LeftButton);
  EXPECT_TRUE(window->status_text().startsWith("安排监考完成"))
      << window->status_text().toStdString();
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].title, "安排监考");
  // Saved, the workbook of each 场次 is in the data list.
  ASSERT_TRUE(window->save_all());
  EXPECT_TRUE(std::filesystem::exists(dir / host::file_path("数据") /
                                      host::file_path("期末考试（第1场）.xlsx")));
  EXPECT_GE(row_of(data_list(), "期末考试（第1场）.xlsx"), 0);
}

TEST_F(ExamPageTest, TheBoxesAreTheStoredSettings) {
  ExamPage& page = *window->exam_page();
  open_data_workbook();
  const bool stored = app::keeps_combinations(*window->workspace());
  EXPECT_EQ(page.keep_box()->isChecked(), stored);
  page.keep_box()->click();
  EXPECT_EQ(app::keeps_combinations(*window->workspace()), !stored);
  EXPECT_TRUE(window->workspace()->unsaved());
  const invigilation::Rules rules = app::rota_rules(*window->workspace());
  EXPECT_EQ(page.own_subject_box()->isChecked(), rules.own_subject);
  page.own_subject_box()->click();
  EXPECT_EQ(app::rota_rules(*window->workspace()).own_subject, !rules.own_subject);
  EXPECT_EQ(app::rota_rules(*window->workspace()).own_class, rules.own_class);
}

}  // namespace
}  // namespace kelv::form
