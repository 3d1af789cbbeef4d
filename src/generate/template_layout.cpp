#include "generate/template_layout.h"

#include "host/variant.h"

namespace kelv::generate {
namespace {

// Start of the last UTF-8 character of a non-empty text.
size_t LastCharacterStart(const std::string& text) {
  size_t i = text.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
  return i;
}

// The text with full-width colons and plus signs made half-width.
std::string HalfWidthSeparators(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, "：") == 0) {
      out += ':';
      i += 2;
    } else if (text.compare(i, 3, "＋") == 0) {
      out += '+';
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Splits at every `separator`; empty parts are kept.
std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

std::optional<CodeField> ParseCodeField(const FieldBinding& photo) {
  const std::vector<std::string> parts = Split(HalfWidthSeparators(photo.name), ':');
  if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
  CodeField f;
  f.name = photo.name;
  f.areaRow = photo.areaRow;
  f.areaCol = photo.areaCol;
  if (parts[0] == "条码") {
    f.kind = codes::Symbology::Code128;
    f.columns = {parts[1]};
  } else if (parts[0] == "二维码") {
    f.kind = codes::Symbology::QR;
    f.show_text = false;
    f.columns = Split(parts[1], '+');
  } else {
    return std::nullopt;
  }
  if (parts.size() == 3) {
    if (parts[2] != "无文字") return std::nullopt;
    f.show_text = false;
  }
  for (const std::string& c : f.columns)
    if (c.empty()) return std::nullopt;
  f.data_columns.assign(f.columns.size(), 0);
  return f;
}

std::string FieldName(const std::string& text) {
  // The first character is "[" or "{", one byte. A lone bracket names "".
  if (text.size() <= 1) return "";
  const size_t last = LastCharacterStart(text);
  if (last < 1) return "";
  return text.substr(1, last - 1);
}

AreaBounds FindAreaBounds(host::Worksheet& sheet, const char* marker) {
  AreaBounds b;
  for (int32_t r = 2; r <= kMarkerLastRow; ++r) {
    if (host::text_equals(sheet.cells(r, 1).value(), marker)) {
      b.firstRow = r;
      break;
    }
  }
  if (b.firstRow == 0) return b;
  b.lastRow = b.firstRow;
  for (int32_t r = b.firstRow + 1; r <= kMarkerLastRow; ++r) {
    if (host::text_equals(sheet.cells(r, 1).value(), marker)) {
      b.lastRow = r;
      break;
    }
  }
  for (int32_t c = kEndMarkerFirstColumn; c <= kEndMarkerLastColumn; ++c) {
    if (host::text_equals(sheet.cells(b.firstRow, c).value(), marker)) {
      b.end_column = c;
      break;
    }
  }
  return b;
}

AreaLayout ScanArea(host::Worksheet& sheet, const AreaBounds& bounds) {
  AreaLayout area;
  area.present = true;
  area.firstRow = bounds.firstRow;
  area.rowCount = bounds.lastRow - bounds.firstRow + 1;
  area.colCount = bounds.end_column - 2;
  for (int32_t c = 1; c <= area.colCount; ++c) {
    for (int32_t r = 1; r <= area.rowCount; ++r) {
      const host::Variant v = sheet.cells(area.firstRow + r - 1, 1 + c).value();
      if (v.is_empty() || v.is_error()) continue;
      const std::string text = v.to_text();
      if (text.empty()) continue;
      if (text[0] == '[') {
        area.textFields.push_back({FieldName(text), r, c, 0});
      } else if (text[0] == '{') {
        area.photoFields.push_back({FieldName(text), r, c, 0});
      }
    }
  }
  return area;
}

}  // namespace kelv::generate
