#include "app/sample/sample_workspace.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/sample/sample_invigilation.h"
#include "app/sample/sample_seatmap.h"
#include "app/sample/sample_sessions.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "sheets/room_sheet.h"
#include "spreadsheet/cells.h"
#include "spreadsheet/model.h"

namespace kelv::sample {
namespace {

namespace fs = std::filesystem;
using spreadsheet::Border;
using spreadsheet::BorderSide;
using spreadsheet::Color;
using spreadsheet::Sheet;
using spreadsheet::Style;
using spreadsheet::Visibility;
using spreadsheet::Workbook;
using Variant = host::Variant;

// --- Building sheets on the model ---------------------------------------------

class SheetBuilder {
 public:
  SheetBuilder(Workbook& book, const std::string& name) {
    book.sheets.push_back(std::make_unique<Sheet>());
    sheet_ = book.sheets.back().get();
    sheet_->name = name;
  }
  Sheet& sheet() { return *sheet_; }

  void put(int32_t r, int32_t c, const Variant& v, uint32_t style = 0) {
    spreadsheet::Cell& cell = spreadsheet::cells::get(*sheet_, r, c);
    cell.value = v;
    cell.style = style;
  }
  // The values side by side in row r from column c on, all in one style.
  void across(int32_t r, int32_t c, std::initializer_list<Variant> values, uint32_t style = 0) {
    for (const Variant& v : values) put(r, c++, v, style);
  }
  // Gives every cell of the block the style (borders of merged blocks).
  void fill(int32_t r1, int32_t c1, int32_t r2, int32_t c2, uint32_t style) {
    for (int32_t r = r1; r <= r2; ++r)
      for (int32_t c = c1; c <= c2; ++c) spreadsheet::cells::get(*sheet_, r, c).style = style;
  }
  void merge(int32_t r1, int32_t c1, int32_t r2, int32_t c2) {
    sheet_->merges.push_back(host::Rect{r1, c1, r2, c2});
  }
  // A merged block showing one value, every cell in the style so that its
  // borders go all the way round.
  void merged(int32_t r1, int32_t c1, int32_t r2, int32_t c2, const Variant& v, uint32_t style) {
    put(r1, c1, v, style);
    fill(r1, c1, r2, c2, style);
    merge(r1, c1, r2, c2);
  }
  void width(int32_t c, double w) {
    sheet_->columns[c].width = w;
    sheet_->columns[c].custom_width = true;
  }
  // Widths of the columns from c on.
  void widths(int32_t c, std::initializer_list<double> ws) {
    for (double w : ws) width(c++, w);
  }
  void height(int32_t r, double h) {
    spreadsheet::Row& row = spreadsheet::cells::row_at(*sheet_, r);
    row.height = h;
    row.custom_height = true;
  }

