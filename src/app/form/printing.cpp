#include "app/form/printing.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>

#include "print/qt/pdf_export.h"

namespace kelv::form {
namespace {

// Room around the page in the preview, pixels.
constexpr int kPageMargin = 16;

QString sheet_name(const print::PrintJob& job, int32_t job_sheet) {
  const auto& l = job.sheets()[static_cast<size_t>(job_sheet)];
  return QString::fromStdString(job.book().sheets[static_cast<size_t>(l.sheet_index)]->name);
}

// A progress dialog over `parent` that a person can cancel; the returned
// callback updates it and says whether to go on.
class Progress {
 public:
  Progress(QWidget* parent, const QString& title, const print::PrintJob& job)
      : job_(job), dialog_(title, "取消", 0, std::max(1, job.page_count()), parent) {
    dialog_.setWindowTitle(title);
    dialog_.setWindowModality(Qt::WindowModal);
    dialog_.setMinimumDuration(400);
    dialog_.setAutoClose(false);
    dialog_.setAutoReset(false);
    dialog_.setValue(0);
  }
  bool update(const print::JobProgress& p) {
    dialog_.setMaximum(p.total);
    dialog_.setLabelText(
        QString("%1：第 %2 页，共 %3 页").arg(sheet_name(job_, p.sheet)).arg(p.done).arg(p.total));
    dialog_.setValue(p.done);
    return !dialog_.wasCanceled();
  }
  void close() { dialog_.close(); }

 private:
  const print::PrintJob& job_;
  QProgressDialog dialog_;
};

}  // namespace

PrintOutcome export_pdf(QWidget* parent, const print::PrintJob& job, const QString& path,
                        QString* error) {
  Progress progress(parent, "正在导出 PDF…", job);
  try {
    const bool done = print::write_pdf(
        job, path.toStdString(), [&](const print::JobProgress& p) { return progress.update(p); });
    progress.close();
    return done ? PrintOutcome::Done : PrintOutcome::Cancelled;
  } catch (const std::exception& e) {
    progress.close();
    *error = QString("导出 PDF 失败：%1").arg(e.what());
    return PrintOutcome::Failed;
  }
}

PrintOutcome print_on(QWidget* parent, const print::PrintJob& job, QPrinter& printer,
                      QString* error) {
  if (job.page_count() == 0) {
    *error = "没有可打印的内容";
    return PrintOutcome::Failed;
  }
  printer.setFullPage(true);
  int32_t first = 0, last = job.page_count() - 1;
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    first = printer.fromPage() - 1;
    last = std::min(last, printer.toPage() - 1);
  }
  Progress progress(parent, "正在打印…", job);
  try {
    const bool done = print::render_job(
        job, printer, [&](const print::JobProgress& p) { return progress.update(p); }, first, last,
        [&] { printer.abort(); });
    progress.close();
    return done ? PrintOutcome::Done : PrintOutcome::Cancelled;
  } catch (const std::exception& e) {
    progress.close();
    *error = QString("打印失败：%1").arg(e.what());
    return PrintOutcome::Failed;
  }
}

PrintOutcome print_with_dialog(QWidget* parent, const print::PrintJob& job, QString* error) {
  if (job.page_count() == 0) {
    *error = "没有可打印的内容";
    return PrintOutcome::Failed;
  }
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QFileInfo(QString::fromStdString(job.book().file_path)).completeBaseName());
  printer.setPageLayout(print::page_layout_of(job.layout_of(0)));
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle("打印");
  dialog.setMinMax(1, job.page_count());
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  if (dialog.exec() != QDialog::Accepted) return PrintOutcome::Cancelled;
  return print_on(parent, job, printer, error);
}

QString ask_pdf_path(QWidget* parent, const spreadsheet::Workbook& book, int32_t sheet) {
  const QFileInfo file(QString::fromStdString(book.file_path));
  QString name = file.completeBaseName();
  if (sheet >= 0 && sheet < static_cast<int32_t>(book.sheets.size()))
    name += "-" + QString::fromStdString(book.sheets[static_cast<size_t>(sheet)]->name);
  // PDF files go to 输出/ in the workspace, not beside the data workbook,
  // where they would show up in the data list.
  QDir workspace = file.absoluteDir();
  if (workspace.dirName() == "数据") workspace.cdUp();
  workspace.mkpath("输出");
  const QString suggested = QDir(workspace.filePath("输出")).filePath(name + ".pdf");
  QString path = QFileDialog::getSaveFileName(parent, "导出 PDF", suggested, "PDF 文件 (*.pdf)");
  if (!path.isEmpty() && !path.endsWith(".pdf", Qt::CaseInsensitive)) path += ".pdf";
  return path;
}

