#include "app/form/workbook_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "print/cell_format.h"
#include "spreadsheet/a1.h"

namespace kelv::form {
namespace {

constexpr int kRowHeaderWidth = 46;
constexpr int kColumnHeaderHeight = 20;
// Lines beyond the last stored row or column the view lets one scroll to.
constexpr int32_t kSpareRows = 60;
constexpr int32_t kSpareColumns = 20;

const QColor kGridColor(0xD4, 0xD4, 0xD4);  // between the headers
const QColor kHeaderColor(0xF0, 0xF0, 0xF0);
const QColor kHeaderActiveColor(0xD6, 0xE6, 0xD0);
const QColor kActiveCellColor(0x21, 0x73, 0x46);
const QColor kPageBreakColor(0x1F, 0x4E, 0xCC);

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
  if (book != book_) images_.reset();
  snapshot_ = QPixmap();
  book_ = book;
  sheet_ = sheet;
  reload();
}

void SheetCanvas::freeze() {
  if (sheet_ != nullptr && snapshot_.isNull()) snapshot_ = viewport()->grab();
  book_ = nullptr;
  sheet_ = nullptr;
  cells_.reset();
  images_.reset();
}

void SheetCanvas::reload() {
  cells_.reset();
  if (sheet_ != nullptr) {
    if (images_ == nullptr) images_ = std::make_unique<print::ImageCache>(*book_);
    cells_ = std::make_unique<print::CellPainter>(*book_, *sheet_, *images_);
  }
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
  int64_t height = std::llround(rows_.extent()), width = std::llround(cols_.extent());
  if (sheet_ != nullptr) {
    for (const auto& pic : sheet_->pictures) {
      height = std::max<int64_t>(
          height, std::llround((pic.top + pic.height) * spreadsheet::kPixelsPerPoint));
      width = std::max<int64_t>(
          width, std::llround((pic.left + pic.width) * spreadsheet::kPixelsPerPoint));
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
  area.units_per_point = spreadsheet::kPixelsPerPoint;
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
    const QRect box(x_of(c), 0, static_cast<int>(cols_.size(c)), kColumnHeaderHeight);
    if (box.width() <= 0 || box.right() < kRowHeaderWidth) continue;
    p.save();
    p.setClipRect(QRect(kRowHeaderWidth, 0, area_w, kColumnHeaderHeight));
    if (c >= active.col1 && c <= active.col2) p.fillRect(box, kHeaderActiveColor);
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
        tabs_->setTabTextColor(tab,
                               QColor::fromRgb(print::resolve_color(sheet.tab_color, 0x000000)));
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
