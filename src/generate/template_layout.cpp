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

}  // namespace

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
      b.endColumn = c;
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
  area.colCount = bounds.endColumn - 2;
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
