#include "app/form/sheet_look.h"

namespace kelv::form {

Axis row_axis(const spreadsheet::Sheet& sheet, int32_t rows) {
  return spreadsheet::in_whole_pixels(spreadsheet::row_track(sheet, rows));
}

Axis column_axis(const spreadsheet::Sheet& sheet, int32_t columns, int32_t digit_px) {
  return spreadsheet::in_whole_pixels(spreadsheet::column_track(sheet, columns, digit_px));
}

QString column_letters(int32_t column) {
  QString s;
  while (column > 0) {
    const int32_t m = (column - 1) % 26;
    s.prepend(QChar('A' + m));
    column = (column - 1) / 26;
  }
  return s;
}

}  // namespace kelv::form
