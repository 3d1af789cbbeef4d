// Getting into the form with one's own data: a new workspace from an empty
// folder and a school's list, a folder that is no workspace, lists and
// photos dropped on the window or put into the data folder; the honest ends
// of generation and arrangement; the recent workspaces and the shortcuts.
// Every dialog is answered by a script.
//
// With KELV_FORM_SCREENSHOTS=DIR the new user's path writes
// form-new-workspace.png into DIR.
#include "app/form/workspace_door.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <memory>

#include "app/core/roster_intake.h"
#include "app/form/main_window.h"
#include "app/form/window_state.h"
#include "app/sample/sample_workspace.h"
#include "form/form_test_util.h"
#include "host/file_path.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::form {
namespace {

namespace fs = std::filesystem;

const fs::path kData = host::file_path(KELV_SOURCE_DIR) / host::file_path("tests/form/data");

std::string roster(const char* name) {
  return host::path_text(kData / host::file_path(name));
}

bool has_sheet(host::Workbook& book, const std::string& name) {
  for (host::Worksheet& sheet : book.worksheets())
    if (sheet.name() == name) return true;
  return false;
}

// The dialogs a person answered: every message and input box.
int answered(const host::RecordingDialogs& script) {
  int n = 0;
  for (const auto& r : script.records()) n += r.kind == "message" || r.kind == "input";
  return n;
}

QAction* action_named(QWidget* window, const QString& text) {
  for (QAction* a : window->findChildren<QAction*>())
    if (a->text() == text) return a;
  return nullptr;
}

class DoorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings("kelv", "kelv-form").remove(kRecentKey);
    QSettings("kelv", "kelv-form").remove(MainWindow::kLastWorkspaceKey);
    window = std::make_unique<MainWindow>();
    window->dialogs().set_script(&script);
    window->set_seed(5);
    window->show();
  }
  void TearDown() override {
    window.reset();
    QSettings("kelv", "kelv-form").remove(kRecentKey);
    QSettings("kelv", "kelv-form").remove(MainWindow::kLastWorkspaceKey);
  }
  template <typename W>
  W* w(const char* name) {
    auto* widget = qobject_cast<W*>(window->panel()->widget(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  std::string folder(const char* name) {
    const fs::path p = temp.path() / host::file_path(name);
    fs::create_directories(p);
    return host::path_text(p);
  }
  QStringList data_list() {
    QStringList names;
    auto* list = w<QListWidget>("LtbBiao");
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
    return names;
  }
  void drop(const QStringList& paths) {
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    mime->setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &dropped);
    delete mime;
  }
  void screenshot(const char* name) {
    const QByteArray out = qgetenv("KELV_FORM_SCREENSHOTS");
    if (out.isEmpty()) return;
    QDir().mkpath(QString::fromLocal8Bit(out));
    QApplication::processEvents();
    window->grab().save(QString::fromLocal8Bit(out) + "/" + name);
  }

  test::TempFolder temp{"form-door"};
  host::RecordingDialogs script;
  std::unique_ptr<MainWindow> window;
};

TEST_F(DoorTest, ANewUserGoesFromAnEmptyFolderAndAListToAPdfOfDoorListsInTenSteps) {
  const std::string empty = folder("新学期");
  int steps = 0;
  // 1: 新建工作区… in the start dialog.
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* b : box->buttons())
      if (b->text() == "新建工作区…") {
        ++steps;
        b->click();
      }
  });
  // 2: the folder, 3: the list, 4: 30 a room.
  script.queue_answer(empty);
  script.queue_answer(roster("新生名单.csv"));
  script.queue_answer("30");
  ASSERT_TRUE(window->offer_start());
  steps += answered(script);
  EXPECT_EQ(steps, 4);
  for (const char* made : {"考务.xlsx", "帮助.doc", "数据", "照片", "数据/新生名单.xlsx"})
    EXPECT_TRUE(fs::exists(host::file_path(empty) / host::file_path(made))) << made;
  EXPECT_EQ(data_list(), QStringList{"新生名单.xlsx"});
  EXPECT_TRUE(window->status_text().contains("已排出 3 个考场"))
      << window->status_text().toStdString();
  // The new workspace has the templates but no examinees of the sample's.
  EXPECT_EQ(w<QListWidget>("LtbMoBan")->count(),
            static_cast<int>(sample::sample_template_names().size()));
  screenshot("form-new-workspace.png");

  // 5: 编排考号.
  script.clear();
  QTest::mouseClick(w<QPushButton>("CmdDoKaoHao"), Qt::LeftButton);
  ++steps;
  steps += answered(script);
  EXPECT_TRUE(window->status_text().startsWith("编排考号完成：65 名考生排入 3 个考场"))
      << window->status_text().toStdString();
  // 6: the 制表 page, 7: 门贴, 8: 生成表格.
  auto* pages = w<QTabWidget>("MultiPage1");
  QTest::mouseClick(pages->tabBar(), Qt::LeftButton, Qt::NoModifier,
                    pages->tabBar()->tabRect(1).center());
  auto* templates = w<QListWidget>("LtbMoBan");
  QListWidgetItem* door = templates->item(row_of(templates, "门贴"));
  QTest::mouseClick(templates->viewport(), Qt::LeftButton, Qt::NoModifier,
                    templates->visualItemRect(door).center());
  script.clear();
  QTest::mouseClick(w<QPushButton>("CmdDoYongBiao"), Qt::LeftButton);
  steps += 3 + answered(script);
  ASSERT_TRUE(has_sheet(*window->workspace()->data_workbook(), "门贴"));
  EXPECT_TRUE(window->status_text().startsWith("生成表格完成：“门贴”表，65 条记录"))
      << window->status_text().toStdString();
  // 9: Ctrl+E, 10: 保存 in the file dialog.
  QAction* export_pdf = action_named(window.get(), "导出 PDF(&D)…");
  ASSERT_NE(export_pdf, nullptr);
  EXPECT_EQ(export_pdf->shortcut(), QKeySequence("Ctrl+E"));
  const QString pdf = QString::fromStdString(empty) + "/门贴.pdf";
  EXPECT_EQ(window->export_pdf(pdf), PrintOutcome::Done);
  steps += 2;
  EXPECT_TRUE(window->status_text().contains("3 页")) << window->status_text().toStdString();
  EXPECT_EQ(test::read_bytes(pdf.toStdString()).rfind("%PDF", 0), 0u);
  EXPECT_LE(steps, 10);
}

