// The sample workspace's seat map: the template 座位表, laid out as the
// room (a door list with the desks drawn under the room's details), and
// the shape of the sample's rooms on their room sheet.
#pragma once

#include "spreadsheet/model.h"

namespace kelv::sample {

inline constexpr const char* kSeatMapTemplate = "座位表";

// Adds the template sheet 座位表 to the host workbook and its catalogue row,
// laid out as the room, after the rows already on the settings sheet DTB.
void add_seat_map_template(spreadsheet::Workbook& host);

// Gives every room of the data workbook's room sheet 每列座数 and 列数: six
// seats a column, five columns (the sample's thirty places).
void add_room_shapes(spreadsheet::Workbook& data);

}  // namespace kelv::sample
