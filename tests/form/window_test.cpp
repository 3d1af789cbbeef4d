// The form window around the form and the view: its title, where it opens
// on a small screen, what it remembers, its menus and the guide it shows.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextFragment>
#include <QTextImageFormat>
#include <filesystem>
#include <memory>

#include "app/form/help_window.h"
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

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings("kelv", "kelv-form").remove("window");
    temp = std::make_unique<test::TempFolder>("form-window");
    dir = temp->path() / host::file_path("期末考务");
    xlsx::XlsxFormat format;
    sample::SampleOptions options;
    options.examinees = 20;
    sample::write_sample_workspace(host::path_text(dir), options, format);
  }
  void TearDown() override {
    window.reset();
    QSettings("kelv", "kelv-form").remove("window");
  }
  void open() {
    window = std::make_unique<MainWindow>();
    window->dialogs().set_script(&script);
    window->show();
    ASSERT_TRUE(window->open_workspace(host::path_text(dir)));
  }
  // Whether `w` shows whole inside the window.
  bool shown_whole(QWidget* w) {
    const QRect box(w->mapTo(window.get(), QPoint(0, 0)), w->size());
    return w->isVisible() && window->rect().contains(box);
  }

  std::unique_ptr<test::TempFolder> temp;
  fs::path dir;
  host::RecordingDialogs script;
  std::unique_ptr<MainWindow> window;
};

TEST_F(WindowTest, TheTitleNamesTheWorkspaceAndTheWorkbookAfterTheCaption) {
  open();
  const QString caption = QString::fromStdString(window->workspace()->form().caption());
  EXPECT_EQ(window->windowTitle(), caption + " — 期末考务 — 考务.xlsx[*]");
  auto* list = qobject_cast<QListWidget*>(window->panel()->widget("LtbBiao"));
  list->setCurrentRow(row_of(list, sample::kDataWorkbookName));
  EXPECT_EQ(window->windowTitle(),
            caption + " — 期末考务 — " + QString(sample::kDataWorkbookName) + "[*]");
  // The component still finds the form by its caption.
  EXPECT_EQ(caption_of(window->windowTitle()), caption);
  EXPECT_EQ(window->maximumWidth(), QWIDGETSIZE_MAX);
}

TEST_F(WindowTest, OnANetbookTheWindowOpensWithinTheScreenWithItsCommandsInSight) {
  open();
  const QRect screen = QApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(window->frameGeometry()));
  // At the size it opens at on a 1024 × 600 screen the button, the status
  // bar and the sheet tabs show whole.
  window->resize(first_size(QSize(1024, 600)));
  QApplication::processEvents();
  EXPECT_EQ(window->size(), QSize(1008, 560));
  EXPECT_TRUE(shown_whole(window->panel()->widget("CmdDoKaoHao")));
  EXPECT_TRUE(shown_whole(window->statusBar()));
  EXPECT_TRUE(shown_whole(window->view()->tabs()));
  // A 1024 × 600 screen and a size remembered on a larger one.
  EXPECT_EQ(first_size(QSize(1024, 600)), QSize(1008, 560));
  EXPECT_EQ(first_size(QSize(1920, 1080)), QSize(1200, 720));
  EXPECT_EQ(placed_on_screen(QRect(1500, 900, 1200, 720), QRect(0, 0, 1024, 600), false),
            QRect(0, 0, 1024, 600));
  EXPECT_EQ(placed_on_screen(QRect(900, 20, 300, 200), QRect(0, 0, 1024, 600), false),
            QRect(724, 20, 300, 200));
  EXPECT_EQ(placed_on_screen(QRect(0, 0, 200, 100), QRect(0, 0, 1000, 600), true),
            QRect(400, 250, 200, 100));
}

TEST_F(WindowTest, SizeAndSplitterAreRememberedOnClosing) {
  open();
  window->resize(720, 560);
  window->splitter()->setSizes({260, 440});
  const QList<int> sizes = window->splitter()->sizes();
  ASSERT_TRUE(window->close());
  window = std::make_unique<MainWindow>();
  window->show();
  QApplication::processEvents();
  EXPECT_EQ(window->size(), QSize(720, 560));
  EXPECT_EQ(window->splitter()->sizes(), sizes);
}

TEST_F(WindowTest, TheMenusHoldTheEditViewAndHelpCommands) {
  open();
  QStringList menus;
  for (QAction* a : window->menuBar()->actions()) menus << a->text();
  EXPECT_EQ(menus, (QStringList{"文件(&F)", "编辑(&E)", "视图(&V)", "考务(&K)", "帮助(&H)"}));
  EXPECT_EQ(window->view()->copy_action()->shortcut(), QKeySequence(QKeySequence::Copy));
  EXPECT_EQ(window->view()->find_action()->shortcut(), QKeySequence(QKeySequence::Find));
  // The view's commands reach the status bar.
  window->view()->canvas()->select(1, 1);
  window->view()->copy_action()->trigger();
  EXPECT_EQ(window->status_text(), "已复制 A1");
}

TEST_F(WindowTest, F1ShowsTheUserGuideWithItsChaptersAndPictures) {
  open();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(window.get(), Qt::Key_F1);
  HelpWindow* help = window->help_window();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(QApplication::primaryScreen()->availableGeometry().contains(help->frameGeometry()));
  // The chapters are the guide's, as docs/用户指南.md has them.
  QFile guide(QString::fromUtf8(KELV_SOURCE_DIR "/docs/用户指南.md"));
  ASSERT_TRUE(guide.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(guide.readAll());
  QStringList chapters;
  int pictures = 0;
  for (const QString& line : text.split('\n')) {
    if (line.startsWith("## ")) chapters << line.mid(3).trimmed();
    pictures += line.startsWith("![") ? 1 : 0;
  }
  EXPECT_EQ(help->chapter_titles(), chapters);
  // Chinese broken over two lines of the guide reads on without a space
  // (spaces the guide has, beside a `command`, stay).
  const QString marked_off = QString(text).remove('`').remove("**");
  const QRegularExpression gap(QString::fromUtf8("[\\x{2E80}-\\x{FFFF}] [\\x{2E80}-\\x{FFFF}]"));
  for (auto it = gap.globalMatch(help->browser()->toPlainText()); it.hasNext();) {
    const QString found = it.next().captured();
    EXPECT_TRUE(marked_off.contains(found)) << found.toStdString();
  }
  // Every picture is in the program and shown.
  QTextDocument* doc = help->browser()->document();
  int shown = 0;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      if (!format.isImageFormat()) continue;
      const QTextImageFormat image = format.toImageFormat();
      const QVariant data =
          help->browser()->loadResource(QTextDocument::ImageResource, QUrl(image.name()));
      EXPECT_FALSE(data.toByteArray().isEmpty()) << image.name().toStdString();
      EXPECT_GT(image.width(), 0);
      ++shown;
    }
  }
  EXPECT_EQ(shown, pictures);
  ASSERT_GT(shown, 0);
  // A chapter is shown at the top; find goes on from there.
  const int last = static_cast<int>(chapters.size()) - 1;
  help->show_chapter(last);
  EXPECT_GT(help->browser()->verticalScrollBar()->value(), 0);
  help->find_field()->setText("编排考号");
  EXPECT_TRUE(help->find_next());
  EXPECT_EQ(help->browser()->textCursor().selectedText(), "编排考号");
  // The component's own help button shows the same window, not 帮助.doc.
  script.clear();
  help->hide();
  window->run_event("MyHelp");
  EXPECT_TRUE(script.records().empty());
  EXPECT_TRUE(help->isVisible());
}

}  // namespace
}  // namespace kelv::form
