#include "invigilation/rota_output.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <utility>

#include "host/environment.h"
#include "host/host_error.h"
#include "invigilation/cell_words.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"

namespace kelv::invigilation {
namespace {

using host::Rect;
using host::Variant;
using host::Worksheet;

constexpr int32_t kRoleCount = static_cast<int32_t>(std::size(sheets::kInvigilatorRoles));

std::string role_heading(int32_t role) {
  return std::string(sheets::kInvigilatorHeadingPrefix) +
         std::string(sheets::kInvigilatorRoles[role]);
}

Worksheet* find_sheet(host::Workbook& book, std::string_view name) {
  for (int32_t i = 0; i < book.sheet_count(); ++i)
    if (book.sheet_at(i).name() == name) return &book.sheet_at(i);
  return nullptr;
}

// The column headed `heading` in row 1 of the sheet's table, or 0.
int32_t column_of(Worksheet& sheet, std::string_view heading) {
  const Rect region = sheet.current_region(1, 1);
  for (int32_t c = 1; c <= region.col2; ++c)
    if (CellText(sheet.cell_value(1, c)) == heading) return c;
  return 0;
}

void mark_heading(Worksheet& sheet, int32_t row, int32_t c1, int32_t c2) {
  host::FontChange change;
  change.color_index = sheets::kWrittenColorIndex;
  sheet.change_font({row, c1, row, c2}, change);
}

// A column headed `heading` at the table's right edge.
int32_t append_column(Worksheet& sheet, const std::string& heading) {
  const int32_t c = sheet.current_region(1, 1).col2 + 1;
  sheet.set_value(Rect::cell(1, c), Variant(heading));
  mark_heading(sheet, 1, c, c);
  return c;
}

// The key of a sitting as a value: a number where it is one, so 场次 sorts
// as numbers.
Variant sitting_value(const std::string& key) {
  if (key.empty()) return {};
  double d = 0;
  if (key.size() < 10 &&
      std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
      host::parse_decimal(key, &d, false))
    return Variant(d);
  return Variant(key);
}

int32_t roles_needed(const RotaModel& m) {
  int32_t most = 0;
  for (const SittingRoom& r : m.rooms) most = std::max(most, r.need);
  return most;
}

// The invigilators' names of a room by role, "" where none.
std::vector<std::string> names_of(const RotaModel& m, const Rota& rota, int32_t room) {
  std::vector<std::string> names;
  for (int32_t t : rota.roles[room]) names.push_back(t >= 0 ? m.teachers[t].name : "");
  return names;
}

// The role columns of a room sheet: 监考甲 and 监考乙 where `fixed` puts
// them (0: by heading), the rest by heading, appended where a room needs
// them and they are missing.
std::vector<int32_t> role_columns(Worksheet& sheet, int32_t needed, bool fixed_ab) {
  std::vector<int32_t> cols(kRoleCount, 0);
  for (int32_t role = 0; role < kRoleCount; ++role) {
    if (fixed_ab && role == 0)
      cols[role] = sheets::kRoomInvigilatorAColumn;
    else if (fixed_ab && role == 1)
      cols[role] = sheets::kRoomInvigilatorBColumn;
    else
      cols[role] = column_of(sheet, role_heading(role));
  }
  for (int32_t role = 0; role < needed; ++role)
    if (cols[role] == 0) cols[role] = append_column(sheet, role_heading(role));
  return cols;
}

// Writes each row's names into the role columns, clearing roles past them.
void write_roles(Worksheet& sheet, const std::vector<int32_t>& cols,
                 const std::vector<std::pair<int32_t, std::vector<std::string>>>& rows) {
  for (const auto& [row, names] : rows)
    for (int32_t role = 0; role < kRoleCount; ++role) {
      if (cols[role] == 0) continue;
      const std::string name = role < static_cast<int32_t>(names.size()) ? names[role] : "";
      const Rect cell = Rect::cell(row, cols[role]);
      if (name.empty())
        sheet.clear_contents(cell);
      else
        sheet.set_value(cell, Variant(name));
    }
}

// The copies of the invigilators' names 考生表 keeps for each examinee,
// by the examinee's room.
void write_examinee_copies(Worksheet& sheet, int32_t needed,
                           const std::map<std::string, std::vector<std::string>>& by_room) {
  const int32_t room_col = column_of(sheet, sheets::kAssignmentHeadings[sheets::kAssignedRoom]);
  if (room_col == 0) return;
  const Rect region = sheet.current_region(1, 1);
  if (region.row2 < 2) return;
  std::vector<int32_t> cols(kRoleCount, 0);
  for (int32_t role = 0; role < kRoleCount; ++role) {
    cols[role] = column_of(sheet, role_heading(role));
    // The assignment makes 监考甲 and 监考乙; kelv adds 监考丙 … when a
    // room needs them, once 考生表 has the first two.
    if (cols[role] == 0 && role < needed && role >= 2 && cols[0] > 0)
      cols[role] = append_column(sheet, role_heading(role));
  }
  std::vector<std::vector<Variant>> values(kRoleCount);
  for (int32_t r = 2; r <= region.row2; ++r) {
    const auto it = by_room.find(CellText(sheet.cell_value(r, room_col)));
    for (int32_t role = 0; role < kRoleCount; ++role) {
      if (cols[role] == 0) continue;
      if (it == by_room.end()) {
        values[role].push_back(sheet.cell_value(r, cols[role]));
        continue;
      }
      const std::vector<std::string>& names = it->second;
      values[role].emplace_back();
      if (role < static_cast<int32_t>(names.size()) && !names[role].empty())
        values[role].back() = Variant(names[role]);
    }
  }
  for (int32_t role = 0; role < kRoleCount; ++role)
    if (cols[role] > 0) sheet.set_values({2, cols[role], region.row2, cols[role]}, values[role]);
}

// A sheet of that name emptied, or a new one after the last sheet.
Worksheet& fresh_sheet(host::Workbook& book, const std::string& name) {
  if (Worksheet* sheet = find_sheet(book, name)) {
    sheet->clear(sheet->used_rect());
    return *sheet;
  }
  Worksheet& sheet = book.add_sheet_after(book.sheet_at(book.sheet_count() - 1));
  sheet.set_name(name);
  return sheet;
}

// Rows of values under a heading row, in one call.
void write_table(Worksheet& sheet, const std::vector<std::string>& headings,
                 const std::vector<std::vector<Variant>>& rows) {
  const int32_t cols = static_cast<int32_t>(headings.size());
  std::vector<Variant> head(headings.begin(), headings.end());
  sheet.set_values({1, 1, 1, cols}, head);
  host::FontChange bold;
  bold.bold = true;
  bold.color_index = sheets::kWrittenColorIndex;
  sheet.change_font({1, 1, 1, cols}, bold);
  if (rows.empty()) return;
  std::vector<Variant> body;
  body.reserve(rows.size() * headings.size());
  for (const std::vector<Variant>& row : rows) body.insert(body.end(), row.begin(), row.end());
  sheet.set_values({2, 1, static_cast<int32_t>(rows.size()) + 1, cols}, body);
}

void text_columns(Worksheet& sheet, int32_t rows, std::initializer_list<int32_t> cols) {
  for (int32_t c : cols) sheet.set_number_format_local({1, c, std::max(rows, 1) + 1, c}, "@");
}

// The number formats the sitting's date and times have on 场次考场, on
// their rows of an output sheet.
void time_formats(Worksheet& sheet, int32_t first_row, int32_t last_row, int32_t date_col,
                  const SittingTimes& times) {
  if (last_row < first_row) return;
  const std::pair<const std::string*, int32_t> formats[] = {{&times.date_format, date_col},
                                                            {&times.start_format, date_col + 1},
                                                            {&times.end_format, date_col + 2}};
  for (const auto& [format, col] : formats)
    if (!format->empty() && *format != "General")
      sheet.set_number_format_local({first_row, col, last_row, col}, *format);
}

std::string sittings_of(const RotaModel& m, const Rota& rota, int32_t t) {
  std::vector<bool> in(m.sitting_count(), false);
  for (int32_t k = 0; k < m.room_count(); ++k)
    for (int32_t who : rota.roles[k])
      if (who == t) in[m.rooms[k].sitting] = true;
  std::string list;
  for (int32_t s = 0; s < m.sitting_count(); ++s)
    if (in[s] && !m.sittings[s].key.empty()) list += (list.empty() ? "" : "、") + m.sittings[s].key;
  return list;
}

// The teachers in the order the outputs list them: 监考表's, then the
// outside names in the order they were met.
std::vector<int32_t> teacher_order(const RotaModel& m) {
  std::vector<int32_t> order(m.teacher_count());
  for (int32_t t = 0; t < m.teacher_count(); ++t) order[t] = t;
  std::stable_sort(order.begin(), order.end(), [&m](int32_t a, int32_t b) {
    return !m.teachers[a].outside && m.teachers[b].outside;
  });
  return order;
}

}  // namespace

void WriteRoomColumns(host::Workbook& data_book, const RotaInput& in, const Rota& rota,
                      Written& out) {
  const RotaModel& m = in.model;
  const int32_t needed = roles_needed(m);
  Worksheet& sheet = data_book.sheet(in.room_sheet);
  const std::vector<int32_t> cols = role_columns(sheet, needed, !in.sessions);
  std::vector<std::pair<int32_t, std::vector<std::string>>> rows;
  std::map<std::string, std::vector<std::string>> by_room;
  for (int32_t k = 0; k < m.room_count(); ++k) {
    rows.emplace_back(m.rooms[k].row, names_of(m, rota, k));
    by_room.emplace(m.rooms[k].name, names_of(m, rota, k));
  }
  write_roles(sheet, cols, rows);
  std::string roles;
  for (int32_t role = 0; role < std::max(needed, 2); ++role)
    roles += (role ? "、" : "") + role_heading(role);
  out.places.push_back(in.room_sheet + "（" + roles + "）");
  if (in.sessions) return;
  if (Worksheet* examinees = find_sheet(data_book, sheets::kExamineeSheet)) {
    write_examinee_copies(*examinees, needed, by_room);
    out.places.push_back(std::string(sheets::kExamineeSheet) + "（每名考生的监考甲、监考乙）");
  }
}

void WriteSessionBooks(host::Application& EA, host::Environment& env, host::Workbook& data_book,
                       const RotaInput& in, const Rota& rota, Written& out) {
  if (!in.sessions) return;
  const RotaModel& m = in.model;
  std::vector<std::string> missing;
  for (int32_t s = 0; s < m.sitting_count(); ++s) {
    const Sitting& sitting = m.sittings[s];
    const std::string name = sheets::SessionBookName(data_book.name(), sitting.key);
    const std::string path = data_book.path() + "\\" + name;
    host::Workbook* book = nullptr;
    try {
      book = &EA.workbook(name);
    } catch (const host::HostError& e) {
      if (e.number() != host::kSubscriptOutOfRange) throw;
    }
    if (book == nullptr) {
      if (!env.file_exists(path)) {
        missing.push_back(name);
        continue;
      }
      book = &EA.open_workbook(path);
    }
    if (find_sheet(*book, sheets::kSessionBookMarkSheet) == nullptr) {
      out.notices.push_back(name + " 不是场次编排写的工作簿，没有改它");
      continue;
    }
    std::map<std::string, std::vector<std::string>> by_room;
    int32_t needed = 0;
    for (int32_t k = sitting.first_room; k < sitting.end_room; ++k) {
      by_room.emplace(m.rooms[k].name, names_of(m, rota, k));
      needed = std::max(needed, m.rooms[k].need);
    }
    if (Worksheet* rooms = find_sheet(*book, sheets::kRoomSheet)) {
      const std::vector<int32_t> cols = role_columns(*rooms, needed, true);
      std::vector<std::pair<int32_t, std::vector<std::string>>> rows;
      const Rect region = rooms->current_region(1, 1);
      for (int32_t r = sheets::kRoomFirstRow; r <= region.row2; ++r) {
        const auto it = by_room.find(CellText(rooms->cell_value(r, sheets::kRoomNameColumn)));
        if (it != by_room.end()) rows.emplace_back(r, it->second);
      }
      write_roles(*rooms, cols, rows);
    }
    if (Worksheet* examinees = find_sheet(*book, sheets::kExamineeSheet))
      write_examinee_copies(*examinees, needed, by_room);
    out.places.push_back(host::native_path("数据\\" + name));
  }
  if (!missing.empty()) {
    std::string list;
    for (size_t i = 0; i < missing.size(); ++i) list += (i ? "、" : "") + missing[i];
    out.notices.push_back("数据文件夹里没有 " + list +
                          "：这些场次的门贴等要在重新场次编排后才有监考");
  }
  data_book.activate();
}

void WriteDutySheets(host::Workbook& data_book, const RotaInput& in, const Rota& rota,
                     Written& out) {
  const RotaModel& m = in.model;
  std::vector<std::vector<Variant>> duties;
  std::vector<std::pair<int32_t, int32_t>> runs;  // per sitting: its first and last row
  for (int32_t s = 0; s < m.sitting_count(); ++s) {
    const Sitting& sitting = m.sittings[s];
    const SittingTimes& times = in.times[s];
    const int32_t first = static_cast<int32_t>(duties.size()) + 2;
    for (int32_t k = sitting.first_room; k < sitting.end_room; ++k) {
      const SittingRoom& room = m.rooms[k];
      for (size_t role = 0; role < rota.roles[k].size(); ++role) {
        const int32_t t = rota.roles[k][role];
        if (t < 0) continue;
        duties.push_back({sitting_value(sitting.key), Variant(room.subject), times.date,
                          times.start, times.end, Variant(room.name), Variant(room.location),
                          Variant(m.teachers[t].name),
                          Variant(std::string(sheets::kInvigilatorRoles[role]))});
      }
    }
    runs.emplace_back(first, static_cast<int32_t>(duties.size()) + 1);
  }
  Worksheet& duty_sheet = fresh_sheet(data_book, sheets::kDutySheet);
  const int32_t n = static_cast<int32_t>(duties.size());
  text_columns(duty_sheet, n, {6, 7, 8, 9});
  for (int32_t s = 0; s < m.sitting_count(); ++s)
    time_formats(duty_sheet, runs[s].first, runs[s].second, 3, in.times[s]);
  write_table(duty_sheet, {std::begin(sheets::kDutyHeadings), std::end(sheets::kDutyHeadings)},
              duties);
  duty_sheet.set_column_width(3, 5, 11);
  duty_sheet.set_column_width(7, 8, 12);

  std::vector<std::vector<Variant>> counts;
  for (int32_t t : teacher_order(m)) {
    const Teacher& teacher = m.teachers[t];
    counts.push_back({Variant(teacher.name), Variant(teacher.subject), Variant(rota.duties[t]),
                      Variant(sittings_of(m, rota, t)), Variant(rota.half_days[t])});
  }
  Worksheet& count_sheet = fresh_sheet(data_book, sheets::kDutyCountSheet);
  text_columns(count_sheet, static_cast<int32_t>(counts.size()), {1, 4});
  write_table(count_sheet,
              {std::begin(sheets::kDutyCountHeadings), std::end(sheets::kDutyCountHeadings)},
              counts);
  count_sheet.set_column_width(1, 1, 12);
  count_sheet.set_column_width(4, 4, 24);
  duty_sheet.activate();
  out.places.push_back(std::string(sheets::kDutySheet) + "（" + std::to_string(n) + " 行）");
  out.places.push_back(std::string(sheets::kDutyCountSheet) + "（" + std::to_string(counts.size()) +
                       " 行）");
}

void WriteDutySlips(host::Application& EA, host::Environment& env, host::Workbook& data_book,
                    const RotaInput& in, const Rota& rota, const NewWorkbook& new_workbook,
                    Written& out) {
  const RotaModel& m = in.model;
  const std::string name = sheets::DutySlipBookName(data_book.name());
  const std::string path = data_book.path() + "\\" + name;
  host::Workbook* book = nullptr;
  try {
    book = &EA.workbook(name);
  } catch (const host::HostError& e) {
    if (e.number() != host::kSubscriptOutOfRange) throw;
  }
  if (book == nullptr && env.file_exists(path)) book = &EA.open_workbook(path);
  Worksheet* examinees = nullptr;
  Worksheet* rooms = nullptr;
  if (book != nullptr) {
    if (find_sheet(*book, sheets::kDutySlipMarkSheet) == nullptr) {
      out.notices.push_back(name + " 不是监考安排写的工作簿，没有改它；监考通知没有更新");
      data_book.activate();
      return;
    }
    examinees = &fresh_sheet(*book, sheets::kExamineeSheet);
    rooms = &fresh_sheet(*book, sheets::kRoomSheet);
  } else {
    book = new_workbook ? new_workbook(path) : nullptr;
    if (book == nullptr) {
      out.notices.push_back("没有写 " + name +
                            "（这里不能新建工作簿）：监考通知要在 kelv 里安排后打印");
      return;
    }
    examinees = &book->sheet_at(0);
    examinees->set_name(sheets::kExamineeSheet);
    rooms = &book->add_sheet_after(*examinees);
    rooms->set_name(sheets::kRoomSheet);
    Worksheet& mark = book->add_sheet_after(*rooms);
    mark.set_name(sheets::kDutySlipMarkSheet);
    mark.set_value(Rect::cell(1, 1), Variant("kelv 监考安排写的工作簿：每次安排监考时重写"));
    mark.set_visible(host::SheetVisibility::VeryHidden);
  }

  std::vector<std::vector<std::pair<int32_t, int32_t>>> duties(
      m.teacher_count());  // (sitting, room)
  for (int32_t k = 0; k < m.room_count(); ++k)
    for (size_t role = 0; role < rota.roles[k].size(); ++role)
      if (rota.roles[k][role] >= 0) duties[rota.roles[k][role]].emplace_back(m.rooms[k].sitting, k);
  std::vector<std::vector<Variant>> rows;
  for (int32_t t : teacher_order(m)) {
    const Teacher& teacher = m.teachers[t];
    std::sort(duties[t].begin(), duties[t].end());
    const std::vector<Variant> who = {Variant(teacher.name), Variant(teacher.subject),
                                      Variant(rota.duties[t]), Variant(rota.half_days[t])};
    if (duties[t].empty()) {
      std::vector<Variant> row = who;
      row.emplace_back();
      row.emplace_back("（本次没有监考）");
      row.resize(std::size(sheets::kDutySlipHeadings));
      rows.push_back(std::move(row));
    }
    for (const auto& [s, k] : duties[t]) {
      const SittingTimes& times = in.times[s];
      int32_t role = 0;
      while (rota.roles[k][role] != t) ++role;
      std::vector<Variant> row = who;
      for (const Variant& v :
           {sitting_value(m.sittings[s].key), Variant(m.rooms[k].subject), times.date, times.start,
            times.end, Variant(m.rooms[k].name), Variant(m.rooms[k].location),
            Variant(std::string(sheets::kInvigilatorRoles[role]))})
        row.push_back(v);
      rows.push_back(std::move(row));
    }
  }
  text_columns(*examinees, static_cast<int32_t>(rows.size()), {1, 10, 11, 12});
  // Date and time formats, from the first sitting that has them.
  for (const SittingTimes& times : in.times)
    if (!times.date_format.empty() || !times.start_format.empty()) {
      time_formats(*examinees, 2, static_cast<int32_t>(rows.size()) + 1, 7, times);
      break;
    }
  write_table(*examinees,
              {std::begin(sheets::kDutySlipHeadings), std::end(sheets::kDutySlipHeadings)}, rows);

  std::vector<std::vector<Variant>> room_rows;
  std::map<std::string, bool> listed;
  for (const SittingRoom& room : m.rooms)
    if (listed.emplace(room.name, true).second)
      room_rows.push_back({Variant(room.name), Variant(), Variant(room.location)});
  text_columns(*rooms, static_cast<int32_t>(room_rows.size()), {1});
  write_table(*rooms, {std::begin(sheets::kRoomHeadings), std::begin(sheets::kRoomHeadings) + 3},
              room_rows);
  out.places.push_back(host::native_path("数据\\" + name) + "（监考通知，" +
                       std::to_string(rows.size()) + " 行）");
  data_book.activate();
}

}  // namespace kelv::invigilation
