#include "app/form/workbook_view.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>

#include "print/cell_format.h"
#include "print/qt/fonts.h"
#include "spreadsheet/a1.h"
#include "spreadsheet/cells.h"

namespace kelv::form {
namespace {

// Lines beyond the last stored row or column the view lets one scroll to.
constexpr int32_t kSpareRows = 60;
constexpr int32_t kSpareColumns = 20;
// How near a heading's edge the mouse must be to drag it, pixels.
constexpr int kEdgeReach = 3;
// Widths a column may be given on screen, pixels at 100 %.
constexpr int32_t kNarrowestColumn = 2;
constexpr int32_t kWidestFit = 1200;
// Codes are looked for in this many rows, and widen a column this far.
constexpr int32_t kCodeRows = 5000;
constexpr int32_t kWidestCode = 400;
// Room a cell's text leaves on each side, and the grid line: pixels at 100 %.
constexpr double kTextRoom = 2 * 1.5 * spreadsheet::kPixelsPerPoint + 3;

// A text that misleads when cut: one word of ASCII holding a digit (an
// exam number, an ID, a date, a number as shown).
bool is_code(const QString& text) {
  if (text.isEmpty() || text.size() > 40) return false;
  bool digit = false;
  for (const QChar ch : text) {
    if (ch.unicode() >= 0x80 || ch.isSpace()) return false;
    digit = digit || ch.isDigit();
  }
  return digit;
}

const QColor kGridColor(0xD4, 0xD4, 0xD4);  // between the headers
const QColor kHeaderColor(0xF0, 0xF0, 0xF0);
const QColor kHeaderActiveColor(0xD6, 0xE6, 0xD0);
const QColor kActiveCellColor(0x21, 0x73, 0x46);
const QColor kSelectionFill(0x21, 0x73, 0x46, 0x30);
const QColor kPageBreakColor(0x1F, 0x4E, 0xCC);

bool before(const CellPlace& a, const CellPlace& b) {
  return a.row != b.row ? a.row < b.row : a.col < b.col;
}

}  // namespace

SheetCanvas::SheetCanvas(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName("SheetCanvas");
  viewport()->setAutoFillBackground(false);
  viewport()->setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  horizontalScrollBar()->setSingleStep(32);
  verticalScrollBar()->setSingleStep(20);
}

void SheetCanvas::show_sheet(const spreadsheet::Workbook* book, int32_t index) {
  const spreadsheet::Sheet* sheet = nullptr;
  if (book != nullptr && index >= 0 && index < static_cast<int32_t>(book->sheets.size()))
    sheet = book->sheets[index].get();
  if (book != book_) images_.reset();
  snapshot_ = QPixmap();
  book_ = book;
  sheet_ = sheet;
  reload();
  if (sheet_ != nullptr) {
    const CellPlace active{std::max(1, sheet_->view.active_row),
                           std::max(1, sheet_->view.active_col)};
    span_ = Span::Cells;
    anchor_ = end_ = current_ = active;
  }
  selection_changed();
}

void SheetCanvas::freeze() {
  if (sheet_ != nullptr && snapshot_.isNull()) snapshot_ = viewport()->grab();
  book_ = nullptr;
  sheet_ = nullptr;
  cells_.reset();
  images_.reset();
}

void SheetCanvas::reload() {
  ++generation_;
  cells_.reset();
  if (sheet_ != nullptr) {
    if (images_ == nullptr) images_ = std::make_unique<print::ImageCache>(*book_);
    cells_ = std::make_unique<print::CellPainter>(*book_, *sheet_, *images_);
  }
  if (sheet_ == nullptr) {
    file_rows_ = file_cols_ = rows_ = cols_ = Axis();
    code_widths_.clear();
    update_scroll_ranges();
    viewport()->update();
    return;
  }
  int32_t last_row = static_cast<int32_t>(sheet_->rows.size());
  int32_t last_col = 0;
  for (const auto& row : sheet_->rows)
    if (!row.cells.empty()) last_col = std::max(last_col, row.cells.back().col);
  if (!sheet_->columns.empty()) last_col = std::max(last_col, sheet_->columns.rbegin()->first);
  for (const auto& m : sheet_->merges) {
    last_row = std::max(last_row, m.row2);
    last_col = std::max(last_col, m.col2);
  }
  if (!sheet_->row_breaks.empty()) last_row = std::max(last_row, *sheet_->row_breaks.rbegin());
  last_row = std::max({last_row, sheet_->view.active_row, sheet_->view.top_row + kSpareRows});
  last_col = std::max({last_col, sheet_->view.active_col, sheet_->view.left_col + kSpareColumns});
  last_row_ = std::min(last_row + kSpareRows, host::kMaxRows);
  last_col_ = std::min(last_col + kSpareColumns, host::kMaxColumns);
  file_rows_ = row_axis(*sheet_, last_row_);
  file_cols_ = column_axis(*sheet_, last_col_, book_->max_digit_width);
  fit_codes();
  relayout();
}

void SheetCanvas::fit_codes() {
  code_widths_.clear();
  const double unit = spreadsheet::kPixelsPerPoint;
  std::map<uint32_t, QFontMetricsF> metrics;
  const int32_t rows = std::min(kCodeRows, static_cast<int32_t>(sheet_->rows.size()));
  for (int32_t r = 1; r <= rows; ++r) {
    for (const spreadsheet::Cell& cell : sheet_->rows[static_cast<size_t>(r - 1)].cells) {
      if (!spreadsheet::cells::has_value(cell) || file_cols_.size(cell.col) <= 0) continue;
      const uint32_t style_index = cell.style < book_->styles.size() ? cell.style : 0;
      const spreadsheet::Style& style = book_->styles.get(style_index);
      if (style.alignment.wrap_text || style.alignment.shrink_to_fit ||
          style.alignment.text_rotation != 0)
        continue;
      const QString text = QString::fromStdString(print::display_text(cell, style));
      if (!is_code(text)) continue;
      auto m = metrics.find(style_index);
      if (m == metrics.end())
        m = metrics.emplace(style_index, QFontMetricsF(print::cell_font(style.font, unit))).first;
      const auto needed =
          static_cast<int32_t>(std::ceil(m->second.horizontalAdvance(text) + kTextRoom));
      if (needed <= file_cols_.size(cell.col)) continue;
      if (block_of(r, cell.col) != host::Rect::cell(r, cell.col)) continue;  // a block's own width
      int32_t& width = code_widths_[cell.col];
      width = std::max(width, std::min(needed, kWidestCode));
    }
  }
}

void SheetCanvas::relayout() {
  static const LineSizes kNone;
  LineSizes widths = code_widths_;
  if (const LineSizes* given = widths_if_any())
    for (const auto& [col, width] : *given) widths[col] = width;
  rows_ = on_screen(file_rows_, kNone, zoom_);
  cols_ = on_screen(file_cols_, widths, zoom_);
  update_scroll_ranges();
  viewport()->update();
}

void SheetCanvas::update_scroll_ranges() {
  // The lines laid out, or the stored ones when the person widened a
  // column past them.
  int64_t height = std::llround(rows_.offset(last_row_ + 1));
  int64_t width = std::llround(cols_.offset(std::max(last_col_, cols_.stored()) + 1));
  if (sheet_ == nullptr) height = width = 0;
  if (sheet_ != nullptr) {
    const double unit = spreadsheet::kPixelsPerPoint * zoom_;
    for (const auto& pic : sheet_->pictures) {
      height = std::max<int64_t>(height, std::llround((pic.top + pic.height) * unit));
      width = std::max<int64_t>(width, std::llround((pic.left + pic.width) * unit));
    }
  }
  const QSize vp = viewport()->size();
  const int64_t max_v = std::max<int64_t>(0, height - (vp.height() - kColumnHeaderHeight));
  const int64_t max_h = std::max<int64_t>(0, width - (vp.width() - kRowHeaderWidth));
  verticalScrollBar()->setRange(0, static_cast<int>(std::min<int64_t>(max_v, INT32_MAX)));
  horizontalScrollBar()->setRange(0, static_cast<int>(std::min<int64_t>(max_h, INT32_MAX)));
  verticalScrollBar()->setPageStep(std::max(1, vp.height() - kColumnHeaderHeight));
  horizontalScrollBar()->setPageStep(std::max(1, vp.width() - kRowHeaderWidth));
}

void SheetCanvas::scroll_to(int32_t row, int32_t column) {
  verticalScrollBar()->setValue(static_cast<int>(rows_.offset(std::max(row, 1))));
  horizontalScrollBar()->setValue(static_cast<int>(cols_.offset(std::max(column, 1))));
}

int32_t SheetCanvas::top_row() const {
  return rows_.line_at(verticalScrollBar()->value());
}
int32_t SheetCanvas::left_column() const {
  return cols_.line_at(horizontalScrollBar()->value());
}

int32_t SheetCanvas::visible_rows() const {
  const int height = viewport()->height() - kColumnHeaderHeight;
  const int32_t top = top_row();
  return std::max(1, rows_.line_at(verticalScrollBar()->value() + std::max(height, 1)) - top);
}

// --- the selection ------------------------------------------------------------------

host::Rect SheetCanvas::block_of(int32_t row, int32_t col) const {
  if (sheet_ != nullptr)
    for (const host::Rect& m : sheet_->merges)
      if (m.contains(row, col)) return m;
  return host::Rect::cell(row, col);
}

host::Rect SheetCanvas::selection() const {
  host::Rect r{std::min(anchor_.row, end_.row), std::min(anchor_.col, end_.col),
               std::max(anchor_.row, end_.row), std::max(anchor_.col, end_.col)};
  if (span_ == Span::Columns) {
    r.row1 = 1;
    r.row2 = host::kMaxRows;
    return r;
  }
  if (span_ == Span::Rows) {
    r.col1 = 1;
    r.col2 = host::kMaxColumns;
    return r;
  }
  // A selection never cuts a merged block: it grows until none crosses it.
  if (sheet_ == nullptr) return r;
  for (bool grown = true; grown;) {
    grown = false;
    for (const host::Rect& m : sheet_->merges) {
      if (!m.intersects(r)) continue;
      const host::Rect both{std::min(r.row1, m.row1), std::min(r.col1, m.col1),
                            std::max(r.row2, m.row2), std::max(r.col2, m.col2)};
      if (both != r) {
        r = both;
        grown = true;
      }
    }
  }
  return r;
}

CellPlace SheetCanvas::current() const {
  const host::Rect block = block_of(current_.row, current_.col);
  return {block.row1, block.col1};
}

void SheetCanvas::select(int32_t row, int32_t col) {
  span_ = Span::Cells;
  anchor_ = end_ =
      current_ = {std::clamp(row, 1, host::kMaxRows), std::clamp(col, 1, host::kMaxColumns)};
  scroll_into_view(current_);
  selection_changed();
}

void SheetCanvas::set_selection_state(const Selection& s) {
  span_ = s.span;
  anchor_ = s.anchor;
  end_ = s.end;
  current_ = s.current;
  selection_changed();
}

void SheetCanvas::select_all() {
  span_ = Span::Rows;
  anchor_ = {1, 1};
  end_ = {host::kMaxRows, 1};
  selection_changed();
}

QString SheetCanvas::selected_text() const {
  if (sheet_ == nullptr) return {};
  return copy_text(*book_, *sheet_, selection());
}

void SheetCanvas::selection_changed() {
  viewport()->update();
  if (on_selection_) on_selection_();
}

void SheetCanvas::move_to(CellPlace cell, bool extend) {
  cell.row = std::clamp(cell.row, 1, host::kMaxRows);
  cell.col = std::clamp(cell.col, 1, host::kMaxColumns);
  if (extend) {
    if (span_ == Span::Columns) cell.row = end_.row;
    if (span_ == Span::Rows) cell.col = end_.col;
    end_ = cell;
  } else {
    span_ = Span::Cells;
    anchor_ = end_ = current_ = cell;
  }
  scroll_into_view(cell);
  selection_changed();
}

void SheetCanvas::scroll_into_view(CellPlace cell) {
  const host::Rect block = block_of(cell.row, cell.col);
  const int width = viewport()->width() - kRowHeaderWidth;
  const int height = viewport()->height() - kColumnHeaderHeight;
  if (width <= 0 || height <= 0) return;
  auto bring = [](QScrollBar* bar, double start, double end, int room) {
    if (start < bar->value()) {
      bar->setValue(static_cast<int>(start));
    } else if (end > bar->value() + room) {
      bar->setValue(static_cast<int>(std::min(start, end - room)));
    }
  };
  bring(verticalScrollBar(), rows_.offset(block.row1), rows_.offset(block.row2 + 1), height);
  bring(horizontalScrollBar(), cols_.offset(block.col1), cols_.offset(block.col2 + 1), width);
}

// --- zoom and widths ----------------------------------------------------------------

void SheetCanvas::set_zoom(double zoom) {
  zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  if (zoom == zoom_) return;
  const int32_t top = top_row(), left = left_column();
  zoom_ = zoom;
  relayout();
  scroll_to(top, left);
  if (on_zoom_) on_zoom_();
}

std::string SheetCanvas::widths_key() const {
  return book_->file_path + '\x1f' + sheet_->name;
}

LineSizes& SheetCanvas::widths() {
  return widths_[widths_key()];
}

const LineSizes* SheetCanvas::widths_if_any() const {
  if (sheet_ == nullptr) return nullptr;
  const auto it = widths_.find(widths_key());
  return it == widths_.end() ? nullptr : &it->second;
}

int32_t SheetCanvas::column_width(int32_t col) const {
  if (const LineSizes* w = widths_if_any()) {
    const auto it = w->find(col);
    if (it != w->end()) return it->second;
  }
  const auto fitted = code_widths_.find(col);
  if (fitted != code_widths_.end()) return fitted->second;
  return static_cast<int32_t>(file_cols_.size(col));
}

void SheetCanvas::set_column_width(int32_t col, int32_t pixels) {
  if (sheet_ == nullptr || col < 1 || col > host::kMaxColumns) return;
  widths()[col] = std::max(pixels, kNarrowestColumn);
  relayout();
}

void SheetCanvas::fit_column(int32_t col) {
  if (sheet_ == nullptr) return;
  // Measured as drawn at 100 %, with the cell's padding on both sides.
  const double unit = spreadsheet::kPixelsPerPoint;
  std::map<uint32_t, QFontMetricsF> metrics;
  double widest = 0;
  for (int32_t r = 1; r <= static_cast<int32_t>(sheet_->rows.size()); ++r) {
    const spreadsheet::Cell* cell = spreadsheet::cells::find(*sheet_, r, col);
    if (cell == nullptr || !spreadsheet::cells::has_value(*cell) ||
        sheet_->rows[static_cast<size_t>(r - 1)].hidden)
      continue;
    if (block_of(r, col) != host::Rect::cell(r, col)) continue;  // a block has its own width
    const uint32_t style_index = cell->style < book_->styles.size() ? cell->style : 0;
    const spreadsheet::Style& style = book_->styles.get(style_index);
    auto m = metrics.find(style_index);
    if (m == metrics.end())
      m = metrics.emplace(style_index, QFontMetricsF(print::cell_font(style.font, unit))).first;
    const QString text = QString::fromStdString(print::display_text(*cell, style));
    for (const QString& line : text.split('\n'))
      widest = std::max(widest, m->second.horizontalAdvance(line));
  }
  if (widest <= 0) {
    // Nothing to fit: the width the file gives.
    if (LineSizes* w = &widths(); w->erase(col) > 0) relayout();
    return;
  }
  set_column_width(col, std::min(kWidestFit, static_cast<int32_t>(std::ceil(widest + kTextRoom))));
}

// --- positions ----------------------------------------------------------------------

CellPlace SheetCanvas::cell_at(QPoint p) const {
  if (sheet_ == nullptr || p.x() < kRowHeaderWidth || p.y() < kColumnHeaderHeight) return {};
  const int32_t row = rows_.line_at(verticalScrollBar()->value() + p.y() - kColumnHeaderHeight);
  const int32_t col = cols_.line_at(horizontalScrollBar()->value() + p.x() - kRowHeaderWidth);
  return {std::min(row, host::kMaxRows), std::min(col, host::kMaxColumns)};
}

QRect SheetCanvas::cell_rect(int32_t row, int32_t col) const {
  const int x =
      static_cast<int>(kRowHeaderWidth + cols_.offset(col) - horizontalScrollBar()->value());
  const int y =
      static_cast<int>(kColumnHeaderHeight + rows_.offset(row) - verticalScrollBar()->value());
  return {x, y, static_cast<int>(cols_.size(col)), static_cast<int>(rows_.size(row))};
}

int32_t SheetCanvas::column_edge_at(QPoint p) const {
  if (sheet_ == nullptr || p.y() >= kColumnHeaderHeight || p.x() < kRowHeaderWidth) return 0;
  const int64_t x = horizontalScrollBar()->value() + p.x() - kRowHeaderWidth;
  const int32_t col = cols_.line_at(static_cast<double>(x));
  // The edge to the right of the column under the mouse, or of the one
  // before when the mouse is just past its left edge. A hidden column's
  // edge is not offered: the visible one it touches is.
  if (cols_.offset(col + 1) - x <= kEdgeReach) return col;
  if (x - cols_.offset(col) <= kEdgeReach && col > 1) {
    int32_t left = col - 1;
    while (left > 1 && cols_.size(left) <= 0) --left;
    return cols_.size(left) > 0 ? left : 0;
  }
  return 0;
}

QString SheetCanvas::tip_at(QPoint p) const {
  const CellPlace cell = cell_at(p);
  if (cell.row == 0) return {};
  const host::Rect block = block_of(cell.row, cell.col);
  return shown_text(*book_, *sheet_, block.row1, block.col1);
}

// --- the person's input ---------------------------------------------------------------

void SheetCanvas::mousePressEvent(QMouseEvent* event) {
  if (sheet_ == nullptr || event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  const QPoint p = event->position().toPoint();
  if (const int32_t col = column_edge_at(p); col > 0) {
    resizing_ = col;
    resize_from_x_ = p.x();
    resize_from_width_ = column_width(col);
    return;
  }
  const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
  dragging_ = true;
  if (p.x() < kRowHeaderWidth && p.y() < kColumnHeaderHeight) {
    select_all();
    return;
  }
  const int32_t row = rows_.line_at(verticalScrollBar()->value() + p.y() - kColumnHeaderHeight);
  const int32_t col = cols_.line_at(horizontalScrollBar()->value() + p.x() - kRowHeaderWidth);
  if (p.y() < kColumnHeaderHeight) {
    if (!extend || span_ != Span::Columns) {
      span_ = Span::Columns;
      anchor_ = {1, col};
      current_ = {top_row(), col};
    }
    end_ = {1, col};
  } else if (p.x() < kRowHeaderWidth) {
    if (!extend || span_ != Span::Rows) {
      span_ = Span::Rows;
      anchor_ = {row, 1};
      current_ = {row, left_column()};
    }
    end_ = {row, 1};
  } else if (extend) {
    span_ = Span::Cells;
    end_ = {row, col};
  } else {
    span_ = Span::Cells;
    anchor_ = end_ = current_ = {row, col};
  }
  selection_changed();
}

void SheetCanvas::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (resizing_ > 0) {
    const double moved = (p.x() - resize_from_x_) / zoom_;
    set_column_width(resizing_, resize_from_width_ + static_cast<int32_t>(std::lround(moved)));
    return;
  }
  if (!dragging_) {
    viewport()->setCursor(column_edge_at(p) > 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
    return;
  }
  if (sheet_ == nullptr) return;
  const int x = std::max(p.x(), kRowHeaderWidth), y = std::max(p.y(), kColumnHeaderHeight);
  const int32_t row = rows_.line_at(verticalScrollBar()->value() + y - kColumnHeaderHeight);
  const int32_t col = cols_.line_at(horizontalScrollBar()->value() + x - kRowHeaderWidth);
  const CellPlace to{span_ == Span::Columns ? 1 : row, span_ == Span::Rows ? 1 : col};
  if (to == end_) return;
  end_ = to;
  selection_changed();
}

void SheetCanvas::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  resizing_ = 0;
  QAbstractScrollArea::mouseReleaseEvent(event);
}

void SheetCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
  if (const int32_t col = column_edge_at(event->position().toPoint()); col > 0) {
    fit_column(col);
    return;
  }
  QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void SheetCanvas::wheelEvent(QWheelEvent* event) {
  if ((event->modifiers() & Qt::ControlModifier) != 0) {
    const int delta = event->angleDelta().y();
    if (delta > 0) set_zoom(zoom_in(zoom_));
    if (delta < 0) set_zoom(zoom_out(zoom_));
    event->accept();
    return;
  }
  QAbstractScrollArea::wheelEvent(event);
}

void SheetCanvas::keyPressEvent(QKeyEvent* event) {
  if (sheet_ == nullptr) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
  const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
  // Keys move from the moving end when extending, else from the current
  // cell's block, so that a step leaves a merged block whole.
  const CellPlace from = extend ? end_ : current();
  const host::Rect block = block_of(from.row, from.col);
  switch (event->key()) {
    case Qt::Key_Left:
      move_to({from.row, block.col1 - 1}, extend);
      break;
    case Qt::Key_Right:
      move_to({from.row, block.col2 + 1}, extend);
      break;
    case Qt::Key_Up:
      move_to({block.row1 - 1, from.col}, extend);
      break;
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      move_to({block.row2 + 1, from.col}, extend);
      break;
    case Qt::Key_PageDown:
      move_to({from.row + visible_rows(), from.col}, extend);
      break;
    case Qt::Key_PageUp:
      move_to({from.row - visible_rows(), from.col}, extend);
      break;
    case Qt::Key_Home:
      move_to({control ? 1 : from.row, 1}, extend);
      break;
    case Qt::Key_End:
      if (!control) return QAbstractScrollArea::keyPressEvent(event);
      move_to({std::max(1, last_used_row(*sheet_)), std::max(1, last_used_column(*sheet_))},
              extend);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
  }
}

bool SheetCanvas::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = tip_at(help->pos());
    if (text.isEmpty()) {
      QToolTip::hideText();
    } else {
      // Long texts wrap in the tip; line breaks stay.
      QString html = text.toHtmlEscaped();
      html.replace('\n', "<br>");
      QToolTip::showText(help->globalPos(), "<p>" + html + "</p>", viewport());
    }
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void SheetCanvas::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  update_scroll_ranges();
}

