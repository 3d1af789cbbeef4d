#include "print/qt/cell_painter.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainterPath>
#include <QPen>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>
#include <optional>

#include "codes/symbol.h"
#include "print/cell_format.h"
#include "print/qt/fonts.h"
#include "print/qt/text_widths.h"
#include "spreadsheet/cells.h"

namespace kelv::print {
namespace {

using spreadsheet::BorderSide;
using spreadsheet::Cell;
using spreadsheet::Style;

// Cell padding and indent steps, points.
constexpr double kPadding = 1.5;
constexpr double kIndent = 6.75;

QColor color_of(const spreadsheet::Color& c, QRgb fallback) {
  return QColor::fromRgb(resolve_color(c, fallback & 0xFFFFFF));
}

bool drawn(const BorderSide& side) {
  return !side.style.empty() && side.style != "none";
}

// Line widths in points of each border style.
double border_width(const std::string& s) {
  if (s == "medium" || s == "mediumDashed" || s == "mediumDashDot" || s == "mediumDashDotDot" ||
      s == "slantDashDot")
    return 1.5;
  if (s == "thick") return 2.25;
  return 0.75;
}

QPen border_pen(const BorderSide& side, double unit) {
  QPen pen(color_of(side.color, 0x000000));
  const std::string& s = side.style;
  // Thick lines close their corners with square ends; thin ones end flat,
  // so the segments of a line do not overlap (which darkens the joins when
  // drawn smoothed).
  pen.setCapStyle(border_width(s) > 1 ? Qt::SquareCap : Qt::FlatCap);
  pen.setWidthF(std::max(1.0, border_width(s) * unit));
  if (s == "dashed" || s == "mediumDashed") pen.setStyle(Qt::DashLine);
  if (s == "dotted" || s == "hair") pen.setStyle(Qt::DotLine);
  if (s == "dashDot" || s == "mediumDashDot" || s == "slantDashDot") pen.setStyle(Qt::DashDotLine);
  if (s == "dashDotDot" || s == "mediumDashDotDot") pen.setStyle(Qt::DashDotDotLine);
  return pen;
}

void draw_side(QPainter& p, const BorderSide& side, QPointF a, QPointF b, bool horizontal,
               double unit) {
  if (!drawn(side)) return;
  if (side.style == "double") {
    QPen pen(color_of(side.color, 0x000000));
    pen.setWidthF(std::max(1.0, 0.5 * unit));
    p.setPen(pen);
    const double gap = std::max(1.0, 0.75 * unit);
    const QPointF d = horizontal ? QPointF(0, gap) : QPointF(gap, 0);
    p.drawLine(QLineF(a - d, b - d));
    p.drawLine(QLineF(a + d, b + d));
    return;
  }
  p.setPen(border_pen(side, unit));
  p.drawLine(QLineF(a, b));
}

QBrush fill_brush(const spreadsheet::Fill& fill) {
  if (fill.pattern.empty() || fill.pattern == "none") return Qt::NoBrush;
  const QColor fg = color_of(fill.fg, 0x000000);
  if (fill.pattern == "solid") return QBrush(fg);
  // Patterns are drawn as a light hatch of the foreground colour.
  Qt::BrushStyle style = Qt::Dense5Pattern;
  if (fill.pattern == "darkGray" || fill.pattern == "mediumGray") style = Qt::Dense4Pattern;
  if (fill.pattern == "gray125" || fill.pattern == "gray0625") style = Qt::Dense7Pattern;
  return QBrush(fg, style);
}

enum class Flow { None, Right, Left, Both };

// Which way a cell's text may run on into empty neighbours: never when
// wrapped or a number; else away from its alignment.
Flow flow_of(const Cell& cell, const Style& style) {
  if (style.alignment.wrap_text || style.alignment.shrink_to_fit || !cell.value.is_text() ||
      style.alignment.text_rotation != 0)
    return Flow::None;
  const std::string& h = style.alignment.horizontal;
  if (h.empty() || h == "general" || h == "left") return Flow::Right;
  if (h == "right") return Flow::Left;
  if (h == "center" || h == "centerContinuous") return Flow::Both;
  return Flow::None;
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

Lines::Lines(int32_t first, std::vector<double> edges) : first_(first), edges_(std::move(edges)) {
  if (edges_.size() < 2) edges_.resize(2, edges_.empty() ? 0 : edges_.front());
}

double Lines::start(int32_t line) const {
  const int64_t i =
      std::clamp<int64_t>(int64_t{line} - first_, 0, static_cast<int64_t>(edges_.size()) - 1);
  return edges_[static_cast<size_t>(i)];
}

ImageCache::ImageCache(const spreadsheet::Workbook& book, int64_t budget_bytes)
    : book_(book), budget_(budget_bytes) {}

const QPixmap& ImageCache::get(uint32_t index) {
  auto it = entries_.find(index);
  if (it != entries_.end()) {
    order_.splice(order_.begin(), order_, it->second.at);
    return it->second.pixmap;
  }
  QPixmap pix;
  if (index < book_.images.size() && book_.images[index].bytes) {
    const std::string& bytes = *book_.images[index].bytes;
    pix.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<uint>(bytes.size()));
  }
  const int64_t size = int64_t{pix.width()} * pix.height() * std::max(1, pix.depth() / 8);
  while (!order_.empty() && used_ + size > budget_) {
    const uint32_t victim = order_.back();
    order_.pop_back();
    auto v = entries_.find(victim);
    used_ -= int64_t{v->second.pixmap.width()} * v->second.pixmap.height() *
             std::max(1, v->second.pixmap.depth() / 8);
    entries_.erase(v);
  }
  order_.push_front(index);
  used_ += size;
  return entries_.emplace(index, Entry{std::move(pix), order_.begin()}).first->second.pixmap;
}

CellPainter::CellPainter(const spreadsheet::Workbook& book, const spreadsheet::Sheet& sheet,
                         ImageCache& images)
    : book_(book), sheet_(sheet), images_(images) {
  merges_by_row_ = sheet.merges;
  std::sort(merges_by_row_.begin(), merges_by_row_.end(),
            [](const host::Rect& a, const host::Rect& b) { return a.row1 < b.row1; });
  for (const auto& m : merges_by_row_) tallest_merge_ = std::max(tallest_merge_, m.rows());
  pictures_by_top_.resize(sheet.pictures.size());
  for (size_t i = 0; i < pictures_by_top_.size(); ++i) {
    pictures_by_top_[i] = i;
    tallest_picture_ = std::max(tallest_picture_, sheet.pictures[i].height);
  }
  std::sort(pictures_by_top_.begin(), pictures_by_top_.end(),
            [&](size_t a, size_t b) { return sheet.pictures[a].top < sheet.pictures[b].top; });
}

const Style& CellPainter::style_of(const Cell& cell) const {
  return book_.styles.get(cell.style < book_.styles.size() ? cell.style : 0);
}

CellPainter::Look& CellPainter::look_of(uint32_t style, double units_per_point) {
  auto it = looks_.find(style);
  if (it == looks_.end() || it->second.units_per_point != units_per_point) {
    shapes_.clear();
    const Style& s = book_.styles.get(style < book_.styles.size() ? style : 0);
    const QFont font = cell_font(s.font, units_per_point);
    it = looks_
             .insert_or_assign(style, Look{font, QFontMetricsF(font), units_per_point,
                                           TextWidths(QFontMetricsF(font))})
             .first;
  }
  return it->second;
}

void CellPainter::collect_merges(const host::Rect& visible) {
  merges_.clear();
  auto it =
      std::lower_bound(merges_by_row_.begin(), merges_by_row_.end(), visible.row1 - tallest_merge_,
                       [](const host::Rect& m, int32_t row) { return m.row1 < row; });
  for (; it != merges_by_row_.end() && it->row1 <= visible.row2; ++it)
    if (it->intersects(visible)) merges_.push_back(*it);
}

const host::Rect* CellPainter::merge_at(int32_t row, int32_t col) const {
  for (const auto& m : merges_)
    if (m.contains(row, col)) return &m;
  return nullptr;
}

void CellPainter::paint(QPainter& p, const CellArea& area) {
  const double u = area.units_per_point;
  const int32_t r1 = area.rows.first(), r2 = area.rows.last();
  const int32_t text_from = area.columns.first(), c2 = area.columns.last();
  const int32_t c1 = std::max(area.first_column, text_from);
  collect_merges({r1, text_from, r2, c2});
  auto rect_of = [&](int32_t ra, int32_t ca, int32_t rb, int32_t cb) {
    return QRectF(QPointF(area.columns.start(ca), area.rows.start(ra)),
                  QPointF(area.columns.end(cb), area.rows.end(rb)));
  };
  // Visits the stored cells of rows r1..r2 between columns ca and cb.
  auto for_cells = [&](int32_t ca, int32_t cb, auto&& fn) {
    for (int32_t r = r1; r <= r2 && r <= static_cast<int32_t>(sheet_.rows.size()); ++r) {
      const auto& row = sheet_.rows[static_cast<size_t>(r - 1)];
      if (row.hidden) continue;
      for (auto it = spreadsheet::cells::lower(row, ca); it != row.cells.end() && it->col <= cb;
           ++it)
        fn(r, *it);
    }
  };

  p.save();
  p.setClipRect(area.clip);

  // Fills of single cells.
  for_cells(c1, c2, [&](int32_t r, const Cell& cell) {
    if (merge_at(r, cell.col) != nullptr) return;
    const QBrush brush = fill_brush(style_of(cell).fill);
    if (brush.style() != Qt::NoBrush) p.fillRect(rect_of(r, cell.col, r, cell.col), brush);
  });

  if (area.grid_lines) {
    QPen pen(area.grid_color);
    pen.setWidthF(std::max(1.0, area.grid_width * u));
    // A hairline: the finest line the device draws.
    if (area.grid_width <= 0) pen = QPen(area.grid_color, 0);
    p.setPen(pen);
    const QRectF all = rect_of(r1, c1, r2, c2);
    for (int32_t r = r1; r <= r2 + 1; ++r) {
      const double y = area.rows.start(r) - area.line_inset;
      p.drawLine(QLineF(all.left(), y, all.right(), y));
    }
    for (int32_t c = c1; c <= c2 + 1; ++c) {
      const double x = area.columns.start(c) - area.line_inset;
      p.drawLine(QLineF(x, all.top(), x, all.bottom()));
    }
  }

  // Merged blocks: one fill over the whole block, hiding grid lines inside.
  for (const auto& m : merges_) {
    const Cell* tl = spreadsheet::cells::find(sheet_, m.row1, m.col1);
    const QRectF box = rect_of(m.row1, m.col1, m.row2, m.col2);
    if (area.grid_lines) {
      const double inset = std::max(1.0, 0.75 * u);
      p.fillRect(box.adjusted(inset, inset, -inset, -inset), Qt::white);
    }
    if (tl != nullptr) {
      const QBrush brush = fill_brush(style_of(*tl).fill);
      if (brush.style() != Qt::NoBrush) p.fillRect(box, brush);
    }
  }

  // Texts. A merged block shows its top-left cell over the whole block;
  // text runs on into empty neighbours away from its alignment.
  auto empty_at = [&](int32_t r, int32_t c) {
    const Cell* next = spreadsheet::cells::find(sheet_, r, c);
    return (next == nullptr || !spreadsheet::cells::has_value(*next)) && merge_at(r, c) == nullptr;
  };
  for_cells(text_from, c2, [&](int32_t r, const Cell& cell) {
    if (merge_at(r, cell.col) != nullptr || !spreadsheet::cells::has_value(cell)) return;
    const Style& style = style_of(cell);
    int32_t left = cell.col, right = cell.col;
    const Flow flow = flow_of(cell, style);
    if (flow == Flow::Right || flow == Flow::Both)
      while (right < c2 && empty_at(r, right + 1)) ++right;
    if (flow == Flow::Left || flow == Flow::Both)
      while (left > text_from && empty_at(r, left - 1)) --left;
    if (flow == Flow::Both) {
      // Centred text spreads evenly, so it stays centred on its cell.
      const double mid = (area.columns.start(cell.col) + area.columns.end(cell.col)) / 2;
      const double reach = std::min(mid - area.columns.start(left), area.columns.end(right) - mid);
      QRectF box = rect_of(r, cell.col, r, cell.col);
      box.setLeft(mid - reach);
      box.setRight(mid + reach);
      if (box.intersects(area.clip)) draw_text(p, area, cell, box);
      return;
    }
    const QRectF box = rect_of(r, left, r, right);
    if (box.intersects(area.clip)) draw_text(p, area, cell, box);
  });
  for (const auto& m : merges_) {
    const Cell* tl = spreadsheet::cells::find(sheet_, m.row1, m.col1);
    if (tl != nullptr && spreadsheet::cells::has_value(*tl))
      draw_text(p, area, *tl, rect_of(m.row1, m.col1, m.row2, m.col2));
  }

  draw_pictures(p, area);
  p.restore();
  draw_borders(p, area);
}

void CellPainter::draw_text(QPainter& p, const CellArea& area, const Cell& cell, QRectF box) {
  const Style& style = style_of(cell);
  const spreadsheet::FormattedText shown = formatted_text(cell, style, {});
  QString text = QString::fromStdString(shown.text);
  if (text.isEmpty() || box.width() <= 0 || box.height() <= 0) return;
  const double u = area.units_per_point;
  const int horizontal = horizontal_flags(cell, style);
  const int vertical = vertical_flags(style);
  const double indent = style.alignment.indent * kIndent * u;
  QRectF inner =
      box.adjusted(kPadding * u + (horizontal == Qt::AlignLeft ? indent : 0), 0,
                   -kPadding * u - (horizontal == Qt::AlignRight ? indent : 0), -0.75 * u);
  if (inner.width() <= 0) inner = box;
  const QRectF clip = box.intersected(area.clip);
  Look& look = look_of(cell.style, u);
  // A colour the number format names ([Red]) wins over the font's.
  p.setPen(shown.color ? QColor::fromRgb(*shown.color) : color_of(style.font.color, 0x000000));

  // A `*` fill repeats its character over the room the text leaves
  // (accounting formats: the currency sign left, the number right).
  if (shown.fill_at != std::string::npos && !shown.fill.empty() && !style.alignment.wrap_text &&
      style.alignment.text_rotation == 0) {
    const QString fill = QString::fromStdString(shown.fill);
    const double fill_width = look.metrics.horizontalAdvance(fill);
    const double room = inner.width() - look.metrics.horizontalAdvance(text);
    if (fill_width > 0 && room >= fill_width) {
      const auto at = QString::fromUtf8(shown.text.data(), static_cast<qsizetype>(shown.fill_at));
      text.insert(at.size(), fill.repeated(static_cast<qsizetype>(room / fill_width)));
    }
  }

  if (style.alignment.text_rotation != 0) {
    draw_turned_text(p, style, look, text, inner, clip, horizontal, vertical);
    return;
  }
  if (style.alignment.wrap_text) {
    p.setFont(look.font);
    p.save();
    p.setClipRect(clip, Qt::IntersectClip);
    // Lines break between words, and inside a word wider than the cell.
    QTextOption option(Qt::Alignment(horizontal | vertical));
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    p.drawText(inner, text, option);
    p.restore();
    return;
  }
  QFont font = look.font;
  // A General number too wide for its cell is not shaped: it is drawn
  // shorter (below), and that text is shaped.
  const double general_width =
      cell.value.is_number() && shown.general && !style.alignment.shrink_to_fit
          ? look.widths(shown.text)
          : -1;
  const bool general_too_wide = general_width > inner.width();
  const Shaped* shaped = general_too_wide ? nullptr : &shape(cell.style, look, text);
  double width = general_too_wide ? general_width : shaped->width;
  double ascent = look.metrics.ascent(), descent = look.metrics.descent();
  if (width > inner.width()) {
    if (style.alignment.shrink_to_fit) {
      font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * inner.width() / width)));
      const QFontMetricsF m(font);
      width = m.horizontalAdvance(text);
      ascent = m.ascent();
      descent = m.descent();
      shaped = nullptr;
    } else if (cell.value.is_number()) {
      // A General number gives up decimals, then turns scientific, to fit,
      // measured as it is drawn; any other number that does not fit shows
      // as a row of #.
      if (shown.general) {
        spreadsheet::FormatOptions fit;
        fit.width = inner.width();
        fit.measure = [&look](std::string_view s) { return look.widths(s); };
        const std::string shorter = formatted_text(cell, style, fit).text;
        if (!shorter.empty()) {
          text = QString::fromStdString(shorter);
          shaped = &shape(cell.style, look, text);
          width = shaped->width;
        }
      }
    }
    if (width > inner.width() && !style.alignment.shrink_to_fit && cell.value.is_number()) {
      const double hash = std::max(1.0, look.metrics.horizontalAdvance('#'));
      const QString hashes(std::max(1, static_cast<int>(inner.width() / hash)), '#');
      p.setFont(font);
      p.drawText(inner, horizontal | vertical, hashes);
      return;
    }
  }
  double x = inner.left();
  if (horizontal == Qt::AlignRight) x = inner.right() - width;
  if (horizontal == Qt::AlignHCenter) x = inner.center().x() - width / 2;
  double baseline = inner.bottom() - descent;
  if (vertical == Qt::AlignTop) baseline = inner.top() + ascent;
  if (vertical == Qt::AlignVCenter) baseline = inner.center().y() + (ascent - descent) / 2;
  p.setFont(font);
  // Text that stays inside its box needs no clipping, which keeps a PDF's
  // pages small.
  const bool inside = x >= clip.left() && x + width <= clip.right() &&
                      baseline - ascent >= clip.top() && baseline + descent <= clip.bottom();
  if (!inside) {
    p.save();
    p.setClipRect(clip, Qt::IntersectClip);
  }
  if (shaped != nullptr) {
    for (const QGlyphRun& run : shaped->runs)
      p.drawGlyphRun(QPointF(x, baseline - shaped->ascent), run);
  } else {
    p.drawText(QPointF(x, baseline), text);
  }
  if (!inside) p.restore();
}

