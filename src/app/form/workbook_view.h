// The read-only view of a workbook beside the form: one tab per visible
// sheet, each drawn with its values, fonts, fills, borders, merged cells,
// row heights, column widths, pictures and manual page breaks. It follows
// the workbook's active sheet and cell whenever it is refreshed.
//
// The person reads it as in a spreadsheet program: cells are selected with
// the mouse or the keys, the current cell's address and full text stand in
// a line above the grid, a cell's text shows under the mouse, a selection
// copies as tab-separated text, find goes through the whole sheet, columns
// widen by dragging their heading's edge (the view only: the workbook keeps
// its widths) and the view zooms. None of it changes the workbook.
#pragma once

#include <QAbstractScrollArea>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTabBar>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/form/sheet_look.h"
#include "app/form/sheet_text.h"
#include "print/qt/cell_painter.h"
#include "spreadsheet/model.h"

namespace kelv::form {

// Draws one sheet of a model workbook and holds the person's selection.
class SheetCanvas : public QAbstractScrollArea {
 public:
  explicit SheetCanvas(QWidget* parent = nullptr);

  // Shows sheet `index` of `book` (null: nothing). The model must outlive
  // the canvas or be replaced first. The selection becomes the sheet's
  // active cell.
  void show_sheet(const spreadsheet::Workbook* book, int32_t index);
  // Re-reads geometry after the model changed; the selection stays.
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

  const spreadsheet::Workbook* book() const { return book_; }
  const spreadsheet::Sheet* sheet() const { return sheet_; }
  // Counts the times the shown model was replaced or re-read.
  uint64_t generation() const { return generation_; }

  // The selected block (whole rows or columns reach the sheet's edge) and
  // the current cell in it, the first cell of its merged block.
  host::Rect selection() const;
  CellPlace current() const;
  // Selects one cell (its whole merged block) and scrolls it into view.
  void select(int32_t row, int32_t col);
  void select_all();
  // The selection as text for the clipboard (see copy_text).
  QString selected_text() const;
  // The selection as it stands, to put back after the sheet is shown anew.
  enum class Span { Cells, Rows, Columns };
  struct Selection {
    Span span = Span::Cells;
    CellPlace anchor{1, 1}, end{1, 1}, current{1, 1};
  };
  Selection selection_state() const { return {span_, anchor_, end_, current_}; }
  void set_selection_state(const Selection& s);
  // Called after every change of the selection.
  void on_selection(std::function<void()> f) { on_selection_ = std::move(f); }

  // 1 is 100 %; kept within kMinZoom..kMaxZoom, the top-left cell kept in
  // place.
  double zoom() const { return zoom_; }
  void set_zoom(double zoom);
  void on_zoom(std::function<void()> f) { on_zoom_ = std::move(f); }

  // A column's width on screen in pixels at 100 %: the person's, else the
  // file's, widened where a number or a code (an exam number, an ID) would
  // be cut: a cut "2024010001" reads as another number. Setting one changes
  // only the view of this sheet (kept while the workbook is shown again
  // after the component's work).
  int32_t column_width(int32_t col) const;
  void set_column_width(int32_t col, int32_t pixels);
  // Widens or narrows a column to its widest text, as a double click on
  // its heading's edge does.
  void fit_column(int32_t col);

  // Positions in the viewport: the cell under a point ({0, 0} off the
  // grid), a cell's box, and the column whose heading's right edge is
  // within reach of a point (0: none).
  CellPlace cell_at(QPoint p) const;
  QRect cell_rect(int32_t row, int32_t col) const;
  int32_t column_edge_at(QPoint p) const;
  // The tip shown under the mouse at `p`: the full text of the cell there.
  QString tip_at(QPoint p) const;

  static constexpr int kRowHeaderWidth = 46;
  static constexpr int kColumnHeaderHeight = 20;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void relayout();
  // The widths columns need so that no number or code in them is cut.
  void fit_codes();
  void update_scroll_ranges();
  void selection_changed();
  // Moves the selection's moving end (extending) or the whole selection.
  void move_to(CellPlace cell, bool extend);
  void scroll_into_view(CellPlace cell);
  // The block holding a cell: its merged block, or the cell.
  host::Rect block_of(int32_t row, int32_t col) const;
  LineSizes& widths();
  const LineSizes* widths_if_any() const;
  std::string widths_key() const;
  int32_t visible_rows() const;

