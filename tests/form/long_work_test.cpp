// Long work in the window on a fresh sample workspace: the progress dialog
// and its 取消 (scripted), which leaves every open workbook and the form as
// they were; 编辑 › 撤销 after 编排考号, 生成表格 and 场次编排, which gives
// the sheets back cell for cell and is saved like any other change.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>

#include "app/form/exam_page.h"
#include "app/form/main_window.h"
#include "app/sample/sample_workspace.h"
#include "form/form_test_util.h"
#include "host/file_path.h"
#include "spreadsheet/engine.h"
#include "spreadsheet/sheet_dump.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::form {
namespace {

namespace fs = std::filesystem;

// Every open workbook, every sheet, every stored cell with its format.
std::string everything(app::Workspace& ws) {
  std::string text;
  for (host::Workbook* book : ws.open_workbooks()) {
    const spreadsheet::Workbook& model = spreadsheet::Engine::model_of(*book);
    text += "workbook " + book->name() + "\n";
    for (const auto& sheet : model.sheets)
      text += "sheet " + sheet->name + "\n" + spreadsheet::dump_sheet(model, *sheet);
  }
  return text;
}

// The form's values and lists as the component sees them.
std::string form_state(app::Workspace& ws) {
  std::string text;
  for (const host::Control* c : ws.form().controls()) {
    text += c->name() + "=" + c->value().to_text() + (c->enabled() ? "" : " disabled");
    if (c->kind() == host::ControlKind::ListBox || c->kind() == host::ControlKind::ComboBox)
      for (const std::string& item : c->items()) text += " [" + item + "]";
    text += "\n";
  }
  return text;
}

// Until it matches: where the two dumps first part.
std::string first_difference(const std::string& a, const std::string& b) {
  size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  const size_t from = a.rfind('\n', at) == std::string::npos ? 0 : a.rfind('\n', at) + 1;
  const size_t upto = at - from + 120;
  return "before: " + a.substr(from, upto) + "\nafter: " + b.substr(from, upto);
}

int critical_boxes(const host::RecordingDialogs& script) {
  int n = 0;
  for (const auto& m : script.messages()) n += m.icon == "critical";
  return n;
}

// Examinees with an exam number in the saved file of the data workbook.
int numbered_in_file(const fs::path& file) {
  spreadsheet::Engine check(std::make_shared<xlsx::XlsxFormat>());
  host::Worksheet& examinees = check.open_host_workbook(host::path_text(file)).sheet("考生表");
  int n = 0;
  for (int32_t c = 1; c <= 40; ++c) {
    if (examinees.cell_value(1, c).to_text() != "考号") continue;
    for (int32_t r = 2; r <= 200; ++r) n += !examinees.cell_value(r, c).to_text().empty();
  }
  return n;
}

class LongWorkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = temp.path() / host::file_path("考务");
    xlsx::XlsxFormat format;
    sample::SampleOptions options;
    options.examinees = 90;
    sample::write_sample_workspace(host::path_text(dir), options, format);
    window = std::make_unique<MainWindow>();
    window->dialogs().set_script(&script);
    window->set_seed(5);
    window->show();
    ASSERT_TRUE(window->open_workspace(host::path_text(dir)));
    auto* list = w<QListWidget>("LtbBiao");
    list->setCurrentRow(row_of(list, sample::kDataWorkbookName));
    ASSERT_NE(window->workspace()->data_workbook(), nullptr);
  }

  template <typename T>
  T* w(const char* name) {
    return qobject_cast<T*>(window->panel()->widget(name));
  }
  void click(const char* button) { QTest::mouseClick(w<QPushButton>(button), Qt::LeftButton); }
  app::Workspace& ws() { return *window->workspace(); }
  // Stops long work at its `n`th report.
  void cancel_at(int64_t n) {
    window->set_progress_script(
        [n](WorkProgress& p, std::string_view, int64_t, int64_t) { return p.reports() >= n; });
  }
  void choose_template(const char* template_name) {
    auto* templates = w<QListWidget>("LtbMoBan");
    templates->setCurrentRow(row_of(templates, template_name));
  }
  fs::path data_file() const {
    return dir / host::file_path("数据") / host::file_path(sample::kDataWorkbookName);
  }
  void generate() {
    script.queue_answer("Yes");  // the check's reminder of missing photos, where there is one
    click("CmdDoYongBiao");
  }

  test::TempFolder temp{"long-work"};
  fs::path dir;
  host::RecordingDialogs script;
  std::unique_ptr<MainWindow> window;
};