 private:
  Sheet* sheet_;
};

const BorderSide kThin{"thin", Color::rgb(0xFF000000)};

struct Styles {
  explicit Styles(Workbook& book) {
    auto make = [&book](const std::function<void(Style&)>& edit) {
      Style s;
      s.font.name = "宋体";
      s.font.size = 11;
      edit(s);
      return book.styles.intern(s);
    };
    auto centred = [](Style& s) {
      s.alignment.horizontal = "center";
      s.alignment.vertical = "center";
    };
    plain = make([](Style&) {});
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
    title = make([&](Style& s) {
      s.font.size = 20;
      s.font.bold = true;
      centred(s);
    });
    subtitle = make([&](Style& s) {
      s.font.size = 12;
      s.font.bold = true;
      centred(s);
    });
    // A table cell: thin box, centred both ways.
    auto cell = [&](const std::function<void(Style&)>& edit) {
      return make([&](Style& s) {
        s.border = Border{kThin, kThin, kThin, kThin, {}, false, false};
        centred(s);
        edit(s);
      });
    };
    label = cell([](Style& s) { s.font.bold = true; });
    heading = cell([](Style& s) {
      s.font.bold = true;
      s.fill.pattern = "solid";
      s.fill.fg = Color::rgb(0xFFD9E1F2);
    });
    field = cell([](Style& s) { s.number_format = "@"; });
    // Names and schools of any length: a long one prints smaller, not cut.
    name_field = cell([](Style& s) {
      s.number_format = "@";
      s.alignment.shrink_to_fit = true;
    });
    big_field = cell([](Style& s) {
      s.number_format = "@";
      s.font.size = 12;
      s.font.bold = true;
    });
    photo = cell([](Style& s) {
      s.font.size = 8;
      s.font.color = Color::rgb(0xFF808080);
      s.alignment.wrap_text = true;  // an absent photo shows its whole file name
    });
    banner = cell([](Style& s) {
      s.font.bold = true;
      s.font.size = 12;
      s.fill.pattern = "solid";
      s.fill.fg = Color::rgb(0xFFDDEBF7);
    });
    info = make([&](Style& s) {
      s.alignment.vertical = "center";
      s.number_format = "@";
      s.font.size = 12;
    });
    info_label = make([&](Style& s) {
      s.alignment.horizontal = "right";
      s.alignment.vertical = "center";
      s.font.size = 12;
      s.font.bold = true;
    });
    text = make([](Style& s) { s.number_format = "@"; });
    bold = make([](Style& s) { s.font.bold = true; });
    instruction = make([](Style& s) {
      s.font.size = 12;
      s.alignment.vertical = "top";
      s.alignment.wrap_text = true;
    });
    // Bold at the body size: a ten-digit exam number fits a seat label's
    // narrow column in any font.
    key_field = cell([](Style& s) {
      s.number_format = "@";
      s.font.bold = true;
    });
  }
  uint32_t plain, caption, marker, title, subtitle, label, heading, field, big_field, photo, banner,
      info, info_label, text, bold, instruction, key_field, name_field;
};

// Column A markers of an area: first and last row, and the end marker in
// the first row right after the area's last column.
void mark_area(SheetBuilder& s, const Styles& st, const char* marker, int32_t first_row,
               int32_t last_row, int32_t columns) {
  s.put(first_row, 1, marker, st.marker);
  if (last_row != first_row) s.put(last_row, 1, marker, st.marker);
  s.put(first_row, 2 + columns, marker, st.marker);
}

SheetBuilder new_template(Workbook& book, const Styles& st, const std::string& name) {
  SheetBuilder s(book, name);
  s.put(1, 1, "<" + name + " 模板设计>", st.caption);
  s.width(1, 3);
  return s;
}

// A page title over columns B to lastColumn.
void title_row(SheetBuilder& s, const Styles& st, int32_t r, const char* title,
               int32_t last_column) {
  s.put(r, 2, title, st.title);
  s.merge(r, 2, r, last_column);
  s.height(r, 36);
}

// The room line of a page header: 考场 and 考室 with their labels.
void room_line(SheetBuilder& s, const Styles& st, int32_t r) {
  s.put(r, 2, "考场：", st.info_label);
  s.put(r, 3, "[考场]", st.info);
  s.put(r, 4, "考室：", st.info_label);
  s.put(r, 5, "[考室]", st.info);
}

// One record's details as a card: a label in column B and its field in
// column C per row, from row r down; the field in row `keyRow` stands out
// in `keyStyle`.
void card_lines(SheetBuilder& s, const Styles& st, int32_t r,
                std::initializer_list<std::pair<const char*, const char*>> lines, int32_t key_row,
                uint32_t key_style) {
  for (const auto& [label, field] : lines) {
    s.put(r, 2, label, st.label);
    const bool name = std::string_view(field) == "[姓名]" || std::string_view(field) == "[学校]";
    s.put(r, 3, field, r == key_row ? key_style : name ? st.name_field : st.field);
    s.height(r, 24);
    ++r;
  }
}

// --- Templates -------------------------------------------------------------------

// Door list: one page per room, a header with the room's details and the
// column headings, one row per examinee.
void build_door_list(Workbook& book, const Styles& st) {
  SheetBuilder s = new_template(book, st, "门贴");
  mark_area(s, st, "@", 3, 6, 5);
  title_row(s, st, 3, "考 场 门 贴", 6);
  room_line(s, st, 4);
  s.merge(4, 5, 4, 6);
  s.put(5, 2, "监考：", st.info_label);
  s.across(5, 3, {"[监考甲]", "[监考乙]"}, st.info);
  s.put(5, 5, "人数：", st.info_label);
  s.put(5, 6, "[场人]", st.info);
  s.height(4, 22);
  s.height(5, 22);
  s.across(6, 2, {"考号", "姓名", "学校", "班级", "座号"}, st.heading);
  s.height(6, 22);

  mark_area(s, st, "#", 9, 9, 5);
  s.across(9, 2, {"[考号]", "[姓名]", "[学校]", "[班级]", "[座号]"}, st.field);
  s.across(9, 3, {"[姓名]", "[学校]"}, st.name_field);
  s.height(9, 20);
  s.widths(2, {18, 14, 20, 12, 10});
}

// Seat labels: three across, a photo beside room, exam number, name and
// seat, the exam number's bar code (without its text) along the bottom.
void build_seat_labels(Workbook& book, const Styles& st) {
  SheetBuilder s = new_template(book, st, "桌贴");
  mark_area(s, st, "#", 3, 7, 3);
  card_lines(s, st, 3,
             {{"考场", "[考场]"}, {"考号", "[考号]"}, {"姓名", "[姓名]"}, {"座号", "[座号]"}}, 4,
             st.key_field);
  s.merged(3, 4, 6, 4, "{学籍号}", st.photo);
  s.merged(7, 2, 7, 4, "{条码:考号:无文字}", st.photo);
  s.height(7, 30);
  s.widths(2, {5, 15, 13});
}

// Sign-in sheet: like the door list, with an empty signature column.
void build_sign_in(Workbook& book, const Styles& st) {
  SheetBuilder s = new_template(book, st, "签到表");
  mark_area(s, st, "@", 3, 5, 5);
  title_row(s, st, 3, "考 生 签 到 表", 6);
  room_line(s, st, 4);
  s.height(4, 24);
  s.across(5, 2, {"座号", "考号", "姓名", "班级", "考生签名"}, st.heading);
  s.height(5, 22);

  mark_area(s, st, "#", 8, 8, 5);
  s.across(8, 2, {"[座号]", "[考号]", "[姓名]", "[班级]", Variant()}, st.field);
  s.put(8, 4, "[姓名]", st.name_field);
  s.height(8, 22);
  s.widths(2, {8, 16, 14, 12, 28});
}

// Admission cards: two across, a banner, five details and the photo, the
// exam number's bar code and a QR code of exam number, name, room and seat.
void build_admission_cards(Workbook& book, const Styles& st) {
  SheetBuilder s = new_template(book, st, "准考证");
  mark_area(s, st, "#", 3, 9, 3);
  s.merged(3, 2, 3, 4, "期末考试 准考证", st.banner);
  s.height(3, 28);
  card_lines(s, st, 4,
             {{"姓名", "[姓名]"},
              {"学校", "[学校]"},
              {"考号", "[考号]"},
              {"考场", "[考场]"},
              {"座号", "[座号]"}},
             6, st.big_field);
  s.merged(4, 4, 8, 4, "{学籍号}", st.photo);
  s.merged(9, 2, 9, 3, "{条码:考号}", st.photo);
  s.put(9, 4, "{二维码:考号+姓名+考场+座号}", st.photo);
  s.height(9, 60);
  s.widths(2, {7, 16, 17});
}

// Room summary, taken from the room sheet.
void build_room_summary(Workbook& book, const Styles& st) {
  SheetBuilder s = new_template(book, st, "考场汇总");
  mark_area(s, st, "@", 3, 4, 7);
  title_row(s, st, 3, "考 场 安 排 汇 总", 8);
  s.across(4, 2, {"考场", "人数", "考室", "监考甲", "监考乙", "首考号", "尾考号"}, st.heading);
  s.height(4, 22);
  mark_area(s, st, "#", 7, 7, 7);
  s.across(7, 2, {"[考场]", "[场人]", "[考室]", "[监考甲]", "[监考乙]", "[首考号]", "[尾考号]"},
           st.field);
  s.height(7, 20);
  s.widths(2, {8, 8, 14, 10, 10, 14, 14});
}

// The base sheet new templates are copied from: a one-row header and a
// one-row body to start from.
void build_base_sheet(Workbook& book, const Styles& st) {
  SheetBuilder s(book, "MBB");
  s.sheet().visibility = Visibility::VeryHidden;
  s.put(1, 1, "<MBB 模板设计>", st.caption);
  s.width(1, 3);
  mark_area(s, st, "@", 3, 3, 2);
  s.put(3, 2, "标题", st.title);
  s.merge(3, 2, 3, 3);
  mark_area(s, st, "#", 5, 5, 2);
  s.across(5, 2, {"[姓名]", "[考号]"}, st.field);
  s.widths(2, {14, 16});
}

void build_start_sheet(Workbook& book, const Styles& st) {
  SheetBuilder s(book, "开始");
  s.put(2, 2, "考务编排与制表", st.title);
  s.height(2, 36);
  const char* lines[] = {
      "1. 数据工作簿放在“数据”文件夹中，须含“考场表”和“考生表”，表格从 A1 开始，第一行是列标题。",
      "2. 打开窗体，在“数据表”列表中点选数据文件：程序打开它并整理表头。",
      "3. 填写起始考号和座号设置，选择顺序或随机编排，点“编排考号”。",
      // A line split in the source is one line of the sheet (the
      // parentheses say so to the compiler).
      ("4. 切换到制表页，在“模板”列表中选择模板，按需要调整每页行数、每行列数、排序列和换页列，"
       "点“生成表格”。"),
      ("5. 模板表中，A 列的“@”行之间是页眉区，“#”行之间是主体区，"
       "首行右端再写同样的标志表示区域结束。"),
      ("6. [列标题] 填入数据，{列标题} 插入照片：照片\\照片夹\\值.jpg；"
       "{条码:列标题} 插入条码，{二维码:列标题+列标题} 插入二维码。"),
      "7. 详见“帮助.doc”。",
  };
  // Column B is 110 characters wide, about 770 pixels; a 12-point Chinese
  // character takes 16 of them, a Latin one 8. A line that wraps gets the
  // height of two, so that no reader shows its second line cut off.
  auto wraps = [](std::string_view line) {
    int32_t pixels = 0;
    for (size_t i = 0; i < line.size(); ++i) {
      const auto byte = static_cast<unsigned char>(line[i]);
      if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
      pixels += byte >= 0xE0 ? 16 : 8;
    }
    return pixels > 740;
  };
  int32_t r = 4;
  for (const char* line : lines) {
    s.put(r, 2, line, st.instruction);
    s.height(r, wraps(line) ? 36 : 20);
    ++r;
  }
  s.width(1, 3);
  s.width(2, 110);
}

struct CatalogueRow {
  std::string name;
  int32_t rows_per_page, cols_across, row_spacing, col_spacing;
  std::string sort_name, page_name;
  bool across_first, examinees;
  std::string center_footer;
  double top_margin, bottom_margin;
};

void build_settings_sheet(Workbook& book, const Styles& st, const std::vector<CatalogueRow>& rows) {
  SheetBuilder s(book, "DTB");
  s.sheet().visibility = Visibility::Hidden;
  s.put(1, 1, "数据表", st.bold);
  s.across(1, 5,
           {"模板名", "每页行数", "每行列数", "行距", "列距", "排序列", "换页列", "横向排列",
            "考生表为数据源"},
           st.bold);
  // N..T carry headings so that the page setup in U..AC belongs to the
  // catalogue's current region and moves with its row when it is sorted.
  for (int32_t c = 14; c <= 20; ++c) s.put(1, c, "备用", st.bold);
  s.across(1, 21,
           {"左页脚", "中页脚", "右页脚", "上边距", "下边距", "方向", "纸张", "缩放", "打印质量"},
           st.bold);
  int32_t r = 2;
  for (const CatalogueRow& row : rows) {
    if (r == 2) s.put(r, 4, true);
    s.across(r, 5,
             {row.name, row.rows_per_page, row.cols_across, row.row_spacing, row.col_spacing,
              row.sort_name, row.page_name, row.across_first, row.examinees});
    if (!row.center_footer.empty()) s.put(r, 22, row.center_footer);
    // Margins, portrait, A4, zoom 100, print quality 600.
    s.across(r, 24, {row.top_margin, row.bottom_margin, 1, 9, 100, 600});
    ++r;
  }
  s.across(1, 61, {"起始考号", "座号循环数"}, st.bold);
  s.across(2, 61, {"2024010001", "30"}, st.text);
  s.across(3, 61, {true, false});
  s.across(4, 61, {false, true});
  s.put(1, 90, "页面设置传递", st.bold);
  s.put(2, 90, false);
  s.width(5, 12);
}

// --- Synthetic data -----------------------------------------------------------------

struct School {
  const char* name;
  const char* folder;
  const char* code;
};
const School kSchools[] = {{"第一中学", "一中", "01"},
                           {"第二中学", "二中", "02"},
                           {"实验中学", "实验", "03"},
                           {"育才中学", "育才", "04"}};
const char* const kGrades[] = {"七年级", "八年级", "九年级"};
const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴",
                                 "徐", "孙", "胡", "朱", "高", "林", "何", "郭", "马", "罗",
                                 "梁", "宋", "郑", "谢", "韩", "唐", "冯", "于", "董", "萧"};
const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇",
                              "艳", "杰", "娟", "涛", "明", "超", "秀", "霞", "平", "刚", "华",
                              "玉", "兰", "子", "涵", "浩", "宇", "欣", "怡", "梓", "轩", "雨",
                              "萱", "博", "文", "嘉", "晨", "思", "睿", "一", "诺", "佳", "琪"};

