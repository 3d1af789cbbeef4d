// Printing from the form: the preview pages through a generated table with
// zoom and scope, the 文件 menu opens it, and PDF export writes a file with
// the table's text in it.
//
// With KELV_FORM_SCREENSHOTS=DIR the run also writes print-preview.png and
// print-preview-width.png into DIR.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/form/main_window.h"
#include "app/sample/sample_workspace.h"
#include "form/form_test_util.h"
#include "host/file_path.h"
#include "spreadsheet/engine.h"
#include "support/outside_tools.h"
#include "xlsx/xlsx_format.h"

namespace kelv::form {
namespace {

namespace fs = std::filesystem;

// The text of a PDF as pdftotext gives it; empty when it is not installed.
std::string pdf_text(const fs::path& pdf) {
  return test::command_output("pdftotext -layout '" + host::path_text(pdf) + "' -");
}

bool any_dark_pixel(const QImage& img) {
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2)
      if (qGray(img.pixel(x, y)) < 100) return true;
  return false;
}

class Printing : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir = fs::temp_directory_path() / ("kelv-print-test-" + std::to_string(stamp));
    xlsx::XlsxFormat format;
    sample::SampleOptions options;
    options.examinees = 60;
    sample::write_sample_workspace(host::path_text(dir), options, format);
    window = std::make_unique<MainWindow>();
    window->dialogs().set_script(&script);
    window->set_seed(7);
    window->resize(1200, 760);
    window->show();
    ASSERT_TRUE(window->open_workspace(host::path_text(dir)));
  }
  void TearDown() override {
    window.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  template <typename W>
  W* w(const char* name) {
    return qobject_cast<W*>(window->panel()->widget(name));
  }
  QString shown_tab() const {
    return window->view()->tabs()->tabText(window->view()->tabs()->currentIndex());
  }

  // Opens the data workbook, assigns and generates the table `name`.
  void generate(const QString& name) {
    auto* books = w<QListWidget>("LtbBiao");
    books->setCurrentRow(row_of(books, sample::kDataWorkbookName));
    QTest::mouseClick(w<QPushButton>("CmdDoKaoHao"), Qt::LeftButton);
    w<QTabWidget>("MultiPage1")->setCurrentIndex(1);
    auto* templates = w<QListWidget>("LtbMoBan");
    templates->setCurrentRow(row_of(templates, name));
    // The sample leaves a few photos out: before admission tickets the check
    // names them, and 继续 goes on.
    if (name == "准考证") script.queue_answer("Yes");
    QTest::mouseClick(w<QPushButton>("CmdDoYongBiao"), Qt::LeftButton);
    ASSERT_EQ(shown_tab(), name);
  }

  void screenshot(QWidget* widget, const char* name) {
    const QByteArray folder = qgetenv("KELV_FORM_SCREENSHOTS");
    if (folder.isEmpty()) return;
    QDir().mkpath(QString::fromLocal8Bit(folder));
    QApplication::processEvents();
    widget->grab().save(QString::fromLocal8Bit(folder) + "/" + name);
  }

  QAction* file_action(const QString& text) {
    for (QAction* menu : window->menuBar()->actions())
      for (QAction* a : menu->menu()->actions())
        if (a->text().startsWith(text)) return a;
    return nullptr;
  }

  fs::path dir;
  host::RecordingDialogs script;
  std::unique_ptr<MainWindow> window;
};

TEST_F(Printing, ThePreviewShowsTheGeneratedTablePageByPageWithZoom) {
  generate("准考证");
  // The menu opens the preview as a modal dialog; it is driven while open.
  QAction* preview_action = file_action("打印预览");
  ASSERT_NE(preview_action, nullptr);
  bool checked = false;
  QTimer::singleShot(0, [&] {
    PrintPreview* preview = window->preview();
    ASSERT_NE(preview, nullptr);
    preview->resize(900, 760);
    QApplication::processEvents();
    // 60 examinees on admission tickets, six to a page.
    EXPECT_EQ(preview->page_count(), 10);
    EXPECT_EQ(preview->status(), "第 1 页，共 10 页");
    const QImage whole = preview->page_view()->image();
    ASSERT_FALSE(whole.isNull());
    EXPECT_TRUE(any_dark_pixel(whole));
    // A4 upright: taller than wide, the whole page inside the window.
    EXPECT_GT(whole.height(), whole.width());
    EXPECT_LE(whole.deviceIndependentSize().height(), 760);
    screenshot(preview, "print-preview.png");

    preview->show_page(9);
    EXPECT_EQ(preview->status(), "第 10 页，共 10 页");
    preview->show_page(20);  // held at the last page
    EXPECT_EQ(preview->page(), 9);
    QTest::keyClick(preview, Qt::Key_PageUp);
    EXPECT_EQ(preview->page(), 8);

    preview->set_zoom(2.0);
    EXPECT_GT(preview->page_view()->image().width(), 2 * whole.width());
    preview->set_zoom(-1);  // the page's width
    preview->show_page(0);
    screenshot(preview, "print-preview-width.png");

    // The whole workbook adds the room and examinee sheets in tab order.
    preview->set_scope(PrintPreview::Scope::Workbook);
    EXPECT_GT(preview->page_count(), 10);
    EXPECT_EQ(preview->page(), 0);
    checked = true;
    preview->accept();
  });
  preview_action->trigger();
  EXPECT_TRUE(checked);
  EXPECT_EQ(window->preview(), nullptr);
  // The component takes events again.
  EXPECT_TRUE(w<QPushButton>("CmdDoYongBiao")->isEnabled());
}

TEST_F(Printing, ExportWritesThePdfOfTheShownSheet) {
  generate("门贴");
  const fs::path pdf = dir / host::file_path("门贴.pdf");
  ASSERT_EQ(window->export_pdf(QString::fromStdString(host::path_text(pdf))), PrintOutcome::Done);
  QFile file(QString::fromStdString(host::path_text(pdf)));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.read(5).startsWith("%PDF-"));
  EXPECT_TRUE(window->status_text().startsWith("已导出"));
  // The door list's rooms and exam numbers are text in the file.
  const std::string text = pdf_text(pdf);
  if (!text.empty()) {
    spreadsheet::Engine& engine = window->workspace()->engine();
    host::Worksheet& list = engine.workbook(sample::kDataWorkbookName).sheet("考生表");
    int32_t number_col = 0;
    for (int32_t c = 1; c <= 40 && number_col == 0; ++c)
      if (list.cells(1, c).value() == host::Variant("考号")) number_col = c;
    ASSERT_GT(number_col, 0);
    for (int32_t r = 2; r <= 61; ++r)
      EXPECT_NE(text.find(list.cells(r, number_col).value().to_text()), std::string::npos) << r;
  }

  // A folder that cannot be written shows the failure and leaves nothing.
  script.clear();
  const fs::path bad = dir / host::file_path("没有这个文件夹") / host::file_path("x.pdf");
  EXPECT_EQ(window->export_pdf(QString::fromStdString(host::path_text(bad))), PrintOutcome::Failed);
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].icon, "critical");
  EXPECT_FALSE(fs::exists(bad));
}

}  // namespace
}  // namespace kelv::form
