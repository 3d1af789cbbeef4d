// A template laid out as the room (座位表): instead of tiling the record
// blocks across and down, every room of the examinee sheet gets a page of
// its own with each examinee's block where their desk stands. Seat 1 is at
// the front of the first column and the seats go on in the room's S (the
// first column front to back, the next back to front, ...); the rows and
// columns are the room's own, from its row of the room sheet (每列座数,
// 列数), so rooms of different shapes print right from one template. A
// podium row (讲台) is printed across the desks at the front: above them,
// or below them when the room sheet's 讲台 says 后.
//
// Page of one room, from its first row down: a plain row (the page break
// goes above it), the header area, the podium row when the front is at the
// top, the rows of desks (each preceded by a spacer row), and a spacer row
// and the podium row when the front is at the bottom.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "component/component.h"
#include "generate/layout_cursor.h"
#include "generate/template_layout.h"
#include "host/application.h"
#include "host/workbook.h"
#include "host/worksheet.h"
#include "sheets/room_shape.h"

namespace kelv::generate {

inline constexpr const char* kPodiumText = "讲　　台";
inline constexpr double kPodiumRowHeight = 30;
// The scratch copy's column that puts the records in page and seat order.
inline constexpr const char* kSeatOrderHeading = "座位表次序";

class SeatMaps {
 public:
  // Reads the rooms and checks every examinee's room and seat before
  // anything is written to the output sheet; shows a notice and returns
  // nothing when the examinee sheet is not the data sheet, the room sheet
  // gives no room a shape, a shape is wrong, or an examinee has no desk of
  // their own (a room not on the room sheet, a 座号 that is no whole number,
  // lies past the room's desks or is taken twice). Examinees without a room
  // are left off the maps. Then, on the scratch copy only: the room sheet's
  // columns that the template's fields name and the examinee sheet lacks
  // (首考号, 尾考号, ...) are added with each examinee's room's values, and
  // the records are sorted into page and seat order.
  static std::optional<SeatMaps> Prepare(component::Component& self, host::Application& EA,
                                         host::Worksheet& data, const TemplateLayout& layout,
                                         int32_t last_row, const std::string& data_sheet_name,
                                         const std::string& template_name);

  // Fixes where every block goes for blocks of g.B rows and g.C columns
  // below a header of g.H rows.
  void Place(const BlockGeometry& g);

  // The most columns of desks of any room: the blocks across the widest page.
  int32_t WidestRoom() const { return widest_; }
  // The first content row of the first page's first row of desks.
  int32_t FirstTop() const;

  // The walk over the records 2..last that the rendering passes take: a
  // block at each placed record's desk, a new page before each room after
  // the first. Progress is reported on the first walk.
  void Walk(host::Application& EA, int32_t last, const LayoutVisitor& visit) const;

  // After the passes: the podium rows, and the heights of every page's rows
  // of desks (a room's empty rows keep the height of a full one).
  void Finish(host::Worksheet& out, host::Worksheet& tpl, const AreaLayout& body,
              double row_spacing) const;

  int32_t pages() const { return static_cast<int32_t>(pages_.size()); }

 private:
  struct Page {
    std::string room;
    int32_t first_record = 0, last_record = 0;  // scratch rows after the sort
    int32_t per_column = 1, columns = 1;
    sheets::Podium podium = sheets::Podium::Front;
    int32_t top = 0;   // the page's plain row
    int32_t grid = 0;  // the spacer row above the first row of desks
    int32_t podium_row = 0;
    int32_t end = 0;  // the page's last row
  };
  struct Record {
    int32_t page = -1;  // -1: no room, left off the maps
    int32_t seat = 0;   // 0: seat 1
  };

  std::vector<Page> pages_;
  std::vector<Record> records_;  // by scratch row - 2, after the sort
  int32_t widest_ = 1;
  BlockGeometry g_;
  mutable bool walked_ = false;
};

// Whether a field the examinee sheet lacks is filled all the same on the
// seat maps of template `template_name`: the template is laid out as the
// room and the data workbook's room sheet has a column of that name.
bool SeatMapFillsField(host::Workbook& host_book, host::Workbook& data_book,
                       const std::string& template_name, const std::string& field);

}  // namespace kelv::generate
