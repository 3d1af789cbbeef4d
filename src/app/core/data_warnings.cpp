#include "app/core/data_warnings.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>

#include "host/variant.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "sheets/settings_sheet.h"

namespace kelv::app {
namespace {

using host::Variant;
using host::Worksheet;

std::string text_at(Worksheet& sheet, int32_t r, int32_t c) {
  return sheet.cell_value(r, c).to_text();
}

std::string quoted(const std::string& s) {
  return "“" + s + "”";
}

// "第 2 至 5、9 行": the rows as runs, the first few of them.
std::string rows_list(const std::vector<int32_t>& rows) {
  std::string out;
  size_t runs = 0;
  for (size_t i = 0; i < rows.size();) {
    size_t j = i;
    while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
    if (++runs > 5) {
      out += " 等";
      break;
    }
    if (!out.empty()) out += "、";
    out += std::to_string(rows[i]);
    if (j > i) out += " 至 " + std::to_string(rows[j]);
    i = j + 1;
  }
  return "第 " + out + " 行";
}

Worksheet* sheet_named(host::Workbook& book, const std::string& name) {
  for (int32_t i = 0; i < book.sheet_count(); ++i)
    if (book.sheet_at(i).name() == name) return &book.sheet_at(i);
  return nullptr;
}

int32_t table_rows(Worksheet& sheet) {
  return sheet.cells(1, 1).current_region().rows_count();
}
int32_t table_columns(Worksheet& sheet) {
  return sheet.cells(1, 1).current_region().columns_count();
}

int32_t heading_column(Worksheet& sheet, const std::string& heading) {
  const int32_t n = table_columns(sheet);
  for (int32_t c = 1; c <= n; ++c)
    if (text_at(sheet, 1, c) == heading) return c;
  return 0;
}

// The characters of a UTF-8 text.
std::vector<std::string> characters(const std::string& s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size();) {
    size_t n = 1;
    const auto b = static_cast<unsigned char>(s[i]);
    if (b >= 0xF0)
      n = 4;
    else if (b >= 0xE0)
      n = 3;
    else if (b >= 0xC0)
      n = 2;
    out.push_back(s.substr(i, n));
    i += n;
  }
  return out;
}

// --- Exam numbers ---------------------------------------------------------------

void add_wrap_warning(host::Workbook& host_book, host::Workbook& data_book,
                      const CheckSettings& settings, std::vector<Finding>& out) {
  Worksheet* rooms = sheet_named(data_book, sheets::kRoomSheet);
  if (rooms == nullptr) return;
  const int32_t last_room = table_rows(*rooms);
  std::vector<std::pair<std::string, int64_t>> places;
  int64_t total = 0;
  for (int32_t r = sheets::kRoomFirstRow; r <= last_room; ++r) {
    double p = 0;
    const Variant v = rooms->cell_value(r, sheets::kRoomPlacesColumn);
    if (v.is_number()) {
      p = v.as_number();
    } else if (!host::parse_decimal(v.to_text(), &p, true)) {
      continue;  // reported by the check of the places
    }
    const auto n = std::max<int64_t>(0, std::llround(p));
    places.emplace_back(text_at(*rooms, r, sheets::kRoomNameColumn), n);
    total += n;
  }
  const std::optional<ExamNumberWrap> wrap = exam_number_wrap(settings.start_number, total);
  if (!wrap) return;
  std::string room;
  int64_t before = 0;
  for (const auto& [name, n] : places) {
    if (wrap->first_wrapped < before + n) {
      room = name;
      break;
    }
    before += n;
  }
  Finding f;
  f.severity = Severity::Notice;
  f.book = host_book.name();
  f.heading = "起始考号";
  f.value = settings.start_number;
  f.message = "起始考号" + quoted(settings.start_number) + "按 " + std::to_string(wrap->width) +
              " 位数字编号，第 " + std::to_string(wrap->first_wrapped + 1) + " 个考号" +
              (room.empty() ? "" : "（考场" + quoted(room) + "）") + "在 " + wrap->last_before +
              " 之后从 " + wrap->wrapped_number +
              " 重新开始，考号不再连续，按考号排序时排在最前。" + "要连续编号，请改小起始考号" +
              (wrap->width < 8 ? "，或在它前面加一个 0" : "") + "。数据工作簿“" + data_book.name() +
              "”";
  out.push_back(std::move(f));
}

// --- Template field cells --------------------------------------------------------

struct FieldCell {
  int32_t row, column;
  std::string name;
};

// The [field] cells of a template's "@" and "#" areas: the marker row among
// rows 2..100 of column A, its end marker among columns 3..100 of that row,
// the area's last row the next marked row.
std::vector<FieldCell> text_field_cells(Worksheet& tpl) {
  std::vector<FieldCell> cells;
  for (const char* marker : {"@", "#"}) {
    int32_t r1 = 0, r2 = 0, e = 0;
    for (int32_t r = 2; r <= 100 && r2 == 0; ++r) {
      if (text_at(tpl, r, 1) != marker) continue;
      (r1 == 0 ? r1 : r2) = r;
    }
    if (r1 == 0) continue;
    if (r2 == 0) r2 = r1;
    for (int32_t c = 3; c <= 100 && e == 0; ++c)
      if (text_at(tpl, r1, c) == marker) e = c;
    for (int32_t c = 2; c < e; ++c) {
      for (int32_t r = r1; r <= r2; ++r) {
        const std::string t = text_at(tpl, r, c);
        if (t.size() < 3 || t.front() != '[' || t.back() != ']') continue;
        cells.push_back({r, c, t.substr(1, t.size() - 2)});
      }
    }
  }
  return cells;
}

// Whether a text written into a General cell would be kept as a number that
// shows differently: "01" becomes 1, a 16-digit number loses its last digits.
bool changes_in_general(const std::string& text) {
  double d = 0;
  if (!host::parse_decimal(text, &d, false)) return false;
  return Variant(d).to_text() != text;
}

// A value of the field that would change, or "".
std::string changed_value(host::Workbook& data_book, const CheckSettings& settings,
                          bool examinee_source, bool before_assignment, const std::string& field) {
  Worksheet* source =
      sheet_named(data_book, examinee_source ? sheets::kExamineeSheet : sheets::kRoomSheet);
  if (source == nullptr) return "";
  const int32_t c = heading_column(*source, field);
  if (c != 0) {
    const int32_t n = table_rows(*source);
    for (int32_t r = 2; r <= n; ++r) {
      const Variant v = source->cell_value(r, c);
      if (v.is_text() && changes_in_general(v.as_text())) return v.as_text();
    }
    return "";
  }
  // Columns the arrangement has not written yet, as it will write them;
  // when generating without them, the check reports the missing column.
  if (!examinee_source || !before_assignment) return "";
  if (field == sheets::kExamNumberHeading)
    return changes_in_general(settings.start_number) ? settings.start_number : "";
  if (field == sheets::kAssignmentHeadings[sheets::kAssignedSeatNumber]) return "01";
  if (field == sheets::kAssignmentHeadings[sheets::kAssignedRoom]) {
    Worksheet* rooms = sheet_named(data_book, sheets::kRoomSheet);
    if (rooms == nullptr) return "";
    const int32_t n = table_rows(*rooms);
    for (int32_t r = 2; r <= n; ++r) {
      std::string name = text_at(*rooms, r, sheets::kRoomNameColumn);
      if (changes_in_general(name)) return name;
    }
  }
  return "";
}

void add_general_field_warnings(host::Workbook& host_book, host::Workbook& data_book,
                                const CheckSettings& settings, CheckPurpose purpose,
                                std::vector<Finding>& out) {
  std::vector<std::pair<std::string, bool>> templates;
  if (purpose == CheckPurpose::Assign) return;
  if (purpose == CheckPurpose::Generate) {
    if (settings.template_name)
      templates.emplace_back(*settings.template_name, settings.examinee_source);
  } else if (Worksheet* dtb = sheet_named(host_book, sheets::kSettingsSheet)) {
    for (int32_t r = 2; r <= 10000; ++r) {
      const std::string name = text_at(*dtb, r, 5);
      if (name.empty()) break;
      const Variant source = dtb->cell_value(r, 13);
      templates.emplace_back(name, source.is_bool() && source.as_bool());
    }
  }
  for (const auto& [name, examinee_source] : templates) {
    Worksheet* tpl = sheet_named(host_book, name);
    if (tpl == nullptr) continue;
    std::set<std::string> seen;
    for (const FieldCell& f : text_field_cells(*tpl)) {
      const std::string code = tpl->number_format(f.row, f.column);
      if (code != "General" && !code.empty()) continue;
      if (!seen.insert(f.name).second) continue;
      const std::string value = changed_value(data_book, settings, examinee_source,
                                              purpose == CheckPurpose::Both, f.name);
      double number = 0;
      if (value.empty() || !host::parse_decimal(value, &number, false)) continue;
      Finding w;
      w.severity = Severity::Notice;
      w.book = host_book.name();
      w.sheet = name;
      w.row = f.row;
      w.column = f.column;
      w.value = "[" + f.name + "]";
      w.message = "模板" + quoted(name) + "的字段单元格" + quoted("[" + f.name + "]") +
                  "是“常规”格式：生成时“" + value + "”这样的值会变成数字，显示为“" +
                  Variant(number).to_text() + "”。请把模板里这个单元格的数字格式设为“文本”";
      out.push_back(std::move(w));
    }
  }
}

}  // namespace

