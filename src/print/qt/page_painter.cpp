#include "print/qt/page_painter.h"

#include <QFontMetricsF>
#include <QPageSize>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "print/qt/fonts.h"
#include "spreadsheet/a1.h"
#include "spreadsheet/cells.h"

namespace kelv::print {
namespace {

// One line of a header or footer section: its runs with their fonts.
struct EdgeLine {
  struct Piece {
    QString text;
    QFont font;
    QColor color;
    double width = 0;
  };
  std::vector<Piece> pieces;
  double width = 0, ascent = 0, descent = 0;
};

// Printed grid lines and the lines around headings: black hairlines, the
// finest line the printer draws (a cosmetic pen of width 0).
constexpr double kGridWidth = 0;

}  // namespace

PagePainter::PagePainter(const PrintJob& job) : job_(job), images_(job.book()) {
  for (const SheetLayout& l : job.sheets())
    painters_.push_back(std::make_unique<CellPainter>(
        job.book(), *job.book().sheets[static_cast<size_t>(l.sheet_index)], images_));
}

PagePainter::~PagePainter() = default;

void PagePainter::paint_block(QPainter& p, int32_t sheet, const Block& block, double dpu) {
  const SheetLayout& layout = job_.sheets()[static_cast<size_t>(sheet)];
  const double u = dpu * layout.scale;
  const host::Rect& cells = block.cells;
  auto lines = [&](const Track& track, int32_t first, int32_t last, double at) {
    std::vector<double> edges;
    edges.reserve(static_cast<size_t>(last) - static_cast<size_t>(first) + 2);
    const double base = track.offset(first);
    for (int32_t i = first; i <= last + 1; ++i)
      edges.push_back(at * dpu + (track.offset(i) - base) * u);
    return Lines(first, std::move(edges));
  };
  // Text of values left of the block may run on into it: the columns are
  // laid out from the first of those.
  const spreadsheet::Sheet& model = *job_.book().sheets[static_cast<size_t>(layout.sheet_index)];
  int32_t text_from = cells.col1;
  const int32_t last = std::min(cells.row2, static_cast<int32_t>(model.rows.size()));
  for (int32_t r = cells.row1; r <= last; ++r) {
    const auto& row = model.rows[static_cast<size_t>(r - 1)];
    for (auto c = std::make_reverse_iterator(spreadsheet::cells::lower(row, cells.col1));
         c != row.cells.rend(); ++c) {
      if (!spreadsheet::cells::has_value(*c)) continue;
      if (c->value.is_text()) text_from = std::min(text_from, c->col);
      break;
    }
  }
  CellArea area;
  area.rows = lines(layout.rows, cells.row1, cells.row2, block.y);
  area.columns =
      lines(layout.columns, text_from, cells.col2,
            block.x - (layout.columns.offset(cells.col1) - layout.columns.offset(text_from)) *
                          layout.scale);
  area.first_column = cells.col1;
  area.clip = QRectF(block.x * dpu, block.y * dpu, block.width * dpu, block.height * dpu);
  area.units_per_point = u;
  area.sheet_origin = QPointF(block.x * dpu - layout.columns.offset(cells.col1) * u,
                              block.y * dpu - layout.rows.offset(cells.row1) * u);
  area.grid_lines = layout.grid_lines;
  area.grid_color = Qt::black;
  area.grid_width = kGridWidth;
  area.neighbour_borders = false;
  painters_[static_cast<size_t>(sheet)]->paint(p, area);
}

void PagePainter::paint_headings(QPainter& p, const SheetLayout& layout, const Page& page,
                                 double dpu) {
  const double u = dpu * layout.scale;
  const double width = layout.heading_width * u, height = layout.heading_height * u;
  // The blocks in the page's first row of blocks carry column letters above
  // them; those in its first column, row numbers left of them.
  const Block& top_left = page.title_corner    ? *page.title_corner
                          : page.title_rows    ? *page.title_rows
                          : page.title_columns ? *page.title_columns
                                               : page.body;
  const double top = top_left.y * dpu - height, left = top_left.x * dpu - width;
  const QPen pen(Qt::black, kGridWidth);
  p.save();
  p.setPen(pen);
  p.setFont(text_font("Arial", 10 * layout.scale, dpu));
  auto box = [&](const QRectF& r, const QString& text) {
    p.drawRect(r);
    p.drawText(r, Qt::AlignCenter, text);
  };
  box(QRectF(left, top, width, height), QString());
  std::vector<const Block*> across{page.title_columns ? &*page.title_columns : nullptr, &page.body};
  std::vector<const Block*> down{page.title_rows ? &*page.title_rows : nullptr, &page.body};
  for (const Block* b : across) {
    if (b == nullptr) continue;
    double x = b->x * dpu;
    for (int32_t c = b->cells.col1; c <= b->cells.col2; ++c) {
      const double w = layout.columns.size(c) * u;
      if (w > 0)
        box(QRectF(x, top, w, height), QString::fromStdString(spreadsheet::column_letters(c)));
      x += w;
    }
  }
  for (const Block* b : down) {
    if (b == nullptr) continue;
    double y = b->y * dpu;
    for (int32_t r = b->cells.row1; r <= b->cells.row2; ++r) {
      const double h = layout.rows.size(r) * u;
      if (h > 0) box(QRectF(left, y, width, h), QString::number(r));
      y += h;
    }
  }
  p.restore();
}

void PagePainter::paint_edge(QPainter& p, const SheetLayout& layout, const std::string& text,
                             const PageFields& fields, bool header, double dpu) {
  if (text.empty()) return;
  const Sections sections = expand_header_footer(text, fields);
  if (sections.empty()) return;
  const spreadsheet::Sheet& sheet = *job_.book().sheets[static_cast<size_t>(layout.sheet_index)];
  const spreadsheet::HeaderFooter& hf = sheet.page_setup.header_footer;
  const spreadsheet::Font& base = job_.book().styles.get(0).font;
  const double scale = hf.scale_with_doc ? layout.scale : 1.0;

  auto lay_out = [&](const std::vector<Run>& runs) {
    std::vector<EdgeLine> lines(1);
    for (const Run& run : runs) {
      const RunFormat& f = run.format;
      double points = (f.size > 0 ? f.size : base.size) * scale;
      if (f.superscript || f.subscript) points *= 0.7;
      QFont font = text_font(f.font.empty() ? base.name : f.font, points, dpu);
      set_bold(font, f.bold);
      font.setItalic(f.italic);
      font.setStrikeOut(f.strike);
      font.setUnderline(f.underline || f.double_underline);
      const QColor color = f.color ? QColor::fromRgb(*f.color) : QColor(Qt::black);
      const QStringList parts = QString::fromStdString(run.text).split('\n');
      for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) lines.emplace_back();
        const QFontMetricsF m(font);
        EdgeLine& line = lines.back();
        line.ascent = std::max(line.ascent, m.ascent());
        line.descent = std::max(line.descent, m.descent());
        if (parts[i].isEmpty()) continue;
        const double w = m.horizontalAdvance(parts[i]);
        line.pieces.push_back({parts[i], font, color, w});
        line.width += w;
      }
    }
    return lines;
  };

  const double left = (hf.align_with_margins ? layout.margins.left : 0) * dpu;
  const double right =
      (layout.paper_width - (hf.align_with_margins ? layout.margins.right : 0)) * dpu;
  const std::vector<Run>* parts[3] = {&sections.left, &sections.center, &sections.right};
  for (int k = 0; k < 3; ++k) {
    if (parts[k]->empty()) continue;
    const std::vector<EdgeLine> lines = lay_out(*parts[k]);
    double height = 0;
    for (const EdgeLine& l : lines) height += l.ascent + l.descent;
    double y = header ? layout.margins.header * dpu
                      : (layout.paper_height - layout.margins.footer) * dpu - height;
    for (const EdgeLine& line : lines) {
      double x = k == 0 ? left : k == 1 ? (left + right - line.width) / 2 : right - line.width;
      const double baseline = y + line.ascent;
      for (const EdgeLine::Piece& piece : line.pieces) {
        p.setFont(piece.font);
        p.setPen(piece.color);
        p.drawText(QPointF(x, baseline), piece.text);
        x += piece.width;
      }
      y += line.ascent + line.descent;
    }
  }
}