// Text turned as its format asks: 1 to 90 degrees up (counterclockwise),
// 91 to 180 for 1 to 90 degrees down, 255 for the characters one above the
// other. Upright along the cell (90 degrees either way) the text is placed
// along the cell by the vertical alignment and across it by the horizontal
// one; at other angles it is centred on the cell.
void CellPainter::draw_turned_text(QPainter& p, const Style& style, const Look& look,
                                   const QString& text, const QRectF& inner, const QRectF& clip,
                                   int horizontal, int vertical) {
  const int32_t rotation = style.alignment.text_rotation;
  const QFontMetricsF& m = look.metrics;
  p.save();
  p.setClipRect(clip, Qt::IntersectClip);
  p.setFont(look.font);
  if (rotation == 255) {
    const QList<uint> code_points = text.toUcs4();
    const double line = m.height();
    const double total = line * static_cast<double>(code_points.size());
    double y = inner.bottom() - total;
    if (vertical == Qt::AlignTop) y = inner.top();
    if (vertical == Qt::AlignVCenter) y = inner.center().y() - total / 2;
    for (uint code_point : code_points) {
      const QString ch = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code_point), 1);
      const double w = m.horizontalAdvance(ch);
      const std::string& h = style.alignment.horizontal;
      const bool general = h.empty() || h == "general";
      double x = inner.center().x() - w / 2;
      if (!general && horizontal == Qt::AlignLeft) x = inner.left();
      if (!general && horizontal == Qt::AlignRight) x = inner.right() - w;
      p.drawText(QPointF(x, y + m.ascent()), ch);
      y += line;
    }
    p.restore();
    return;
  }
  // Counterclockwise degrees; the painter turns clockwise.
  const double degrees = rotation <= 90 ? rotation : -(rotation - 90);
  const double width = m.horizontalAdvance(text);
  const double middle = (m.ascent() - m.descent()) / 2;  // baseline below the line's centre
  p.translate(inner.center());
  p.rotate(-degrees);
  double along = -width / 2, across = middle;
  if (degrees == 90 || degrees == -90) {
    // Along the turned line, the text's start is at the cell's bottom (up)
    // or top (down); across it, the cell's left is the line's top (up) or
    // bottom (down).
    const double length = inner.height(), breadth = inner.width();
    const bool up = degrees == 90;
    if (vertical == Qt::AlignBottom) along = up ? -length / 2 : length / 2 - width;
    if (vertical == Qt::AlignTop) along = up ? length / 2 - width : -length / 2;
    const std::string& h = style.alignment.horizontal;
    const bool general = h.empty() || h == "general";
    // Without an alignment of its own the line's foot (its baseline side)
    // stands on the cell's edge: the right for text turned up, the left
    // for text turned down, as LibreOffice prints it.
    if (general) across = breadth / 2 - m.descent();
    if (!general && horizontal == Qt::AlignLeft)
      across = up ? -breadth / 2 + m.ascent() : breadth / 2 - m.descent();
    if (!general && horizontal == Qt::AlignRight)
      across = up ? breadth / 2 - m.descent() : -breadth / 2 + m.ascent();
  }
  p.drawText(QPointF(along, across), text);
  p.restore();
}

