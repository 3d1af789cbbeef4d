// What the engine reads from a template sheet: the header area ("@") and the
// body area ("#"), their bounds and their field cells.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codes/symbol.h"
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

// A code field: a photo field whose braces hold "条码:" and a column name
// (a Code 128, "条码:考号:无文字" without its text) or "二维码:" and one or
// more column names joined by "+" (a QR code holding their values, one a
// line). Full-width "：" and "＋" count as ":" and "+".
struct CodeField {
  std::string name;  // the text between the braces
  int32_t areaRow = 0;
  int32_t areaCol = 0;
  codes::Symbology kind = codes::Symbology::Code128;
  bool show_text = true;
  std::vector<std::string> columns;
  std::vector<int32_t> data_columns;  // one per column name; 0 when not found
};

// The code field a photo field's name describes, or nothing.
std::optional<CodeField> ParseCodeField(const FieldBinding& photo);

// One area of a template as the scan found it.
struct AreaLayout {
  bool present = false;
  int32_t firstRow = 0;                  // template row r1
  int32_t rowCount = 0;                  // r2 - r1 + 1; 0 when the area is absent
  int32_t colCount = 0;                  // e - 2, e the end-marker column
  std::vector<FieldBinding> textFields;  // scan order: column by column, top to bottom
  std::vector<FieldBinding> photoFields;
  // Taken out of photoFields once the data headings are known: a name that
  // is a heading stays a photo field.
  std::vector<CodeField> code_fields;
};

struct TemplateLayout {
  AreaLayout header;  // "@"
  AreaLayout body;    // "#"
};

// The outcome of looking for one area's bounds.
struct AreaBounds {
  int32_t firstRow = 0;  // 0: no row marked in column A, the area does not exist
  int32_t lastRow = 0;
  int32_t end_column = 0;  // 0: the first row has no end marker
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
