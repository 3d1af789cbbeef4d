#include "app/form/workbook_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kelv::form {
namespace {

using spreadsheet::BorderSide;
using spreadsheet::Cell;
using spreadsheet::Sheet;
using spreadsheet::Style;

constexpr int kRowHeaderWidth = 46;
constexpr int kColumnHeaderHeight = 20;
constexpr int kPadding = 2;
// Lines beyond the last stored row or column the view lets one scroll to.
constexpr int32_t kSpareRows = 60;
constexpr int32_t kSpareColumns = 20;

const QColor kGridColor(0xD4, 0xD4, 0xD4);
const QColor kHeaderColor(0xF0, 0xF0, 0xF0);
const QColor kHeaderActiveColor(0xD6, 0xE6, 0xD0);
const QColor kActiveCellColor(0x21, 0x73, 0x46);
const QColor kPageBreakColor(0x1F, 0x4E, 0xCC);

QPen border_pen(const BorderSide& side) {
  QPen pen(resolve_color(side.color, Qt::black));
  pen.setCapStyle(Qt::SquareCap);
  const std::string& s = side.style;
  if (s == "medium" || s == "mediumDashed" || s == "mediumDashDot" || s == "mediumDashDotDot" ||
      s == "slantDashDot")
    pen.setWidth(2);
  else if (s == "thick")
    pen.setWidth(3);
  else
    pen.setWidth(1);
  if (s == "dashed" || s == "mediumDashed") pen.setStyle(Qt::DashLine);
  if (s == "dotted" || s == "hair") pen.setStyle(Qt::DotLine);
  if (s == "dashDot" || s == "mediumDashDot" || s == "slantDashDot") pen.setStyle(Qt::DashDotLine);
  if (s == "dashDotDot" || s == "mediumDashDotDot") pen.setStyle(Qt::DashDotDotLine);
  return pen;
}

void draw_side(QPainter& p, const BorderSide& side, QPoint a, QPoint b, bool horizontal) {
  if (side.style.empty() || side.style == "none") return;
  if (side.style == "double") {
    QPen pen(resolve_color(side.color, Qt::black));
    pen.setWidth(1);
    p.setPen(pen);
    const QPoint d = horizontal ? QPoint(0, 1) : QPoint(1, 0);
    p.drawLine(a - d, b - d);
    p.drawLine(a + d, b + d);
    return;
  }
  p.setPen(border_pen(side));
  p.drawLine(a, b);
}

QBrush fill_brush(const spreadsheet::Fill& fill) {
  if (fill.pattern.empty() || fill.pattern == "none") return Qt::NoBrush;
  const QColor fg = resolve_color(fill.fg, Qt::black);
  if (fill.pattern == "solid") return QBrush(fg);
  // Patterns are shown as a light hatch of the foreground colour.
  Qt::BrushStyle style = Qt::Dense5Pattern;
  if (fill.pattern == "darkGray" || fill.pattern == "mediumGray") style = Qt::Dense4Pattern;
  if (fill.pattern == "gray125" || fill.pattern == "gray0625") style = Qt::Dense7Pattern;
  return QBrush(fg, style);
}

bool is_left_flowing(const Cell& cell, const Style& style) {
  if (style.alignment.wrap_text) return false;
  const std::string& h = style.alignment.horizontal;
  if (h == "left") return true;
  return h.empty() || h == "general" ? cell.value.is_text() : false;
}

int horizontal_flags(const Cell& cell, const Style& style) {
  const std::string& h = style.alignment.horizontal;
  if (h == "center" || h == "centerContinuous" || h == "distributed") return Qt::AlignHCenter;
  if (h == "right") return Qt::AlignRight;
  if (h == "left" || h == "fill" || h == "justify") return Qt::AlignLeft;
  if (cell.value.is_number()) return Qt::AlignRight;
  if (cell.value.is_bool() || cell.value.is_error()) return Qt::AlignHCenter;
  return Qt::AlignLeft;
}

int vertical_flags(const Style& style) {
  const std::string& v = style.alignment.vertical;
  if (v == "top") return Qt::AlignTop;
  if (v == "center" || v == "distributed" || v == "justify") return Qt::AlignVCenter;
  return Qt::AlignBottom;
}

}  // namespace

