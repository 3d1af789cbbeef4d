// Draws a rectangle of a sheet's cells onto a QPainter: fills, grid lines
// when asked, merged blocks, values through their number formats in their
// fonts and alignments (wrapping, text running on into empty neighbours),
// every border style, and pictures at their anchors. The screen view and the
// printed page both draw cells with it, each giving the positions of the
// rows and columns in its own device units.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QPixmap>
#include <QRectF>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "print/qt/text_widths.h"
#include "spreadsheet/model.h"

namespace kelv::print {

// Where consecutive rows (or columns) first..last lie, in device units:
// edges[i] is where line first + i starts, edges.back() where last ends.
// Hidden lines have no size.
class Lines {
 public:
  Lines() = default;
  Lines(int32_t first, std::vector<double> edges);
  int32_t first() const { return first_; }
  int32_t last() const { return first_ + static_cast<int32_t>(edges_.size()) - 2; }
  bool contains(int32_t line) const { return line >= first_ && line <= last(); }
  // Start and end of a line; lines outside the range are held at its edges.
  double start(int32_t line) const;
  double end(int32_t line) const { return start(line + 1); }

 private:
  int32_t first_ = 1;
  std::vector<double> edges_{0, 0};
};

// The part of a sheet to draw and how it maps onto the device.
struct CellArea {
  Lines rows, columns;
  QRectF clip;                 // nothing is drawn outside it
  double units_per_point = 1;  // device units per point of the sheet (scale included)
  // Where the sheet's top-left corner would lie on the device: pictures,
  // placed in points from that corner, are drawn from it.
  QPointF sheet_origin;
  bool grid_lines = false;
  // Grid lines' colour and width in points, 0 for a hairline (light on
  // screen; paper prints them as black hairlines, as the office suites do).
  QColor grid_color = QColor(0xD4, 0xD4, 0xD4);
  double grid_width = 0.75;
  // Whether cells just outside the area draw the side they share with it
  // (a screen showing a sheet scrolled part way); a printed page draws the
  // borders of its own cells only, so a page never repeats the last border
  // of the page before.
  bool neighbour_borders = true;
  // Grid lines and borders lie this far before the edge they belong to (a
  // screen puts them on the last pixel of the cell before the edge; paper
  // centres them on it).
  double line_inset = 0;
  // The first column drawn (0: the first of `columns`). Columns before it
  // are laid out only so that their text can run on into the area.
  int32_t first_column = 0;
};

// Decoded pictures of a workbook, most recently used kept within a memory
// budget. A picture drawn again while held is the same pixmap, which a PDF
// stores once.
class ImageCache {
 public:
  explicit ImageCache(const spreadsheet::Workbook& book, int64_t budget_bytes = 96 << 20);
  // The pixmap of image `index`; a null pixmap when it cannot be decoded.
  const QPixmap& get(uint32_t index);

 private:
  const spreadsheet::Workbook& book_;
  int64_t budget_, used_ = 0;
  std::list<uint32_t> order_;  // most recent first
  struct Entry {
    QPixmap pixmap;
    std::list<uint32_t>::iterator at;
  };
  std::unordered_map<uint32_t, Entry> entries_;
};

class CellPainter {
 public:
  // `images` may be shared by painters of one workbook; both must outlive
  // the painter, and the sheet must not change while it is used.
  CellPainter(const spreadsheet::Workbook& book, const spreadsheet::Sheet& sheet,
              ImageCache& images);
  void paint(QPainter& p, const CellArea& area);

 private:
  // A cell format's font at the scale drawn.
  struct Look {
    QFont font;
    QFontMetricsF metrics;
    double units_per_point = 0;
    TextWidths widths;  // of texts a General number may be cut to
  };
  // Text shaped once in a format's font: its glyphs and width.
  struct Shaped {
    QList<QGlyphRun> runs;
    double width = 0, ascent = 0;
  };
  struct ShapeKey {
    size_t operator()(const std::pair<uint32_t, QString>& k) const {
      return qHash(k.second) ^ (static_cast<size_t>(k.first) * 0x9E3779B97F4A7C15ull);
    }
  };
  const spreadsheet::Style& style_of(const spreadsheet::Cell& cell) const;
  Look& look_of(uint32_t style, double units_per_point);
  const Shaped& shape(uint32_t style, const Look& look, const QString& text);
  const host::Rect* merge_at(int32_t row, int32_t col) const;
  void collect_merges(const host::Rect& visible);
  void draw_text(QPainter& p, const CellArea& area, const spreadsheet::Cell& cell, QRectF box);
  void draw_turned_text(QPainter& p, const spreadsheet::Style& style, const Look& look,
                        const QString& text, const QRectF& inner, const QRectF& clip,
                        int horizontal, int vertical);
  void draw_borders(QPainter& p, const CellArea& area);
  void draw_pictures(QPainter& p, const CellArea& area);

  const spreadsheet::Workbook& book_;
  const spreadsheet::Sheet& sheet_;
  ImageCache& images_;
  std::unordered_map<uint32_t, Look> looks_;
  std::unordered_map<std::pair<uint32_t, QString>, Shaped, ShapeKey> shapes_;
  // Merges sorted by first row, with the tallest one's height to bound a
  // search; those meeting the area being drawn.
  std::vector<host::Rect> merges_by_row_;
  int32_t tallest_merge_ = 0;
  std::vector<host::Rect> merges_;
  // Pictures' indices sorted by top, and the tallest picture's height.
  std::vector<size_t> pictures_by_top_;
  double tallest_picture_ = 0;
};

}  // namespace kelv::print
