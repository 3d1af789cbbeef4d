#include "app/sample/sample_seatmap.h"

#include <functional>
#include <memory>
#include <string>

#include "host/host_error.h"
#include "sheets/exam_sheets.h"
#include "sheets/room_sheet.h"
#include "sheets/settings_sheet.h"
#include "spreadsheet/cells.h"

namespace kelv::sample {
namespace {

using spreadsheet::BorderSide;
using spreadsheet::Color;
using spreadsheet::Sheet;
using spreadsheet::Style;
using spreadsheet::Workbook;
using Variant = host::Variant;

constexpr int32_t kSeatsPerColumn = 6;
constexpr int32_t kDeskColumns = 5;

Sheet& sheet_named(Workbook& book, const std::string& name) {
  for (const auto& sheet : book.sheets)
    if (sheet->name == name) return *sheet;
  throw host::HostError::host(host::kSubscriptOutOfRange, "示例工作簿中没有“" + name + "”表");
}

void put(Sheet& s, int32_t r, int32_t c, const Variant& v, uint32_t style = 0) {
  spreadsheet::Cell& cell = spreadsheet::cells::get(s, r, c);
  cell.value = v;
  cell.style = style;
}

// A merged block showing one value, every cell in the style.
void merged(Sheet& s, int32_t r, int32_t c1, int32_t c2, const Variant& v, uint32_t style) {
  for (int32_t c = c1; c <= c2; ++c) put(s, r, c, c == c1 ? v : Variant(), style);
  if (c2 > c1) s.merges.push_back(host::Rect{r, c1, r, c2});
}

bool holds_value(Sheet& s, int32_t r, int32_t c) {
  const spreadsheet::Cell* cell = spreadsheet::cells::find(s, r, c);
  return cell != nullptr && spreadsheet::cells::has_value(*cell);
}

void height(Sheet& s, int32_t r, double h) {
  spreadsheet::Row& row = spreadsheet::cells::row_at(s, r);
  row.height = h;
  row.custom_height = true;
}

void width(Sheet& s, int32_t c, double w) {
  s.columns[c].width = w;
  s.columns[c].custom_width = true;
}

struct SeatMapStyles {
  explicit SeatMapStyles(Workbook& book) {
    auto make = [&book](const std::function<void(Style&)>& edit) {
      Style s;
      s.font.name = "宋体";
      s.font.size = 11;
      edit(s);
      return book.styles.intern(s);
    };
    const BorderSide thin{"thin", Color::rgb(0xFF000000)};
    caption = make([](Style& s) {
      s.font.bold = true;
      s.font.color = Color::indexed(12);  // palette 5, blue
    });
    marker = make([](Style& s) {
      s.font.name = "Arial";
      s.font.size = 12;
      s.alignment.horizontal = "right";
      s.alignment.vertical = "center";
    });
    title = make([](Style& s) {
      s.font.size = 20;
      s.font.bold = true;
      s.alignment.horizontal = "center";
      s.alignment.vertical = "center";
    });
    label = make([](Style& s) {
      s.font.size = 12;
      s.font.bold = true;
      s.alignment.horizontal = "right";
      s.alignment.vertical = "center";
    });
    info = make([](Style& s) {
      s.font.size = 12;
      s.number_format.assign(1,
                             '@');  // text; an assignment from "@" trips GCC 12's -Wrestrict at -O3
      s.alignment.vertical = "center";
    });
    // A desk: a box round its three lines, the seat number on top.
    auto desk = [&](bool top, bool bottom, bool bold, double size) {
      return make([&](Style& s) {
        s.number_format.assign(
            1, '@');  // text; an assignment from "@" trips GCC 12's -Wrestrict at -O3
        s.font.bold = bold;
        s.font.size = size;
        s.alignment.horizontal = "center";
        s.alignment.vertical = "center";
        s.border.left = thin;
        s.border.right = thin;
        if (top) s.border.top = thin;
        if (bottom) s.border.bottom = thin;
      });
    };
    seat = desk(true, false, true, 10);
    number = desk(false, false, false, 10);
    name = desk(false, true, true, 12);
  }
  uint32_t caption, marker, title, label, info, seat, number, name;
};

}  // namespace

void add_seat_map_template(Workbook& host) {
  const SeatMapStyles st(host);
  host.sheets.push_back(std::make_unique<Sheet>());
  Sheet& s = *host.sheets.back();
  s.name = kSeatMapTemplate;
  // Appended piece by piece: GCC 12 warns falsely about literal + string
  // chains at -O3.
  std::string caption = "<";
  caption.append(kSeatMapTemplate).append(" 模板设计>");
  put(s, 1, 1, caption, st.caption);
  width(s, 1, 3);

  // The header, B..J over five columns of desks: the room's details.
  constexpr int32_t kHeaderColumns = 2 * kDeskColumns - 1;
  put(s, 3, 1, "@", st.marker);
  put(s, 6, 1, "@", st.marker);
  put(s, 3, 2 + kHeaderColumns, "@", st.marker);
  merged(s, 3, 2, 1 + kHeaderColumns, "考 场 座 位 表", st.title);
  height(s, 3, 36);
  const char* const lines[][4] = {
      {"考场：", "[考场]", "考室：", "[考室]"},
      {"首考号：", "[首考号]", "尾考号：", "[尾考号]"},
  };
  int32_t r = 4;
  for (const auto& line : lines) {
    put(s, r, 2, line[0], st.label);
    merged(s, r, 3, 4, line[1], st.info);
    merged(s, r, 5, 6, line[2], st.label);
    merged(s, r, 7, 1 + kHeaderColumns, line[3], st.info);
    height(s, r, 22);
    ++r;
  }
  put(s, 6, 2, "监考：", st.label);
  merged(s, 6, 3, 4, "[监考甲]", st.info);
  merged(s, 6, 5, 6, "[监考乙]", st.info);
  merged(s, 6, 7, 8, "人数：", st.label);
  merged(s, 6, 9, 1 + kHeaderColumns, "[场人]", st.info);
  height(s, 6, 22);

  // One desk: 座号, 考号, 姓名.
  put(s, 9, 1, "#", st.marker);
  put(s, 11, 1, "#", st.marker);
  put(s, 9, 3, "#", st.marker);
  put(s, 9, 2, "[座号]", st.seat);
  put(s, 10, 2, "[考号]", st.number);
  put(s, 11, 2, "[姓名]", st.name);
  height(s, 9, 16);
  height(s, 10, 16);
  height(s, 11, 20);
  width(s, 2, 15);
  for (int32_t c = 3; c <= 1 + kHeaderColumns; ++c) width(s, c, c % 2 == 0 ? 15 : 2);

  // Its catalogue row after the others: one room a page, portrait A4.
  Sheet& dtb = sheet_named(host, sheets::kSettingsSheet);
  int32_t row = sheets::kCatalogueFirstRow;
  while (holds_value(dtb, row, sheets::kNameColumn)) ++row;
  const Variant values[] = {kSeatMapTemplate,  6,    1,    12,  20, sheets::kNoColumn,
                            sheets::kNoColumn, true, true, true};
  for (int32_t k = 0; k < 10; ++k) put(dtb, row, sheets::kNameColumn + k, values[k]);
  put(dtb, 1, sheets::kRoomLayoutColumn, "按座位排列");
  // Top and bottom margins, portrait, A4, zoom 100, print quality 600.
  const Variant page_setup[] = {28, 28, 1, 9, 100, 600};
  for (int32_t k = 0; k < 6; ++k) put(dtb, row, sheets::kPageSetupColumn + 4 + k, page_setup[k]);
}

void add_room_shapes(Workbook& data) {
  Sheet& rooms = sheet_named(data, sheets::kRoomSheet);
  const int32_t per_column = sheets::kRoomColumnCount + 1;
  const uint32_t heading = spreadsheet::cells::style_of(rooms, sheets::kRoomHeadingRow, 1);
  put(rooms, sheets::kRoomHeadingRow, per_column, sheets::kSeatsPerColumnHeading, heading);
  put(rooms, sheets::kRoomHeadingRow, per_column + 1, sheets::kDeskColumnsHeading, heading);
  for (int32_t r = sheets::kRoomFirstRow; holds_value(rooms, r, sheets::kRoomNameColumn); ++r) {
    put(rooms, r, per_column, kSeatsPerColumn);
    put(rooms, r, per_column + 1, kDeskColumns);
  }
}

}  // namespace kelv::sample