PageView::PageView(QWidget* parent) : QWidget(parent) {
  setObjectName("PageView");
}

void PageView::set_image(QImage image) {
  image_ = std::move(image);
  resize(sizeHint());
  updateGeometry();
  update();
}

QSize PageView::sizeHint() const {
  if (image_.isNull()) return {200, 200};
  const QSize logical = image_.deviceIndependentSize().toSize();
  return logical + QSize(2 * kPageMargin, 2 * kPageMargin);
}

void PageView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (image_.isNull()) {
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter, "没有可打印的内容");
    return;
  }
  const QSize logical = image_.deviceIndependentSize().toSize();
  const QPoint at((width() - logical.width()) / 2, (height() - logical.height()) / 2);
  p.fillRect(QRect(at + QPoint(3, 3), logical), QColor(0x50, 0x50, 0x50));
  p.drawImage(at, image_);
}

PrintPreview::PrintPreview(const spreadsheet::Workbook& book, int32_t sheet, QWidget* parent)
    : QDialog(parent), book_(book), sheet_(sheet) {
  setObjectName("PrintPreview");
  setWindowTitle("打印预览");
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  scope_box_ = new QComboBox(this);
  scope_box_->addItems({"当前工作表", "全部工作表"});
  first_ = new QPushButton("首页", this);
  previous_ = new QPushButton("上一页", this);
  page_box_ = new QSpinBox(this);
  count_ = new QLabel(this);
  next_ = new QPushButton("下一页", this);
  last_ = new QPushButton("末页", this);
  zoom_box_ = new QComboBox(this);
  zoom_box_->addItem("整页", 0.0);
  zoom_box_->addItem("页宽", -1.0);
  for (int percent : {50, 75, 100, 150, 200})
    zoom_box_->addItem(QString("%1%").arg(percent), percent / 100.0);
  auto* print_button = new QPushButton("打印…", this);
  auto* export_button = new QPushButton("导出 PDF…", this);
  auto* close_button = new QPushButton("关闭", this);
  bar->addWidget(scope_box_);
  bar->addSpacing(12);
  for (QWidget* w :
       std::initializer_list<QWidget*>{first_, previous_, page_box_, count_, next_, last_})
    bar->addWidget(w);
  bar->addSpacing(12);
  bar->addWidget(new QLabel("缩放：", this));
  bar->addWidget(zoom_box_);
  bar->addStretch(1);
  bar->addWidget(print_button);
  bar->addWidget(export_button);
  bar->addWidget(close_button);
  layout->addLayout(bar);
  scroll_ = new QScrollArea(this);
  scroll_->setAlignment(Qt::AlignCenter);
  scroll_->setBackgroundRole(QPalette::Dark);
  view_ = new PageView;
  scroll_->setWidget(view_);
  scroll_->viewport()->installEventFilter(this);
  layout->addWidget(scroll_, 1);
  notes_ = new QLabel(this);
  notes_->setWordWrap(true);
  layout->addWidget(notes_);

  connect(scope_box_, &QComboBox::currentIndexChanged, this,
          [this](int i) { set_scope(i == 1 ? Scope::Workbook : Scope::Sheet); });
  connect(first_, &QPushButton::clicked, this, [this] { show_page(0); });
  connect(previous_, &QPushButton::clicked, this, [this] { show_page(page_ - 1); });
  connect(next_, &QPushButton::clicked, this, [this] { show_page(page_ + 1); });
  connect(last_, &QPushButton::clicked, this, [this] { show_page(page_count() - 1); });
  connect(page_box_, &QSpinBox::valueChanged, this, [this](int v) {
    if (v - 1 != page_) show_page(v - 1);
  });
  connect(zoom_box_, &QComboBox::currentIndexChanged, this,
          [this](int i) { set_zoom(zoom_box_->itemData(i).toDouble()); });
  connect(close_button, &QPushButton::clicked, this, &QDialog::accept);
  connect(print_button, &QPushButton::clicked, this, [this] {
    QString error;
    if (page_count() > 0 && print_with_dialog(this, *job_, &error) == PrintOutcome::Failed)
      QMessageBox::critical(this, "打印", error);
  });
  connect(export_button, &QPushButton::clicked, this, [this] {
    if (page_count() == 0) return;
    const QString path = ask_pdf_path(this, book_, scope_ == Scope::Sheet ? sheet_ : -1);
    QString error;
    if (!path.isEmpty() && export_pdf(this, *job_, path, &error) == PrintOutcome::Failed)
      QMessageBox::critical(this, "导出 PDF", error);
  });
  resize(900, 760);
  rebuild();
}