const CellPainter::Shaped& CellPainter::shape(uint32_t style, const Look& look,
                                              const QString& text) {
  const std::pair<uint32_t, QString> key(style, text);
  auto it = shapes_.find(key);
  if (it != shapes_.end()) return it->second;
  // Names and numbers are mostly drawn once; the bound keeps the words
  // labels repeat on every page without holding a whole sheet's text.
  if (shapes_.size() > 4096) shapes_.clear();
  QTextLayout layout(text, look.font);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  line.setPosition(QPointF(0, 0));
  layout.endLayout();
  Shaped shaped;
  shaped.runs = layout.glyphRuns();
  shaped.width = line.naturalTextWidth();
  shaped.ascent = line.ascent();
  return shapes_.emplace(key, std::move(shaped)).first->second;
}

void CellPainter::draw_borders(QPainter& p, const CellArea& area) {
  const double u = area.units_per_point;
  const int32_t r1 = area.rows.first(), r2 = area.rows.last();
  const int32_t c2 = area.columns.last();
  const int32_t c1 = std::max(area.first_column, area.columns.first());
  const double shift = area.line_inset;
  // Borders on the area's edges are drawn whole.
  const double spill = 2.25 * u;
  p.save();
  p.setClipRect(area.clip.adjusted(-spill, -spill, spill, spill));
  // Cells just outside the area draw only the side they share with it,
  // when the area asks for them.
  const int32_t reach = area.neighbour_borders ? 1 : 0;
  const int32_t last = std::min(r2 + reach, static_cast<int32_t>(sheet_.rows.size()));
  for (int32_t r = std::max(1, r1 - reach); r <= last; ++r) {
    const auto& row = sheet_.rows[static_cast<size_t>(r - 1)];
    if (row.hidden) continue;
    const bool above = r<r1, below = r> r2;
    for (auto it = spreadsheet::cells::lower(row, std::max(1, c1 - reach));
         it != row.cells.end() && it->col <= c2 + reach; ++it) {
      const int32_t c = it->col;
      const bool before = c<c1, after = c> c2;
      const bool inside_rows = !above && !below, inside_cols = !before && !after;
      if (!inside_rows && !inside_cols) continue;
      const spreadsheet::Border& b = style_of(*it).border;
      const bool diagonal = (b.diagonal_up || b.diagonal_down) && drawn(b.diagonal);
      if (!drawn(b.top) && !drawn(b.bottom) && !drawn(b.left) && !drawn(b.right) && !diagonal)
        continue;
      const double left = area.columns.start(c) - shift, right = area.columns.end(c) - shift;
      const double top = area.rows.start(r) - shift, bottom = area.rows.end(r) - shift;
      if (inside_cols && right <= left) continue;  // a hidden column
      const host::Rect* m = merge_at(r, c);
      if (inside_cols && !above && (m == nullptr || r == m->row1))
        draw_side(p, b.top, {left, top}, {right, top}, true, u);
      if (inside_cols && !below && (m == nullptr || r == m->row2))
        draw_side(p, b.bottom, {left, bottom}, {right, bottom}, true, u);
      if (inside_rows && !before && (m == nullptr || c == m->col1))
        draw_side(p, b.left, {left, top}, {left, bottom}, false, u);
      if (inside_rows && !after && (m == nullptr || c == m->col2))
        draw_side(p, b.right, {right, top}, {right, bottom}, false, u);
      // Diagonals cross the cell, or a merged block from its first cell.
      if (diagonal && inside_rows && inside_cols &&
          (m == nullptr || (r == m->row1 && c == m->col1))) {
        const QRectF box =
            m == nullptr ? QRectF(QPointF(left, top), QPointF(right, bottom))
                         : QRectF(QPointF(left, top), QPointF(area.columns.end(m->col2) - shift,
                                                              area.rows.end(m->row2) - shift));
        p.setPen(border_pen(b.diagonal, u));
        if (b.diagonal_down) p.drawLine(QLineF(box.topLeft(), box.bottomRight()));
        if (b.diagonal_up) p.drawLine(QLineF(box.bottomLeft(), box.topRight()));
      }
    }
  }
  p.restore();
}

