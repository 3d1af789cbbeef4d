#include "app/form/help_window.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QHBoxLayout>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QVBoxLayout>
#include <QtGlobal>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "app/core/version.h"
#include "app/form/window_state.h"

namespace kelv::form {
namespace {

// Chapters are the second-level headings ("## 一、工作区").
constexpr int kChapterLevel = 2;
// Room left beside a picture fitted to the page, pixels.
constexpr int kPictureMargin = 40;
constexpr QSize kPreferredSize(960, 680);

bool is_wide(QChar ch) {
  return ch.unicode() >= 0x2E80;  // CJK characters and punctuation
}

// Whether a Markdown line starts a block of its own (a heading, a list
// item, a table row, a picture) rather than going on with a paragraph.
bool starts_block(const QString& line) {
  static const QRegularExpression kBlock(R"(^\s*([-*#|>!]|\d+\.))");
  return line.trimmed().isEmpty() || kBlock.match(line).hasMatch();
}

// The guide's paragraphs are broken into lines at any character; Markdown
// puts a space where a line ends, which Chinese text has none of. Lines
// ending and starting with Chinese are joined without it, as 帮助.doc joins
// them.
QString joined_lines(const QString& markdown) {
  const QStringList lines = markdown.split('\n');
  QString out;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& line = lines[i];
    if (i > 0) {
      const QString& before = lines[i - 1];
      const QString next = line.trimmed();
      const bool join = !before.isEmpty() && !next.isEmpty() && is_wide(before.back()) &&
                        is_wide(next.front()) && !starts_block(line) && !before.startsWith('|');
      out += join ? next : '\n' + line;
      continue;
    }
    out += line;
  }
  return out;
}

// A browser that says when its page changed width and reads the guide's
// pages with their lines joined.
class GuideBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;
  std::function<void()> on_resize;

  QVariant loadResource(int type, const QUrl& name) override {
    QVariant data = QTextBrowser::loadResource(type, name);
    if (type != QTextDocument::MarkdownResource) return data;
    return joined_lines(QString::fromUtf8(data.toByteArray()));
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QTextBrowser::resizeEvent(event);
    if (on_resize) on_resize();
  }
};

}  // namespace

QUrl HelpWindow::guide_url() {
  return QUrl("qrc:/guide/用户指南.md");
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("HelpWindow");
  setWindowTitle("kelv 考务 用户指南");
  // Closing the form ends the program even while the guide is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);

  auto* top = new QHBoxLayout;
  find_ = new QLineEdit(this);
  find_->setObjectName("HelpFind");
  find_->setPlaceholderText("在指南中查找（回车查找下一处）");
  find_->setClearButtonEnabled(true);
  top->addWidget(new QLabel("查找：", this));
  top->addWidget(find_, 1);
  layout->addLayout(top);

  auto* split = new QSplitter(this);
  chapters_ = new QListWidget(split);
  chapters_->setObjectName("HelpChapters");
  auto* browser = new GuideBrowser(split);
  browser->on_resize = [this] { fit_pictures(); };
  browser_ = browser;
  browser_->setObjectName("HelpBrowser");
  browser_->setOpenExternalLinks(true);
  split->addWidget(chapters_);
  split->addWidget(browser_);
  split->setStretchFactor(0, 0);
  split->setStretchFactor(1, 1);
  split->setSizes({200, 700});
  layout->addWidget(split, 1);

  QObject::connect(browser_, &QTextBrowser::sourceChanged, this, [this] { page_loaded(); });
  QObject::connect(chapters_, &QListWidget::itemClicked, this,
                   [this](QListWidgetItem* item) { show_chapter(chapters_->row(item)); });
  QObject::connect(find_, &QLineEdit::returnPressed, this, [this] { find_next(); });
  auto* find_key = new QAction(this);
  find_key->setShortcut(QKeySequence::Find);
  QObject::connect(find_key, &QAction::triggered, this, [this] {
    find_->setFocus();
    find_->selectAll();
  });
  addAction(find_key);
  auto* close_key = new QAction(this);
  close_key->setShortcut(Qt::Key_Escape);
  QObject::connect(close_key, &QAction::triggered, this, &QWidget::close);
  addAction(close_key);

  resize(kPreferredSize);
  browser_->setSource(guide_url());
}