  const spreadsheet::Workbook* book_ = nullptr;
  const spreadsheet::Sheet* sheet_ = nullptr;
  int32_t last_row_ = 1, last_col_ = 1;  // lines laid out
  Axis file_rows_, file_cols_;           // at 100 %, as the file gives them
  Axis rows_, cols_;                     // on screen
  LineSizes code_widths_;                // at 100 %, where wider than the file's
  std::unique_ptr<print::ImageCache> images_;
  std::unique_ptr<print::CellPainter> cells_;
  QPixmap snapshot_;
  uint64_t generation_ = 0;

  Span span_ = Span::Cells;
  CellPlace anchor_{1, 1}, end_{1, 1}, current_{1, 1};
  bool dragging_ = false;
  int32_t resizing_ = 0;  // the column whose edge is dragged
  int resize_from_x_ = 0, resize_from_width_ = 0;
  double zoom_ = 1;
  // Columns the person sized, by workbook file and sheet name.
  std::map<std::string, LineSizes> widths_;
  std::function<void()> on_selection_, on_zoom_;
};

// A find field that goes on with Enter, back with Shift+Enter and closes
// with Escape.
class FindField : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  std::function<void(bool forward)> on_find;
  std::function<void()> on_close;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class WorkbookView : public QWidget {
 public:
  explicit WorkbookView(QWidget* parent = nullptr);

  // Shows `book` (null: an empty view) and follows its active sheet and
  // cell: the tab of the active sheet is selected and, when the sheet, the
  // active cell or the window's scroll position changed since the last
  // refresh, the view scrolls to the window's position and selects the
  // active cell.
  void refresh(const spreadsheet::Workbook* book, const QString& title);
  // Stops reading the model until the next refresh (see SheetCanvas::freeze).
  void freeze();

  SheetCanvas* canvas() const { return canvas_; }
  QString title() const { return title_->text(); }
  QTabBar* tabs() const { return tabs_; }
  // Index in the workbook of the sheet the selected tab shows; -1 for none.
  int32_t shown_sheet() const;

  // The line above the grid: the current cell's address and its text.
  QString cell_address() const { return address_->text(); }
  QLineEdit* cell_line() const { return cell_line_; }

  // Puts the selection on the clipboard; says what it copied.
  void copy();
  // Opens the find bar, or finds the next (previous) cell holding the find
  // bar's text after (before) the current cell, round the end of the sheet.
  void open_find();
  void find(bool forward);
  QLineEdit* find_field() const { return find_field_; }
  QString find_result() const { return find_result_->text(); }
  QWidget* find_bar() const { return find_bar_; }

  // Edit and view commands, with their shortcuts, for the window's menus.
  QAction* copy_action() const { return copy_action_; }
  QAction* select_all_action() const { return select_all_action_; }
  QAction* find_action() const { return find_action_; }
  QAction* find_next_action() const { return find_next_action_; }
  QAction* find_previous_action() const { return find_previous_action_; }
  QAction* zoom_in_action() const { return zoom_in_action_; }
  QAction* zoom_out_action() const { return zoom_out_action_; }
  QAction* zoom_reset_action() const { return zoom_reset_action_; }
  // What the view has to say to the window's status bar ("已复制 …").
  void on_message(std::function<void(const QString&)> f) { on_message_ = std::move(f); }

 private:
  void on_tab(int tab);
  void show_current_cell();
  void show_zoom();
  void say(const QString& text);
  QAction* action(const QString& text, const QKeySequence& keys, std::function<void()> run);

  QLabel* title_;
  QLabel* address_;
  QLineEdit* cell_line_;
  QLabel* zoom_label_;
  QTabBar* tabs_;
  SheetCanvas* canvas_;
  QWidget* find_bar_;
  FindField* find_field_;
  QLabel* find_result_;
  QAction* copy_action_ = nullptr;
  QAction* select_all_action_ = nullptr;
  QAction* find_action_ = nullptr;
  QAction* find_next_action_ = nullptr;
  QAction* find_previous_action_ = nullptr;
  QAction* zoom_in_action_ = nullptr;
  QAction* zoom_out_action_ = nullptr;
  QAction* zoom_reset_action_ = nullptr;
  std::function<void(const QString&)> on_message_;
  const spreadsheet::Workbook* book_ = nullptr;
  bool syncing_ = false;
  // What the view followed last: workbook, sheet, active cell, scroll.
  struct Followed {
    const void* book = nullptr;
    const void* sheet = nullptr;
    int32_t row = 0, col = 0, top = 0, left = 0;
    bool operator==(const Followed&) const = default;
  } followed_;
  // The last search: its text, the model it ran on and what it found.
  QString found_for_;
  uint64_t found_in_ = 0;
  std::vector<CellPlace> found_;
};

}  // namespace kelv::form