void PagePainter::paint(QPainter& p, int32_t index, double dpi) {
  const double dpu = dpi / 72.0;  // device units per point
  const SheetLayout& layout = job_.layout_of(index);
  const int32_t sheet = job_.page(index).sheet;
  const Page& page = job_.page_of(index);
  for (const auto* block : {&page.title_corner, &page.title_rows, &page.title_columns})
    if (*block) paint_block(p, sheet, **block, dpu);
  paint_block(p, sheet, page.body, dpu);
  if (layout.heading_width > 0) paint_headings(p, layout, page, dpu);
  const spreadsheet::HeaderFooter& hf =
      job_.book().sheets[static_cast<size_t>(layout.sheet_index)]->page_setup.header_footer;
  const PageFields fields = job_.fields(index);
  paint_edge(p, layout, header_footer_for(hf, Edge::Header, page.sheet_page), fields, true, dpu);
  paint_edge(p, layout, header_footer_for(hf, Edge::Footer, page.sheet_page), fields, false, dpu);
}

QImage PagePainter::image(int32_t index, double pixels_per_point) {
  const SheetLayout& layout = job_.layout_of(index);
  QImage img(std::max(1, static_cast<int>(std::lround(layout.paper_width * pixels_per_point))),
             std::max(1, static_cast<int>(std::lround(layout.paper_height * pixels_per_point))),
             QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  paint(p, index, pixels_per_point * 72);
  return img;
}

QPageLayout page_layout_of(const SheetLayout& layout) {
  const double w = layout.landscape ? layout.paper_height : layout.paper_width;
  const double h = layout.landscape ? layout.paper_width : layout.paper_height;
  return QPageLayout(QPageSize(QSizeF(w, h), QPageSize::Point, QString(), QPageSize::FuzzyMatch),
                     layout.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                     QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

bool render_job(const PrintJob& job, QPagedPaintDevice& device,
                const std::function<bool(const JobProgress&)>& progress, int32_t first,
                int32_t last, const std::function<void()>& on_stop) {
  if (last < 0 || last >= job.page_count()) last = job.page_count() - 1;
  first = std::max(first, 0);
  if (first > last) return true;
  device.setPageLayout(page_layout_of(job.layout_of(first)));
  QPainter p;
  if (!p.begin(&device)) throw std::runtime_error("无法开始绘制页面");
  PagePainter painter(job);
  const double dpi = device.logicalDpiX();
  for (int32_t i = first; i <= last; ++i) {
    if (i > first) {
      if (job.page(i).sheet != job.page(i - 1).sheet)
        device.setPageLayout(page_layout_of(job.layout_of(i)));
      if (!device.newPage()) throw std::runtime_error("无法开始新的一页");
    }
    painter.paint(p, i, dpi);
    JobProgress done;
    done.done = i - first + 1;
    done.total = last - first + 1;
    done.sheet = job.page(i).sheet;
    done.sheet_done = i == last || job.page(i + 1).sheet != done.sheet;
    if (progress && !progress(done)) {
      if (on_stop) on_stop();
      p.end();
      return false;
    }
  }
  if (!p.end()) throw std::runtime_error("无法完成页面绘制");
  return true;
}

}  // namespace kelv::print