TEST_F(DoorTest, AFolderHoldingOnlyAListIsOfferedAsANewWorkspaceAndTheListBroughtIn) {
  const std::string lone = folder("高一");
  const fs::path list = host::file_path(lone) / host::file_path("名单.csv");
  fs::copy_file(host::file_path(roster("新生名单.csv")), list);
  const std::string bytes = test::read_bytes(host::path_text(list));

  // Declined: nothing is written.
  script.queue_answer("No");
  EXPECT_FALSE(window->open_workspace(lone));
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_NE(script.messages()[0].text.find("不是 kelv 工作区"), std::string::npos);
  EXPECT_NE(script.messages()[0].text.find("是否在"), std::string::npos);
  EXPECT_EQ(script.messages()[0].text.find("可以在这里新建工作区"), std::string::npos);
  EXPECT_FALSE(fs::exists(host::file_path(lone) / host::file_path("考务.xlsx")));

  // Accepted: the workspace, then the list lying there, then its rooms.
  script.clear();
  script.queue_answer("Yes");
  script.queue_answer("Yes");
  script.queue_answer("40");
  EXPECT_TRUE(window->open_workspace(lone));
  ASSERT_NE(window->workspace(), nullptr);
  EXPECT_EQ(window->workspace()->data_workbook()->name(), "名单.xlsx");
  EXPECT_EQ(data_list(), QStringList{"名单.xlsx"});
  EXPECT_EQ(test::read_bytes(host::path_text(list)), bytes);  // the list itself is untouched
  EXPECT_TRUE(window->status_text().contains("2 个考场")) << window->status_text().toStdString();
  EXPECT_TRUE(window->isWindowModified());  // the rooms are not saved yet
  // The same list again from 考务 › 导入考生名单…: the data workbook it would
  // replace is asked about, and kept on No.
  script.clear();
  script.queue_answer(host::path_text(list));
  script.queue_answer("No");
  EXPECT_FALSE(window->door()->bring_list_in());
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_NE(script.messages()[0].text.find("已经存在，会被替换"), std::string::npos);
  EXPECT_TRUE(window->isWindowModified());  // nothing was reopened
  // A workspace cannot be made twice in one folder.
  script.clear();
  EXPECT_FALSE(window->door()->create_in(QString::fromStdString(lone)));
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_NE(script.messages()[0].text.find("已经是工作区"), std::string::npos);
}

