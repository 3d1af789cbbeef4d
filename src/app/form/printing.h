// Printing from the form: the print preview dialog (the pages as they will
// print, page by page, with zoom), printing through the system's print
// dialog, and PDF export. Long jobs show a progress dialog that can be
// cancelled.
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "print/print_job.h"
#include "print/qt/page_painter.h"
#include "spreadsheet/model.h"

class QComboBox;
class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;
class QPushButton;

namespace kelv::form {

enum class PrintOutcome { Done, Cancelled, Failed };

// Writes `job` to the PDF file `path` with a progress dialog over `parent`.
// Cancelling leaves no file (and an old file at `path` as it was). On
// failure `error` says why, for the user.
PrintOutcome export_pdf(QWidget* parent, const print::PrintJob& job, const QString& path,
                        QString* error);

// Prints `job` on `printer` (set up by the print dialog or by the caller)
// with a progress dialog over `parent`: the printer's page range when it
// has one, else every page. Cancelling aborts the printer's job.
PrintOutcome print_on(QWidget* parent, const print::PrintJob& job, QPrinter& printer,
                      QString* error);

// Asks for the printer in the system's print dialog and prints.
PrintOutcome print_with_dialog(QWidget* parent, const print::PrintJob& job, QString* error);

// Asks where to save a PDF, next to the workbook by default.
QString ask_pdf_path(QWidget* parent, const spreadsheet::Workbook& book, int32_t sheet);

// One page drawn into a widget, scaled to the zoom.
class PageView : public QWidget {
 public:
  explicit PageView(QWidget* parent = nullptr);
  void set_image(QImage image);
  const QImage& image() const { return image_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

class PrintPreview : public QDialog {
 public:
  enum class Scope { Sheet, Workbook };
  // Previews sheet `sheet` of `book` (or, by the scope box, every visible
  // sheet). The model must not change while the dialog is open.
  PrintPreview(const spreadsheet::Workbook& book, int32_t sheet, QWidget* parent = nullptr);
  ~PrintPreview() override;

  void set_scope(Scope scope);
  void show_page(int32_t index);  // 0-based
  // Zoom: a factor (1 = real size), or 0 for the whole page, -1 for the width.
  void set_zoom(double zoom);
  int32_t page() const { return page_; }
  int32_t page_count() const { return job_ ? job_->page_count() : 0; }
  const print::PrintJob& job() const { return *job_; }
  PageView* page_view() const { return view_; }
  QString status() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Page Up / Page Down turn the pages, Home / End go to the first / last.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void rebuild();
  void render();
  double pixels_per_point() const;

  const spreadsheet::Workbook& book_;
  int32_t sheet_;
  Scope scope_ = Scope::Sheet;
  std::unique_ptr<print::PrintJob> job_;
  std::unique_ptr<print::PagePainter> painter_;
  int32_t page_ = 0;
  double zoom_ = 0;
  QComboBox* scope_box_;
  QComboBox* zoom_box_;
  QSpinBox* page_box_;
  QLabel* count_;
  QLabel* notes_;
  QScrollArea* scroll_;
  PageView* view_;
  QPushButton *first_, *previous_, *next_, *last_;
};

}  // namespace kelv::form
