#include "app/form/sheet_look.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace kelv::form {
namespace {

constexpr std::array<double, 14> kZoomSteps = {0.25, 0.33, 0.5, 0.67, 0.75, 0.9, 1.0,
                                               1.1,  1.25, 1.5, 2.0,  2.5,  3.0, 4.0};

}  // namespace

Axis row_axis(const spreadsheet::Sheet& sheet, int32_t rows) {
  return spreadsheet::in_whole_pixels(spreadsheet::row_track(sheet, rows));
}

Axis column_axis(const spreadsheet::Sheet& sheet, int32_t columns, int32_t digit_px) {
  return spreadsheet::in_whole_pixels(spreadsheet::column_track(sheet, columns, digit_px));
}

Axis on_screen(const Axis& axis, const LineSizes& sizes, double zoom) {
  int32_t count = axis.stored();
  if (!sizes.empty()) count = std::max(count, sizes.rbegin()->first);
  std::vector<double> out(static_cast<size_t>(count));
  for (int32_t line = 1; line <= count; ++line) {
    const auto given = sizes.find(line);
    const bool hidden = line <= axis.stored() && axis.size(line) <= 0;
    const double size = hidden ? 0 : given != sizes.end() ? given->second : axis.size(line);
    out[static_cast<size_t>(line - 1)] = std::round(size * zoom);
  }
  return Axis(std::move(out), std::round(axis.default_size() * zoom));
}

double zoom_in(double zoom) {
  for (double step : kZoomSteps)
    if (step > zoom + 1e-9) return step;
  return kMaxZoom;
}

double zoom_out(double zoom) {
  for (auto it = kZoomSteps.rbegin(); it != kZoomSteps.rend(); ++it)
    if (*it < zoom - 1e-9) return *it;
  return kMinZoom;
}

}  // namespace kelv::form
