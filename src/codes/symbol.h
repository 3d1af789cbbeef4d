// Bar codes and QR codes as kelv draws them: what a code holds, the text
// that marks a picture as a code, the modules an encoder gives, and where
// they go inside a box. Knows nothing of exams or workbooks; the generator
// makes pictures from it and the painter draws the same modules as shapes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelv::codes {

enum class Symbology : uint8_t { Code128, QR };

// One code: its symbology, whether a Code 128 shows its text under the
// bars, and what it holds (UTF-8).
struct Symbol {
  Symbology kind = Symbology::Code128;
  bool show_text = true;
  std::string payload;
  bool operator==(const Symbol&) const = default;
};

// The text a code's picture carries as its description, so that a reader
// of the workbook (kelv's painter) knows it is a code and what it holds:
// "kelv-code:code128:", "kelv-code:code128-plain:" (no text) or
// "kelv-code:qr:" and the payload, with "%", control characters and
// DEL written as %XX so that the text survives any XML attribute.
std::string marker(const Symbol& symbol);
// The code a description marks, or nothing for any other text.
std::optional<Symbol> parse_marker(std::string_view description);

// The modules of an encoded symbol with its quiet zones: `width` modules
// across, `height` down (1 for a Code 128), dark(x, y) for each.
struct Modules {
  Symbology kind = Symbology::Code128;
  int32_t width = 0, height = 0;
  std::vector<uint8_t> dark;  // row by row, 1 for a dark module
  std::string text;           // the text under a Code 128 ("" when hidden)
  bool is_dark(int32_t x, int32_t y) const { return dark[size_t(y) * width + x] != 0; }
};

// Quiet zones in modules: ten on either side of a Code 128, four around a
// QR code.
inline constexpr int32_t kCode128QuietZone = 10;
inline constexpr int32_t kQrQuietZone = 4;

// Encodes a symbol. A QR code holds its payload as UTF-8, with the
// extended channel for UTF-8 when the payload is not plain ASCII, at error
// correction level M. Returns the reason in Chinese when the payload cannot
// be encoded (characters a Code 128 cannot carry, a payload too long for
// the largest symbol); nothing otherwise.
std::optional<std::string> encode(const Symbol& symbol, Modules& out);

// True when encode() is sure to take the symbol: a Code 128 of 1 to 48
// printable ASCII characters (exam numbers, IDs). Checking every record's
// code before anything is written then needs no encoding.
bool surely_encodable(const Symbol& symbol);

// Where a symbol goes inside a box of w × h points: square modules of
// `module` points, the symbol's top-left corner (quiet zone included) at
// (x, y) from the box's top-left. A Code 128 spans the box's width and its
// bars run from the top to `bar_height`; its text, when shown, fills a band
// of eight modules below them (the text is left out when the box is lower
// than eighteen modules). A QR code is the largest square that fits,
// centred.
struct Placement {
  double module = 0;
  double x = 0, y = 0;
  double bar_height = 0;  // Code 128: height of the bars
  double text_band = 0;   // Code 128: height of the band holding the text, 0 when none
};
Placement place(const Modules& modules, double w, double h);

// Pixels per module of a code's picture: whole pixels, at least 300 per
// inch at the printed module size (two at least when text is shown, which
// the text needs), at most 12.
int32_t pixels_per_module(double module_points, bool with_text);

// The picture of a symbol placed in a box of w × h points, as a PNG:
// whole pixels per module, white quiet zones and margins, the canvas with
// the box's proportions so that stretching it over the box keeps modules
// square. Empty when the box is too small to hold a module.
std::string png(const Modules& modules, double w, double h);

}  // namespace kelv::codes