TEST_F(DoorTest, DroppedListsAndPhotosComeInAndAListPutIntoTheDataFolderIsOfferedOnce) {
  const std::string ws = folder("初三");
  script.queue_answer(QString::fromStdString(ws).toStdString());
  script.queue_answer(std::nullopt);  // no list yet
  EXPECT_TRUE(window->door()->new_workspace());
  EXPECT_TRUE(data_list().isEmpty());

  // Photos: a new one is copied, one of a name already there is kept
  // unless the person says to replace it.
  const fs::path photos = host::file_path(ws) / host::file_path("照片");
  const fs::path taken = photos / "G3201.jpg";
  test::write_bytes(host::path_text(taken), "old");
  const std::string camera = folder("相机");
  test::write_bytes(camera + "/G3201.jpg", "new");
  test::write_bytes(camera + "/G3202.png", "new");
  test::write_bytes(camera + "/说明.docx", "");
  // The list's numbers lost their last digits in the program that wrote it.
  script.clear();
  script.queue_answer("No");   // replace G3201.jpg?
  script.queue_answer("Yes");  // make the data workbook
  script.queue_answer("OK");   // the lost digits
  script.queue_answer("30");   // rooms
  drop({QString::fromStdString(camera + "/G3201.jpg"),
        QString::fromStdString(camera + "/G3202.png"),
        QString::fromStdString(roster("转学名单.csv")),
        QString::fromStdString(camera + "/说明.docx")});
  EXPECT_EQ(test::read_bytes(host::path_text(taken)), "old");
  EXPECT_EQ(test::read_bytes(host::path_text(photos / "G3202.png")), "new");
  EXPECT_EQ(data_list(), QStringList{"转学名单.xlsx"});
  bool warned = false, refused = false;
  for (const auto& m : script.messages()) {
    warned |= m.title == "提醒" && m.text.find("身份证号") != std::string::npos;
    refused |= m.text.find("说明.docx") != std::string::npos;
  }
  EXPECT_TRUE(warned);
  EXPECT_TRUE(refused);

  // A list another program saved into the data folder is offered once.
  fs::copy_file(host::file_path(roster("新生名单.csv")),
                host::file_path(ws) / host::file_path("数据/新生名单.csv"));
  script.clear();
  script.queue_answer("No");
  window->door()->data_folder_changed();
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_NE(script.messages()[0].text.find("“新生名单.csv”不是数据工作簿"), std::string::npos);
  window->door()->data_folder_changed();
  // Nor again when the workspace is read anew (after a save, a restore).
  window->reload();
  EXPECT_EQ(script.messages().size(), 1u);
}

class SampleDoorTest : public DoorTest {
 protected:
  void SetUp() override {
    DoorTest::SetUp();
    dir = temp.path() / host::file_path("考务");
    xlsx::XlsxFormat format;
    sample::SampleOptions options;
    options.examinees = 40;
    sample::write_sample_workspace(host::path_text(dir), options, format);
    ASSERT_TRUE(window->open_workspace(host::path_text(dir)));
    auto* list = w<QListWidget>("LtbBiao");
    list->setCurrentRow(row_of(list, sample::kDataWorkbookName));
  }
  void choose_template(const char* name) {
    w<QTabWidget>("MultiPage1")->setCurrentIndex(1);
    auto* templates = w<QListWidget>("LtbMoBan");
    templates->setCurrentRow(row_of(templates, name));
  }
  // The questions about tables left from the old numbers.
  std::vector<host::DialogRecord> stale_questions() {
    std::vector<host::DialogRecord> found;
    for (const auto& m : script.messages())
      if (m.title == "表格已过时") found.push_back(m);
    return found;
  }
  fs::path dir;
};

TEST_F(SampleDoorTest, GeneratingBeforeTheArrangementSaysSoAndNeverDone) {
  choose_template("门贴");
  script.clear();
  script.queue_answer("Yes");  // the check's finding: go on anyway
  QTest::mouseClick(w<QPushButton>("CmdDoYongBiao"), Qt::LeftButton);
  EXPECT_EQ(window->status_text(), "生成表格没有生成任何内容：请先编排考号");
  // The component's list of missing fields names each field once.
  bool listed = false;
  for (const auto& m : script.messages()) {
    if (m.text.find("字段") == std::string::npos) continue;
    listed = true;
    EXPECT_EQ(m.text.find("考号"), m.text.rfind("考号")) << m.text;
  }
  EXPECT_TRUE(listed);
}

