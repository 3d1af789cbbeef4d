// The whole course of work through the window's widgets, on a fresh sample
// workspace: start-up, open the data workbook, assign, add a template,
// select, generate, save; then closing and reloading. Dialogs are answered
// by a script and checked afterwards.
//
// With KELV_FORM_SCREENSHOTS=DIR the run also writes form-page0.png,
// form-page1.png and form-view.png into DIR; with KELV_FORM_SAVED=DIR it
// copies the saved workbooks there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "app/core/workbook_files.h"
#include "app/form/help_window.h"
#include "app/form/main_window.h"
#include "app/sample/sample_workspace.h"
#include "form/form_test_util.h"
#include "host/file_path.h"
#include "spreadsheet/engine.h"
#include "support/temp_folder.h"
#include "xlsx/package.h"
#include "xlsx/xlsx_format.h"

namespace kelv::form {
namespace {

namespace fs = std::filesystem;

bool has_sheet(host::Workbook& book, const std::string& name) {
  for (host::Worksheet& sheet : book.worksheets())
    if (sheet.name() == name) return true;
  return false;
}

// Row 1 of a sheet holds this heading somewhere.
bool has_heading(host::Worksheet& sheet, const std::string& heading) {
  for (int32_t c = 1; c <= 200; ++c)
    if (sheet.cells(1, c).value() == host::Variant(heading)) return true;
  return false;
}

int critical_boxes(const host::RecordingDialogs& script) {
  int n = 0;
  for (const auto& r : script.messages()) n += r.icon == "critical";
  return n;
}

class CourseOfWork : public ::testing::Test {
 protected:
  void SetUp() override {
    temp = std::make_unique<test::TempFolder>("form-test");
    dir = temp->path() / host::file_path("考务");
    xlsx::XlsxFormat format;
    sample::SampleOptions options;
    options.examinees = 60;
    sample::write_sample_workspace(host::path_text(dir), options, format);
    window = std::make_unique<MainWindow>();
    window->dialogs().set_script(&script);
    window->set_seed(7);
    window->show();
    ASSERT_TRUE(window->open_workspace(host::path_text(dir)));
  }
  void TearDown() override {
    window.reset();
    temp.reset();
  }

