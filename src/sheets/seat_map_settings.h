// The seat-map settings on the settings sheet "DTB": a template laid out as
// the room (its catalogue row's column N) and the AB paper versions (BJ6).
// Both are True/False cells; an empty cell, or one that does not read as a
// Boolean, is False.
#pragma once

#include <cstdint>

#include "host/worksheet.h"

namespace kelv::sheets {

// The form's check boxes for them, on forms that have the seat-map
// controls: ChbZuoWei on the template page, ChbABJuan on the arrangement
// page.
inline constexpr const char* kRoomLayoutControl = "ChbZuoWei";
inline constexpr const char* kPaperVersionControl = "ChbABJuan";

// Whether the template of catalogue row `row` prints its record blocks where
// the room's desks stand.
bool RoomLayoutOf(host::Worksheet& DTB, int32_t row);

// Whether the arrangement hands out paper versions A and B.
bool PaperVersionsOf(host::Worksheet& DTB);

// Whether the sheet stores either setting at all, True or False: a
// workspace made on a form with the seat-map controls.
bool StoresSeatMapSettings(host::Worksheet& DTB);

}  // namespace kelv::sheets
