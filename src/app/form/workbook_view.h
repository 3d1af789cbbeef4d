// The read-only view of a workbook beside the form: one tab per visible
// sheet, each drawn with its values, fonts, fills, borders, merged cells,
// row heights, column widths, pictures and manual page breaks. It follows
// the workbook's active sheet and cell whenever it is refreshed.
#pragma once

#include <QAbstractScrollArea>
#include <QLabel>
#include <QPixmap>
#include <QTabBar>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "app/form/sheet_look.h"
#include "print/qt/cell_painter.h"
#include "spreadsheet/model.h"

namespace kelv::form {

// Draws one sheet of a model workbook.
class SheetCanvas : public QAbstractScrollArea {
 public:
  explicit SheetCanvas(QWidget* parent = nullptr);

  // Shows sheet `index` of `book` (null: nothing). The model must outlive
  // the canvas or be replaced first.
  void show_sheet(const spreadsheet::Workbook* book, int32_t index);
  // Re-reads geometry after the model changed.
  void reload();
  // Lets go of the model and keeps showing a picture of what was on screen,
  // until the next show_sheet. Used while the component works on the
  // model: a modal dialog repaints the window halfway through a change.
  void freeze();
  // Scrolls so that (row, column) is the top-left visible cell.
  void scroll_to(int32_t row, int32_t column);
  // The top-left visible cell.
  int32_t top_row() const;
  int32_t left_column() const;

  const spreadsheet::Sheet* sheet() const { return sheet_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void update_scroll_ranges();

  const spreadsheet::Workbook* book_ = nullptr;
  const spreadsheet::Sheet* sheet_ = nullptr;
  Axis rows_, cols_;
  std::unique_ptr<print::ImageCache> images_;
  std::unique_ptr<print::CellPainter> cells_;
  QPixmap snapshot_;
};

class WorkbookView : public QWidget {
 public:
  explicit WorkbookView(QWidget* parent = nullptr);

  // Shows `book` (null: an empty view) and follows its active sheet and
  // cell: the tab of the active sheet is selected and, when the sheet, the
  // active cell or the window's scroll position changed since the last
  // refresh, the view scrolls to the window's position.
  void refresh(const spreadsheet::Workbook* book, const QString& title);
  // Stops reading the model until the next refresh (see SheetCanvas::freeze).
  void freeze();

  SheetCanvas* canvas() const { return canvas_; }
  QString title() const { return title_->text(); }
  QTabBar* tabs() const { return tabs_; }
  // Index in the workbook of the sheet the selected tab shows; -1 for none.
  int32_t shown_sheet() const;

 private:
  void on_tab(int tab);

  QLabel* title_;
  QTabBar* tabs_;
  SheetCanvas* canvas_;
  const spreadsheet::Workbook* book_ = nullptr;
  bool syncing_ = false;
  // What the view followed last: workbook, sheet, active cell, scroll.
  struct Followed {
    const void* book = nullptr;
    const void* sheet = nullptr;
    int32_t row = 0, col = 0, top = 0, left = 0;
    bool operator==(const Followed&) const = default;
  } followed_;
};

}  // namespace kelv::form
