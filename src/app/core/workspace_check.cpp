#include "app/core/workspace_check.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "app/core/data_warnings.h"
#include "app/core/invigilation_check.h"
#include "app/core/session_findings.h"
#include "generate/render_template.h"
#include "generate/seat_maps.h"
#include "generate/template_layout.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "host/system_environment.h"
#include "host/variant.h"
#include "host/worksheet.h"
#include "sheets/room_shape.h"
#include "spreadsheet/picture_file.h"

namespace kelv::app {
namespace {

using host::Rect;
using host::Variant;
using host::Worksheet;

constexpr const char* kExamineeSheet = "考生表";
constexpr const char* kRoomSheet = "考场表";
constexpr const char* kSettingsSheet = "DTB";
constexpr const char* kPhotoFolderHeading = "照片夹";

// The room sheet's first seven columns, by position.
const std::vector<std::string> kRoomHeadings = {"考场",   "场人",   "考室",  "监考甲",
                                                "监考乙", "首考号", "尾考号"};
// Other names people give those columns; one found away from its column
// means the columns stand in another order.
const std::map<std::string, int32_t> kRoomAliases = {
    {"考场号", 1}, {"考场名", 1}, {"考场编号", 1}, {"考场名称", 1}, {"人数", 2}, {"考场人数", 2},
    {"座位数", 2}, {"容量", 2},   {"考生人数", 2}, {"考室号", 3},   {"地点", 3}, {"考试地点", 3},
    {"监考1", 4},  {"监考一", 4}, {"监考2", 5},    {"监考二", 5}};
// What an assignment run writes on the examinee sheet.
const std::vector<std::string> kAssignmentHeadings = {"考场",   "场人", "考室", "监考甲",
                                                      "监考乙", "考号", "座号"};
const std::vector<std::string> kCountHeadings = {"校人", "级人", "班人"};
const std::vector<std::string> kReadHeadings = {"学校", "年级", "班级", "班次", "照片夹", "姓名"};
// Columns that name one examinee each.
const std::vector<std::string> kIdentityHeadings = {"身份证号", "身份证号码", "身份证", "证件号",
                                                    "证件号码", "学号",       "学籍号", "学籍号码",
                                                    "考生号",   "准考证号",   "报名号", "考籍号"};
const std::vector<std::string> kTotalWords = {"合计", "总计", "小计", "共计", "总人数", "总数"};

// --- Text -------------------------------------------------------------------

std::u32string decode(std::string_view s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
    if (i + n > s.size()) n = 1;
    char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out.push_back(c);
    i += n;
  }
  return out;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool is_space(char32_t c) {
  return c == 0x20 || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

bool is_zero_width(char32_t c) {
  return (c >= 0x200B && c <= 0x200D) || c == 0x2060 || c == 0xFEFF || c == 0xAD;
}

bool is_full_width_ascii(char32_t c) {
  return c >= 0xFF01 && c <= 0xFF5E;
}

// The name of a character the eye does not see.
const char* unseen_name(char32_t c) {
  switch (c) {
    case 0x20:
      return "空格";
    case 0x09:
      return "制表符";
    case 0x0A:
      return "换行符";
    case 0x0D:
      return "回车符";
    case 0xA0:
      return "不换行空格";
    case 0x3000:
      return "全角空格";
    default:
      return is_zero_width(c) ? "零宽字符" : "特殊空格";
  }
}

// What opening a data workbook does to its heading rows: plain spaces,
// ideographic spaces and line feeds go.
std::string tidied(const std::string& s) {
  std::string out;
  for (char32_t c : decode(s))
    if (c != 0x20 && c != 0x3000 && c != 0x0A) append_utf8(out, c);
  return out;
}

// White space of every kind removed from both ends.
std::string trimmed(const std::string& s) {
  std::u32string t = decode(s);
  size_t b = 0, e = t.size();
  while (b < e && (is_space(t[b]) || is_zero_width(t[b]))) ++b;
  while (e > b && (is_space(t[e - 1]) || is_zero_width(t[e - 1]))) --e;
  std::string out;
  for (size_t i = b; i < e; ++i) append_utf8(out, t[i]);
  return out;
}

// Full-width digits as ASCII digits, everything else as it is.
std::string ascii_digits(const std::string& s) {
  std::string out;
  for (char32_t c : decode(s)) append_utf8(out, c >= 0xFF10 && c <= 0xFF19 ? c - 0xFEE0 : c);
  return out;
}

std::string half_width(const std::string& s) {
  std::string out;
  for (char32_t c : decode(s)) append_utf8(out, is_full_width_ascii(c) ? c - 0xFEE0 : c);
  return out;
}

// What makes `actual` differ from the name it folds to, in words:
// "末尾有空格、含不换行空格".
std::string near_miss_reason(const std::string& actual) {
  const std::u32string t = decode(actual);
  std::vector<std::string> reasons;
  auto note = [&](const std::string& r) {
    if (std::find(reasons.begin(), reasons.end(), r) == reasons.end()) reasons.push_back(r);
  };
  for (size_t i = 0; i < t.size(); ++i) {
    const char32_t c = t[i];
    if (c == 0x20 && i == 0) note("开头有空格");
    if (c == 0x20 && i + 1 == t.size()) note("末尾有空格");
    if (c == 0x20 && i != 0 && i + 1 != t.size()) note("中间有空格");
    if (c != 0x20 && (is_space(c) || is_zero_width(c))) note(std::string("含") + unseen_name(c));
    if (is_full_width_ascii(c))
      note(c >= 0xFF10 && c <= 0xFF19 ? "含全角数字" : "含全角字母或符号");
  }
  std::string out;
  for (const std::string& r : reasons) out += (out.empty() ? "" : "、") + r;
  return out;
}

// --- Cells ------------------------------------------------------------------

std::string text_of(const Variant& v) {
  if (v.is_error()) return std::string(host::cell_error_text(v.as_error()));
  if (v.is_null()) return "";
  return v.to_text();
}

std::string cell_text(Worksheet& sheet, int32_t r, int32_t c) {
  return text_of(sheet.cell_value(r, c));
}

bool filled(Worksheet& sheet, int32_t r, int32_t c) {
  const Variant v = sheet.cell_value(r, c);
  return !v.is_empty() && !(v.is_text() && v.as_text().empty());
}

int32_t filled_count(Worksheet& sheet, int32_t r, int32_t last_col) {
  int32_t n = 0;
  for (int32_t c = 1; c <= last_col; ++c) n += filled(sheet, r, c);
  return n;
}

bool contains(const std::vector<std::string>& list, const std::string& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

std::string in_quotes(const std::string& s) {
  return "“" + s + "”";
}

std::string rows_text(int32_t first, int32_t last) {
  return first == last ? "第 " + std::to_string(first) + " 行"
                       : "第 " + std::to_string(first) + " 至 " + std::to_string(last) + " 行";
}

bool is_total_text(const std::string& text) {
  const std::string f = folded_text(text);
  for (const std::string& w : kTotalWords)
    if (f.rfind(w, 0) == 0) return true;
  return false;
}

// A sheet's table: its heading row (1 unless a title stands above it), the
// last record row and the last column, with the headings as opening leaves
// them.
struct Table {
  Worksheet* sheet = nullptr;
  bool room = false;
  int32_t heading_row = 1;
  int32_t last_row = 1;
  int32_t last_col = 1;
  Rect used;
  std::vector<std::string> headings;  // [c - 1], tidied; room columns 1..7 fixed

  int32_t first_row() const { return heading_row + 1; }
  int32_t records() const { return last_row - heading_row; }
  int32_t column_of(const std::string& heading) const {
    for (size_t i = 0; i < headings.size(); ++i)
      if (headings[i] == heading) return static_cast<int32_t>(i) + 1;
    return 0;
  }
  std::string heading(int32_t c) const {
    return c >= 1 && c <= static_cast<int32_t>(headings.size()) ? headings[c - 1] : "";
  }
};

// --- Templates --------------------------------------------------------------

struct TemplateFields {
  std::vector<std::string> text, photo;
  // Photo fields that describe a bar code or QR code when no column bears
  // their name, each with the columns its code is made from.
  std::vector<generate::CodeField> codes;
};

// The field cells of a template's "@" and "#" areas, found as generation
// finds them.
TemplateFields template_fields(Worksheet& tpl) {
  TemplateFields fields;
  for (const char* marker : {generate::kHeaderMarker, generate::kBodyMarker}) {
    const generate::AreaBounds bounds = generate::FindAreaBounds(tpl, marker);
    if (bounds.firstRow == 0 || bounds.end_column == 0) continue;
    const generate::AreaLayout area = generate::ScanArea(tpl, bounds);
    for (const generate::FieldBinding& f : area.textFields)
      if (!contains(fields.text, f.name)) fields.text.push_back(f.name);
    for (const generate::FieldBinding& f : area.photoFields) {
      if (contains(fields.photo, f.name)) continue;
      fields.photo.push_back(f.name);
      if (std::optional<generate::CodeField> code = generate::ParseCodeField(f))
        fields.codes.push_back(std::move(*code));
    }
  }
  return fields;
}

const char* picture_problem(spreadsheet::PictureFileState s) {
  using S = spreadsheet::PictureFileState;
  switch (s) {
    case S::Empty:
      return "照片文件是空的（0 字节）";
    case S::Bmp:
      return "照片其实是 BMP 图片，只是名字叫 .jpg；请另存为 JPEG 或 PNG";
    case S::Gif:
      return "照片其实是 GIF 图片；请另存为 JPEG 或 PNG";
    case S::OtherFormat:
      return "照片不是 JPEG 或 PNG 图片";
    case S::TooLarge:
      return "照片文件太大（超过 20 MB）";
    case S::Damaged:
      return "照片文件已损坏，读不出图片大小";
    case S::Unopenable:
      return "照片文件打不开（没有读取权限）";
    default:
      return "";
  }
}

// --- The check --------------------------------------------------------------

struct TemplateUse {
  std::string name;
  bool examinee_source = true;
};

class Checker {
 public:
  Checker(host::Workbook& host_book, host::Workbook& data, const CheckSettings& settings,
          CheckPurpose purpose)
      : host_(host_book), data_(data), settings_(settings), purpose_(purpose) {}

  std::vector<Finding> run() {
    const bool assign = purpose_ != CheckPurpose::Generate;
    const bool generate = purpose_ != CheckPurpose::Assign;
    if (assign) check_exam_settings();
    std::vector<TemplateUse> templates;
    if (generate) templates = templates_to_check();

    bool room_source = false, examinee_source = false;
    for (const TemplateUse& t : templates) {
      room_source |= !t.examinee_source;
      examinee_source |= t.examinee_source;
    }
    Worksheet* examinees = required_sheet(kExamineeSheet);
    Worksheet* rooms = required_sheet(kRoomSheet);
    std::optional<Table> ex, rm;
    if (examinees != nullptr) ex = table_of(*examinees, false, assign || examinee_source);
    if (rooms != nullptr) rm = table_of(*rooms, true, assign || room_source);

    if (ex && (assign || examinee_source)) {
      check_rows_below(*ex);
      check_columns_right(*ex, templates);
      check_headings(*ex, templates);
      check_total_rows(*ex);
      if (assign) check_leftover_rows(*ex);
      if (assign) check_duplicate_examinees(*ex);
    }
    if (rm && (assign || room_source)) {
      check_rows_below(*rm);
      check_total_rows(*rm);
      check_room_columns(*rm, assign);
      if (room_source) check_headings(*rm, templates);
    }
    if (rooms != nullptr)  // the rooms' shapes: wrong values, more places than desks
      for (const sheets::RoomShapeProblem& p : sheets::RoomShapeProblems(*rooms))
        add(assign ? Severity::Error : Severity::Notice, kRoomSheet, p.row, p.column, p.heading,
            p.value, p.message);
    if (rm && assign) {
      const int64_t places = check_places(*rm);
      check_duplicate_rooms(*rm);
      if (ex) check_totals(*ex, *rm, places);
    }
    for (const TemplateUse& t : templates) {
      const std::optional<Table>& source = t.examinee_source ? ex : rm;
      if (source) check_template(t, *source);
    }
    report_missing_photos();
    add_data_warnings(host_, data_, settings_, purpose_, out_);
    std::stable_sort(out_.begin(), out_.end(), [](const Finding& a, const Finding& b) {
      return static_cast<int>(a.severity) < static_cast<int>(b.severity);
    });
    return std::move(out_);
  }

 private:
  Finding& add(Severity s, const std::string& sheet, int32_t row, int32_t col,
               const std::string& heading, const std::string& value, std::string message) {
    Finding f;
    f.severity = s;
    f.book = data_.name();
    f.sheet = sheet;
    f.row = row;
    f.column = col;
    f.heading = heading;
    f.value = value;
    f.message = std::move(message);
    out_.push_back(std::move(f));
    return out_.back();
  }

  // --- Settings ---

  void check_exam_settings() {
    const std::string& typed = settings_.start_number;
    const std::string start = ascii_digits(trimmed(typed));
    Finding* f = nullptr;
    auto setting = [&](Severity s, std::string message) {
      f = &add(s, "", 0, 0, "起始考号", visible_text(typed), std::move(message));
      f->book = host_.name();
    };
    if (start.empty()) {
      setting(Severity::Error,
              "起始考号是空的：编排不会开始。请填写第一名考生的考号，如 2024010001");
    } else {
      const std::u32string chars = decode(start);
      const size_t width = std::min<size_t>(8, chars.size());
      bool digits = true;
      for (size_t i = chars.size() - width; i < chars.size(); ++i)
        digits = digits && chars[i] >= U'0' && chars[i] <= U'9';
      if (!digits) {
        setting(Severity::Error, "起始考号的后 " + std::to_string(width) +
                                     " 位不全是数字：编排不会开始。考号从这几位数字起逐个加一");
      } else if (trimmed(typed) != typed) {
        setting(Severity::Notice, "起始考号前后有看不见的空白（" + near_miss_reason(typed) +
                                      "），编排时会去掉，按“" + start + "”编号");
      } else if (start != typed) {
        setting(Severity::Notice, "起始考号里有全角数字，编排时按半角数字“" + start + "”编号");
      }
    }
    double cycle = 0;
    if (!host::parse_decimal(settings_.cycle, &cycle, true)) {
      f = &add(Severity::Error, "", 0, 0, "循环座号数", visible_text(settings_.cycle),
               "循环座号数不是数字：编排不会开始（两种座号方式都要读它）。请填写如 30");
      f->book = host_.name();
    }
  }

  std::vector<TemplateUse> templates_to_check() {
    std::vector<TemplateUse> list;
    if (purpose_ == CheckPurpose::Generate) {
      if (!settings_.template_name) {
        Finding& f = add(Severity::Error, "", 0, 0, "", "",
                         "没有选中模板：请先在“制表”页的模板列表里选一个模板，再生成");
        f.book = host_.name();
      } else {
        list.push_back({*settings_.template_name, settings_.examinee_source});
      }
      return list;
    }
    // Every template of the catalogue, with its own data source.
    Worksheet* dtb = sheet_of(host_, kSettingsSheet);
    if (dtb == nullptr) return list;
    for (int32_t r = 2; r <= host::kMaxRows; ++r) {
      const std::string name = cell_text(*dtb, r, 5);
      if (name.empty()) break;
      const Variant source = dtb->cell_value(r, 13);
      list.push_back({name, source.is_bool() && source.as_bool()});
    }
    return list;
  }

  static Worksheet* sheet_of(host::Workbook& book, const std::string& name) {
    for (int32_t i = 0; i < book.sheet_count(); ++i)
      if (book.sheet_at(i).name() == name) return &book.sheet_at(i);
    return nullptr;
  }

  // --- Sheets ---

  // The sheet of that name, or one whose name differs only by unseen or
  // full-width characters (reported with a rename); hidden ones reported.
  Worksheet* required_sheet(const std::string& name) {
    Worksheet* sheet = sheet_of(data_, name);
    if (sheet == nullptr) {
      for (int32_t i = 0; i < data_.sheet_count() && sheet == nullptr; ++i) {
        Worksheet& s = data_.sheet_at(i);
        if (folded_text(s.name()) != name) continue;
        sheet = &s;
        Finding& f = add(Severity::Error, s.name(), 0, 0, "", visible_text(s.name()),
                         "工作表名" + in_quotes(visible_text(s.name())) +
                             near_miss_reason(s.name()) + "，不是" + in_quotes(name) +
                             "：打开时会提示“缺少 " + name + "，请检查标签名。”");
        f.mend = Mend::RenameSheet;
        f.original = s.name();
        f.mended = name;
      }
    }
    if (sheet == nullptr) {
      add(Severity::Error, "", 0, 0, "", "",
          "缺少工作表" + in_quotes(name) + "：数据工作簿须有“考生表”和“考场表”两张工作表");
      return nullptr;
    }
    if (sheet->visible() != host::SheetVisibility::Visible) {
      Finding& f = add(
          Severity::Error, sheet->name(), 0, 0, "", "",
          "工作表" + in_quotes(sheet->name()) + "被隐藏了：打开和编排时要显示它，会在这里出错停下");
      f.mend = Mend::UnhideSheet;
      f.original = sheet->name();
    }
    return sheet;
  }

  // The table as the runs will read it, reporting a title above the
  // headings and taking the headings below it.
  Table table_of(Worksheet& sheet, bool room, bool report) {
    Table t;
    t.sheet = &sheet;
    t.room = room;
    t.used = sheet.used_rect();
    const int32_t width = std::min(t.used.col2, 200);
    const bool merged_a1 = sheet.merge_area(1, 1).columns() > 1;
    const int32_t row1 = filled_count(sheet, 1, width);
    int32_t heading_row = 1;
    if (merged_a1 || row1 <= 1) {
      for (int32_t r = 2; r <= std::min(t.used.row2, 10); ++r) {
        if (filled_count(sheet, r, width) >= 2) {
          heading_row = r;
          break;
        }
      }
    }
    if (heading_row > 1 && report) {
      const Rect seen = sheet.current_region(1, 1);
      std::string what = room ? "下面的列标题行会被当作第一个考场，“场人”读不成数字，编排会停下"
                              : "真正的列标题行会被当作第 1 名考生";
      if (seen.row2 < heading_row) what = "表格和第 1 行之间隔着空行，系统看到的表格是空的";
      const std::string first =
          row1 == 0 ? "第 1 行是空的" : "第 1 行是标题" + in_quotes(cell_text(sheet, 1, 1));
      add(Severity::Error, sheet.name(), 1, 1, "", visible_text(cell_text(sheet, 1, 1)),
          first + "，列标题在第 " + std::to_string(heading_row) + " 行：系统把第 1 行当作列标题，" +
              what + "。请删除第 " +
              rows_text(1, heading_row - 1).substr(std::string("第 ").size()) +
              "，让列标题在第 1 行");
    }
    t.heading_row = heading_row;
    const Rect region = sheet.current_region(heading_row, 1);
    t.last_row = std::max(region.row2, heading_row);
    t.last_col = region.col2;
    // Opening the workbook writes the room sheet's seven headings, so a
    // table with fewer has them all by the time any run reads it.
    if (room)
      t.last_col = std::max<int32_t>(t.last_col, static_cast<int32_t>(kRoomHeadings.size()));
    for (int32_t c = 1; c <= t.last_col; ++c) {
      std::string h = tidied(cell_text(sheet, heading_row, c));
      if (room && c <= 7) h = kRoomHeadings[c - 1];
      t.headings.push_back(std::move(h));
    }
    return t;
  }

  // --- Rows and columns outside the table ---

  void check_rows_below(const Table& t) {
    std::vector<int32_t> rows;
    bool only_totals = true;
    for (int32_t r = t.last_row + 1; r <= t.used.row2; ++r) {
      bool any = false, total = false;
      for (int32_t c = 1; c <= t.last_col && !any; ++c) {
        any = filled(*t.sheet, r, c);
        total = any && is_total_text(cell_text(*t.sheet, r, c));
      }
      if (!any) continue;
      rows.push_back(r);
      only_totals = only_totals && total;
    }
    if (rows.empty()) return;
    const std::string n = std::to_string(rows.size());
    if (only_totals) {
      add(Severity::Notice, t.sheet->name(), rows.front(), 0, "", "",
          "表格下面隔着空行的" + rows_text(rows.front(), rows.back()) +
              "是合计行，不在表内，不会参加编排");
      return;
    }
    add(Severity::Error, t.sheet->name(), t.last_row + 1, 0, "", "",
        "第 " + std::to_string(t.last_row + 1) + " 行是空行，" + t.sheet->name() +
            "到这里就结束了：下面还有 " + n + " 行有内容（" + rows_text(rows.front(), rows.back()) +
            "），这些" + (t.room ? "考场" : "考生") + "不会参加编排，人数也不算在内。" +
            "请删除表格中间的空行");
  }

  void check_columns_right(const Table& t, const std::vector<TemplateUse>& templates) {
    std::vector<std::string> beyond;
    int32_t first = 0;
    for (int32_t c = t.last_col + 1; c <= std::min(t.used.col2, t.last_col + 200); ++c) {
      const std::string h = tidied(cell_text(*t.sheet, t.heading_row, c));
      if (h.empty()) continue;
      if (first == 0) first = c;
      beyond.push_back(h);
    }
    if (beyond.empty()) return;
    bool needed = false;
    std::set<std::string> expected = expected_headings(t, templates);
    std::string names;
    for (const std::string& h : beyond) {
      needed = needed || expected.count(h) > 0;
      if (names.size() < 120) names += (names.empty() ? "" : "、") + in_quotes(h);
    }
    add(needed ? Severity::Error : Severity::Notice, t.sheet->name(), t.heading_row, t.last_col + 1,
        "", "",
        "第 " + std::to_string(t.last_col + 1) + " 列的列标题是空的，表格到这里就断开了：右边的 " +
            names + " 共 " + std::to_string(beyond.size()) +
            " 列不在表内，编排和制表都看不到它们。请填上列标题或删除空列");
  }

  std::set<std::string> expected_headings(const Table& t,
                                          const std::vector<TemplateUse>& templates) {
    std::set<std::string> expected;
    if (!t.room) {
      for (const auto* list :
           {&kAssignmentHeadings, &kCountHeadings, &kReadHeadings, &kIdentityHeadings})
        expected.insert(list->begin(), list->end());
    } else {
      expected.insert(kPhotoFolderHeading);
    }
    for (const TemplateUse& use : templates) {
      if (use.examinee_source == t.room) continue;
      const TemplateFields& f = fields_of(use.name);
      expected.insert(f.text.begin(), f.text.end());
      expected.insert(f.photo.begin(), f.photo.end());
    }
    return expected;
  }

  const TemplateFields& fields_of(const std::string& name) {
    auto it = fields_.find(name);
    if (it != fields_.end()) return it->second;
    TemplateFields f;
    if (Worksheet* tpl = sheet_of(host_, name)) f = template_fields(*tpl);
    return fields_.emplace(name, std::move(f)).first->second;
  }

  // --- Headings ---

  void check_headings(const Table& t, const std::vector<TemplateUse>& templates) {
    const std::set<std::string> expected = expected_headings(t, templates);
    std::map<std::string, std::string> by_fold;
    for (const std::string& e : expected) by_fold.emplace(folded_text(e), e);
    for (int32_t c = t.room ? 8 : 1; c <= t.last_col; ++c) {
      const std::string raw = cell_text(*t.sheet, t.heading_row, c);
      const std::string h = t.headings[c - 1];
      if (h.empty()) {
        check_unnamed_column(t, c);
        continue;
      }
      if (expected.count(h) > 0) continue;
      auto it = by_fold.find(folded_text(raw));
      if (it == by_fold.end()) continue;
      const bool taken = t.column_of(it->second) != 0;
      Finding& f = add(taken ? Severity::Notice : Severity::Error, t.sheet->name(), t.heading_row,
                       c, visible_text(h), visible_text(raw),
                       "列标题" + near_miss_reason(tidied(raw)) + "，看起来是" +
                           in_quotes(it->second) + "却对不上：" +
                           (taken ? "表中另有一列" + in_quotes(it->second) + "，这一列不会被用到"
                                  : "按列标题找" + in_quotes(it->second) + "时找不到这一列"));
      if (!taken) {
        f.mend = Mend::SetHeading;
        f.original = raw;
        f.mended = it->second;
      }
    }
  }

  // A column of the table with values but no heading: often the second
  // column under a merged heading, which only its first column carries.
  void check_unnamed_column(const Table& t, int32_t c) {
    int32_t values = 0;
    for (int32_t r = t.first_row(); r <= t.last_row; ++r) values += filled(*t.sheet, r, c);
    if (values == 0) return;
    const Rect merge = t.sheet->merge_area(t.heading_row, c);
    const std::string under =
        merge.col1 < c ? "它在合并的列标题" +
                             in_quotes(tidied(cell_text(*t.sheet, t.heading_row, merge.col1))) +
                             "下面，合并单元格的标题只算第一列"
                       : "这一列的标题是空的";
    add(Severity::Notice, t.sheet->name(), t.heading_row, c, "", "",
        "第 " + std::to_string(c) + " 列有 " + std::to_string(values) + " 个值却没有列标题：" +
            under + "，模板和排序按列标题都找不到这一列");
  }

  void check_room_columns(const Table& t, bool assign) {
    for (int32_t c = 1; c <= std::min(7, t.used.col2); ++c) {
      const std::string h = tidied(cell_text(*t.sheet, t.heading_row, c));
      if (h.empty() || h == kRoomHeadings[c - 1]) continue;
      int32_t meant = 0;
      for (int32_t k = 1; k <= 7; ++k)
        if (folded_text(h) == kRoomHeadings[k - 1]) meant = k;
      auto alias = kRoomAliases.find(folded_text(h));
      if (meant == 0 && alias != kRoomAliases.end()) meant = alias->second;
      if (meant != 0 && meant != c) {
        add(Severity::Error, t.sheet->name(), t.heading_row, c, h, visible_text(h),
            "考场表的前七列按位置使用，第 " + std::to_string(c) + " 列固定是" +
                in_quotes(kRoomHeadings[c - 1]) + "，这一列却像是" +
                in_quotes(kRoomHeadings[meant - 1]) + "：打开时列标题会被改写，内容会被当作" +
                in_quotes(kRoomHeadings[c - 1]) +
                "。请按 考场、场人、考室、监考甲、监考乙、首考号、尾考号 的顺序排列");
        continue;
      }
      if (assign && c >= 6 && meant == 0) {
        for (int32_t r = t.first_row(); r <= t.last_row; ++r) {
          if (!filled(*t.sheet, r, c)) continue;
          add(Severity::Notice, t.sheet->name(), t.heading_row, c, h, visible_text(h),
              "第 " + std::to_string(c) + " 列会写入" + in_quotes(kRoomHeadings[c - 1]) +
                  "：这一列原有的内容会被清掉");
          break;
        }
      }
    }
  }

  // --- Rows inside the table ---

  void check_total_rows(const Table& t) {
    for (int32_t r = t.first_row(); r <= t.last_row; ++r) {
      for (int32_t c = 1; c <= t.last_col; ++c) {
        const std::string text = cell_text(*t.sheet, r, c);
        if (text.empty() || !is_total_text(text)) continue;
        total_rows_.insert({t.room, r});
        add(Severity::Error, t.sheet->name(), r, c, t.heading(c), visible_text(text),
            "这是合计行，却在表内：会被当作" +
                std::string(t.room ? "一个考场，它的场人也算进座位总数"
                                   : "一名考生，领到考号和座位") +
                "。请删除这一行，或在它上面留一个空行");
        break;
      }
    }
  }

  bool is_total_row(const Table& t, int32_t r) const { return total_rows_.count({t.room, r}) > 0; }

  void check_leftover_rows(const Table& t) {
    std::vector<bool> written(t.last_col + 1, false);
    bool any_written = false;
    for (int32_t c = 1; c <= t.last_col; ++c) {
      written[c] = contains(kAssignmentHeadings, t.headings[c - 1]) ||
                   contains(kCountHeadings, t.headings[c - 1]);
      any_written = any_written || written[c];
    }
    if (!any_written) return;
    int32_t run_start = 0;
    auto flush = [&](int32_t last) {
      if (run_start == 0) return;
      // Those at the bottom of the table are cleared when the run starts.
      if (last == t.last_row) {
        add(Severity::Notice, t.sheet->name(), run_start, 0, "", "",
            rows_text(run_start, last) +
                "只有编排写入的考号、座号等，没有考生信息：是上次编排时座位比考生多、写在表下面的"
                "行。编排开始时会先清空这些行，不算作考生");
      } else {
        add(Severity::Error, t.sheet->name(), run_start, 0, "", "",
            rows_text(run_start, last) +
                "只有编排写入的考号、座号等，没有考生信息：多半是上次编排时座位比考生多、写在表下面"
                "的行。它们夹在考生中间，会被当作考生编排。请删除这些行");
      }
      run_start = 0;
    };
    for (int32_t r = t.first_row(); r <= t.last_row; ++r) {
      bool user = false, assigned = false;
      for (int32_t c = 1; c <= t.last_col && !user; ++c) {
        if (!filled(*t.sheet, r, c)) continue;
        (written[c] ? assigned : user) = true;
      }
      if (assigned && !user) {
        if (run_start == 0) run_start = r;
      } else {
        flush(r - 1);
      }
    }
    flush(t.last_row);
  }

  void check_duplicate_examinees(const Table& t) {
    for (const std::string& id : kIdentityHeadings) {
      const int32_t c = t.column_of(id);
      if (c == 0) continue;
      std::map<std::string, int32_t> first;
      for (int32_t r = t.first_row(); r <= t.last_row; ++r) {
        if (is_total_row(t, r)) continue;
        const std::string v = half_width(trimmed(cell_text(*t.sheet, r, c)));
        if (v.empty()) continue;
        auto [it, fresh] = first.emplace(v, r);
        if (fresh) continue;
        add(Severity::Error, t.sheet->name(), r, c, id, visible_text(cell_text(*t.sheet, r, c)),
            "与第 " + std::to_string(it->second) + " 行的" + id +
                "相同：同一名考生出现了两次，会领到两个考号");
      }
    }
  }

  // Reports each room's places that are no whole number >= 0; the sum of
  // the good ones.
  int64_t check_places(const Table& t) {
    int64_t total = 0;
    for (int32_t r = t.first_row(); r <= t.last_row; ++r) {
      if (is_total_row(t, r)) continue;
      const Variant v = t.sheet->cell_value(r, 2);
      const std::string text = text_of(v);
      const std::string room = cell_text(*t.sheet, r, 1);
      double n = 0;
      bool number = v.is_number();
      if (number) n = v.as_number();
      if (v.is_text()) number = host::parse_decimal(v.as_text(), &n, true);
      auto bad = [&](const std::string& why) -> Finding& {
        return add(Severity::Error, t.sheet->name(), r, 2, "场人", visible_text(text),
                   "考场" + in_quotes(room) + "的场人" + why);
      };
      if (v.is_empty() || (v.is_text() && trimmed(v.as_text()).empty())) {
        if (v.is_text() && !v.as_text().empty())
          bad("只有空白：编排到这一行会停下（类型不匹配），前面的考场已写入，后面的考生没有考号");
        else
          add(Severity::Notice, t.sheet->name(), r, 2, "场人", "",
              "考场" + in_quotes(room) + "的场人是空的：这个考场不排考生");
        continue;
      }
      if (number) {
        if (n < 0)
          bad("是负数：编排会把前面考场的考生改写");
        else if (n != std::floor(n))
          bad("不是整数：编排时按 " + host::number_to_text(std::nearbyint(n)) + " 人算");
        else if (n > 1e6)
          bad("大得不像座位数");
        else
          total += static_cast<int64_t>(n);
        continue;
      }
      if (v.is_bool()) {
        bad("是逻辑值，不是人数：编排会把它当作 " + std::string(v.as_bool() ? "-1" : "0") + " 人");
        continue;
      }
      const std::optional<int64_t> meant = v.is_text() ? plain_number(v.as_text()) : std::nullopt;
      if (!meant) {
        bad("不是数字：编排到这一行会停下（类型不匹配），前面的考场已写入，后面的考生没有考号");
        continue;
      }
      Finding& f = bad("不是数字，看起来是 " + std::to_string(*meant) +
                       "：编排到这一行会停下（类型不匹配），前面的考场已写入，后面的考生没有考号");
      f.mend = Mend::SetPlaces;
      f.original = v.as_text();
      f.mended = std::to_string(*meant);
      total += *meant;
      places_mendable_ = true;
    }
    return total;
  }

  void check_duplicate_rooms(const Table& t) {
    std::map<std::string, int32_t> first;
    for (int32_t r = t.first_row(); r <= t.last_row; ++r) {
      if (is_total_row(t, r)) continue;
      const std::string raw = cell_text(*t.sheet, r, 1);
      const std::string name = half_width(trimmed(raw));
      if (name.empty()) {
        add(Severity::Notice, t.sheet->name(), r, 1, "考场", "",
            "考场名是空的：这一行的考生没有考场名");
        continue;
      }
      auto [it, fresh] = first.emplace(name, r);
      if (fresh) continue;
      add(Severity::Error, t.sheet->name(), r, 1, "考场", visible_text(raw),
          "考场" + in_quotes(name) + "与第 " + std::to_string(it->second) +
              " 行重名：两批考生会用同一个考场名，门贴和座签会混在一起");
    }
  }

  void check_totals(const Table& ex, const Table& rm, int64_t places) {
    const int64_t examinees = ex.records();
    if (examinees <= 0) {
      add(Severity::Error, ex.sheet->name(), ex.first_row(), 0, "", "", "考生表里没有考生");
      return;
    }
    if (rm.records() <= 0) {
      add(Severity::Error, rm.sheet->name(), rm.first_row(), 0, "", "", "考场表里没有考场");
      return;
    }
    const std::string assumed = places_mendable_ ? "（场人按修正后的数字算）" : "";
    if (examinees > places) {
      const int64_t left = examinees - places;
      const int32_t from = ex.first_row() + static_cast<int32_t>(places);
      add(Severity::Error, ex.sheet->name(), from, 0, "", "",
          "考生 " + std::to_string(examinees) + " 人，座位只有 " + std::to_string(places) + " 个" +
              assumed + "：有 " + std::to_string(left) + " 名考生排不上考场，" +
              (settings_.random_order ? "随机编排时是随机的 " + std::to_string(left) + " 人"
                                      : "按表中顺序是" + rows_text(from, ex.last_row) + "的考生") +
              "，他们没有考号和座位");
    } else if (places > examinees) {
      add(Severity::Notice, ex.sheet->name(), ex.last_row + 1, 0, "", "",
          "座位 " + std::to_string(places) + " 个，比考生 " + std::to_string(examinees) + " 人多 " +
              std::to_string(places - examinees) + " 个" + assumed +
              "：多出的座位会写在考生表下面的" +
              rows_text(ex.last_row + 1, ex.last_row + static_cast<int32_t>(std::min<int64_t>(
                                                           places - examinees, 1000000))) +
              "（只有考号、座号）；再编排之前要删掉这些行");
    }
  }

  // --- Templates ---

  void check_template(const TemplateUse& use, const Table& t) {
    Worksheet* tpl = sheet_of(host_, use.name);
    if (tpl == nullptr) {
      Finding& f = add(purpose_ == CheckPurpose::Generate ? Severity::Error : Severity::Notice,
                       use.name, 0, 0, "", "", "模板" + in_quotes(use.name) + "的模板表不存在");
      f.book = host_.name();
      return;
    }
    const TemplateFields& fields = fields_of(use.name);
    const bool before_assign = purpose_ == CheckPurpose::Both;
    // What the examinee sheet lacks only until the assignment writes it.
    std::vector<std::string> unassigned;
    auto missing = [&](const std::string& column, const std::string& field) {
      if (t.column_of(column) != 0) return;
      if (!t.room && generate::SeatMapFillsField(host_, data_, use.name, column)) return;
      const bool assigned =
          !t.room && (contains(kAssignmentHeadings, column) || contains(kCountHeadings, column));
      if (assigned && before_assign) return;
      // A near miss of the heading is already reported on the heading.
      bool near = false;
      for (int32_t c = 1; c <= t.last_col; ++c)
        near = near || folded_text(cell_text(*t.sheet, t.heading_row, c)) == folded_text(column);
      if (near) return;
      if (assigned && purpose_ == CheckPurpose::Generate) {
        if (!contains(unassigned, column)) unassigned.push_back(column);
        return;
      }
      if (!reported_fields_.insert({t.room, field}).second) return;
      const std::string what =
          field == "[" + column + "]" || field == "{" + column + "}"
              ? "的字段" + in_quotes(field)
              : "的字段" + in_quotes(field) + "要用的" + in_quotes(column) + "列";
      add(Severity::Error, t.sheet->name(), t.heading_row, 0, "", field,
          "模板" + in_quotes(use.name) + what + "在" + in_quotes(t.sheet->name()) +
              "里没有这一列：生成会停下");
    };
    for (const std::string& name : fields.text) missing(name, "[" + name + "]");
    for (const std::string& name : fields.photo) {
      // A code field reads the columns it names; a column of its own name
      // makes it a photo field after all.
      const auto code = std::find_if(fields.codes.begin(), fields.codes.end(),
                                     [&](const generate::CodeField& f) { return f.name == name; });
      if (code == fields.codes.end() || t.column_of(name) != 0) {
        missing(name, "{" + name + "}");
        continue;
      }
      for (const std::string& column : code->columns) missing(column, "{" + name + "}");
    }
    if (!unassigned.empty()) {
      std::string names;
      for (const std::string& n : unassigned) names += (names.empty() ? "" : "、") + in_quotes(n);
      add(Severity::Error, t.sheet->name(), t.heading_row, 0, "", "",
          "模板" + in_quotes(use.name) + "要用编排写入的" + names + "列，" + t.sheet->name() +
              "还没有编排：请先编排考号，再生成");
    }
    if (fields.photo.empty()) return;
    const int32_t folder_col = t.column_of(kPhotoFolderHeading);
    const std::string root = host_.path() + "/照片/";
    struct Photo {
      int32_t row, column;
      std::string name, folder, file;
    };
    std::vector<Photo> photos;
    for (const std::string& name : fields.photo) {
      const int32_t c = t.column_of(name);
      if (c == 0) continue;
      for (int32_t r = t.first_row(); r <= t.last_row; ++r) {
        const std::string value = cell_text(*t.sheet, r, c);
        if (value.empty()) continue;
        // The name the generation looks for, and whether it would look.
        const std::string folder =
            folder_col != 0 ? cell_text(*t.sheet, r, folder_col) : std::string();
        const std::string file = generate::PhotoFileName(folder, value);
        if (!photos_seen_.insert(file).second) continue;
        if (!generate::StaysInPhotoFolder(file)) {
          add(Severity::Notice, t.sheet->name(), r, c, name, visible_text(file),
              "照片路径会走出照片文件夹，不会去找这个文件");
          continue;
        }
        photos.push_back({r, c, name, folder, file});
      }
    }
    std::vector<std::string> files;
    files.reserve(photos.size());
    for (const Photo& p : photos) files.push_back(p.file);
    host::SystemEnvironment env;
    const std::vector<std::string> found = generate::FindPhotoFiles(env, root, files);
    for (size_t i = 0; i < photos.size(); ++i) {
      const Photo& p = photos[i];
      note_photo_found_as(photo_names_, t.sheet->name(), p.file, found[i]);
      const spreadsheet::PictureFileState state = found[i].empty()
                                                      ? spreadsheet::PictureFileState::Missing
                                                      : spreadsheet::probe_picture_file(found[i]);
      if (state == spreadsheet::PictureFileState::Readable) continue;
      if (state == spreadsheet::PictureFileState::Missing) {
        missing_photos_.push_back(p.file);
        if (missing_sheet_.empty()) missing_sheet_ = t.sheet->name();
        continue;
      }
      add(Severity::Error, t.sheet->name(), p.row, p.column, p.name, visible_text(p.file),
          std::string(picture_problem(state)) + "：生成到这张照片会停下。照片在“照片" +
              (p.folder.empty() ? "" : "\\" + p.folder) + "”文件夹");
    }
  }

  void report_missing_photos() {
    report_photos_found_as(photo_names_, data_.name(), out_);
    if (missing_photos_.empty()) return;
    std::string some;
    for (size_t i = 0; i < missing_photos_.size() && i < 5; ++i)
      some += (some.empty() ? "" : "、") + missing_photos_[i];
    if (missing_photos_.size() > 5) some += " 等";
    add(Severity::Notice, missing_sheet_, 0, 0, "", "",
        "有 " + std::to_string(missing_photos_.size()) + " 张照片在“照片”文件夹里找不到（" + some +
            "）：这些位置只显示文件名");
  }

  host::Workbook& host_;
  host::Workbook& data_;
  const CheckSettings& settings_;
  CheckPurpose purpose_;
  std::vector<Finding> out_;
  std::map<std::string, TemplateFields> fields_;
  std::set<std::pair<bool, int32_t>> total_rows_;
  std::set<std::pair<bool, std::string>> reported_fields_;
  std::set<std::string> photos_seen_;
  std::vector<std::string> missing_photos_;
  PhotoNames photo_names_;
  std::string missing_sheet_;
  bool places_mendable_ = false;
};

bool bool_of(const Variant& v) {
  if (v.is_bool()) return v.as_bool();
  if (v.is_number()) return v.as_number() != 0;
  return false;
}

}  // namespace

// --- Text helpers -------------------------------------------------------------

std::string visible_text(const std::string& text) {
  const std::u32string t = decode(text);
  std::string out;
  for (size_t i = 0; i < t.size(); ++i) {
    const char32_t c = t[i];
    const bool edge = i == 0 || i + 1 == t.size();
    if ((c == 0x20 && edge) || (c != 0x20 && (is_space(c) || is_zero_width(c))))
      out += std::string("[") + unseen_name(c) + "]";
    else
      append_utf8(out, c);
  }
  return out;
}

std::string folded_text(const std::string& text) {
  std::string out;
  for (char32_t c : decode(text)) {
    if (is_space(c) || is_zero_width(c)) continue;
    append_utf8(out, is_full_width_ascii(c) ? c - 0xFEE0 : c);
  }
  return out;
}

std::optional<int64_t> plain_number(const std::string& text) {
  std::u32string t = decode(folded_text(text));
  // A unit after the number: 人, 名, 个, 位, 座, 座位.
  for (const std::u32string& unit :
       {std::u32string(U"座位"), std::u32string(U"人"), std::u32string(U"名"),
        std::u32string(U"个"), std::u32string(U"位"), std::u32string(U"座")}) {
    if (t.size() > unit.size() && t.ends_with(unit)) {
      t.resize(t.size() - unit.size());
      break;
    }
  }
  if (t.empty()) return std::nullopt;
  bool digits = t.size() <= 9;
  for (char32_t c : t) digits = digits && c >= U'0' && c <= U'9';
  if (digits) {
    int64_t n = 0;
    for (char32_t c : t) n = n * 10 + (c - U'0');
    return n;
  }
  // Chinese numerals up to the thousands: 三十, 四十五, 一百零五, 两百.
  static const std::u32string kDigits = U"零一二三四五六七八九";
  int64_t total = 0, digit = -1;
  int64_t last_unit = 10000;
  for (char32_t c : t) {
    size_t d = kDigits.find(c);
    if (c == U'〇') d = 0;
    if (c == U'两') d = 2;
    if (d != std::u32string::npos) {
      if (digit > 0) return std::nullopt;  // two digits in a row: 三三
      digit = static_cast<int64_t>(d);
      continue;
    }
    const int64_t unit = c == U'十' ? 10 : c == U'百' ? 100 : c == U'千' ? 1000 : 0;
    if (unit == 0 || unit >= last_unit) return std::nullopt;
    total += (digit < 0 ? 1 : digit) * unit;
    if (digit == 0) return std::nullopt;
    digit = -1;
    last_unit = unit;
  }
  if (digit > 0) total += digit;
  if (total == 0 && t != U"零" && t != U"〇") return std::nullopt;
  return total;
}

// --- Settings ---------------------------------------------------------------

CheckSettings settings_from_form(host::Form& UF) {
  CheckSettings s;
  s.start_number = text_of(UF.control("TxtSKHao").value());
  s.cycle = text_of(UF.control("TxtXHShu").value());
  s.random_order = bool_of(UF.control("OptSJKaoHao").value());
  host::Control& list = UF.control("LtbMoBan");
  if (list.list_index() >= 0) s.template_name = text_of(list.value());
  s.examinee_source = bool_of(UF.control("ChbSJYuan").value());
  return s;
}

CheckSettings settings_from_host(host::Workbook& host_book) {
  CheckSettings s;
  Worksheet* dtb = nullptr;
  for (int32_t i = 0; i < host_book.sheet_count(); ++i)
    if (host_book.sheet_at(i).name() == kSettingsSheet) dtb = &host_book.sheet_at(i);
  if (dtb == nullptr) return s;
  s.start_number = cell_text(*dtb, 2, 61);
  s.cycle = cell_text(*dtb, 2, 62);
  s.random_order = bool_of(dtb->cell_value(4, 61));
  for (int32_t r = 2; r <= host::kMaxRows; ++r) {
    const std::string name = cell_text(*dtb, r, 5);
    if (name.empty()) break;
    if (!bool_of(dtb->cell_value(r, 4))) continue;
    s.template_name = name;
    s.examinee_source = bool_of(dtb->cell_value(r, 13));
    break;
  }
  return s;
}

// --- Check and mends ------------------------------------------------------------

std::vector<Finding> check_workspace(host::Workbook& host_book, host::Workbook& data_book,
                                     const CheckSettings& settings, CheckPurpose purpose) {
  std::vector<Finding> findings = Checker(host_book, data_book, settings, purpose).run();
  if (purpose == CheckPurpose::Both) {
    add_session_findings(data_book, findings);
    add_invigilation_findings(host_book, data_book, findings);
  }
  return findings;
}

Finding located_finding(Severity severity, const std::string& book, const std::string& sheet,
                        int32_t row, const std::string& heading, const std::string& value,
                        const std::string& message) {
  Finding f;
  f.severity = severity;
  f.book = book;
  f.sheet = sheet;
  f.row = row;
  f.heading = heading;
  f.value = value;
  f.message = message;
  return f;
}

bool has_errors(const std::vector<Finding>& findings) {
  for (const Finding& f : findings)
    if (f.severity == Severity::Error) return true;
  return false;
}

std::string finding_line(const Finding& f) {
  std::string line = std::string("[") + severity_text(f.severity) + "] " + f.book;
  if (!f.sheet.empty()) line += " › " + visible_text(f.sheet);
  if (f.row > 0) line += " 第 " + std::to_string(f.row) + " 行";
  // A heading names a column of a sheet; without a sheet, a setting.
  if (!f.heading.empty())
    line += f.sheet.empty() ? " 设置“" + f.heading + "”" : " “" + f.heading + "”列";
  if (!f.value.empty()) line += " 值“" + f.value + "”";
  line += "：" + f.message;
  if (f.mend != Mend::None) line += "（可修正：" + mend_text(f) + "）";
  return line;
}

const char* severity_text(Severity s) {
  return s == Severity::Error ? "错误" : "提醒";
}

bool apply_mend(host::Workbook& data_book, const Finding& finding) {
  Worksheet* sheet = nullptr;
  const std::string& name = finding.mend == Mend::RenameSheet || finding.mend == Mend::UnhideSheet
                                ? finding.original
                                : finding.sheet;
  for (int32_t i = 0; i < data_book.sheet_count(); ++i)
    if (data_book.sheet_at(i).name() == name) sheet = &data_book.sheet_at(i);
  if (sheet == nullptr) return false;
  switch (finding.mend) {
    case Mend::None:
      return false;
    case Mend::RenameSheet:
      sheet->set_name(finding.mended);
      return true;
    case Mend::UnhideSheet:
      if (sheet->visible() == host::SheetVisibility::Visible) return false;
      sheet->set_visible(host::SheetVisibility::Visible);
      return true;
    case Mend::SetHeading:
    case Mend::SetPlaces: {
      if (finding.row < 1 || finding.column < 1) return false;
      const Variant now = sheet->cell_value(finding.row, finding.column);
      if (!now.is_text() || now.as_text() != finding.original) return false;
      if (finding.mend == Mend::SetHeading) {
        // A text cell keeps the heading as text whatever it looks like.
        sheet->set_value(Rect::cell(finding.row, finding.column), Variant("'" + finding.mended));
      } else {
        double n = 0;
        if (!host::parse_decimal(finding.mended, &n, false)) return false;
        sheet->set_value(Rect::cell(finding.row, finding.column), Variant(n));
      }
      return true;
    }
  }
  return false;
}

int32_t apply_mends(host::Workbook& data_book, const std::vector<Finding>& findings) {
  int32_t n = 0;
  // Renames last: the other mends find their sheet by the name it had.
  for (int pass = 0; pass < 2; ++pass)
    for (const Finding& f : findings)
      if ((f.mend == Mend::RenameSheet) == (pass == 1) && apply_mend(data_book, f)) ++n;
  return n;
}

std::string mend_text(const Finding& finding) {
  switch (finding.mend) {
    case Mend::RenameSheet:
      return "工作表改名为" + in_quotes(finding.mended);
    case Mend::UnhideSheet:
      return "取消隐藏";
    case Mend::SetHeading:
      return "列标题改为" + in_quotes(finding.mended);
    case Mend::SetPlaces:
      return "改为数字 " + finding.mended;
    case Mend::None:
      break;
  }
  return "";
}

}  // namespace kelv::app