  template <typename W>
  W* w(const char* name) {
    auto* widget = qobject_cast<W*>(window->panel()->widget(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  host::FormModel& form() { return window->workspace()->form(); }
  spreadsheet::Engine& engine() { return window->workspace()->engine(); }

  void open_data_workbook() {
    auto* list = w<QListWidget>("LtbBiao");
    const int row = row_of(list, sample::kDataWorkbookName);
    ASSERT_GE(row, 0);
    list->setCurrentRow(row);
  }

  // With KELV_FORM_SAVED=DIR, the saved workbooks are copied into DIR, so
  // that runs on two systems can be compared.
  void keep_saved_workbooks() {
    const QByteArray folder = qgetenv("KELV_FORM_SAVED");
    if (folder.isEmpty()) return;
    const fs::path out = host::file_path(folder.toStdString());
    fs::create_directories(out);
    for (const fs::path& name :
         {host::file_path("考务.xlsx"),
          host::file_path("数据") / host::file_path(sample::kDataWorkbookName)})
      app::copy_file_over(host::path_text(dir / name), host::path_text(out / name.filename()));
  }

  void screenshot(QWidget* widget, const char* name) {
    const QByteArray folder = qgetenv("KELV_FORM_SCREENSHOTS");
    if (folder.isEmpty()) return;
    QDir().mkpath(QString::fromLocal8Bit(folder));
    QApplication::processEvents();
    widget->grab().save(QString::fromLocal8Bit(folder) + "/" + name);
  }

  std::unique_ptr<test::TempFolder> temp;
  fs::path dir;
  host::RecordingDialogs script;
  std::unique_ptr<MainWindow> window;
};

TEST_F(CourseOfWork, FromStartUpToSavedTables) {
  // Start-up filled both lists and made the fixed window resizable.
  EXPECT_TRUE(window->windowTitle().startsWith(QString::fromStdString(form().caption())));
  EXPECT_FALSE(window->isWindowModified());
  EXPECT_GE(row_of(w<QListWidget>("LtbBiao"), sample::kDataWorkbookName), 0);
  EXPECT_EQ(w<QListWidget>("LtbMoBan")->count(),
            static_cast<int>(sample::sample_template_names().size()));
  EXPECT_EQ(window->maximumWidth(), QWIDGETSIZE_MAX);
  ASSERT_FALSE(script.records().empty());
  EXPECT_EQ(script.records().back().kind, "resizable");
  EXPECT_FALSE(w<QPushButton>("CmdDoKaoHao")->isEnabled());
  EXPECT_TRUE(window->workspace()->component().state().FormReady);

  // Open the data workbook from the list.
  open_data_workbook();
  EXPECT_EQ(window->workspace()->component().state().DataBookName, sample::kDataWorkbookName);
  EXPECT_TRUE(w<QPushButton>("CmdDoKaoHao")->isEnabled());
  EXPECT_TRUE(w<QPushButton>("CmdDoYongBiao")->isEnabled());
  EXPECT_GT(form().control("CmbPaiXv").list_count(), 0);
  // The view follows the workbook and sheet the component left active.
  EXPECT_EQ(window->view()->title(), sample::kDataWorkbookName);
  EXPECT_EQ(window->view()->tabs()->tabText(window->view()->tabs()->currentIndex()),
            QString::fromStdString(engine().active_sheet().name()));

  // Random exam numbers, stored on the settings sheet at once.
  w<QRadioButton>("OptSJKaoHao")->click();
  host::Worksheet& dtb = engine().this_workbook().sheet("DTB");
  EXPECT_EQ(dtb.cells(3, 61).value(), host::Variant(false));
  EXPECT_EQ(dtb.cells(4, 61).value(), host::Variant(true));
  screenshot(window->panel(), "form-page0.png");

  // Assign.
  script.clear();
  QTest::mouseClick(w<QPushButton>("CmdDoKaoHao"), Qt::LeftButton);
  EXPECT_EQ(critical_boxes(script), 0);
  bool toned = false;
  for (const auto& r : script.records())
    toned |= r.kind == "tone" && r.hertz == 360 && r.milliseconds == 36;
  EXPECT_TRUE(toned);
  EXPECT_TRUE(window->status_text().startsWith("编排考号完成：60 名考生排入 2 个考场，用时"))
      << window->status_text().toStdString();
  EXPECT_TRUE(window->isWindowModified());
  host::Workbook& data = engine().workbook(sample::kDataWorkbookName);
  EXPECT_TRUE(has_heading(data.sheet("考生表"), "考号"));

  // The tables page shows the selected template.
  w<QTabWidget>("MultiPage1")->setCurrentIndex(1);
  EXPECT_EQ(form().control("MultiPage1").selected_page(), "Page1");
  EXPECT_EQ(engine().active_workbook().name(), "考务.xlsx");

  // Add a template; the name typed into the input box is cleaned.
  script.clear();
  script.queue_answer(" [座签] ");
  QTest::mouseClick(w<QPushButton>("CmdAddMB"), Qt::LeftButton);
  ASSERT_FALSE(script.records().empty());
  EXPECT_EQ(script.records().front().kind, "input");
  EXPECT_EQ(script.records().front().title, "添加模板");
  EXPECT_EQ(script.records().front().text, "请输入要添加的模板名:");
  auto* templates = w<QListWidget>("LtbMoBan");
  const int added = row_of(templates, "座签");
  ASSERT_GE(added, 0);
  EXPECT_EQ(templates->currentRow(), added);
  EXPECT_TRUE(has_sheet(engine().this_workbook(), "座签"));
  EXPECT_EQ(engine().active_sheet().name(), "座签");

  // Select the door list and try a layout count that is no number: the
  // failure is shown, the form goes on.
  templates->setCurrentRow(row_of(templates, "门贴"));
  EXPECT_EQ(engine().active_sheet().name(), "门贴");
  auto* hang = w<QLineEdit>("TxtHang");
  const QString kept = hang->text();
  script.clear();
  hang->setText("许多");
  QTest::keyClick(hang, Qt::Key_Return);
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].title, "错误");
  EXPECT_EQ(script.messages()[0].icon, "critical");
  hang->setText(kept);
  QTest::keyClick(hang, Qt::Key_Return);
  screenshot(window->panel(), "form-page1.png");

  // Generate.
  script.clear();
  QTest::mouseClick(w<QPushButton>("CmdDoYongBiao"), Qt::LeftButton);
  EXPECT_EQ(critical_boxes(script), 0);
  for (const auto& m : script.messages()) ADD_FAILURE() << m.title << " " << m.text;
  EXPECT_TRUE(has_sheet(data, "门贴"));
  EXPECT_EQ(engine().active_workbook().name(), sample::kDataWorkbookName);
  EXPECT_EQ(window->view()->tabs()->tabText(window->view()->tabs()->currentIndex()), "门贴");
  EXPECT_TRUE(window->status_text().startsWith("生成表格完成：“门贴”表，60 条记录，用时"))
      << window->status_text().toStdString();

  // Admission tickets carry photos; the view draws them.
  // The sample leaves a few photos out on purpose: the check names them
  // first, and the answer 继续 goes on.
  templates->setCurrentRow(row_of(templates, "准考证"));
  script.clear();
  script.queue_answer("Yes");
  QTest::mouseClick(w<QPushButton>("CmdDoYongBiao"), Qt::LeftButton);
  ASSERT_FALSE(script.messages().empty());
  EXPECT_EQ(script.messages()[0].title, "检查数据");
  EXPECT_NE(script.messages()[0].text.find("张照片在“照片”文件夹里找不到"), std::string::npos);
  EXPECT_EQ(critical_boxes(script), 0);
  ASSERT_TRUE(has_sheet(data, "准考证"));
  EXPECT_FALSE(spreadsheet::Engine::model_of(data.sheet("准考证")).pictures.empty());
  EXPECT_EQ(window->view()->tabs()->tabText(window->view()->tabs()->currentIndex()), "准考证");
  screenshot(window.get(), "form-view.png");

  // Save writes both workbooks; they read back with the work in them.
  EXPECT_TRUE(window->workspace()->unsaved());
  ASSERT_TRUE(window->save_all());
  EXPECT_FALSE(window->workspace()->unsaved());
  keep_saved_workbooks();
  spreadsheet::Engine check(std::make_shared<xlsx::XlsxFormat>());
  host::Workbook& host_book =
      check.open_host_workbook(host::path_text(dir / host::file_path("考务.xlsx")));
  EXPECT_TRUE(has_sheet(host_book, "座签"));
  host::Workbook& saved = check.open_workbook(
      host::path_text(dir / host::file_path("数据") / host::file_path(sample::kDataWorkbookName)));
  EXPECT_TRUE(has_sheet(saved, "门贴"));
  EXPECT_TRUE(has_heading(saved.sheet("考生表"), "考号"));
}

TEST_F(CourseOfWork, ClosingAsksAboutUnsavedWorkAndSavesOnYes) {
  EXPECT_FALSE(window->workspace()->unsaved());  // start-up alone is nothing to save
  open_data_workbook();
  EXPECT_TRUE(window->workspace()->unsaved());
  // An hour back, so a save shows even where file times count whole seconds
  // (the MinGW library's); the same bytes are no change elsewhere.
  const fs::path host_file = dir / host::file_path("考务.xlsx");
  fs::last_write_time(host_file, fs::last_write_time(host_file) - std::chrono::hours(1));
  const auto before = fs::last_write_time(host_file);

  script.clear();
  script.queue_answer("No");
  EXPECT_TRUE(window->close());
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].buttons, "YesNo");
  // The question names what would be saved.
  EXPECT_NE(script.messages()[0].text.find(".xlsx"), std::string::npos)
      << script.messages()[0].text;
  EXPECT_EQ(fs::last_write_time(dir / host::file_path("考务.xlsx")), before);