template <class T, size_t N>
const T& pick_from(std::mt19937& rng, const T (&items)[N]) {
  return items[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

std::string person_name(std::mt19937& rng) {
  std::string name = pick_from(rng, kSurnames);
  name += pick_from(rng, kGiven);
  if (std::uniform_int_distribution<int>(0, 2)(rng) != 0) name += pick_from(rng, kGiven);
  return name;
}

std::string two_digits(int32_t n) {
  std::string s = std::to_string(n);
  return s.size() < 2 ? "0" + s : s;
}

struct Examinee {
  std::string id, name, sex, school, grade, klass, folder;
  bool has_photo = true;
};

std::vector<Examinee> make_examinees(const SampleOptions& o, std::mt19937& rng) {
  std::vector<Examinee> all;
  all.reserve(static_cast<size_t>(std::max(o.examinees, 0)));
  for (int32_t i = 0; i < o.examinees; ++i) {
    const School& school = pick_from(rng, kSchools);
    Examinee e;
    e.school = school.name;
    e.folder = school.folder;
    e.grade = pick_from(rng, kGrades);
    e.klass = std::to_string(std::uniform_int_distribution<int>(1, 6)(rng)) + "班";
    e.name = person_name(rng);
    e.sex = std::uniform_int_distribution<int>(0, 1)(rng) ? "男" : "女";
    std::string seq = std::to_string(100000 + i);
    e.id = std::string("G3201") + school.code + seq;
    e.has_photo = o.missing_photo_every <= 0 || (i + 1) % o.missing_photo_every != 0;
    all.push_back(std::move(e));
  }
  return all;
}

constexpr int32_t kPlacesPerRoom = 30;

void build_data_workbook(Workbook& book, const Styles& st, const std::vector<Examinee>& examinees,
                         int32_t* room_count) {
  SheetBuilder rooms(book, sheets::kRoomSheet);
  for (int32_t c = 1; c <= sheets::kRoomColumnCount; ++c)
    rooms.put(sheets::kRoomHeadingRow, c, sheets::kRoomHeadings[c - 1], st.bold);
  const int32_t n = static_cast<int32_t>(examinees.size());
  const int32_t count = std::max(1, (n + kPlacesPerRoom - 1) / kPlacesPerRoom);
  for (int32_t i = 0; i < count; ++i) {
    const int32_t places = i + 1 < count ? kPlacesPerRoom : n - kPlacesPerRoom * (count - 1);
    rooms.put(2 + i, 1, two_digits(i + 1), st.text);
    rooms.put(2 + i, 2, places);
    rooms.put(2 + i, 3, classroom_name(i));
  }
  rooms.width(3, 14);
  rooms.width(6, 14);
  rooms.width(7, 14);
  *room_count = count;

  SheetBuilder sheet(book, "考生表");
  sheet.across(1, 1, {"学籍号", "姓名", "性别", "学校", "年级", "班级", "照片夹"}, st.bold);
  int32_t r = 2;
  for (const Examinee& e : examinees) {
    sheet.put(r, 1, e.id, st.text);
    sheet.put(r, 2, e.name);
    sheet.put(r, 3, e.sex);
    sheet.put(r, 4, e.school);
    sheet.put(r, 5, e.grade);
    sheet.put(r, 6, e.klass);
    sheet.put(r, 7, e.folder);
    ++r;
  }
  sheet.width(1, 16);
  sheet.width(4, 12);
  book.active_sheet = 1;
}

// `folder`/`name` for a UTF-8 name.
fs::path in(const fs::path& folder, std::string_view name) {
  return folder / host::file_path(name);
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out)
    throw host::HostError::host(host::kPermissionDenied, "无法写入 " + host::path_text(path));
}

}  // namespace

