#include "generate/seat_maps.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <set>
#include <utility>

#include "generate/render_template.h"
#include "host/constants.h"
#include "host/range.h"
#include "host/variant.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "sheets/seat_map_settings.h"
#include "sheets/settings_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::generate {
namespace {

using host::Range;
using host::Variant;
using host::Worksheet;

constexpr size_t kRowsNamed = 10;      // rows a line lists before "等 n 行"
constexpr size_t kProblemsShown = 12;  // lines a notice lists before "……"

// "第 2、5、9 行", or "第 2、3、…、11 行等 25 行" for many rows.
std::string RowList(const std::vector<int32_t>& rows) {
  std::string s = "第 ";
  for (size_t k = 0; k < rows.size() && k < kRowsNamed; ++k) {
    if (k > 0) s += "、";
    s += std::to_string(rows[k]);
  }
  s += " 行";
  if (rows.size() > kRowsNamed) s += "等 " + std::to_string(rows.size()) + " 行";
  return s;
}

// A seat number: a whole number from 1 on, typed as a number or as text.
bool ReadSeat(const Variant& v, int32_t* seat) {
  double d = 0;
  const bool number =
      v.is_number() ? (d = v.as_number(), true) : host::parse_decimal(v.to_text(), &d, true);
  if (!number || d < 1 || d != std::floor(d) || d > host::kMaxRows) return false;
  *seat = static_cast<int32_t>(d);
  return true;
}

// Every field name of both areas, code fields' columns included.
std::set<std::string> FieldNames(const TemplateLayout& layout) {
  std::set<std::string> names;
  for (const AreaLayout* area : {&layout.header, &layout.body}) {
    if (!area->present) continue;
    for (const auto* list : {&area->textFields, &area->photoFields})
      for (const FieldBinding& f : *list) names.insert(f.name);
    for (const CodeField& f : area->code_fields) names.insert(f.columns.begin(), f.columns.end());
  }
  return names;
}

struct Room {
  std::string name;
  int32_t sheet_row = 0;
  int32_t places = 0;
  sheets::RoomShape shape;
  std::vector<std::pair<int32_t, int32_t>> seated;  // (seat, scratch row)
};

}  // namespace