// --- drawing ------------------------------------------------------------------------

void SheetCanvas::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const QRect vp = viewport()->rect();
  p.fillRect(vp, Qt::white);
  if (!snapshot_.isNull()) {
    p.drawPixmap(0, 0, snapshot_);
    return;
  }
  if (sheet_ == nullptr || book_ == nullptr) return;

  const int64_t sx = horizontalScrollBar()->value(), sy = verticalScrollBar()->value();
  const int area_w = vp.width() - kRowHeaderWidth, area_h = vp.height() - kColumnHeaderHeight;
  if (area_w <= 0 || area_h <= 0) return;
  const int32_t r1 = rows_.line_at(sy), r2 = rows_.line_at(sy + area_h);
  const int32_t c1 = cols_.line_at(sx), c2 = cols_.line_at(sx + area_w);
  auto x_of = [&](int32_t c) { return static_cast<int>(kRowHeaderWidth + cols_.offset(c) - sx); };
  auto y_of = [&](int32_t r) {
    return static_cast<int>(kColumnHeaderHeight + rows_.offset(r) - sy);
  };
  // A block's box, its far edges held just past the visible area so that
  // whole rows and columns stay drawable.
  auto rect_of = [&](const host::Rect& r) {
    const int32_t row2 = std::min(r.row2, r2 + 1), col2 = std::min(r.col2, c2 + 1);
    return QRect(QPoint(x_of(r.col1), y_of(r.row1)),
                 QPoint(x_of(col2 + 1) - 1, y_of(row2 + 1) - 1));
  };

  // The cells, drawn as on paper. Columns from the first are laid out so
  // that text of cells scrolled off to the left runs on into view.
  auto lines = [](int32_t first, int32_t last, auto&& at) {
    std::vector<double> edges;
    edges.reserve(static_cast<size_t>(last) - static_cast<size_t>(first) + 2);
    for (int32_t i = first; i <= last + 1; ++i) edges.push_back(static_cast<double>(at(i)));
    return print::Lines(first, std::move(edges));
  };
  print::CellArea area;
  area.rows = lines(r1, r2, y_of);
  area.columns = lines(1, c2, x_of);
  area.first_column = c1;
  area.clip = QRectF(kRowHeaderWidth, kColumnHeaderHeight, area_w, area_h);
  area.units_per_point = spreadsheet::kPixelsPerPoint * zoom_;
  area.sheet_origin = QPointF(static_cast<double>(kRowHeaderWidth - sx),
                              static_cast<double>(kColumnHeaderHeight - sy));
  area.grid_lines = sheet_->view.show_grid_lines;
  area.line_inset = 1;
  p.save();
  p.setClipRect(QRect(kRowHeaderWidth, kColumnHeaderHeight, area_w, area_h));
  cells_->paint(p, area);

  // Manual page breaks: a dashed line above the row.
  QPen break_pen(kPageBreakColor, 2, Qt::DashLine);
  p.setPen(break_pen);
  for (auto it = sheet_->row_breaks.lower_bound(r1);
       it != sheet_->row_breaks.end() && *it <= r2 + 1; ++it)
    p.drawLine(kRowHeaderWidth, y_of(*it) - 1, vp.width(), y_of(*it) - 1);

  // The selection: tinted but for its current cell, in a frame.
  const host::Rect selected = selection();
  const host::Rect current_block = block_of(current().row, current().col);
  const QRect selected_box = rect_of(selected);
  if (selected != current_block) {
    QRegion tint(selected_box);
    tint -= QRegion(rect_of(current_block));
    p.save();
    p.setClipRegion(tint, Qt::IntersectClip);
    p.fillRect(selected_box, kSelectionFill);
    p.restore();
  }
  p.setPen(QPen(kActiveCellColor, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(selected_box.adjusted(0, 0, -1, -1));
  p.restore();

  // Headers, the selected lines' shaded.
  p.fillRect(QRect(0, 0, vp.width(), kColumnHeaderHeight), kHeaderColor);
  p.fillRect(QRect(0, 0, kRowHeaderWidth, vp.height()), kHeaderColor);
  QFont header_font = font();
  header_font.setPixelSize(11);
  p.setFont(header_font);
  for (int32_t c = c1; c <= c2; ++c) {
    const QRect box(x_of(c), 0, static_cast<int>(cols_.size(c)), kColumnHeaderHeight);
    if (box.width() <= 0 || box.right() < kRowHeaderWidth) continue;
    p.save();
    p.setClipRect(QRect(kRowHeaderWidth, 0, area_w, kColumnHeaderHeight));
    if (c >= selected.col1 && c <= selected.col2) p.fillRect(box, kHeaderActiveColor);
    p.setPen(kGridColor);
    p.drawLine(box.right(), 0, box.right(), kColumnHeaderHeight);
    p.setPen(Qt::black);
    p.drawText(box, Qt::AlignCenter, QString::fromStdString(spreadsheet::column_letters(c)));
    p.restore();
  }
  for (int32_t r = r1; r <= r2; ++r) {
    const QRect box(0, y_of(r), kRowHeaderWidth, static_cast<int>(rows_.size(r)));
    if (box.height() <= 0 || box.bottom() < kColumnHeaderHeight) continue;
    p.save();
    p.setClipRect(QRect(0, kColumnHeaderHeight, kRowHeaderWidth, area_h));
    if (r >= selected.row1 && r <= selected.row2) p.fillRect(box, kHeaderActiveColor);
    p.setPen(kGridColor);
    p.drawLine(0, box.bottom(), kRowHeaderWidth, box.bottom());
    p.setPen(Qt::black);
    p.drawText(box, Qt::AlignCenter, QString::number(r));
    p.restore();
  }
}

// --- the find field -------------------------------------------------------------------

void FindField::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && on_find) {
    on_find((event->modifiers() & Qt::ShiftModifier) == 0);
    return;
  }
  if (event->key() == Qt::Key_Escape && on_close) {
    on_close();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

// --- the view -----------------------------------------------------------------------

WorkbookView::WorkbookView(QWidget* parent) : QWidget(parent) {
  setObjectName("WorkbookView");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  // The workbook's name, then the current cell's address and text.
  auto* top = new QHBoxLayout;
  top->setContentsMargins(6, 3, 6, 3);
  top->setSpacing(6);
  title_ = new QLabel(this);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  address_ = new QLabel(this);
  address_->setObjectName("CellAddress");
  address_->setFrameShape(QFrame::StyledPanel);
  address_->setAlignment(Qt::AlignCenter);
  address_->setMinimumWidth(address_->fontMetrics().horizontalAdvance("XFD1048576") + 12);
  cell_line_ = new QLineEdit(this);
  cell_line_->setObjectName("CellLine");
  cell_line_->setReadOnly(true);
  cell_line_->setPlaceholderText("单元格的内容");
  zoom_label_ = new QLabel(this);
  zoom_label_->setObjectName("ZoomLevel");
  zoom_label_->setMinimumWidth(zoom_label_->fontMetrics().horizontalAdvance("400%") + 6);
  zoom_label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  top->addWidget(title_);
  top->addWidget(address_);
  top->addWidget(cell_line_, 1);
  top->addWidget(zoom_label_);

  canvas_ = new SheetCanvas(this);

  find_bar_ = new QWidget(this);
  find_bar_->setObjectName("FindBar");
  auto* find_layout = new QHBoxLayout(find_bar_);
  find_layout->setContentsMargins(6, 3, 6, 3);
  find_field_ = new FindField(find_bar_);
  find_field_->setObjectName("FindField");
  find_field_->setPlaceholderText("要查找的文字");
  find_field_->setClearButtonEnabled(true);
  auto* previous = new QToolButton(find_bar_);
  previous->setText("上一个");
  auto* next = new QToolButton(find_bar_);
  next->setText("下一个");
  find_result_ = new QLabel(find_bar_);
  find_result_->setObjectName("FindResult");
  auto* close = new QToolButton(find_bar_);
  close->setText("关闭");
  find_layout->addWidget(new QLabel("查找：", find_bar_));
  find_layout->addWidget(find_field_, 1);
  find_layout->addWidget(previous);
  find_layout->addWidget(next);
  find_layout->addWidget(find_result_, 1);
  find_layout->addWidget(close);
  find_bar_->hide();

  tabs_ = new QTabBar(this);
  tabs_->setShape(QTabBar::RoundedSouth);
  tabs_->setExpanding(false);
  tabs_->setDrawBase(false);
  layout->addLayout(top);
  layout->addWidget(canvas_, 1);
  layout->addWidget(find_bar_);
  layout->addWidget(tabs_);
  QObject::connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) { on_tab(tab); });

  find_field_->on_find = [this](bool forward) { find(forward); };
  find_field_->on_close = [this] {
    find_bar_->hide();
    canvas_->setFocus();
  };
  QObject::connect(previous, &QToolButton::clicked, this, [this] { find(false); });
  QObject::connect(next, &QToolButton::clicked, this, [this] { find(true); });
  QObject::connect(close, &QToolButton::clicked, this, [this] { find_field_->on_close(); });
  canvas_->on_selection([this] { show_current_cell(); });
  canvas_->on_zoom([this] { show_zoom(); });

  copy_action_ = action("复制(&C)", QKeySequence::Copy, [this] { copy(); });
  select_all_action_ =
      action("全选(&A)", QKeySequence::SelectAll, [this] { canvas_->select_all(); });
  find_action_ = action("查找(&F)…", QKeySequence::Find, [this] { open_find(); });
  find_next_action_ = action("查找下一个(&N)", Qt::Key_F3, [this] { find(true); });
  find_previous_action_ =
      action("查找上一个(&P)", QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { find(false); });
  zoom_in_action_ = action("放大(&I)", QKeySequence::ZoomIn,
                           [this] { canvas_->set_zoom(zoom_in(canvas_->zoom())); });
  // Ctrl+= too: on most keyboards + needs Shift.
  zoom_in_action_->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
  zoom_out_action_ = action("缩小(&O)", QKeySequence::ZoomOut,
                            [this] { canvas_->set_zoom(zoom_out(canvas_->zoom())); });
  zoom_reset_action_ =
      action("实际大小(&R)", QKeySequence(Qt::CTRL | Qt::Key_0), [this] { canvas_->set_zoom(1); });
  show_zoom();
  show_current_cell();
}

