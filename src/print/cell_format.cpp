#include "print/cell_format.h"

#include <algorithm>
#include <cmath>

#include "spreadsheet/palette.h"

namespace kelv::print {
namespace {

using spreadsheet::Color;

// The default office theme in the order files index it (light 1 first).
constexpr uint32_t kTheme[12] = {0xFFFFFF, 0x000000, 0xEEECE1, 0x1F497D, 0x4F81BD, 0xC0504D,
                                 0x9BBB59, 0x8064A2, 0x4BACC6, 0xF79646, 0x0000FF, 0x800080};

// A tint moves the colour's lightness (in HSL) towards black (negative) or
// white (positive).
uint32_t apply_tint(uint32_t rgb, double tint) {
  if (tint == 0) return rgb;
  const double r = ((rgb >> 16) & 0xFF) / 255.0, g = ((rgb >> 8) & 0xFF) / 255.0,
               b = (rgb & 0xFF) / 255.0;
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  double h = 0, s = 0, l = (mx + mn) / 2;
  if (mx != mn) {
    const double d = mx - mn;
    s = l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
    if (mx == r)
      h = (g - b) / d + (g < b ? 6 : 0);
    else if (mx == g)
      h = (b - r) / d + 2;
    else
      h = (r - g) / d + 4;
    h /= 6;
  }
  l = tint < 0 ? l * (1 + tint) : l * (1 - tint) + tint;
  l = std::clamp(l, 0.0, 1.0);
  auto channel = [](double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
  };
  double nr = l, ng = l, nb = l;
  if (s > 0) {
    const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
    const double p = 2 * l - q;
    nr = channel(p, q, h + 1.0 / 3);
    ng = channel(p, q, h);
    nb = channel(p, q, h - 1.0 / 3);
  }
  auto byte = [](double v) {
    return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  return (byte(nr) << 16) | (byte(ng) << 8) | byte(nb);
}

uint32_t palette_color(uint32_t entry) {
  return spreadsheet::palette_rgb(static_cast<int32_t>(entry)) & 0xFFFFFF;
}

}  // namespace

uint32_t resolve_color(const Color& c, uint32_t fallback) {
  switch (c.kind) {
    case Color::Kind::Rgb:
      return apply_tint(c.value & 0xFFFFFF, c.tint);
    case Color::Kind::Indexed:
      // 0-7 repeat the palette's first eight entries; 8-63 are entries 1-56.
      if (c.value < 8) return apply_tint(palette_color(c.value + 1), c.tint);
      if (c.value < 64) return apply_tint(palette_color(c.value - 7), c.tint);
      return fallback;  // 64, 65: the system's foreground / background
    case Color::Kind::Theme:
      if (c.value < 12) return apply_tint(kTheme[c.value], c.tint);
      return fallback;
    case Color::Kind::Auto:
    case Color::Kind::None:
      break;
  }
  return fallback;
}

spreadsheet::FormattedText formatted_text(const spreadsheet::Cell& cell,
                                          const spreadsheet::Style& style,
                                          const spreadsheet::FormatOptions& options) {
  const spreadsheet::CellValue& v = cell.value;
  spreadsheet::FormattedText out;
  switch (v.kind()) {
    case host::Variant::Kind::Empty:
    case host::Variant::Kind::Null:
      return out;
    case host::Variant::Kind::Text:
      return spreadsheet::format_text(v.as_text(), style.number_format);
    case host::Variant::Kind::Boolean:
      out.text = v.as_bool() ? "TRUE" : "FALSE";
      return out;
    case host::Variant::Kind::Error:
      out.text = std::string(host::cell_error_text(v.as_error()));
      return out;
    case host::Variant::Kind::Number:
      break;
  }
  return spreadsheet::format_number(v.as_number(), style.number_format, options);
}

std::string display_text(const spreadsheet::Cell& cell, const spreadsheet::Style& style) {
  return formatted_text(cell, style, {}).text;
}

}  // namespace kelv::print
