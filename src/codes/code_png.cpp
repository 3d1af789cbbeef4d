// The PNG of a code: drawn module by module at whole pixels, the text under
// a Code 128 taken from the encoder's own raster at the same scale, written
// as a one-bit greyscale PNG. A code is black and white only, so one bit a
// pixel holds it exactly at an eighth of the data an 8-bit writer (such as
// stb_image_write) filters and compresses; its rows are compressed as the
// repeats they are known to be (scanline_deflate.h).
#include <libdeflate.h>
#include <zint.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "codes/scanline_deflate.h"
#include "codes/symbol.h"

namespace kelv::codes {
namespace {

void put_u32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void put_chunk(std::string& out, const char* type, std::string_view data) {
  put_u32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.append(type, 4);
  out.append(data);
  put_u32(out, libdeflate_crc32(0, out.data() + start, out.size() - start));
}

// A one-bit greyscale image, row by row as a PNG holds it: a filter byte,
// then the pixels eight to a byte, 1 for white. A row drawn like the one
// above it gets the "up" filter and stays all zeros, so the many equal rows
// of a code cost nothing to pack and almost nothing to compress.
class Bitmap {
 public:
  Bitmap(int32_t width, int32_t height)
      : width_(width),
        height_(height),
        stride_(1 + (size_t(width) + 7) / 8),
        raw_(stride_ * height, '\0'),
        row_(stride_ - 1, '\xFF') {}

  // The row being drawn, white.
  void clear_row() { std::fill(row_.begin(), row_.end(), '\xFF'); }
  // Pixels x .. x + n - 1 dark, a byte at a time (its first pixel in its
  // highest bit).
  void dark(int32_t x, int32_t n) {
    for (int32_t i = x, end = x + n; i < end;) {
      const int32_t bit = i & 7;
      const int32_t k = std::min(8 - bit, end - i);  // of them in this byte
      const unsigned mask = (0xFFu >> bit) & (0xFFu << (8 - bit - k));
      row_[size_t(i) >> 3] =
          static_cast<char>(static_cast<unsigned char>(row_[size_t(i) >> 3]) & ~mask);
      i += k;
    }
  }
  // Puts the row being drawn into rows y .. y + n - 1.
  void put_row(int32_t y, int32_t n) {
    constexpr char kFilterNone = 0, kFilterUp = 2;
    for (int32_t k = 0; k < n && y + k < height_; ++k) {
      char* to = raw_.data() + stride_ * (y + k);
      if (k > 0 || (y > 0 && last_ == y - 1 && row_ == previous_)) {
        to[0] = kFilterUp;
      } else {
        to[0] = kFilterNone;
        std::memcpy(to + 1, row_.data(), row_.size());
      }
      last_ = y + k;
    }
    previous_ = row_;
  }

  std::string png() const { return png_of(width_, height_, zlib_of_scanlines(raw_, stride_)); }
  std::string_view raw() const { return raw_; }
  size_t stride() const { return stride_; }
  // The row being drawn as a PNG row: the filter byte "none", then it.
  std::string fresh_row() const { return std::string(1, '\0') + row_; }

  static std::string png_of(int32_t width, int32_t height, const std::string& idat) {
    std::string header;
    put_u32(header, static_cast<uint32_t>(width));
    put_u32(header, static_cast<uint32_t>(height));
    header += '\x01';                // bit depth
    header += '\0';                  // greyscale
    header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace
    std::string out("\x89PNG\r\n\x1a\n", 8);
    put_chunk(out, "IHDR", header);
    put_chunk(out, "IDAT", idat);
    put_chunk(out, "IEND", {});
    return out;
  }

 private:
  int32_t width_, height_;
  size_t stride_;
  std::string raw_;
  std::string row_, previous_;
  int32_t last_ = -2;  // the last row put
};

// Draws the text band of the encoder's own raster of a Code 128 (its last
// `band` rows, at `p` pixels per module) into rows `top` .. of the bitmap.
void draw_text_band(const std::string& text, int32_t p, int32_t band, int32_t top, int32_t width,
                    Bitmap& bitmap) {
  std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> s(ZBarcode_Create(), ZBarcode_Delete);
  if (!s) return;
  s->symbology = BARCODE_CODE128;
  s->input_mode = UNICODE_MODE;
  s->whitespace_width = kCode128QuietZone;
  s->scale = static_cast<float>(p) / 2;
  s->height = 1;
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  if (ZBarcode_Encode_and_Buffer(s.get(), data, static_cast<int>(text.size()), 0) >= ZINT_ERROR)
    return;
  const int32_t rows = std::min(band, s->bitmap_height);
  const int32_t cols = std::min(width, s->bitmap_width);
  for (int32_t y = 0; y < rows; ++y) {
    const unsigned char* from =
        s->bitmap + size_t(s->bitmap_height - rows + y) * s->bitmap_width * 3;
    bitmap.clear_row();
    for (int32_t x = 0; x < cols; ++x) {
      if (from[size_t(x) * 3] < 128) bitmap.dark(x, 1);
    }
    bitmap.put_row(top + band - rows + y, 1);
  }
}

}  // namespace

std::string png(const Modules& m, double w, double h) {
  const Placement at = place(m, w, h);
  if (!(at.module > 0)) return {};
  const bool with_text = at.text_band > 0;
  const int32_t p = pixels_per_module(at.module, with_text);
  const double k = p / at.module;  // pixels per point
  int32_t width = 0, height = 0, left = 0, top = 0;
  if (m.kind == Symbology::QR) {
    width = std::max<int32_t>(static_cast<int32_t>(std::lround(w * k)), m.width * p);
    height = std::max<int32_t>(static_cast<int32_t>(std::lround(h * k)), m.height * p);
    left = (width - m.width * p) / 2;
    top = (height - m.height * p) / 2;
  } else {
    width = m.width * p;
    const int32_t band = with_text ? 8 * p : 0;
    height = std::max<int32_t>(static_cast<int32_t>(std::lround(h * k)), band + p);
  }
  if (int64_t{width} * height > (int64_t{1} << 26)) return {};

  if (m.kind == Symbology::Code128) {
    // One row of bars, the rest of the bars' rows as the row above, then
    // the text band: only the first row and the band are drawn.
    const int32_t band = with_text ? 8 * p : 0;
    Bitmap bars(width, 1);
    bars.clear_row();
    for (int32_t x = 0; x < m.width;) {
      int32_t n = 0;  // a bar: dark modules side by side
      while (x + n < m.width && m.is_dark(x + n, 0)) ++n;
      if (n > 0) bars.dark(x * p, n * p);
      x += std::max(n, 1);
    }
    Bitmap text(width, band);
    if (with_text) {
      text.clear_row();
      text.put_row(0, band);  // white where the text leaves it
      draw_text_band(m.text, p, band, 0, width, text);
    }
    const int32_t repeats = height - band - 1;
    return Bitmap::png_of(
        width, height,
        zlib_of_rows(bars.fresh_row(), static_cast<size_t>(repeats), text.raw(), bars.stride()));
  }
  Bitmap bitmap(width, height);

  if (m.kind == Symbology::QR) {
    bitmap.clear_row();
    bitmap.put_row(0, top);
    for (int32_t y = 0; y < m.height; ++y) {
      bitmap.clear_row();
      for (int32_t x = 0; x < m.width; ++x) {
        if (m.is_dark(x, y)) bitmap.dark(left + x * p, p);
      }
      bitmap.put_row(top + y * p, p);
    }
    bitmap.clear_row();
    bitmap.put_row(top + m.height * p, height - top - m.height * p);
  }
  return bitmap.png();
}

}  // namespace kelv::codes
