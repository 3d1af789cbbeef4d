#include "app/form/sheet_look.h"

namespace kelv::form {

Axis row_axis(const spreadsheet::Sheet& sheet, int32_t rows) {
  return spreadsheet::in_whole_pixels(spreadsheet::row_track(sheet, rows));
}

Axis column_axis(const spreadsheet::Sheet& sheet, int32_t columns, int32_t digit_px) {
  return spreadsheet::in_whole_pixels(spreadsheet::column_track(sheet, columns, digit_px));
}

}  // namespace kelv::form