QAction* WorkbookView::action(const QString& text, const QKeySequence& keys,
                              std::function<void()> run) {
  auto* a = new QAction(text, this);
  a->setShortcut(keys);
  QObject::connect(a, &QAction::triggered, this, std::move(run));
  // Added here too, so that the keys work wherever the view is shown.
  addAction(a);
  return a;
}

void WorkbookView::freeze() {
  canvas_->freeze();
  book_ = nullptr;
}

int32_t WorkbookView::shown_sheet() const {
  const int tab = tabs_->currentIndex();
  return tab < 0 ? -1 : tabs_->tabData(tab).toInt();
}

void WorkbookView::on_tab(int tab) {
  if (syncing_) return;
  canvas_->show_sheet(book_, tab < 0 ? -1 : tabs_->tabData(tab).toInt());
  if (canvas_->sheet() != nullptr)
    canvas_->scroll_to(canvas_->sheet()->view.top_row, canvas_->sheet()->view.left_col);
}

void WorkbookView::refresh(const spreadsheet::Workbook* book, const QString& title) {
  syncing_ = true;
  book_ = book;
  title_->setText(title);
  while (tabs_->count() > 0) tabs_->removeTab(0);
  int active_tab = -1;
  if (book != nullptr) {
    for (int32_t i = 0; i < static_cast<int32_t>(book->sheets.size()); ++i) {
      const auto& sheet = *book->sheets[i];
      if (sheet.visibility != spreadsheet::Visibility::Visible && i != book->active_sheet) continue;
      const int tab = tabs_->addTab(QString::fromStdString(sheet.name));
      tabs_->setTabData(tab, i);
      if (sheet.tab_color.kind != spreadsheet::Color::Kind::None)
        tabs_->setTabTextColor(tab,
                               QColor::fromRgb(print::resolve_color(sheet.tab_color, 0x000000)));
      if (i == book->active_sheet) active_tab = tab;
    }
  }
  if (active_tab >= 0) tabs_->setCurrentIndex(active_tab);
  syncing_ = false;

  const int32_t index = active_tab >= 0 ? tabs_->tabData(active_tab).toInt() : -1;
  // The person's selection outlives the refresh unless the window moved.
  const SheetCanvas::Selection kept = canvas_->selection_state();
  canvas_->show_sheet(book, index);
  const spreadsheet::Sheet* sheet = canvas_->sheet();
  Followed now;
  if (sheet != nullptr) {
    now = {book,
           sheet,
           sheet->view.active_row,
           sheet->view.active_col,
           sheet->view.top_row,
           sheet->view.left_col};
  }
  if (sheet != nullptr && !(now == followed_)) {
    canvas_->scroll_to(now.top, now.left);
  } else if (sheet != nullptr) {
    canvas_->set_selection_state(kept);
  }
  followed_ = now;
}