  window->show();
  script.clear();
  script.queue_answer("Yes");
  EXPECT_TRUE(window->close());
  EXPECT_NE(fs::last_write_time(dir / host::file_path("考务.xlsx")), before);
  EXPECT_FALSE(window->workspace()->unsaved());
}

TEST_F(CourseOfWork, SavingTakesATextBoxStillBeingEdited) {
  auto* start = w<QLineEdit>("TxtSKHao");
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  start->setFocus();
  ASSERT_TRUE(start->hasFocus());
  start->setText("2025000001");
  ASSERT_TRUE(window->save_all());
  EXPECT_EQ(form().control("TxtSKHao").value().to_text(), "2025000001");
  spreadsheet::Engine check(std::make_shared<xlsx::XlsxFormat>());
  host::Workbook& host_book =
      check.open_host_workbook(host::path_text(dir / host::file_path("考务.xlsx")));
  EXPECT_EQ(host_book.sheet("DTB").cells(2, 61).value().to_text(), "2025000001");
}

TEST_F(CourseOfWork, AFailedSaveIsShownInTheErrorBoxAndTheWindowGoesOn) {
  // A folder where the host workbook was: the file can not be replaced.
  fs::remove(dir / host::file_path("考务.xlsx"));
  fs::create_directories(dir / host::file_path("考务.xlsx") / host::file_path("占用"));
  script.clear();
  EXPECT_FALSE(window->save_all());
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].title, "错误");
  // The host's error as a sentence, without the bare error number.
  EXPECT_EQ(script.messages()[0].text.rfind("保存失败：无法保存文件", 0), 0u)
      << script.messages()[0].text;
  EXPECT_EQ(script.messages()[0].text.find("(1004)"), std::string::npos);
  EXPECT_NE(window->workspace(), nullptr);
}