namespace {

// A code's picture drawn as shapes from the code it carries: its modules in
// the box the picture has, white around them as in the picture. False when
// the code cannot be encoded (the picture is drawn instead).
bool draw_code(QPainter& p, const QRectF& box, const codes::Symbol& symbol, double u) {
  codes::Modules m;
  if (codes::encode(symbol, m)) return false;
  const codes::Placement at = codes::place(m, box.width() / u, box.height() / u);
  if (!(at.module > 0)) return false;
  p.fillRect(box, Qt::white);
  const double x0 = box.left() + at.x * u, y0 = box.top() + at.y * u, side = at.module * u;
  QPainterPath dark;
  dark.setFillRule(Qt::WindingFill);
  for (int32_t y = 0; y < m.height; ++y) {
    const double top = y0 + y * side;
    const double height = m.kind == codes::Symbology::QR ? side : at.bar_height * u;
    for (int32_t x = 0; x < m.width;) {
      if (!m.is_dark(x, y)) {
        ++x;
        continue;
      }
      const int32_t start = x;
      while (x < m.width && m.is_dark(x, y)) ++x;
      dark.addRect(QRectF(x0 + start * side, top, (x - start) * side, height));
    }
  }
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillPath(dark, Qt::black);
  if (at.text_band > 0) {
    // The text in the band under the bars, about seven modules high, as
    // the picture has it.
    p.setFont(text_font("Liberation Sans", at.module * 6.5, u));
    p.setPen(Qt::black);
    const QRectF band(box.left(), y0 + at.bar_height * u, box.width(), at.text_band * u);
    p.drawText(band, Qt::AlignHCenter | Qt::AlignVCenter, QString::fromStdString(m.text));
  }
  p.restore();
  return true;
}

}  // namespace