std::optional<ExamNumberWrap> exam_number_wrap(const std::string& start_number, int64_t places) {
  std::string start = start_number;
  while (!start.empty() && start.back() == ' ') start.pop_back();
  while (!start.empty() && start.front() == ' ') start.erase(0, 1);
  const std::vector<std::string> chars = characters(start);
  const size_t width = std::min<size_t>(8, chars.size());
  if (width == 0 || places <= 0) return std::nullopt;
  std::string digits;
  for (size_t i = chars.size() - width; i < chars.size(); ++i) {
    if (chars[i].size() != 1 || chars[i][0] < '0' || chars[i][0] > '9') return std::nullopt;
    digits += chars[i];
  }
  std::string prefix;
  for (size_t i = 0; i + width < chars.size(); ++i) prefix += chars[i];
  int64_t limit = 1;
  for (size_t i = 0; i < width; ++i) limit *= 10;
  const int64_t value = std::stoll(digits);
  if (value + places <= limit) return std::nullopt;
  ExamNumberWrap w;
  w.width = static_cast<int32_t>(width);
  w.first_wrapped = limit - value;
  w.wrapped_number = prefix + std::string(width, '0');
  w.last_before = prefix + std::string(width, '9');
  return w;
}

std::vector<LostDigits> lost_digit_columns(int32_t rows, int32_t columns,
                                           const std::function<Variant(int32_t, int32_t)>& value) {
  std::vector<LostDigits> out;
  for (int32_t c = 1; c <= columns; ++c) {
    LostDigits l;
    l.column = c;
    for (int32_t r = 2; r <= rows; ++r) {
      const Variant v = value(r, c);
      if (!v.is_number()) continue;
      const double d = std::fabs(v.as_number());
      // 16 digits and more: past the 15 significant digits a number keeps.
      if (d < 1e15 || d >= 1e30) continue;
      if (l.example.empty()) l.example = v.to_text();
      l.rows.push_back(r);
    }
    if (l.rows.empty()) continue;
    l.heading = value(1, c).to_text();
    out.push_back(std::move(l));
  }
  return out;
}