std::optional<SeatMaps> SeatMaps::Prepare(component::Component& self, host::Application& EA,
                                          Worksheet& data, const TemplateLayout& layout,
                                          int32_t last_row, const std::string& data_sheet_name,
                                          const std::string& template_name) {
  const char* const room_heading = sheets::kAssignmentHeadings[sheets::kAssignedRoom];
  const char* const seat_heading = sheets::kAssignmentHeadings[sheets::kAssignedSeatNumber];
  if (data_sheet_name != sheets::kExamineeSheet) {
    component::ShowNotice(
        self, "“" + template_name + "”按考场座位排列，数据须来自考生表：请勾选“数据源为考生表”。");
    return std::nullopt;
  }
  const int32_t room_col = FindScratchHeading(data, self.WorkColumn, room_heading);
  const int32_t seat_col = FindScratchHeading(data, self.WorkColumn, seat_heading);
  if (room_col == 0 || seat_col == 0) {
    component::ShowNotice(self,
                          "“考生表”中没有“考场”和“座号”列：座位表按考场和座号排座，请先编排考号。");
    return std::nullopt;
  }
  Worksheet& room_sheet =
      EA.workbooks().item(self.DataBookName).worksheets().item(sheets::kRoomSheet);
  const sheets::RoomShapeColumns shape_columns = sheets::FindRoomShapeColumns(room_sheet);
  if (shape_columns.per_column == 0 && shape_columns.columns == 0) {
    component::ShowNotice(self,
                          "“考场表”中没有“每列座数”和“列数”列：座位表不知道考场里的座位怎样排。"
                          "请在考场表中加上每列座数（每列前后几个座位），需要时再加列数。");
    return std::nullopt;
  }

  // The rooms, and the rows of each name.
  std::vector<sheets::RoomShapeProblem> shape_problems;
  std::vector<Room> rooms;
  std::map<std::string, std::vector<size_t>> named;
  const int32_t R = room_sheet.cells(1, 1).current_region().rows_count();
  for (int32_t r = sheets::kRoomFirstRow; r <= R; ++r) {
    Room room;
    room.name = room_sheet.cells(r, sheets::kRoomNameColumn).text();
    room.sheet_row = r;
    double places = 0;
    const Variant v = room_sheet.cells(r, sheets::kRoomPlacesColumn).value();
    if (v.is_number() ? (places = v.as_number(), true)
                      : host::parse_decimal(v.to_text(), &places, true))
      room.places = static_cast<int32_t>(std::clamp(places, 0.0, double{host::kMaxRows}));
    room.shape = sheets::ReadRoomShape(room_sheet, shape_columns, r, &shape_problems);
    named[room.name].push_back(rooms.size());
    rooms.push_back(std::move(room));
  }

  // Every examinee with a room, at their seat.
  std::vector<std::string> problems;
  problems.reserve(shape_problems.size());
  for (const sheets::RoomShapeProblem& p : shape_problems) problems.push_back(p.message);
  std::map<std::string, std::vector<int32_t>> unknown, doubled;
  std::vector<int32_t> not_whole;
  std::vector<int32_t> room_of(static_cast<size_t>(std::max(last_row - 1, 0)), -1);
  for (int32_t i = 2; i <= last_row; ++i) {
    const std::string name = data.cells(i, room_col).text();
    if (name.empty()) continue;
    auto it = named.find(name);
    if (it == named.end()) {
      unknown[name].push_back(i);
      continue;
    }
    if (it->second.size() > 1) {
      doubled[name].push_back(i);
      continue;
    }
    int32_t seat = 0;
    if (!ReadSeat(data.cells(i, seat_col).value(), &seat)) {
      not_whole.push_back(i);
      continue;
    }
    room_of[i - 2] = static_cast<int32_t>(it->second.front());
    rooms[it->second.front()].seated.emplace_back(seat, i);
  }
  for (const auto& [name, rows] : unknown)
    problems.push_back("考场“" + name + "”不在考场表中（考生表" + RowList(rows) + "）。");
  for (const auto& [name, rows] : doubled) {
    std::vector<int32_t> sheet_rows;
    for (size_t k : named[name]) sheet_rows.push_back(rooms[k].sheet_row);
    problems.push_back("考场表中有 " + std::to_string(sheet_rows.size()) + " 个考场叫“" + name +
                       "”（" + RowList(sheet_rows) + "），座位表分不清考生表" + RowList(rows) +
                       "的考生在哪一个。");
  }
  if (!not_whole.empty()) problems.push_back("考生表" + RowList(not_whole) + "的座号不是正整数。");

  SeatMaps maps;
  std::vector<Record> by_row(room_of.size());
  for (Room& room : rooms) {
    if (room.seated.empty()) continue;
    std::stable_sort(room.seated.begin(), room.seated.end());
    const int32_t highest = room.seated.back().first;
    const int32_t k = room.shape.SeatsPerColumn(room.places);
    const int32_t m = room.shape.columns > 0
                          ? room.shape.columns
                          : room.shape.DeskColumns(std::max(room.places, highest));
    const int64_t desks = int64_t{k} * m;
    std::vector<int32_t> past;
    for (size_t a = 0; a < room.seated.size();) {
      size_t b = a;
      std::vector<int32_t> rows;
      while (b < room.seated.size() && room.seated[b].first == room.seated[a].first)
        rows.push_back(room.seated[b++].second);
      if (room.seated[a].first > desks) {
        past.insert(past.end(), rows.begin(), rows.end());
      } else if (rows.size() > 1) {
        problems.push_back("考场“" + room.name + "”的座号 " + std::to_string(room.seated[a].first) +
                           " 有 " + std::to_string(rows.size()) + " 人（考生表" + RowList(rows) +
                           "）。");
      }
      a = b;
    }
    if (!past.empty()) {
      std::sort(past.begin(), past.end());
      problems.push_back("考场“" + room.name + "”只有 " + std::to_string(desks) + " 个座位（每列 " +
                         std::to_string(k) + " 座 × " + std::to_string(m) + " 列），考生表" +
                         RowList(past) + "的座号排不下。");
    }
    Page page;
    page.room = room.name;
    page.per_column = k;
    page.columns = m;
    page.podium = room.shape.podium;
    const auto index = static_cast<int32_t>(maps.pages_.size());
    for (const auto& [seat, row] : room.seated) by_row[row - 2] = {index, seat - 1};
    maps.widest_ = std::max(maps.widest_, m);
    maps.pages_.push_back(page);
  }
  if (!problems.empty()) {
    std::string text;
    for (size_t k = 0; k < problems.size() && k < kProblemsShown; ++k) text += problems[k] + "\n";
    if (problems.size() > kProblemsShown) text += "……\n";
    component::ShowNotice(self, text +
                                    "座位表按考场表的每列座数、列数和考生的考场、座号排座，"
                                    "请改正后再生成。");
    return std::nullopt;
  }
  if (maps.pages_.empty()) {
    component::ShowNotice(self, "考生表中还没有人排进考场：请先编排考号，再生成座位表。");
    return std::nullopt;
  }
  if (int64_t{maps.widest_} * (layout.body.colCount + 1) + 1 > host::kMaxColumns) {
    component::ShowNotice(self, "座位表最宽的考场有 " + std::to_string(maps.widest_) +
                                    " 列座位，按“" + template_name + "”的主体区宽度排不下。");
    return std::nullopt;
  }

  // The room sheet's columns the fields name and the scratch copy lacks,
  // then the order key, at the scratch copy's right edge.
  const int32_t room_sheet_columns = room_sheet.cells(1, 1).current_region().columns_count();
  std::vector<int32_t> added;  // room sheet columns
  for (const std::string& name : FieldNames(layout)) {
    if (FindScratchHeading(data, self.WorkColumn, name) != 0) continue;
    for (int32_t c = 1; c <= room_sheet_columns; ++c) {
      if (room_sheet.cells(1, c).text() != name) continue;
      added.push_back(c);
      break;
    }
  }
  const int32_t first_added =
      self.WorkColumn + data.cells(1, self.WorkColumn).current_region().columns_count();
  const auto key_col = first_added + static_cast<int32_t>(added.size());
  if (key_col + 1 > host::kMaxColumns) {
    component::ShowNotice(self, "“考生表”的列太多，座位表排不下。");
    return std::nullopt;
  }
  for (int32_t r = 1; r <= last_row + 1; ++r)
    for (int32_t c = first_added; c <= key_col + 1; ++c)
      if (!host::values_equal(data.cells(r, c).value(), Variant())) {
        component::ShowNotice(
            self, "“考生表”第" + std::to_string(first_added) + "列及右侧有数据，无法生成座位表。");
        return std::nullopt;
      }
  const int32_t n = last_row - 1;
  if (n > 0) {
    for (size_t a = 0; a < added.size(); ++a) {
      const auto c = first_added + static_cast<int32_t>(a);
      data.cells(1, c).set_value(room_sheet.cells(1, added[a]).value());
      std::vector<Variant> values(n);
      for (int32_t i = 0; i < n; ++i)
        if (room_of[i] >= 0)
          values[i] = room_sheet.cells(rooms[room_of[i]].sheet_row, added[a]).value();
      data.range(data.cells(2, c), data.cells(last_row, c)).set_values(values);
    }
  }
  // Placed records by page and seat, then the others as they stand.
  std::vector<int32_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    const Record& x = by_row[a];
    const Record& y = by_row[b];
    if ((x.page < 0) != (y.page < 0)) return x.page >= 0;
    if (x.page < 0) return false;
    return x.page != y.page ? x.page < y.page : x.seat < y.seat;
  });
  data.cells(1, key_col).set_value(kSeatOrderHeading);
  if (n > 0) {
    std::vector<Variant> keys(n);
    for (int32_t pos = 0; pos < n; ++pos) keys[order[pos]] = pos + 1;
    data.range(data.cells(2, key_col), data.cells(last_row, key_col)).set_values(keys);
    data.cells(1, key_col)
        .current_region()
        .sort(data.cells(1, key_col), host::SortOrder::Ascending, host::SortHeader::Yes);
  }
  maps.records_.resize(n);
  for (int32_t pos = 0; pos < n; ++pos) maps.records_[pos] = by_row[order[pos]];
  for (int32_t pos = 0; pos < n; ++pos) {
    const Record& rec = maps.records_[pos];
    if (rec.page < 0) break;
    Page& page = maps.pages_[rec.page];
    if (page.first_record == 0) page.first_record = pos + 2;
    page.last_record = pos + 2;
  }
  return maps;
}