void CellPainter::draw_pictures(QPainter& p, const CellArea& area) {
  if (pictures_by_top_.empty()) return;
  const double u = area.units_per_point;
  // The area's rows in points from the sheet's top.
  const double top = (area.clip.top() - area.sheet_origin.y()) / u;
  const double bottom = (area.clip.bottom() - area.sheet_origin.y()) / u;
  auto it =
      std::lower_bound(pictures_by_top_.begin(), pictures_by_top_.end(), top - tallest_picture_,
                       [&](size_t i, double t) { return sheet_.pictures[i].top < t; });
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  for (; it != pictures_by_top_.end() && sheet_.pictures[*it].top <= bottom; ++it) {
    const spreadsheet::PictureModel& pic = sheet_.pictures[*it];
    const QRectF box(area.sheet_origin.x() + pic.left * u, area.sheet_origin.y() + pic.top * u,
                     pic.width * u, pic.height * u);
    if (!box.intersects(area.clip)) continue;
    if (const std::optional<codes::Symbol> code = codes::parse_marker(pic.description)) {
      if (draw_code(p, box, *code, u)) continue;
    }
    const QPixmap& pix = images_.get(pic.image);
    if (pix.isNull()) {
      p.setPen(Qt::gray);
      p.setBrush(Qt::NoBrush);
      p.drawRect(box);
      p.drawLine(box.topLeft(), box.bottomRight());
      p.drawLine(box.topRight(), box.bottomLeft());
    } else {
      p.drawPixmap(box, pix, QRectF(pix.rect()));
    }
  }
}

}  // namespace kelv::print
