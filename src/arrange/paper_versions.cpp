#include "arrange/paper_versions.h"

#include <set>
#include <vector>

#include "component/component.h"
#include "host/range.h"
#include "host/variant.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "sheets/seat_map_settings.h"
#include "sheets/sheet_lookup.h"

namespace kelv::arrange {

bool PaperVersionsWanted(host::Form& UF) {
  host::Control* box = component::OptionalControl(UF, sheets::kPaperVersionControl);
  if (box == nullptr) return false;
  const host::Variant v = box->value();
  return v.is_bool() && v.as_bool();
}

const char* PaperVersion(int32_t seat) {
  return seat % 2 == 0 ? "A" : "B";
}

std::string TwoGradesColumn(host::Worksheet& examinees) {
  const std::string_view grade = sheets::kGradeCount.group;
  const int32_t c = sheets::FindHeaderColumn(examinees, 1, grade);
  if (c == 0) return {};
  const int32_t n = examinees.cells(1, 1).current_region().rows_count();
  std::set<std::string> grades;
  for (int32_t r = 2; r <= n; ++r) {
    std::string g = examinees.cells(r, c).text();
    if (g.empty()) continue;
    grades.insert(std::move(g));
    if (grades.size() > 2) return {};
  }
  return grades.size() == 2 ? std::string(grade) : std::string();
}

PaperVersionColumn::PaperVersionColumn(host::Worksheet& examinees) : sheet_(examinees) {
  column_ = sheets::FindHeaderColumn(examinees, 1, sheets::kPaperVersionHeading);
  if (column_ != 0) {
    examinees.columns(column_).clear();
  } else {
    column_ = examinees.cells(1, 1).current_region().columns_count() + 1;
  }
  examinees.cells(1, column_).set_value(sheets::kPaperVersionHeading);
  examinees.columns(column_).font().set_color_index(sheets::kWrittenColorIndex);
  examinees.columns(column_).set_number_format_local("@");
}

void PaperVersionColumn::WriteRoom(int32_t first_row, int32_t last_row) const {
  if (last_row < first_row) return;
  std::vector<host::Variant> versions;
  versions.reserve(static_cast<size_t>(last_row - first_row) + 1);
  for (int32_t i = first_row; i <= last_row; ++i)
    versions.emplace_back(PaperVersion(i - first_row));
  sheet_.range(sheet_.cells(first_row, column_), sheet_.cells(last_row, column_))
      .set_values(versions);
}

std::string PaperVersionNote() {
  return std::string("AB 卷：考生表“") + sheets::kPaperVersionHeading +
         "”列已写入 A、B，每个考场里前后左右相邻的座位试卷都不同。";
}

}  // namespace kelv::arrange