SheetCanvas::SheetCanvas(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName("SheetCanvas");
  viewport()->setAutoFillBackground(false);
  horizontalScrollBar()->setSingleStep(32);
  verticalScrollBar()->setSingleStep(20);
}

void SheetCanvas::show_sheet(const spreadsheet::Workbook* book, int32_t index) {
  const spreadsheet::Sheet* sheet = nullptr;
  if (book != nullptr && index >= 0 && index < static_cast<int32_t>(book->sheets.size()))
    sheet = book->sheets[index].get();
  if (book != book_) images_.clear();
  snapshot_ = QPixmap();
  book_ = book;
  sheet_ = sheet;
  reload();
}

void SheetCanvas::freeze() {
  if (sheet_ != nullptr && snapshot_.isNull()) snapshot_ = viewport()->grab();
  book_ = nullptr;
  sheet_ = nullptr;
  images_.clear();
}

void SheetCanvas::reload() {
  if (sheet_ == nullptr) {
    rows_ = Axis();
    cols_ = Axis();
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
  last_row = std::min(last_row + kSpareRows, host::kMaxRows);
  last_col = std::min(last_col + kSpareColumns, host::kMaxColumns);
  rows_ = row_axis(*sheet_, last_row);
  cols_ = column_axis(*sheet_, last_col, book_->max_digit_width);
  update_scroll_ranges();
  viewport()->update();
}

void SheetCanvas::update_scroll_ranges() {
  int64_t height = rows_.extent(), width = cols_.extent();
  if (sheet_ != nullptr) {
    for (const auto& pic : sheet_->pictures) {
      height = std::max<int64_t>(height, std::llround((pic.top + pic.height) * kPixelsPerPoint));
      width = std::max<int64_t>(width, std::llround((pic.left + pic.width) * kPixelsPerPoint));
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

void SheetCanvas::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  update_scroll_ranges();
}

const QPixmap& SheetCanvas::image(uint32_t index) {
  auto it = images_.find(index);
  if (it != images_.end()) return *it;
  QPixmap pix;
  if (book_ != nullptr && index < book_->images.size() && book_->images[index].bytes) {
    const std::string& bytes = *book_->images[index].bytes;
    pix.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<uint>(bytes.size()));
  }
  return *images_.insert(index, pix);
}

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
  auto rect_of = [&](const host::Rect& r) {
    return QRect(QPoint(x_of(r.col1), y_of(r.row1)),
                 QPoint(x_of(r.col2 + 1) - 1, y_of(r.row2 + 1) - 1));
  };

  // Merged blocks that reach into the visible part, and which cells they cover.
  std::vector<host::Rect> merges;
  const host::Rect visible{r1, c1, r2, c2};
  for (const auto& m : sheet_->merges)
    if (m.intersects(visible)) merges.push_back(m);
  auto merge_at = [&](int32_t r, int32_t c) -> const host::Rect* {
    for (const auto& m : merges)
      if (m.contains(r, c)) return &m;
    return nullptr;
  };
  auto style_of = [&](const Cell& cell) -> const Style& {
    return book_->styles.get(cell.style < book_->styles.size() ? cell.style : 0);
  };
  // Visits the stored cells of rows r1..r2 between columns c1 and c2.
  auto for_cells = [&](int32_t ca, int32_t cb, auto&& fn) {
    for (int32_t r = r1; r <= r2 && r <= static_cast<int32_t>(sheet_->rows.size()); ++r) {
      const auto& cells = sheet_->rows[r - 1].cells;
      auto it = std::lower_bound(cells.begin(), cells.end(), ca,
                                 [](const Cell& c, int32_t col) { return c.col < col; });
      for (; it != cells.end() && it->col <= cb; ++it) fn(r, *it);
    }
  };

  p.save();
  p.setClipRect(QRect(kRowHeaderWidth, kColumnHeaderHeight, area_w, area_h));

  // Fills of single cells.
  for_cells(c1, c2, [&](int32_t r, const Cell& cell) {
    if (merge_at(r, cell.col) != nullptr) return;
    const QBrush brush = fill_brush(style_of(cell).fill);
    if (brush.style() != Qt::NoBrush) p.fillRect(rect_of(host::Rect::cell(r, cell.col)), brush);
  });

  // Grid lines.
  if (sheet_->view.show_grid_lines) {
    p.setPen(kGridColor);
    for (int32_t r = r1; r <= r2 + 1; ++r)
      p.drawLine(kRowHeaderWidth, y_of(r) - 1, vp.width(), y_of(r) - 1);
    for (int32_t c = c1; c <= c2 + 1; ++c)
      p.drawLine(x_of(c) - 1, kColumnHeaderHeight, x_of(c) - 1, vp.height());
  }

  // Merged blocks: one fill over the whole block, hiding the grid inside.
  for (const auto& m : merges) {
    const Cell* tl = find_cell(*sheet_, m.row1, m.col1);
    QRect box = rect_of(m).adjusted(0, 0, -1, -1);
    p.fillRect(box, Qt::white);
    if (tl != nullptr) {
      const QBrush brush = fill_brush(style_of(*tl).fill);
      if (brush.style() != Qt::NoBrush) p.fillRect(box, brush);
    }
  }

  // Texts. A merged block shows its top-left cell over the whole block;
  // left-flowing text runs on into empty neighbours to its right.
  auto draw_text = [&](int32_t r, const Cell& cell, QRect box) {
    const Style& style = style_of(cell);
    const QString text = display_text(cell, style);
    if (text.isEmpty()) return;
    int flags = horizontal_flags(cell, style) | vertical_flags(style);
    if (style.alignment.wrap_text) flags |= Qt::TextWordWrap;
    p.setFont(screen_font(style.font));
    p.setPen(resolve_color(style.font.color, Qt::black));
    QRect inner = box.adjusted(kPadding + style.alignment.indent * 9, 0, -kPadding, -1);
    if (cell.value.is_number() && !style.alignment.wrap_text &&
        p.fontMetrics().horizontalAdvance(text) > inner.width()) {
      p.drawText(
          inner, flags,
          QString(std::max(1, inner.width() / std::max(1, p.fontMetrics().horizontalAdvance('#'))),
                  '#'));
      return;
    }
    p.save();
    p.setClipRect(box.intersected(QRect(kRowHeaderWidth, kColumnHeaderHeight, area_w, area_h)));
    p.drawText(inner, flags, text);
    p.restore();
    (void)r;
  };
  for_cells(1, c2, [&](int32_t r, const Cell& cell) {
    if (merge_at(r, cell.col) != nullptr) return;
    const Style& style = style_of(cell);
    QRect box = rect_of(host::Rect::cell(r, cell.col));
    if (is_left_flowing(cell, style)) {
      int32_t c = cell.col + 1;
      for (; c <= c2 + 1; ++c) {
        const Cell* next = find_cell(*sheet_, r, c);
        if ((next != nullptr && !next->value.is_empty()) || merge_at(r, c) != nullptr) break;
      }
      box.setRight(x_of(c) - 1);
    }
    if (box.right() < kRowHeaderWidth) return;
    draw_text(r, cell, box);
  });
  for (const auto& m : merges) {
    const Cell* tl = find_cell(*sheet_, m.row1, m.col1);
    if (tl != nullptr) draw_text(m.row1, *tl, rect_of(m));
  }

  // Borders, drawn on the outline of merged blocks only.
  for_cells(c1 > 1 ? c1 - 1 : 1, c2 + 1, [&](int32_t r, const Cell& cell) {
    const spreadsheet::Border& b = style_of(cell).border;
    const int c = cell.col;
    const host::Rect* m = merge_at(r, c);
    const int left = x_of(c) - 1, right = x_of(c + 1) - 1;
    const int top = y_of(r) - 1, bottom = y_of(r + 1) - 1;
    if (m == nullptr || r == m->row1) draw_side(p, b.top, {left, top}, {right, top}, true);
    if (m == nullptr || r == m->row2) draw_side(p, b.bottom, {left, bottom}, {right, bottom}, true);
    if (m == nullptr || c == m->col1) draw_side(p, b.left, {left, top}, {left, bottom}, false);
    if (m == nullptr || c == m->col2) draw_side(p, b.right, {right, top}, {right, bottom}, false);
  });

  // Pictures, in points from the sheet's corner.
  for (const auto& pic : sheet_->pictures) {
    const QRect box(
        static_cast<int>(kRowHeaderWidth + std::lround(pic.left * kPixelsPerPoint) - sx),
        static_cast<int>(kColumnHeaderHeight + std::lround(pic.top * kPixelsPerPoint) - sy),
        static_cast<int>(std::lround(pic.width * kPixelsPerPoint)),
        static_cast<int>(std::lround(pic.height * kPixelsPerPoint)));
    if (!box.intersects(vp)) continue;
    const QPixmap& pix = image(pic.image);
    if (pix.isNull()) {
      p.setPen(Qt::gray);
      p.drawRect(box.adjusted(0, 0, -1, -1));
      p.drawLine(box.topLeft(), box.bottomRight());
      p.drawLine(box.topRight(), box.bottomLeft());
    } else {
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      p.drawPixmap(box, pix);
    }
  }

  // Manual page breaks: a dashed line above the row.
  QPen break_pen(kPageBreakColor, 2, Qt::DashLine);
  p.setPen(break_pen);
  for (auto it = sheet_->row_breaks.lower_bound(r1);
       it != sheet_->row_breaks.end() && *it <= r2 + 1; ++it)
    p.drawLine(kRowHeaderWidth, y_of(*it) - 1, vp.width(), y_of(*it) - 1);

  // The active cell (its whole merged block).
  const int32_t ar = sheet_->view.active_row, ac = sheet_->view.active_col;
  host::Rect active = host::Rect::cell(ar, ac);
  for (const auto& m : sheet_->merges)
    if (m.contains(ar, ac)) active = m;
  p.setPen(QPen(kActiveCellColor, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(rect_of(active).adjusted(0, 0, -1, -1));
  p.restore();

  // Headers.
  p.fillRect(QRect(0, 0, vp.width(), kColumnHeaderHeight), kHeaderColor);
  p.fillRect(QRect(0, 0, kRowHeaderWidth, vp.height()), kHeaderColor);
  QFont header_font = font();
  header_font.setPixelSize(11);
  p.setFont(header_font);
  for (int32_t c = c1; c <= c2; ++c) {
    const QRect box(x_of(c), 0, cols_.size(c), kColumnHeaderHeight);
    if (box.width() <= 0 || box.right() < kRowHeaderWidth) continue;
    p.save();
    p.setClipRect(QRect(kRowHeaderWidth, 0, area_w, kColumnHeaderHeight));
    if (c >= active.col1 && c <= active.col2) p.fillRect(box, kHeaderActiveColor);
    p.setPen(kGridColor);
    p.drawLine(box.right(), 0, box.right(), kColumnHeaderHeight);
    p.setPen(Qt::black);
    p.drawText(box, Qt::AlignCenter, column_letters(c));
    p.restore();
  }
  for (int32_t r = r1; r <= r2; ++r) {
    const QRect box(0, y_of(r), kRowHeaderWidth, rows_.size(r));
    if (box.height() <= 0 || box.bottom() < kColumnHeaderHeight) continue;
    p.save();
    p.setClipRect(QRect(0, kColumnHeaderHeight, kRowHeaderWidth, area_h));
    if (r >= active.row1 && r <= active.row2) p.fillRect(box, kHeaderActiveColor);
    p.setPen(kGridColor);
    p.drawLine(0, box.bottom(), kRowHeaderWidth, box.bottom());
    p.setPen(Qt::black);
    p.drawText(box, Qt::AlignCenter, QString::number(r));
    p.restore();
  }
}

WorkbookView::WorkbookView(QWidget* parent) : QWidget(parent) {
  setObjectName("WorkbookView");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  title_ = new QLabel(this);
  title_->setContentsMargins(6, 4, 6, 4);
  canvas_ = new SheetCanvas(this);
  tabs_ = new QTabBar(this);
  tabs_->setShape(QTabBar::RoundedSouth);
  tabs_->setExpanding(false);
  tabs_->setDrawBase(false);
  layout->addWidget(title_);
  layout->addWidget(canvas_, 1);
  layout->addWidget(tabs_);
  QObject::connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) { on_tab(tab); });
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
        tabs_->setTabTextColor(tab, resolve_color(sheet.tab_color, Qt::black));
      if (i == book->active_sheet) active_tab = tab;
    }
  }
  if (active_tab >= 0) tabs_->setCurrentIndex(active_tab);
  syncing_ = false;

  const int32_t index = active_tab >= 0 ? tabs_->tabData(active_tab).toInt() : -1;
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
  if (sheet != nullptr && !(now == followed_)) canvas_->scroll_to(now.top, now.left);
  followed_ = now;
}

}  // namespace kelv::form
