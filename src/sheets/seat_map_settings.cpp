#include "sheets/seat_map_settings.h"

#include "host/host_error.h"
#include "host/variant.h"
#include "sheets/settings_sheet.h"

namespace kelv::sheets {

namespace {

bool IsTrue(const host::Variant& v) {
  try {
    return v.to_bool();
  } catch (const host::HostError&) {
    return false;
  }
}

}  // namespace

bool RoomLayoutOf(host::Worksheet& DTB, int32_t row) {
  return IsTrue(DTB.cells(row, kRoomLayoutColumn).value());
}

bool PaperVersionsOf(host::Worksheet& DTB) {
  return IsTrue(DTB.cells(kCombinationRow, kPaperVersionColumn).value());
}

bool StoresSeatMapSettings(host::Worksheet& DTB) {
  if (!DTB.cells(kCombinationRow, kPaperVersionColumn).value().is_empty()) return true;
  for (int32_t r = kCatalogueFirstRow; !DTB.cells(r, kNameColumn).value().is_empty(); ++r)
    if (!DTB.cells(r, kRoomLayoutColumn).value().is_empty()) return true;
  return false;
}

}  // namespace kelv::sheets