PrintPreview::~PrintPreview() = default;

QString PrintPreview::status() const {
  return QString("第 %1 页，共 %2 页").arg(page_count() == 0 ? 0 : page_ + 1).arg(page_count());
}

void PrintPreview::set_scope(Scope scope) {
  if (scope == scope_ && job_) return;
  scope_ = scope;
  scope_box_->setCurrentIndex(scope == Scope::Workbook ? 1 : 0);
  rebuild();
}

void PrintPreview::rebuild() {
  std::vector<int32_t> sheets;
  if (scope_ == Scope::Workbook)
    sheets = print::sheets_to_print(book_, {});
  else if (sheet_ >= 0 && sheet_ < static_cast<int32_t>(book_.sheets.size()))
    sheets = {sheet_};
  painter_.reset();
  job_ = std::make_unique<print::PrintJob>(book_, sheets);
  painter_ = std::make_unique<print::PagePainter>(*job_);
  page_ = 0;
  const QSignalBlocker block(page_box_);
  page_box_->setRange(page_count() == 0 ? 0 : 1, std::max(1, page_count()));
  count_->setText(QString("/ %1 页").arg(page_count()));
  QStringList notes;
  for (const std::string& note : job_->notes()) notes << QString::fromStdString(note);
  for (const std::string& note : print::font_notes(*job_)) notes << QString::fromStdString(note);
  notes_->setText(notes.isEmpty() ? QString() : "注意：" + notes.join("；"));
  notes_->setVisible(!notes.isEmpty());
  render();
}

void PrintPreview::show_page(int32_t index) {
  if (page_count() == 0) return;
  page_ = std::clamp(index, 0, page_count() - 1);
  render();
}

void PrintPreview::set_zoom(double zoom) {
  zoom_ = zoom;
  const int i = zoom_box_->findData(zoom);
  if (i >= 0 && i != zoom_box_->currentIndex()) {
    const QSignalBlocker block(zoom_box_);
    zoom_box_->setCurrentIndex(i);
  }
  render();
}

double PrintPreview::pixels_per_point() const {
  if (page_count() == 0) return 1;
  const print::SheetLayout& layout = job_->layout_of(page_);
  const QSize room = scroll_->viewport()->size() - QSize(2 * kPageMargin, 2 * kPageMargin);
  if (zoom_ == 0)
    return std::max(
        0.05, std::min(room.width() / layout.paper_width, room.height() / layout.paper_height));
  if (zoom_ < 0) {
    const int bar = scroll_->verticalScrollBar()->sizeHint().width();
    return std::max(0.05, (room.width() - bar) / layout.paper_width);
  }
  return zoom_ * logicalDpiX() / 72.0;
}

void PrintPreview::render() {
  const bool any = page_count() > 0;
  for (QWidget* w : std::initializer_list<QWidget*>{first_, previous_})
    w->setEnabled(any && page_ > 0);
  for (QWidget* w : std::initializer_list<QWidget*>{next_, last_})
    w->setEnabled(any && page_ + 1 < page_count());
  {
    const QSignalBlocker block(page_box_);
    page_box_->setValue(any ? page_ + 1 : 0);
  }
  if (!any) {
    view_->set_image(QImage());
    return;
  }
  const double ratio = devicePixelRatioF();
  QImage image = painter_->image(page_, pixels_per_point() * ratio);
  image.setDevicePixelRatio(ratio);
  view_->set_image(std::move(image));
}

void PrintPreview::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
    show_page(page_ + (event->key() == Qt::Key_PageUp ? -1 : 1));
    return;
  }
  if (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) {
    show_page(event->key() == Qt::Key_Home ? 0 : page_count() - 1);
    return;
  }
  QDialog::keyPressEvent(event);
}

bool PrintPreview::eventFilter(QObject* watched, QEvent* event) {
  // Fitted zooms follow the room the page has.
  if (watched == scroll_->viewport() && event->type() == QEvent::Resize && zoom_ <= 0) render();
  return QDialog::eventFilter(watched, event);
}

}  // namespace kelv::form
