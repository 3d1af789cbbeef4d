#include "arrange/assign_exam_numbers.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "arrange/exam_numbers.h"
#include "arrange/examinee_rows.h"
#include "arrange/fair_seating.h"
#include "arrange/paper_versions.h"
#include "host/constants.h"
#include "host/progress.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::arrange {

using namespace sheets;

namespace {

constexpr const char* kProgressText = "编排考号";

// Writes a room's rows into the assignment columns, `block` holding each
// row's values in the order of the columns. Columns side by side, as they
// stand once added, take one write for the whole block; otherwise each
// column is written on its own.
void WriteRoomRows(host::Worksheet& examinees, int32_t first_row, int32_t last_row,
                   const int32_t (&col)[kAssignmentColumnCount],
                   const std::vector<host::Variant>& block) {
  bool side_by_side = true;
  for (int32_t k = 1; k < kAssignmentColumnCount; ++k)
    side_by_side = side_by_side && col[k] == col[0] + k;
  if (side_by_side) {
    examinees
        .range(examinees.cells(first_row, col[0]),
               examinees.cells(last_row, col[0] + kAssignmentColumnCount - 1))
        .set_values(block);
    return;
  }
  for (int32_t k = 0; k < kAssignmentColumnCount; ++k) {
    std::vector<host::Variant> column;
    column.reserve(block.size() / kAssignmentColumnCount);
    for (size_t i = static_cast<size_t>(k); i < block.size(); i += kAssignmentColumnCount)
      column.push_back(block[i]);
    examinees.range(examinees.cells(first_row, col[k]), examinees.cells(last_row, col[k]))
        .set_values(column);
  }
}

}  // namespace

