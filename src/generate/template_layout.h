// What the engine reads from a template sheet: the header area ("@") and the
// body area ("#"), their bounds and their field cells.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/worksheet.h"

namespace kelv::generate {

inline constexpr const char* kHeaderMarker = "@";
inline constexpr const char* kBodyMarker = "#";
// Marker rows are looked for in rows 2..100 of column A, end markers in
// columns 3..100 of the area's first row.
inline constexpr int32_t kMarkerLastRow = 100;
inline constexpr int32_t kEndMarkerFirstColumn = 3;
inline constexpr int32_t kEndMarkerLastColumn = 100;

// One field cell of an area: [name] a text field, {name} a photo field.
struct FieldBinding {
  std::string name;
  int32_t areaRow = 0;     // 1-based inside the area
  int32_t areaCol = 0;     // 1-based inside the area (template column B is 1)
  int32_t dataColumn = 0;  // column of the scratch copy headed `name`; 0 when not found
};

// One area of a template as the scan found it.
struct AreaLayout {
  bool present = false;
  int32_t firstRow = 0;                  // template row r1
  int32_t rowCount = 0;                  // r2 - r1 + 1; 0 when the area is absent
  int32_t colCount = 0;                  // e - 2, e the end-marker column
  std::vector<FieldBinding> textFields;  // scan order: column by column, top to bottom
  std::vector<FieldBinding> photoFields;
};

struct TemplateLayout {
  AreaLayout header;  // "@"
  AreaLayout body;    // "#"
};

// The outcome of looking for one area's bounds.
struct AreaBounds {
  int32_t firstRow = 0;  // 0: no row marked in column A, the area does not exist
  int32_t lastRow = 0;
  int32_t endColumn = 0;  // 0: the first row has no end marker
};

// Finds the bounds of the area marked `marker`: the first two rows 2..100
// whose column A holds exactly the marker, and the end marker in columns
// 3..100 of the first of them.
AreaBounds FindAreaBounds(host::Worksheet& sheet, const char* marker);

// Fills an area's layout from bounds that have both a first row and an end
// marker, collecting its field cells.
AreaLayout ScanArea(host::Worksheet& sheet, const AreaBounds& bounds);

// The field name of a cell text starting with "[" or "{": the text without
// its first and last character (characters, not bytes).
std::string FieldName(const std::string& text);

}  // namespace kelv::generate
