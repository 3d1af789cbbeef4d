#include "arrange/examinee_rows.h"

#include <cmath>
#include <string>
#include <vector>

#include "host/variant.h"
#include "sheets/room_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::arrange {

using sheets::FindHeaderColumn;

void ShuffleRows(component::Component& self, host::Worksheet& sheet) {
  const host::Range table = sheet.cells(1, 1).current_region();
  const int32_t n = table.rows_count();
  const int32_t c = table.columns_count() + 1;
  sheet.cells(1, c).set_value(sheets::kShuffleKeyHeading);
  self.env.randomize();
  if (n >= 2) {
    std::vector<host::Variant> keys;
    keys.reserve(static_cast<size_t>(n) - 1);
    for (int32_t r = 2; r <= n; ++r) {
      const double u = self.env.next_random();
      keys.emplace_back(std::floor(u * n + 1));
    }
    sheet.range(sheet.cells(2, c), sheet.cells(n, c)).set_values(keys);
  }
  sheet.cells(1, c).current_region().sort(sheet.cells(1, c), host::SortOrder::Ascending,
                                          host::SortHeader::Yes);
  sheet.columns(c).clear();
}

void ClearLeftoverRows(host::Worksheet& sheet) {
  const host::Range table = sheet.cells(1, 1).current_region();
  const int32_t n = table.rows_count();
  const int32_t m = table.columns_count();
  std::vector<bool> written(static_cast<size_t>(m) + 1, false);
  bool any_written = false;
  for (int32_t c = 1; c <= m; ++c) {
    const std::string heading = sheet.cell_value(1, c).to_text();
    for (const char* h : sheets::kAssignmentHeadings) written[c] = written[c] || heading == h;
    for (const sheets::GroupCount& g :
         {sheets::kSchoolCount, sheets::kGradeCount, sheets::kClassCount})
      written[c] = written[c] || heading == g.count;
    any_written = any_written || written[c];
  }
  if (!any_written) return;
  int32_t last = n;
  for (; last >= 2; --last) {
    bool examinee = false;
    for (int32_t c = 1; c <= m && !examinee; ++c) {
      if (written[c]) continue;
      const host::Variant v = sheet.cell_value(last, c);
      examinee = !v.is_empty() && !(v.is_text() && v.as_text().empty());
    }
    if (examinee) break;
  }
  if (last < n) sheet.range(sheet.cells(last + 1, 1), sheet.cells(n, m)).clear_contents();
}

bool AddGroupCounts(host::Worksheet& sheet, int32_t rows, std::string_view group,
                    std::string_view count) {
  const int32_t g = FindHeaderColumn(sheet, 1, group);
  if (g < 1) return false;
  sheet.cells(1, g).current_region().sort(sheet.cells(1, g), host::SortOrder::Ascending,
                                          host::SortHeader::Yes);
  int32_t c = FindHeaderColumn(sheet, 1, count);
  if (c == 0) c = sheet.cells(1, 1).current_region().columns_count() + 1;
  sheet.columns(c).set_number_format_local("G/通用格式");
  sheet.cells(1, c).set_value(count);
  sheet.columns(c).font().set_color_index(sheets::kWrittenColorIndex);

  const int32_t d = g - c;
  const std::string formula =
      "=COUNTIF(C[" + std::to_string(d) + "],RC[" + std::to_string(d) + "])";
  int32_t r = 2;
  while (r <= rows) {
    sheet.cells(r, c).set_formula_r1c1(formula);
    const int32_t n = sheet.cells(r, c).value().to_int32();
    if (n == 0) {
      sheet.cells(r, c).set_value("");
      break;
    }
    sheet.range(sheet.cells(r, c), sheet.cells(r + n - 1, c)).set_value(n);
    r = r + n;
  }
  return true;
}

}  // namespace kelv::arrange