void WorkbookView::show_current_cell() {
  const spreadsheet::Sheet* sheet = canvas_->sheet();
  if (sheet == nullptr) {
    address_->clear();
    cell_line_->clear();
    return;
  }
  const CellPlace at = canvas_->current();
  address_->setText(QString::fromStdString(spreadsheet::cell_address(at.row, at.col)));
  QString text = shown_text(*canvas_->book(), *sheet, at.row, at.col);
  cell_line_->setToolTip(text);
  text.replace("\r\n", " ").replace('\n', ' ');
  cell_line_->setText(text);
  cell_line_->setCursorPosition(0);
}

void WorkbookView::show_zoom() {
  zoom_label_->setText(QString("%1%").arg(std::lround(canvas_->zoom() * 100)));
}

void WorkbookView::say(const QString& text) {
  if (on_message_) on_message_(text);
}

void WorkbookView::copy() {
  if (canvas_->sheet() == nullptr) return;
  const QString text = canvas_->selected_text();
  QApplication::clipboard()->setText(text);
  const host::Rect s = canvas_->selection();
  const int32_t rows = std::min(s.row2, std::max(1, last_used_row(*canvas_->sheet()))) - s.row1 + 1;
  const int32_t cols =
      std::min(s.col2, std::max(1, last_used_column(*canvas_->sheet()))) - s.col1 + 1;
  if (rows <= 1 && cols <= 1) {
    say(QString("已复制 %1")
            .arg(QString::fromStdString(spreadsheet::cell_address(s.row1, s.col1))));
  } else {
    say(QString("已复制 %1 行 × %2 列").arg(std::max(rows, 0)).arg(std::max(cols, 0)));
  }
}

