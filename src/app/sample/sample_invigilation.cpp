#include "app/sample/sample_invigilation.h"

#include <memory>
#include <set>
#include <vector>

#include "host/file_path.h"
#include "invigilation/invigilate.h"
#include "sheets/exam_sheets.h"
#include "spreadsheet/cells.h"

namespace kelv::sample {
namespace {

using spreadsheet::Sheet;
using spreadsheet::Style;
using Variant = host::Variant;

const char* const kSubjects[] = {"语文", "数学",       "英语", "物理", "化学",
                                 "生物", "道德与法治", "历史", "地理"};
const char* const kFamily[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴",
                               "徐", "孙", "胡", "朱", "高", "林", "何", "郭", "马", "罗"};
const char* const kGiven[] = {"建国", "秀兰", "志强", "丽华", "海燕", "国庆", "春梅", "晓东",
                              "文静", "红霞", "永刚", "玉珍", "德明", "慧敏", "振华", "雪梅"};
const char* const kGrades[] = {"七年级", "八年级", "九年级"};

Sheet& new_sheet(spreadsheet::Workbook& book, const std::string& name) {
  book.sheets.push_back(std::make_unique<Sheet>());
  book.sheets.back()->name = name;
  return *book.sheets.back();
}

void put(Sheet& s, int32_t r, int32_t c, const Variant& v, uint32_t style = 0) {
  spreadsheet::Cell& cell = spreadsheet::cells::get(s, r, c);
  cell.value = v;
  cell.style = style;
}

void width(Sheet& s, int32_t c, double w) {
  s.columns[c].width = w;
  s.columns[c].custom_width = true;
}

void height(Sheet& s, int32_t r, double h) {
  spreadsheet::Row& row = spreadsheet::cells::row_at(s, r);
  row.height = h;
  row.custom_height = true;
}

}  // namespace

void add_invigilator_sheet(spreadsheet::Workbook& data, int32_t rooms, uint32_t seed) {
  Style bold_style;
  bold_style.font.name = "宋体";
  bold_style.font.bold = true;
  const uint32_t bold = data.styles.intern(bold_style);
  Sheet& s = new_sheet(data, sheets::kInvigilatorSheet);
  const char* const headings[] = {"姓名",   "学科",   "任教班级", "最多场数",
                                  "不监考", "必监考", "备注"};
  for (int32_t c = 0; c < 7; ++c) put(s, 1, c + 1, headings[c], bold);
  uint32_t state = seed;
  auto next = [&state](uint32_t n) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % n;
  };
  std::set<std::string> names;
  // Enough who teach no class for every room whatever the seating: a
  // class of the sample sits in nearly every room.
  const int32_t teachers = std::max(rooms * 3, rooms * 2 + 4);
  for (int32_t t = 0; t < teachers; ++t) {
    std::string name;
    do {
      name = std::string(kFamily[next(20)]) + kGiven[next(16)];
    } while (!names.insert(name).second);
    const int32_t r = t + 2;
    put(s, r, 1, name);
    put(s, r, 2, kSubjects[t % 9]);
    if (t % 4 == 1)
      put(s, r, 3, std::string(kGrades[next(3)]) + std::to_string(next(6) + 1) + "班");
    if (t == 4) {
      put(s, r, 5, "1");
      put(s, r, 7, "外出培训");
    }
  }
  width(s, 1, 10);
  width(s, 3, 14);
  width(s, 7, 12);
}

