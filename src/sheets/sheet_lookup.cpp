#include "sheets/sheet_lookup.h"

#include "host/variant.h"

namespace kelv::sheets {

bool SheetExists(host::Worksheets sheets, std::string_view name) {
  for (host::Worksheet& sheet : sheets) {
    if (sheet.name() == name) return true;
  }
  return false;
}

int32_t FindHeaderColumn(host::Worksheet& sheet, int32_t first, std::string_view header) {
  const int32_t n = sheet.cells(1, first).current_region().columns_count();
  for (int32_t i = 0; i <= n; ++i) {
    if (host::text_equals(sheet.cells(1, first + i).value(), header)) return first + i;
  }
  return 0;
}

}  // namespace kelv::sheets