std::string classroom_name(int32_t index) {
  // Buildings A to Z, then AA, AB, ...: twenty rooms each, five a floor.
  std::string building;
  for (int32_t b = index / 20 + 1; b > 0; b = (b - 1) / 26) {
    building.insert(building.begin(), static_cast<char>('A' + (b - 1) % 26));
  }
  return "教学楼" + building + std::to_string(101 + (index % 20) / 5 * 100 + index % 5);
}

std::vector<std::string> sample_template_names() {
  return {
      "考场汇总",          "门贴", "签到表", "准考证", "桌贴", kDutySlipTemplate, kSeatMapTemplate,
      kSessionCardTemplate};
}

void build_host_workbook(Workbook& host) {
  const Styles host_styles(host);
  build_start_sheet(host, host_styles);
  const std::vector<CatalogueRow> catalogue = {
      {"考场汇总", 40, 1, 0, 0, "考场", "无", true, false, "第 &P 页，共 &N 页", 36, 36},
      {"门贴", 30, 1, 0, 0, "考号", "考场", true, true, "", 36, 28},
      {"签到表", 30, 1, 0, 0, "考号", "考场", true, true, "第 &P 页，共 &N 页", 36, 36},
      {"准考证", 3, 2, 20, 20, "考号", "无", true, true, "", 28, 28},
      {"桌贴", 5, 3, 20, 20, "考号", "考场", true, true, "", 20, 20},
      {kDutySlipTemplate, 12, 1, 0, 0, "无", "姓名", true, true, "", 36, 28},
  };
  build_settings_sheet(host, host_styles, catalogue);
  build_base_sheet(host, host_styles);
  build_room_summary(host, host_styles);
  build_door_list(host, host_styles);
  build_sign_in(host, host_styles);
  build_admission_cards(host, host_styles);
  build_seat_labels(host, host_styles);
  add_duty_slip_template(host);
  add_seat_map_template(host);
  host.active_sheet = 0;
}