TEST_F(SampleDoorTest, ANewArrangementNamesTheTablesMadeFromTheOldNumbersAndRegeneratesThem) {
  QTest::mouseClick(w<QPushButton>("CmdDoKaoHao"), Qt::LeftButton);
  choose_template("门贴");
  QTest::mouseClick(w<QPushButton>("CmdDoYongBiao"), Qt::LeftButton);
  choose_template("签到表");
  QTest::mouseClick(w<QPushButton>("CmdDoYongBiao"), Qt::LeftButton);
  host::Workbook& data = *window->workspace()->data_workbook();
  ASSERT_TRUE(has_sheet(data, "门贴") && has_sheet(data, "签到表"));

  // Left as they are: the status line says they are out of date.
  w<QTabWidget>("MultiPage1")->setCurrentIndex(0);
  script.clear();
  script.queue_answer("OK");  // the component's note on the kept combinations
  script.queue_answer("No");
  QTest::mouseClick(w<QPushButton>("CmdDoKaoHao"), Qt::LeftButton);
  const auto stale = stale_questions();
  ASSERT_EQ(stale.size(), 1u);
  EXPECT_EQ(stale[0].text,
            "“签到表”、“门贴”是按重新编排之前的考号生成的，已经过时。是否现在用新的考号重新生成？");
  EXPECT_EQ(stale[0].answer, "No");
  EXPECT_EQ(window->status_text(), "“签到表”、“门贴”已经过时（按旧考号生成）：请选择模板重新生成");

  // Regenerated: both tables are made again, the chosen template stays.
  w<QTabWidget>("MultiPage1")->setCurrentIndex(1);
  const int chosen = w<QListWidget>("LtbMoBan")->currentRow();
  script.clear();
  script.queue_answer("OK");
  script.queue_answer("Yes");
  window->run_event("CmdDoKaoHaoClick");
  ASSERT_EQ(stale_questions().size(), 1u);
  EXPECT_EQ(window->status_text(), "已按新的考号重新生成“签到表”、“门贴”");
  EXPECT_TRUE(has_sheet(data, "门贴") && has_sheet(data, "签到表"));
  EXPECT_EQ(w<QListWidget>("LtbMoBan")->currentRow(), chosen);
}

TEST_F(SampleDoorTest, RecentWorkspacesShortcutsAndTheFirstFolderProposedAllExist) {
  const std::string other = folder("另一个");
  script.queue_answer("No");  // the opened data workbook is not saved
  script.queue_answer(other);
  script.queue_answer(std::nullopt);
  ASSERT_TRUE(window->door()->new_workspace());
  const QStringList recent = WorkspaceDoor::recent_workspaces();
  ASSERT_EQ(recent.size(), 2);
  EXPECT_EQ(QDir(recent[0]), QDir(QString::fromStdString(other)));
  EXPECT_EQ(QDir(recent[1]), QDir(QString::fromStdString(host::path_text(dir))));
  auto* menu = window->findChild<QMenu*>("RecentWorkspaces");
  ASSERT_NE(menu, nullptr);
  emit menu->aboutToShow();
  ASSERT_EQ(menu->actions().size(), 2);
  // Choosing the older one opens it again.
  menu->actions()[1]->trigger();
  EXPECT_EQ(QDir(QString::fromStdString(window->workspace()->root())),
            QDir(QString::fromStdString(host::path_text(dir))));
  // A workspace that is gone leaves the list, and the folder proposed to a
  // folder dialog always exists.
  fs::remove_all(host::file_path(other));
  EXPECT_EQ(WorkspaceDoor::recent_workspaces().size(), 1);
  EXPECT_TRUE(QFileInfo(WorkspaceDoor::proposed_folder()).isDir());

  for (const auto& [text, keys] : {std::pair{"编排考号(&A)", "Ctrl+K"},
                                   {"生成表格(&G)", "Ctrl+G"},
                                   {"打印预览(&V)", "Ctrl+Shift+P"},
                                   {"导出 PDF(&D)…", "Ctrl+E"},
                                   {"新建工作区(&W)…", "Ctrl+N"}}) {
    QAction* a = action_named(window.get(), text);
    ASSERT_NE(a, nullptr) << text;
    EXPECT_EQ(a->shortcut(), QKeySequence(keys)) << text;
  }
  // The arrangement's shortcut clicks the button.
  auto* list = w<QListWidget>("LtbBiao");
  list->setCurrentRow(row_of(list, sample::kDataWorkbookName));
  QApplication::setActiveWindow(window.get());
  script.queue_answer("OK");  // the component's note on the kept combinations
  QTest::keyClick(window.get(), Qt::Key_K, Qt::ControlModifier);
  EXPECT_TRUE(window->status_text().startsWith("编排考号完成"))
      << window->status_text().toStdString();
}

}  // namespace
}  // namespace kelv::form