std::string lost_digits_message(const LostDigits& l) {
  return "“" + l.heading + "”列" + rows_list(l.rows) + "有 " + std::to_string(l.rows.size()) +
         " 个 16 位以上的数字（如 " + l.example +
         "）：数字只保留 15 位有效数字，后面的位已经丢了，表里、桌贴上都会是错的号码。" +
         "请在原来的程序里把这一列设为“文本”后重新导出，或改正后在号码前加 ' 输入";
}

void add_lost_digit_findings(Worksheet& sheet, const std::string& book, std::vector<Finding>& out) {
  const std::vector<LostDigits> lost =
      lost_digit_columns(table_rows(sheet), table_columns(sheet),
                         [&](int32_t r, int32_t c) { return sheet.cell_value(r, c); });
  for (const LostDigits& l : lost) {
    Finding f;
    f.severity = Severity::Notice;
    f.book = book;
    f.sheet = sheet.name();
    f.row = l.rows.front();
    f.column = l.column;
    f.heading = l.heading;
    f.value = l.example;
    f.message = lost_digits_message(l);
    out.push_back(std::move(f));
  }
}

void note_photo_found_as(PhotoNames& names, const std::string& sheet, const std::string& wanted,
                         const std::string& found) {
  if (found.empty()) return;
  const size_t cut = found.find_last_of("\\/");
  const std::string found_name = cut == std::string::npos ? found : found.substr(cut + 1);
  const size_t wcut = wanted.find_last_of("\\/");
  const std::string wanted_name = wcut == std::string::npos ? wanted : wanted.substr(wcut + 1);
  if (found_name == wanted_name) return;
  if (names.sheet.empty()) names.sheet = sheet;
  names.found_as.emplace_back(wanted, found_name);
}

void report_photos_found_as(const PhotoNames& names, const std::string& book,
                            std::vector<Finding>& out) {
  if (names.found_as.empty()) return;
  std::string some;
  for (size_t i = 0; i < names.found_as.size() && i < 3; ++i)
    some += (some.empty() ? "" : "、") + names.found_as[i].first + " 用的是 " +
            names.found_as[i].second;
  if (names.found_as.size() > 3) some += " 等";
  Finding f;
  f.severity = Severity::Notice;
  f.book = book;
  f.sheet = names.sheet;
  f.message = "有 " + std::to_string(names.found_as.size()) +
              " 张照片的文件名和表里只差大小写或扩展名（" + some +
              "）：生成时照这样找到并使用它们。若不是这几张照片，请把文件改名为“表里的名字.jpg”";
  out.push_back(std::move(f));
}

void add_data_warnings(host::Workbook& host_book, host::Workbook& data_book,
                       const CheckSettings& settings, CheckPurpose purpose,
                       std::vector<Finding>& out) {
  const bool assign = purpose != CheckPurpose::Generate;
  if (assign) add_wrap_warning(host_book, data_book, settings, out);
  for (const char* name : {sheets::kExamineeSheet, sheets::kRoomSheet})
    if (Worksheet* sheet = sheet_named(data_book, name))
      add_lost_digit_findings(*sheet, data_book.name(), out);
  add_general_field_warnings(host_book, data_book, settings, purpose, out);
}

}  // namespace kelv::app
