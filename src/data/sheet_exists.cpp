#include "data/sheet_exists.h"

namespace kelv::data {

bool SheetExists(host::Worksheets sheets, std::string_view name) {
  for (host::Worksheet& sheet : sheets) {
    if (sheet.name() == name) return true;
  }
  return false;
}

}  // namespace kelv::data