void AssignExamNumbers(component::Component& self, host::Application& EA, host::Form& UF) {
  const bool per_room_seats = UF["OptACZuoHao"].value().to_bool();
  const std::string start_text = UF["TxtSKHao"].value().to_text();
  const std::string cycle_text = UF["TxtXHShu"].value().to_text();
  const ExamNumbers exam_number(start_text);
  const int32_t cycle = host::Variant(cycle_text).to_int32();
  const int32_t cyclic_seat_width = CharCount(cycle_text);

  host::Workbook& book = EA.workbooks().item(self.DataBookName);
  host::Worksheet& rooms = book.worksheets().item(kRoomSheet);
  host::Worksheet& examinees = book.worksheets().item(kExamineeSheet);
  ClearLeftoverRows(examinees);
  const SeatingPlan seating = SeatingPlan::Prepare(self, EA, UF, rooms, examinees);
  if (seating.refused()) return;

  int32_t col[kAssignmentColumnCount];
  for (int32_t k = 0; k < kAssignmentColumnCount; ++k) {
    col[k] = FindHeaderColumn(examinees, 1, kAssignmentHeadings[k]);
    if (col[k] != 0) {
      examinees.columns(col[k]).clear();
    } else {
      col[k] = examinees.cells(1, 1).current_region().columns_count() + 1;
    }
    examinees.cells(1, col[k]).set_value(kAssignmentHeadings[k]);
  }
  for (int32_t k = 0; k < kAssignmentColumnCount; ++k)
    examinees.columns(col[k]).font().set_color_index(kWrittenColorIndex);
  examinees.columns(col[kAssignedExamNumber]).set_number_format_local("@");
  examinees.columns(col[kAssignedSeatNumber]).set_number_format_local("@");
  examinees.columns(col[kAssignedRoom]).set_number_format_local("@");
  std::optional<PaperVersionColumn> versions;
  if (PaperVersionsWanted(UF)) versions.emplace(examinees);

  if (seating.active()) {
    seating.Reorder(examinees);
  } else if (UF["OptSJKaoHao"].value().to_bool()) {
    ShuffleRows(self, examinees);
  }
  examinees.activate();

  const int32_t E = examinees.cells(1, 1).current_region().rows_count();
  const int32_t R = rooms.cells(1, 1).current_region().rows_count();

  rooms.columns(kRoomFirstNumberColumn).clear_contents();
  rooms.cells(kRoomHeadingRow, kRoomFirstNumberColumn).set_value("首考号");
  rooms.columns(kRoomLastNumberColumn).clear_contents();
  rooms.cells(kRoomHeadingRow, kRoomLastNumberColumn).set_value("尾考号");

  int32_t j = 0;
  int32_t room_start = 0;
  int32_t next_row = 2;
  int32_t cyclic_counter = 1;
  host::Progress& progress = EA.progress();
  for (int32_t r = kRoomFirstRow; r <= R; ++r) {
    progress.report(kProgressText, std::min(next_row - 2, E - 1), E - 1);
    const std::string name = rooms.cells(r, kRoomNameColumn).text();
    const int32_t places = rooms.cells(r, kRoomPlacesColumn).value().to_int32();
    const std::string location = rooms.cells(r, kRoomLocationColumn).text();
    const std::string invigilator_a = rooms.cells(r, kRoomInvigilatorAColumn).text();
    const std::string invigilator_b = rooms.cells(r, kRoomInvigilatorBColumn).text();
    const int32_t room_seat_width = static_cast<int32_t>(std::to_string(places).size());

    // A negative place count seats nobody; moving the next row back would
    // write this room's successors over examinees already placed.
    const int32_t seated = std::max(places, 0);
    const int32_t end_row = CheckedAdd(next_row, seated);
    // The room's rows are filled in one write; rows past the sheet's last
    // are left to the single-cell write below, which refuses them.
    const int32_t last_row = std::min(end_row - 1, host::kMaxRows);
    int32_t room_counter = 1;
    if (last_row >= next_row) {
      // The room's rows, row by row, in the order of the assignment columns.
      const size_t n = static_cast<size_t>(last_row) - static_cast<size_t>(next_row) + 1;
      std::vector<host::Variant> block;
      block.reserve(n * kAssignmentColumnCount);
      for (int32_t i = next_row; i <= last_row; ++i) {
        host::Variant row[kAssignmentColumnCount];
        row[kAssignedExamNumber] = exam_number(j);
        j = j + 1;
        if (per_room_seats) {
          row[kAssignedSeatNumber] = SeatNumber(room_counter, room_seat_width);
          room_counter = room_counter + 1;
        } else {
          row[kAssignedSeatNumber] = SeatNumber(cyclic_counter, cyclic_seat_width);
          cyclic_counter = cyclic_counter + 1;
          if (cyclic_counter > cycle) cyclic_counter = 1;
        }
        row[kAssignedRoom] = name;
        row[kAssignedPlaces] = places;
        row[kAssignedLocation] = location;
        row[kAssignedInvigilatorA] = invigilator_a;
        row[kAssignedInvigilatorB] = invigilator_b;
        block.insert(block.end(), std::make_move_iterator(std::begin(row)),
                     std::make_move_iterator(std::end(row)));
      }
      WriteRoomRows(examinees, next_row, last_row, col, block);
      if (versions) versions->WriteRoom(next_row, last_row);
    }
    if (last_row + 1 < end_row)
      examinees.cells(last_row + 1, col[kAssignedExamNumber]).set_value(exam_number(j));
    next_row = end_row;

    if (j > room_start) {
      rooms.cells(r, kRoomFirstNumberColumn).set_value(exam_number(room_start));
      rooms.cells(r, kRoomLastNumberColumn).set_value(exam_number(j - 1));
      room_start = j;
    }
  }

  EA.set_calculation(host::xlCalculationAutomatic);

  // The counts and the last sort take a while for a large table; the line
  // stays until they are done.
  progress.report(kProgressText, E - 1, 0);
  AddGroupCounts(examinees, E, kSchoolCount);
  AddGroupCounts(examinees, E, kGradeCount);
  if (!AddGroupCounts(examinees, E, kClassCount))
    AddGroupCounts(examinees, E, kClassCountAlternative);

  const int32_t c = FindHeaderColumn(examinees, 1, kExamNumberHeading);
  examinees.cells(1, c).current_region().sort(examinees.cells(1, c), host::SortOrder::Ascending,
                                              host::SortHeader::Yes);
  if (seating.active()) {
    seating.Report(self, book, examinees, versions.has_value());
  } else if (versions) {
    component::ShowNotice(self, PaperVersionNote());
  }
  progress.report(kProgressText, E - 1, E - 1);

  host::Worksheet& room_sheet =
      EA.workbooks().item(self.DataBookName).worksheets().item(kRoomSheet);
  int32_t T = 0;
  for (int32_t r = kRoomFirstRow; r <= R; ++r)
    T = CheckedAdd(T, room_sheet.cells(r, kRoomPlacesColumn).value().to_int32());
  const int32_t X = E - 1;
  if (T > X) {
    component::ShowNotice(self, "“考场表”总人数比“考生表”总人数多 " +
                                    std::to_string(int64_t{T} - X) + " 人，请检查！");
  } else if (T < X) {
    component::ShowNotice(self, "“考场表”总人数比“考生表”总人数少 " +
                                    std::to_string(int64_t{X} - T) + " 人，请检查！");
  }
  component::SignalDone(self);
}

}  // namespace kelv::arrange