void SeatMaps::Place(const BlockGeometry& g) {
  g_ = g;
  int32_t top = 1;
  for (Page& p : pages_) {
    p.top = top;
    int32_t r = top + g.H + 1;
    if (p.podium == sheets::Podium::Front) p.podium_row = r++;
    p.grid = r;
    const int32_t grid_end = p.grid + p.per_column * (g.B + 1) - 1;
    // The back podium keeps a spacer row between it and the last desks.
    if (p.podium == sheets::Podium::Back) p.podium_row = grid_end + 2;
    p.end = std::max(grid_end, p.podium_row);
    top = p.end + 1;
  }
}

int32_t SeatMaps::FirstTop() const {
  return pages_.empty() ? g_.H + 3 : pages_.front().grid + 1;
}

void SeatMaps::Walk(host::Application& EA, int32_t last, const LayoutVisitor& visit) const {
  const bool report = !walked_;
  walked_ = true;
  const int32_t total = pages();
  const int32_t last_placed = pages_.empty() ? 1 : pages_.back().last_record;
  const int32_t end = std::min(last, last_placed);
  if (report) EA.progress().report("生成座位表", 0, total);
  for (int32_t i = 2; i <= end; ++i) {
    const Record& rec = records_[i - 2];
    const Page& p = pages_[rec.page];
    if (visit.block) {
      const sheets::Desk desk = sheets::DeskOfSeat(p.per_column, rec.seat);
      const int32_t shown_row =
          p.podium == sheets::Podium::Front ? desk.row : p.per_column - 1 - desk.row;
      visit.block(i, p.grid + shown_row * (g_.B + 1) + 1, 2 + desk.column * (g_.C + 1), false);
    }
    if (i == p.last_record) {
      if (report) EA.progress().report("生成座位表", rec.page + 1, total);
      if (i < last_placed && visit.page) visit.page(pages_[rec.page + 1].top, i + 1);
    }
  }
}