TEST_F(CourseOfWork, AHostWorkbookChangedElsewhereIsReloadedWhenNothingIsUnsaved) {
  const fs::path host = dir / host::file_path("考务.xlsx");
  auto rewrite_with_new_sheet = [&](const std::string& name) {
    spreadsheet::Engine other(std::make_shared<xlsx::XlsxFormat>());
    host::Workbook& book = other.open_host_workbook(host::path_text(host));
    host::Worksheet& added = book.add_sheet_after(book.sheet_at(book.sheet_count() - 1));
    added.set_name(name);
    book.save();
  };
  auto wait_for = [](const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000) QTest::qWait(50);
    return done();
  };

  app::Workspace* first = window->workspace();
  rewrite_with_new_sheet("别处添加");
  ASSERT_TRUE(wait_for([&] { return window->workspace() != first; }));
  EXPECT_TRUE(has_sheet(engine().this_workbook(), "别处添加"));
  EXPECT_TRUE(window->workspace()->component().state().FormReady);
  EXPECT_TRUE(window->status_text().startsWith("已重新载入"));

  // With unsaved work the file on disk is left alone and the status says so.
  open_data_workbook();
  app::Workspace* second = window->workspace();
  rewrite_with_new_sheet("又一处");
  ASSERT_TRUE(wait_for([&] { return window->status_text().contains("未重新载入"); }));
  EXPECT_EQ(window->workspace(), second);
  EXPECT_FALSE(has_sheet(engine().this_workbook(), "又一处"));
}

std::string bytes_of(const fs::path& p) {
  return test::read_bytes(host::path_text(p));
}
std::string bytes_of(const std::string& p) {
  return test::read_bytes(p);
}

// Another program fixes the data workbook while the form has it open: no
// answer overwrites the fix, and every file a save replaces can be had back.
TEST_F(CourseOfWork, AFixMadeElsewhereIsNeverOverwrittenAndEveryReplacedFileIsKept) {
  const fs::path data = dir / host::file_path("数据") / host::file_path(sample::kDataWorkbookName);
  open_data_workbook();
  QTest::mouseClick(w<QPushButton>("CmdDoKaoHao"), Qt::LeftButton);
  {
    spreadsheet::Engine other(std::make_shared<xlsx::XlsxFormat>());
    host::Workbook& book = other.open_workbook(host::path_text(data));
    book.sheet("考生表").cells(2, 1).set_value(host::Variant("别处改的名字"));
    book.save();
  }
  fs::last_write_time(data, fs::last_write_time(data) + std::chrono::seconds(2));
  const std::string theirs = bytes_of(data);
  const std::string host_before = bytes_of(dir / host::file_path("考务.xlsx"));

  // Neither reload nor save as: nothing of the data workbook is written.
  script.clear();
  script.queue_answer("No");
  script.queue_answer("No");
  EXPECT_FALSE(window->save_all());
  EXPECT_EQ(bytes_of(data), theirs);
  EXPECT_TRUE(
      window->status_text().contains("未保存 " + QString::fromStdString(sample::kDataWorkbookName)))
      << window->status_text().toStdString();
  // The host workbook was saved, and its old file kept.
  std::vector<app::Backup> kept =
      app::list_backups(window->workspace()->backup_folder(), "考务.xlsx");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(bytes_of(kept[0].path), host_before);

  // Save as: kelv's arrangement goes beside the fix.
  script.clear();
  script.queue_answer("No");
  script.queue_answer("Yes");
  EXPECT_TRUE(window->save_all());
  EXPECT_EQ(bytes_of(data), theirs);
  const fs::path written =
      data.parent_path() / host::file_path(host::path_text(data.stem()) + "（kelv 副本）" +
                                           host::path_text(data.extension()));
  ASSERT_TRUE(fs::exists(written));
  spreadsheet::Engine check(std::make_shared<xlsx::XlsxFormat>());
  EXPECT_TRUE(has_heading(check.open_workbook(host::path_text(written)).sheet("考生表"), "考号"));

  // Restoring the host workbook's first copy gives back its bytes, and the
  // file it replaced is kept in turn.
  const std::string host_now = bytes_of(dir / host::file_path("考务.xlsx"));
  kept = app::list_backups(window->workspace()->backup_folder(), "考务.xlsx");
  ASSERT_EQ(kept.size(), 2u);
  app::restore_backup(kept.back(), host::path_text(dir / host::file_path("考务.xlsx")),
                      window->workspace()->backup_folder());
  EXPECT_EQ(bytes_of(dir / host::file_path("考务.xlsx")), host_before);
  kept = app::list_backups(window->workspace()->backup_folder(), "考务.xlsx");
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_EQ(bytes_of(kept.front().path), host_now);
}

