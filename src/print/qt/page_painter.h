// Draws the pages of a print job with Qt: one painter behind the PDF file,
// the printer and the preview. A page is drawn at the paper's top-left
// corner in device units of the device's resolution.
#pragma once

#include <QImage>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <functional>
#include <memory>
#include <vector>

#include "print/print_job.h"
#include "print/qt/cell_painter.h"

namespace kelv::print {

class PagePainter {
 public:
  explicit PagePainter(const PrintJob& job);
  ~PagePainter();

  // Draws page `index` (0-based in the job) onto `p`, whose device has
  // `dpi` dots per inch and the paper's top-left corner at its origin.
  void paint(QPainter& p, int32_t index, double dpi);

  // Page `index` as an image of `pixels_per_point` pixels per point, on
  // white paper.
  QImage image(int32_t index, double pixels_per_point);

 private:
  void paint_block(QPainter& p, int32_t sheet, const Block& block, double dpu);
  void paint_headings(QPainter& p, const SheetLayout& layout, const Page& page, double dpu);
  void paint_edge(QPainter& p, const SheetLayout& layout, const std::string& text,
                  const PageFields& fields, bool header, double dpu);

  const PrintJob& job_;
  ImageCache images_;
  std::vector<std::unique_ptr<CellPainter>> painters_;  // one per sheet of the job
};

// The paper of a sheet as Qt sees it: size and orientation, no margins
// (the painter places everything itself).
QPageLayout page_layout_of(const SheetLayout& layout);

// Draws pages first..last (0-based in the job; -1: to the end) onto
// `device` (a QPdfWriter or a QPrinter), each on its sheet's paper.
// `progress` is told after every page and returns false to stop; then
// `on_stop` runs before painting ends (a printer aborts its job there) and
// the result is false. Throws std::runtime_error when the device cannot be
// painted on.
bool render_job(const PrintJob& job, QPagedPaintDevice& device,
                const std::function<bool(const JobProgress&)>& progress, int32_t first = 0,
                int32_t last = -1, const std::function<void()>& on_stop = nullptr);

}  // namespace kelv::print