TEST_F(LongWorkTest, CancelledAssignmentLeavesEveryWorkbookAndTheFormAsTheyWere) {
  const std::string before = everything(ws());
  const std::string form_before = form_state(ws());
  const bool unsaved_before = ws().unsaved();
  std::string seen;
  window->set_progress_script(
      [&](WorkProgress& p, std::string_view what, int64_t done, int64_t) {
        seen = std::string(what);
        return done > 0 && p.reports() >= 3;
      },
      0);
  script.clear();
  click("CmdDoKaoHao");
  EXPECT_EQ(seen, "编排考号");
  EXPECT_TRUE(window->status_text().startsWith("已取消编排考号：所有工作簿都已恢复"))
      << window->status_text().toStdString();
  // No box with a code: the status line is the end.
  EXPECT_EQ(critical_boxes(script), 0);
  EXPECT_EQ(everything(ws()), before) << first_difference(before, everything(ws()));
  EXPECT_EQ(form_state(ws()), form_before);
  EXPECT_EQ(ws().unsaved(), unsaved_before);
  // A cancelled step leaves nothing to undo.
  EXPECT_FALSE(window->undo_action()->isEnabled());
  EXPECT_TRUE(w<QPushButton>("CmdDoKaoHao")->isEnabled());

  // Run to its end the next time, as if nothing had happened.
  window->set_progress_script(nullptr);
  click("CmdDoKaoHao");
  EXPECT_TRUE(window->status_text().startsWith("编排考号完成"))
      << window->status_text().toStdString();
}

TEST_F(LongWorkTest, CancelledGenerationKeepsTheAssignmentAndItsUndo) {
  click("CmdDoKaoHao");
  ASSERT_TRUE(window->undo_action()->isEnabled());
  choose_template("门贴");
  const std::string assigned = everything(ws());
  cancel_at(2);
  generate();
  EXPECT_TRUE(window->status_text().startsWith("已取消生成表格"))
      << window->status_text().toStdString();
  EXPECT_EQ(everything(ws()), assigned) << first_difference(assigned, everything(ws()));
  EXPECT_EQ(critical_boxes(script), 0);
  // 撤销 still undoes the assignment, the last step that finished.
  EXPECT_EQ(window->undo_action()->text(), "撤销编排考号(&U)");
}

TEST_F(LongWorkTest, CancelledSessionArrangementAddsNoWorkbook) {
  click("CmdDoKaoHao");
  const std::string assigned = everything(ws());
  const std::string form_before = form_state(ws());
  cancel_at(3);
  QTest::mouseClick(window->exam_page()->arrange_button(), Qt::LeftButton);
  EXPECT_TRUE(window->status_text().startsWith("已取消场次编排"))
      << window->status_text().toStdString();
  EXPECT_EQ(everything(ws()), assigned) << first_difference(assigned, everything(ws()));
  EXPECT_EQ(form_state(ws()), form_before);  // no 场次 workbook in the data list
  EXPECT_EQ(row_of(w<QListWidget>("LtbBiao"), "期末考试（第1场）.xlsx"), -1);
}

TEST_F(LongWorkTest, UndoAfterAssignmentGivesTheSheetsBackAndIsSavedLikeAnyChange) {
  QAction* undo = window->undo_action();
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_NE(undo->toolTip().indexOf("没有可撤销的操作"), -1);
  const std::string before = everything(ws());
  click("CmdDoKaoHao");
  ASSERT_NE(everything(ws()), before);
  ASSERT_TRUE(undo->isEnabled());
  EXPECT_EQ(undo->text(), "撤销编排考号(&U)");
  // Saved in between: undo still works, and the files then differ from
  // what is open.
  ASSERT_TRUE(window->save_all());
  EXPECT_EQ(numbered_in_file(data_file()), 90);
  window->activateWindow();
  QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(everything(ws()), before) << first_difference(before, everything(ws()));
  EXPECT_TRUE(window->status_text().startsWith("已撤销编排考号"))
      << window->status_text().toStdString();
  EXPECT_TRUE(ws().unsaved());
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_FALSE(window->undo());

  // The save writes the restored state: no exam number in the file.
  ASSERT_TRUE(window->save_all());
  EXPECT_EQ(numbered_in_file(data_file()), 0);
}