// A workbook copied into the data folder shows in the list without a restart;
// one removed goes, and the selection stays on the workbook it was on.
TEST_F(CourseOfWork, TheDataListFollowsTheDataFolder) {
  open_data_workbook();
  const fs::path added = dir / host::file_path("数据") / host::file_path("补考.xlsx");
  fs::copy_file(dir / host::file_path("数据") / host::file_path(sample::kDataWorkbookName), added);
  auto* list = w<QListWidget>("LtbBiao");
  QElapsedTimer timer;
  timer.start();
  while (row_of(list, "补考.xlsx") < 0 && timer.elapsed() < 5000) QTest::qWait(50);
  EXPECT_GE(row_of(list, "补考.xlsx"), 0);
  EXPECT_EQ(list->currentRow(), row_of(list, sample::kDataWorkbookName));
  fs::remove(added);
  timer.restart();
  while (row_of(list, "补考.xlsx") >= 0 && timer.elapsed() < 5000) QTest::qWait(50);
  EXPECT_LT(row_of(list, "补考.xlsx"), 0);
}

// A plain list dropped into the data folder: the component misses the room
// sheet, and the form offers to make the data workbook from the list.
TEST_F(CourseOfWork, AListInTheDataFolderBecomesADataWorkbookWhenAsked) {
  {
    std::ofstream csv(dir / host::file_path("数据") / host::file_path("名单.csv"),
                      std::ios::binary);
    csv << "姓名,学校,身份证号\r\n张三,一中,110101200801010011\r\n李四,二中,110101200802020022\r\n";
  }
  auto* list = w<QListWidget>("LtbBiao");
  QElapsedTimer timer;
  timer.start();
  while (row_of(list, "名单.csv") < 0 && timer.elapsed() < 5000) QTest::qWait(50);
  ASSERT_GE(row_of(list, "名单.csv"), 0);
  script.clear();
  script.queue_answer("OK");   // 缺少 考场表
  script.queue_answer("Yes");  // make the data workbook
  list->setCurrentRow(row_of(list, "名单.csv"));
  ASSERT_GE(script.messages().size(), 2u);
  EXPECT_EQ(script.messages()[1].title, "做成数据工作簿");
  EXPECT_EQ(window->workspace()->component().state().DataBookName, "名单.xlsx");
  EXPECT_TRUE(w<QPushButton>("CmdDoKaoHao")->isEnabled());
  host::Workbook& made = engine().workbook("名单.xlsx");
  EXPECT_EQ(made.sheet("考生表").cells(2, 3).value().to_text(), "110101200801010011");
  EXPECT_TRUE(has_heading(made.sheet("考场表"), "场人"));
  EXPECT_TRUE(fs::exists(dir / host::file_path("数据") / host::file_path("名单.xlsx")));
}

// Another program's lock file beside a workbook kelv opens is warned of in
// a box, the data workbook's as well as the host workbook's.
TEST_F(CourseOfWork, LockFilesOfOtherProgramsAreWarnedOf) {
  std::ofstream(dir / host::file_path("数据") /
                host::file_path(std::string(".~lock.") + sample::kDataWorkbookName + "#"))
      << "lock";
  script.clear();
  auto* list = w<QListWidget>("LtbBiao");
  list->setCurrentRow(row_of(list, sample::kDataWorkbookName));
  bool warned = false;
  for (const auto& m : script.messages())
    warned = warned || (m.title == "提醒" && m.text.find(".~lock.") != std::string::npos &&
                        m.text.find(sample::kDataWorkbookName) != std::string::npos);
  EXPECT_TRUE(warned);
}