void SeatMaps::Finish(Worksheet& out, Worksheet& tpl, const AreaLayout& body,
                      double row_spacing) const {
  if (pages_.empty()) return;
  const int32_t B = g_.B;
  std::optional<Range> spacers;
  std::vector<std::optional<Range>> body_rows(B);
  std::optional<Range> podiums;
  auto add = [](std::optional<Range>& to, const Range& r) {
    if (to) {
      to->add(r);
    } else {
      to = r;
    }
  };
  for (const Page& p : pages_) {
    for (int32_t d = 0; d < p.per_column; ++d) {
      const int32_t spacer = p.grid + d * (B + 1);
      add(spacers, out.rows(spacer));
      for (int32_t r = 0; r < B; ++r) add(body_rows[r], out.rows(spacer + 1 + r));
    }
    if (p.podium == sheets::Podium::Back) add(spacers, out.rows(p.podium_row - 1));
    const Range podium =
        out.range(out.cells(p.podium_row, 2), out.cells(p.podium_row, p.columns * (g_.C + 1)));
    if (podium.columns_count() > 1) podium.merge();
    out.cells(p.podium_row, 2).set_value(Variant(kPodiumText));
    add(podiums, podium);
  }
  spacers->set_row_height(row_spacing);
  for (int32_t r = 0; r < B; ++r)
    body_rows[r]->set_row_height(tpl.rows(body.firstRow + r).row_height());
  podiums->set_horizontal_alignment(host::xlCenter);
  podiums->set_vertical_alignment(host::xlCenter);
  podiums->font().set_bold(true);
  podiums->font().set_size(14);
  podiums->set_row_height(kPodiumRowHeight);
}

bool SeatMapFillsField(host::Workbook& host_book, host::Workbook& data_book,
                       const std::string& template_name, const std::string& field) {
  if (!sheets::SheetExists(host_book.worksheets(), sheets::kSettingsSheet) ||
      !sheets::SheetExists(data_book.worksheets(), sheets::kRoomSheet))
    return false;
  Worksheet& dtb = host_book.worksheets().item(sheets::kSettingsSheet);
  for (int32_t r = sheets::kCatalogueFirstRow;; ++r) {
    const Variant name = dtb.cells(r, sheets::kNameColumn).value();
    if (name.is_empty()) return false;
    if (name.to_text() != template_name) continue;
    if (!sheets::RoomLayoutOf(dtb, r)) return false;
    return sheets::FindHeaderColumn(data_book.worksheets().item(sheets::kRoomSheet), 1, field) != 0;
  }
}

}  // namespace kelv::generate
