#include "codes/symbol.h"

#include <zint.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace kelv::codes {
namespace {

constexpr std::string_view kPrefix = "kelv-code:";
constexpr std::string_view kCode128Name = "code128:";
constexpr std::string_view kCode128PlainName = "code128-plain:";
constexpr std::string_view kQrName = "qr:";

// Text band of a Code 128 in modules, and the lowest box that still shows
// the text (the band and ten modules of bars).
constexpr int32_t kTextBandModules = 8;
constexpr int32_t kLowestWithText = 18;
// QR error correction level M.
constexpr int kQrLevelM = 2;
constexpr int kEciUtf8 = 26;

bool needs_escape(unsigned char c) {
  return c == '%' || c < 0x20 || c == 0x7F;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

struct SymbolDeleter {
  void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};
using ZintSymbol = std::unique_ptr<zint_symbol, SymbolDeleter>;

bool is_ascii(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

ZintSymbol make_symbol(const Symbol& symbol) {
  ZintSymbol s(ZBarcode_Create());
  if (!s) return s;
  s->input_mode = UNICODE_MODE;
  if (symbol.kind == Symbology::Code128) {
    s->symbology = BARCODE_CODE128;
    s->whitespace_width = kCode128QuietZone;
  } else {
    s->symbology = BARCODE_QRCODE;
    s->option_1 = kQrLevelM;
    if (!is_ascii(symbol.payload)) s->eci = kEciUtf8;
  }
  return s;
}

// The symbol every Code 128 of a thread is encoded in, cleared and set up
// anew for each code: making one clears 30 KB of rows, five times the work
// of encoding an exam number, where clearing one after use touches only the
// row a Code 128 set. Dropped after a failed encoding, which may leave
// what clearing does not reach.
ZintSymbol& code128_symbol() {
  thread_local ZintSymbol s;
  if (s) {
    ZBarcode_Clear(s.get());
  } else {
    s.reset(ZBarcode_Create());
    if (!s) return s;
  }
  s->symbology = BARCODE_CODE128;
  s->input_mode = UNICODE_MODE;
  s->whitespace_width = kCode128QuietZone;
  s->height = 0;  // each encoding sets it to the default
  return s;
}

std::string reason_for(const Symbol& symbol, int error) {
  const bool qr = symbol.kind == Symbology::QR;
  if (error == ZINT_ERROR_TOO_LONG)
    return qr ? "内容太长，二维码容纳不下" : "内容太长，条码容纳不下";
  if (!qr && error == ZINT_ERROR_INVALID_DATA)
    return "条码只能容纳数字、英文字母和常用符号，不能容纳汉字等字符";
  return qr ? "无法编成二维码" : "无法编成条码";
}

}  // namespace

std::string marker(const Symbol& symbol) {
  std::string out(kPrefix);
  if (symbol.kind == Symbology::QR) {
    out += kQrName;
  } else {
    out += symbol.show_text ? kCode128Name : kCode128PlainName;
  }
  static const char* const kHex = "0123456789ABCDEF";
  for (const char ch : symbol.payload) {
    const auto c = static_cast<unsigned char>(ch);
    if (needs_escape(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

std::optional<Symbol> parse_marker(std::string_view d) {
  if (!d.starts_with(kPrefix)) return std::nullopt;
  d.remove_prefix(kPrefix.size());
  Symbol symbol;
  if (d.starts_with(kCode128Name)) {
    d.remove_prefix(kCode128Name.size());
  } else if (d.starts_with(kCode128PlainName)) {
    d.remove_prefix(kCode128PlainName.size());
    symbol.show_text = false;
  } else if (d.starts_with(kQrName)) {
    d.remove_prefix(kQrName.size());
    symbol.kind = Symbology::QR;
    symbol.show_text = false;
  } else {
    return std::nullopt;
  }
  for (size_t i = 0; i < d.size(); ++i) {
    if (d[i] != '%') {
      symbol.payload += d[i];
      continue;
    }
    const int hi = i + 2 < d.size() ? hex_value(d[i + 1]) : -1;
    const int lo = hi >= 0 ? hex_value(d[i + 2]) : -1;
    if (lo < 0) return std::nullopt;
    symbol.payload += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return symbol;
}

std::optional<std::string> encode(const Symbol& symbol, Modules& out) {
  ZintSymbol fresh;
  ZintSymbol& held = symbol.kind == Symbology::Code128 ? code128_symbol() : fresh;
  if (symbol.kind != Symbology::Code128) fresh = make_symbol(symbol);
  zint_symbol* s = held.get();
  if (!s) return std::string("内存不足");
  const auto* data = reinterpret_cast<const unsigned char*>(symbol.payload.data());
  const int error = ZBarcode_Encode(s, data, static_cast<int>(symbol.payload.size()));
  if (error >= ZINT_ERROR) {
    held.reset();
    return reason_for(symbol, error);
  }

  out.kind = symbol.kind;
  const int32_t quiet = symbol.kind == Symbology::QR ? kQrQuietZone : kCode128QuietZone;
  const int32_t rows = symbol.kind == Symbology::QR ? s->rows : 1;
  out.width = s->width + 2 * quiet;
  out.height = symbol.kind == Symbology::QR ? rows + 2 * quiet : 1;
  out.dark.assign(size_t(out.width) * out.height, 0);
  const int32_t top = symbol.kind == Symbology::QR ? quiet : 0;
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < s->width; ++x) {
      if (s->encoded_data[y][x / 8] & (1 << (x % 8))) {
        out.dark[size_t(top + y) * out.width + quiet + x] = 1;
      }
    }
  }
  out.text = symbol.kind == Symbology::Code128 && symbol.show_text ? symbol.payload : "";
  return std::nullopt;
}

bool surely_encodable(const Symbol& symbol) {
  // Well within the longest Code 128 the encoder makes (160 characters).
  constexpr size_t kSureLength = 48;
  return symbol.kind == Symbology::Code128 && !symbol.payload.empty() &&
         symbol.payload.size() <= kSureLength &&
         std::all_of(symbol.payload.begin(), symbol.payload.end(),
                     [](char c) { return c >= 0x20 && c <= 0x7E; });
}

Placement place(const Modules& modules, double w, double h) {
  Placement p;
  if (modules.width <= 0 || !(w > 0) || !(h > 0)) return p;
  if (modules.kind == Symbology::QR) {
    p.module = std::min(w / modules.width, h / modules.height);
    p.x = (w - p.module * modules.width) / 2;
    p.y = (h - p.module * modules.height) / 2;
    return p;
  }
  p.module = w / modules.width;
  if (!modules.text.empty() && h >= kLowestWithText * p.module) {
    p.text_band = kTextBandModules * p.module;
  }
  p.bar_height = h - p.text_band;
  return p;
}

int32_t pixels_per_module(double module_points, bool with_text) {
  const double wanted = std::ceil(module_points * 300.0 / 72.0 - 1e-9);
  int32_t p = std::isfinite(wanted) ? static_cast<int32_t>(std::clamp(wanted, 1.0, 12.0)) : 1;
  if (with_text) p = std::max(p, 2);
  return p;
}

}  // namespace kelv::codes