// A run the error box ends is never reported as done.
TEST_F(CourseOfWork, AnAssignmentThatStoppedSaysSoInsteadOfDone) {
  open_data_workbook();
  auto* start = w<QLineEdit>("TxtSKHao");
  start->setText("A001");
  QTest::keyClick(start, Qt::Key_Return);
  script.clear();
  script.queue_answer("Yes");  // the check's list names the start number; go on all the same
  QTest::mouseClick(w<QPushButton>("CmdDoKaoHao"), Qt::LeftButton);
  EXPECT_EQ(critical_boxes(script), 1);
  for (const auto& r : script.records()) EXPECT_NE(r.kind, "tone");
  EXPECT_TRUE(window->status_text().startsWith("编排考号没有完成"))
      << window->status_text().toStdString();
  EXPECT_FALSE(window->status_text().contains("完成，"));
}

TEST_F(CourseOfWork, HelpOpensTheGuideWindowWithOrWithoutTheHelpDocument) {
  // No word processor is asked, so neither a missing 帮助.doc nor a missing
  // viewer ends in the error box.
  fs::remove(dir / host::file_path("帮助.doc"));
  script.clear();
  QTest::mouseClick(w<QPushButton>("MyHelp"), Qt::LeftButton);
  EXPECT_TRUE(script.records().empty());
  ASSERT_NE(window->help_window(), nullptr);
  EXPECT_TRUE(window->help_window()->isVisible());
  EXPECT_FALSE(window->help_window()->chapter_titles().isEmpty());
}

TEST(SampleWorkspace, IsCreatedInANewFolderAndOpened) {
  const test::TempFolder temp("form-sample");
  const fs::path parent = temp.path();
  fs::create_directories(parent /
                         host::file_path(MainWindow::kSampleFolder));  // taken: not overwritten
  MainWindow window([](const std::string& folder) {
    xlsx::XlsxFormat format;
    sample::SampleOptions options;
    options.examinees = 20;
    sample::write_sample_workspace(folder, options, format);
  });
  host::RecordingDialogs script;
  window.dialogs().set_script(&script);
  ASSERT_TRUE(window.create_sample(host::path_text(parent)));
  const fs::path made = parent / host::file_path(std::string(MainWindow::kSampleFolder) + " 2");
  EXPECT_TRUE(fs::is_regular_file(made / host::file_path("考务.xlsx")));
  EXPECT_TRUE(fs::is_empty(parent / host::file_path(MainWindow::kSampleFolder)));
  ASSERT_NE(window.workspace(), nullptr);
  EXPECT_EQ(host::file_path(window.workspace()->root()), made);
  EXPECT_TRUE(window.workspace()->component().state().FormReady);
  // The start dialog offers it next time.
  EXPECT_EQ(host::file_path(MainWindow::last_workspace().toStdString()), made);
}

// A damaged host workbook opens mended, and the window says what was
// repaired before anything else.
TEST(DamagedWorkspace, OpensWithTheRepairsShown) {
  const test::TempFolder temp("form-damaged");
  const fs::path dir = temp.path() / host::file_path("考务");
  xlsx::XlsxFormat format;
  sample::SampleOptions options;
  options.examinees = 20;
  sample::write_sample_workspace(host::path_text(dir), options, format);
  // Its package relationships broken, as some producers leave them.
  const std::string host = host::path_text(dir / host::file_path("考务.xlsx"));
  {
    std::map<std::string, std::string> parts;
    {
      // Closed before the file is written over: Windows replaces no file
      // that is still open.
      xlsx::PackageReader in(host);
      for (const std::string& p : in.parts()) parts[p] = in.read(p);
    }
    parts["_rels/.rels"] = "<Relationships";
    xlsx::PackageWriter out(host);
    for (auto& [p, data] : parts) out.add(p, std::move(data));
    out.close();
  }
  MainWindow window;
  host::RecordingDialogs script;
  window.dialogs().set_script(&script);
  ASSERT_TRUE(window.open_workspace(host::path_text(dir)));
  ASSERT_FALSE(script.messages().empty());
  const host::DialogRecord shown = script.messages().front();
  EXPECT_EQ(shown.title, "文件已修复");
  EXPECT_NE(shown.text.find("“" + host + "”有损坏"), std::string::npos) << shown.text;
  EXPECT_NE(shown.text.find("_rels/.rels 损坏"), std::string::npos) << shown.text;
  EXPECT_TRUE(window.workspace()->component().state().FormReady);
}

}  // namespace
}  // namespace kelv::form