TEST_F(LongWorkTest, UndoAfterGenerationAndAfterSessionsTakesTheirResultsAway) {
  click("CmdDoKaoHao");
  choose_template("门贴");
  const std::string assigned = everything(ws());
  generate();
  ASSERT_TRUE(window->status_text().startsWith("生成表格完成"))
      << window->status_text().toStdString();
  EXPECT_EQ(window->undo_action()->text(), "撤销生成表格(&U)");
  ASSERT_TRUE(window->undo());
  EXPECT_EQ(everything(ws()), assigned) << first_difference(assigned, everything(ws()));

  const std::string form_before = form_state(ws());
  QTest::mouseClick(window->exam_page()->arrange_button(), Qt::LeftButton);
  ASSERT_TRUE(window->status_text().startsWith("场次编排完成"))
      << window->status_text().toStdString();
  ASSERT_GT(ws().engine().workbook_count(), 2);  // one workbook for each 场次
  ASSERT_TRUE(window->undo());
  EXPECT_EQ(everything(ws()), assigned) << first_difference(assigned, everything(ws()));
  EXPECT_EQ(form_state(ws()), form_before);
  EXPECT_EQ(ws().engine().workbook_count(), 2);
}

// The dialog once the work has gone on for a while: what is being done,
// how far, and 取消. With KELV_FORM_SCREENSHOTS=DIR the window is
// photographed with it at 1024 × 600 (docs/form/progress-1024x600.png:
//   xvfb-run -s "-screen 0 1024x600x24" env QT_QPA_PLATFORM=xcb
//   KELV_FORM_SCREENSHOTS=docs/form build/bin/test_form
//   --gtest_filter='LongWork.TheDialog*', from tests/form).
TEST_F(LongWorkTest, TheDialogSaysWhatIsBeingDone) {
  window->move(0, 0);
  window->resize(1024, 600);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  QTest::qWait(200);
  // The frame within the screen too.
  const QSize frame = window->frameGeometry().size() - window->size();
  window->resize(1024 - frame.width(), 600 - frame.height());
  QString label;
  bool modal = false;
  window->set_progress_script(
      [&](WorkProgress& p, std::string_view, int64_t done, int64_t total) {
        if (p.dialog() == nullptr || done < total / 2 || !label.isEmpty()) return false;
        label = p.dialog()->labelText();
        modal = p.dialog()->isModal() || p.dialog()->windowModality() == Qt::WindowModal;
        const QByteArray folder = qgetenv("KELV_FORM_SCREENSHOTS");
        if (!folder.isEmpty()) {
          QDir().mkpath(QString::fromLocal8Bit(folder));
          QApplication::processEvents();
          // On an X server the screen as it is; offscreen the dialog, a
          // window of its own, is drawn over the window's middle.
          QPixmap shot;
          if (QGuiApplication::platformName() == "xcb") {
            QTest::qWait(1000);  // the window manager frames and places the dialog
            shot = QGuiApplication::primaryScreen()->grabWindow(0);
          } else {
            shot = window->grab();
            const QPixmap dialog = p.dialog()->grab();
            QPainter paint(&shot);
            const QRect place((shot.width() - dialog.width()) / 2,
                              (shot.height() - dialog.height()) / 2, dialog.width(),
                              dialog.height());
            paint.drawPixmap(place.topLeft(), dialog);
            paint.end();
          }
          shot.save(QString::fromLocal8Bit(folder) + "/progress-1024x600.png");
        }
        return false;
      },
      0);
  click("CmdDoKaoHao");
  EXPECT_TRUE(label.startsWith("编排考号 ")) << label.toStdString();
  EXPECT_TRUE(label.contains(" / 90")) << label.toStdString();
  EXPECT_TRUE(modal);
  EXPECT_TRUE(window->status_text().startsWith("编排考号完成"));
}

}  // namespace
}  // namespace kelv::form