SampleResult write_sample_workspace(const std::string& dir, const SampleOptions& options,
                                    spreadsheet::FileFormat& format) {
  SampleResult result;
  const fs::path root = host::file_path(dir);
  fs::create_directories(in(root, sheets::kDataFolderName));
  fs::create_directories(in(root, sheets::kPhotoFolderName));
  std::mt19937 rng(options.seed);

  // Host workbook.
  Workbook host;
  build_host_workbook(host);

  // Data workbook.
  const std::vector<Examinee> examinees = make_examinees(options, rng);
  Workbook data;
  const Styles data_styles(data);
  build_data_workbook(data, data_styles, examinees, &result.rooms);
  add_sample_sessions(host, data, options.seed);
  add_invigilator_sheet(data, result.rooms, options.seed);

  host.file_path = host::path_text(in(root, kHostWorkbookName));
  format.save(host, host.file_path);
  result.files.push_back(kHostWorkbookName);
  add_room_shapes(data);
  data.file_path = host::path_text(in(in(root, sheets::kDataFolderName), kDataWorkbookName));
  format.save(data, data.file_path);
  result.files.push_back(std::string(sheets::kDataFolderName) + "/" + kDataWorkbookName);

  // Photos, one folder per school.
  uint32_t variant = options.seed;
  for (const Examinee& e : examinees) {
    variant = variant * 1664525u + 1013904223u;
    if (!e.has_photo) continue;
    const fs::path folder = in(in(root, sheets::kPhotoFolderName), e.folder);
    fs::create_directories(folder);
    const std::string file = host::path_text(in(folder, e.id + ".jpg"));
    if (!write_portrait_jpeg(file, variant >> 8)) {
      throw host::HostError::host(host::kPermissionDenied, "无法写入 " + file);
    }
    ++result.photos;
  }
  result.files.push_back(std::string(sheets::kPhotoFolderName) + "/");

  write_file(in(root, sheets::kHelpDocumentName), help_document_rtf());
  result.files.push_back(sheets::kHelpDocumentName);
  return result;
}

}  // namespace kelv::sample