void add_duty_slip_template(spreadsheet::Workbook& host) {
  auto style = [&host](bool bold, double size, bool box, const char* horizontal) {
    Style s;
    s.font.name = "宋体";
    s.font.size = size;
    s.font.bold = bold;
    s.alignment.horizontal = horizontal;
    s.alignment.vertical = "center";
    if (box) {
      const spreadsheet::BorderSide thin{"thin", spreadsheet::Color::rgb(0xFF000000)};
      s.border = spreadsheet::Border{thin, thin, thin, thin, {}, false, false};
    }
    return host.styles.intern(s);
  };
  const uint32_t marker = style(false, 12, false, "right");
  const uint32_t title = style(true, 18, false, "center");
  const uint32_t label = style(true, 12, false, "right");
  const uint32_t info = style(false, 12, false, "left");
  const uint32_t heading = style(true, 11, true, "center");
  const uint32_t field = style(false, 11, true, "center");
  // Rooms such as 01 keep their zeros.
  Style text_style = host.styles.get(field);
  text_style.number_format = "@";
  const uint32_t text = host.styles.intern(text_style);
  Style date_style = host.styles.get(field);
  date_style.number_format = "m\"月\"d\"日\"";
  const uint32_t date = host.styles.intern(date_style);
  Style time_style = host.styles.get(field);
  time_style.number_format = "h:mm";
  const uint32_t time = host.styles.intern(time_style);

  Sheet& s = new_sheet(host, kDutySlipTemplate);
  put(s, 1, 1, std::string("<") + kDutySlipTemplate + " 模板设计>", style(true, 11, false, "left"));
  width(s, 1, 3);
  // Header rows 3 to 6 over B..I, the body row 9.
  put(s, 3, 1, "@", marker);
  put(s, 6, 1, "@", marker);
  put(s, 3, 10, "@", marker);
  put(s, 3, 2, "监 考 通 知", title);
  s.merges.push_back(host::Rect{3, 2, 3, 9});
  height(s, 3, 34);
  put(s, 4, 2, "[姓名]", info);
  put(s, 4, 3, "老师：本次考试请您按下表监考。", info);
  s.merges.push_back(host::Rect{4, 3, 4, 9});
  put(s, 5, 2, "学科：", label);
  put(s, 5, 3, "[学科]", info);
  put(s, 5, 4, "场数：", label);
  put(s, 5, 5, "[场数]", info);
  put(s, 5, 6, "半天数：", label);
  put(s, 5, 7, "[半天数]", info);
  const char* const headings[] = {"场次", "科目", "日期", "开始", "结束", "考场", "考室", "角色"};
  for (int32_t c = 0; c < 8; ++c) put(s, 6, c + 2, headings[c], heading);
  for (int32_t r = 4; r <= 6; ++r) height(s, r, 22);
  put(s, 9, 1, "#", marker);
  put(s, 9, 10, "#", marker);
  const char* const fields[] = {"[场次]", "[科目]", "[日期]", "[开始]",
                                "[结束]", "[考场]", "[考室]", "[角色]"};
  for (int32_t c = 0; c < 8; ++c)
    put(s, 9, c + 2, fields[c], c == 2 ? date : c == 3 || c == 4 ? time : text);
  height(s, 9, 20);
  const double widths[] = {10, 10, 10, 8, 11, 8, 14, 6};
  for (int32_t c = 0; c < 8; ++c) width(s, c + 2, widths[c]);
}

std::string arrange_sample_invigilators(app::Workspace& workspace, host::Workbook& data,
                                        uint64_t seed) {
  invigilation::InvigilationSettings settings;
  settings.rules = invigilation::RulesFromSettings(workspace.engine().this_workbook());
  settings.seed = seed;
  spreadsheet::Engine& engine = workspace.engine();
  const invigilation::InvigilationReport report = invigilation::Invigilate(
      engine, workspace.environment(), data, settings,
      [&engine](const std::string& path) { return &engine.add_workbook(host::native_path(path)); });
  const std::vector<std::string> lines = invigilation::ReportLines(report);
  return lines.empty() ? std::string() : lines.front();
}

host::Workbook* generate_from(app::Workspace& workspace,
                              const std::function<void(std::string_view)>& click,
                              const std::string& book_name, const std::string& template_name) {
  const std::string& name = book_name;
  host::Workbook* found = nullptr;
  for (host::Workbook* book : workspace.open_workbooks())
    if (book->name() == name) found = book;
  if (found == nullptr) return nullptr;
  workspace.refresh_data_list();
  host::FormModel& UF = workspace.form();
  host::Control& list = UF["LtbBiao"];
  const std::vector<std::string>& files = list.items();
  for (size_t i = 0; i < files.size(); ++i)
    if (files[i] == name) list.set_list_index(static_cast<int32_t>(i));
  click("LtbBiaoClick");
  host::Control& templates = UF["LtbMoBan"];
  const std::vector<std::string>& items = templates.items();
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == template_name) templates.set_list_index(static_cast<int32_t>(i));
  click("LtbMoBanClick");
  click("CmdDoYongBiaoClick");
  return found;
}

}  // namespace kelv::sample