void HelpWindow::show_guide(const QString& chapter) {
  if (browser_->source() != guide_url()) browser_->setSource(guide_url());
  if (!placed_) {
    // Within the screen, a little below and right of the form.
    placed_ = true;
    const QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
    if (screen != nullptr) {
      const QRect available = screen->availableGeometry();
      resize(first_size(available.size()).boundedTo(kPreferredSize));
      const QPoint from =
          parentWidget() != nullptr ? parentWidget()->pos() + QPoint(40, 40) : available.topLeft();
      move(placed_on_screen(QRect(from, size() + kFrameRoom), available, false).topLeft());
    }
  }
  show();
  raise();
  activateWindow();
  const QStringList titles = chapter_titles();
  for (int i = 0; i < titles.size(); ++i) {
    if (!chapter.isEmpty() && titles[i].startsWith(chapter)) {
      show_chapter(i);
      return;
    }
  }
  browser_->verticalScrollBar()->setValue(0);
}

QStringList HelpWindow::chapter_titles() const {
  QStringList titles;
  for (int i = 0; i < chapters_->count(); ++i) titles << chapters_->item(i)->text();
  return titles;
}

void HelpWindow::page_loaded() {
  chapters_->clear();
  const QTextDocument* doc = browser_->document();
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    if (b.blockFormat().headingLevel() != kChapterLevel) continue;
    auto* item = new QListWidgetItem(b.text(), chapters_);
    item->setData(Qt::UserRole, b.position());
  }
  fitted_width_ = 0;
  fit_pictures();
}

void HelpWindow::show_chapter(int index) {
  if (index < 0 || index >= chapters_->count()) return;
  chapters_->setCurrentRow(index);
  const int position = chapters_->item(index)->data(Qt::UserRole).toInt();
  QTextDocument* doc = browser_->document();
  const QTextBlock block = doc->findBlock(position);
  QTextCursor cursor(block);
  browser_->setTextCursor(cursor);
  const QRectF box = doc->documentLayout()->blockBoundingRect(block);
  browser_->verticalScrollBar()->setValue(static_cast<int>(box.top()));
}

bool HelpWindow::find_next(bool forward) {
  const QString text = find_->text();
  if (text.isEmpty()) return false;
  const QTextDocument::FindFlags flags =
      forward ? QTextDocument::FindFlags() : QTextDocument::FindBackward;
  if (browser_->find(text, flags)) return true;
  // Round the end of the page.
  QTextCursor from(browser_->document());
  if (!forward) from.movePosition(QTextCursor::End);
  browser_->setTextCursor(from);
  return browser_->find(text, flags);
}

void HelpWindow::fit_pictures() {
  // Screenshots are wider than most windows: each is shown at most as wide
  // as the page, in its own proportions.
  const int room = browser_->viewport()->width() - kPictureMargin;
  if (room <= 0 || room == fitted_width_) return;
  fitted_width_ = room;
  QTextDocument* doc = browser_->document();
  // Found first, then changed: changing a format splits the fragments
  // being walked.
  std::vector<std::pair<int, QTextImageFormat>> pictures;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (fragment.isValid() && fragment.charFormat().isImageFormat())
        pictures.emplace_back(fragment.position(), fragment.charFormat().toImageFormat());
    }
  }
  QTextCursor edit(doc);
  edit.beginEditBlock();
  for (auto& [position, image] : pictures) {
    const QVariant data = browser_->loadResource(QTextDocument::ImageResource, QUrl(image.name()));
    const QImage picture = data.typeId() == QMetaType::QImage
                               ? data.value<QImage>()
                               : QImage::fromData(data.toByteArray());
    if (picture.isNull() || picture.width() <= 0) continue;
    const int width = std::min(picture.width(), room);
    image.setWidth(width);
    image.setHeight(static_cast<double>(picture.height()) * width / picture.width());
    QTextCursor at(doc);
    at.setPosition(position);
    at.setPosition(position + 1, QTextCursor::KeepAnchor);
    at.setCharFormat(image);
  }
  edit.endEditBlock();
}

QString about_text() {
  return QString(
             "%1\n\n在电子表格工作簿里编排考试：分配考场、考号和座号，按模板生成门贴、"
             "桌贴、签到表、准考证等表格，打印或导出 PDF。\n\nQt %2")
      .arg(QString::fromStdString(app::version_text()), QString::fromLatin1(qVersion()));
}

}  // namespace kelv::form