void WorkbookView::open_find() {
  find_bar_->show();
  // The selected text of the cell line, if any, is what one wants to find.
  if (cell_line_->hasSelectedText()) find_field_->setText(cell_line_->selectedText());
  find_field_->setFocus();
  find_field_->selectAll();
}

void WorkbookView::find(bool forward) {
  const spreadsheet::Sheet* sheet = canvas_->sheet();
  const QString needle = find_field_->text();
  if (!find_bar_->isVisible() || needle.isEmpty()) {
    open_find();
    if (needle.isEmpty()) return;
  }
  if (sheet == nullptr) return;
  if (needle != found_for_ || canvas_->generation() != found_in_) {
    found_ = find_cells(*canvas_->book(), *sheet, needle);
    found_for_ = needle;
    found_in_ = canvas_->generation();
  }
  if (found_.empty()) {
    find_result_->setText(QString("找不到“%1”").arg(needle));
    return;
  }
  // The next match after (before) the current cell, round the sheet's end.
  const CellPlace at = canvas_->current();
  size_t i = 0;
  if (forward) {
    const auto it = std::upper_bound(found_.begin(), found_.end(), at, before);
    i = it == found_.end() ? 0 : static_cast<size_t>(it - found_.begin());
  } else {
    const auto it = std::lower_bound(found_.begin(), found_.end(), at, before);
    i = it == found_.begin() ? found_.size() - 1 : static_cast<size_t>(it - found_.begin()) - 1;
  }
  canvas_->select(found_[i].row, found_[i].col);
  find_result_->setText(QString("第 %1 个，共 %2 个").arg(i + 1).arg(found_.size()));
}

}  // namespace kelv::form
