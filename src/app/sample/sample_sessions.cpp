#include "app/sample/sample_sessions.h"

#include <algorithm>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/core/workbook_files.h"
#include "sessions/arrange_sessions.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"
#include "sheets/settings_sheet.h"
#include "spreadsheet/cells.h"

namespace kelv::sample {
namespace {

using spreadsheet::Sheet;
using spreadsheet::Style;
using spreadsheet::Workbook;
using Variant = host::Variant;

struct Paper {
  int32_t session;
  const char* subject;
  int32_t day;  // of June 2025
  const char* start;
  const char* end;
  double start_time, end_time;  // fractions of a day
};
constexpr Paper kTimetable[] = {
    {1, "语文", 7, "9:00", "11:30", 9.0 / 24, 11.5 / 24},
    {2, "数学", 7, "15:00", "17:00", 15.0 / 24, 17.0 / 24},
    {3, "物理", 8, "9:00", "10:15", 9.0 / 24, 10.25 / 24},
    {3, "历史", 8, "9:00", "10:15", 9.0 / 24, 10.25 / 24},
    {4, "外语", 8, "15:00", "17:00", 15.0 / 24, 17.0 / 24},
    {5, "化学", 9, "8:30", "9:45", 8.5 / 24, 9.75 / 24},
    {6, "地理", 9, "11:00", "12:15", 11.0 / 24, 12.25 / 24},
    {7, "政治", 9, "15:00", "16:15", 15.0 / 24, 16.25 / 24},
    {8, "生物", 9, "17:30", "18:45", 17.5 / 24, 18.75 / 24},
};
constexpr double kJune1st2025 = 45809;  // the date serial of 2025-06-01

// The twelve combinations in timetable order and how often each is
// chosen, in hundredths.
struct Combination {
  const char* brief;
  const char* full;
  int32_t share;
};
constexpr Combination kCombinations[] = {
    {"物化生", "物理 化学 生物", 20}, {"物化政", "物理 化学 政治", 6},
    {"物化地", "物理 化学 地理", 9},  {"物生政", "物理 生物 政治", 4},
    {"物生地", "物理 生物 地理", 7},  {"物政地", "物理 政治 地理", 3},
    {"史化生", "历史 化学 生物", 3},  {"史化政", "历史 化学 政治", 5},
    {"史化地", "历史 化学 地理", 4},  {"史生政", "历史 生物 政治", 6},
    {"史生地", "历史 生物 地理", 5},  {"史政地", "历史 政治 地理", 28},
};

// The same room size as the sample's rooms: one combination a room, so
// that with combinations kept together nobody changes room for a paper.
constexpr int32_t kPlacesPerRoom = 30;

Sheet* sheet_named(Workbook& book, const std::string& name) {
  for (auto& s : book.sheets)
    if (s->name == name) return s.get();
  return nullptr;
}

void put(Sheet& sheet, int32_t r, int32_t c, const Variant& v, uint32_t style = 0) {
  spreadsheet::Cell& cell = spreadsheet::cells::get(sheet, r, c);
  cell.value = v;
  if (style != 0) cell.style = style;
}

// The combination of each examinee in sheet order: drawn a room's worth at a
// time, the rooms' draws in timetable order, so the short last room gets
// the last combination.
std::vector<int32_t> combinations(int32_t examinees, uint32_t seed) {
  std::mt19937 rng(seed ^ 0x5e55u);
  const int32_t rooms = (examinees + kPlacesPerRoom - 1) / kPlacesPerRoom;
  std::vector<int32_t> drawn;
  for (int32_t k = 0; k < rooms; ++k) {
    int32_t at = std::uniform_int_distribution<int32_t>(0, 99)(rng);
    int32_t c = 0;
    while (at >= kCombinations[c].share) at -= kCombinations[c++].share;
    drawn.push_back(c);
  }
  std::sort(drawn.begin(), drawn.end());
  std::vector<int32_t> out;
  out.reserve(static_cast<size_t>(std::max(examinees, 0)));
  for (int32_t i = 0; i < examinees; ++i) out.push_back(drawn[i / kPlacesPerRoom]);
  return out;
}

void add_electives(Workbook& data, uint32_t seed) {
  Sheet* examinees = sheet_named(data, sheets::kExamineeSheet);
  if (examinees == nullptr) return;
  const int32_t col = examinees->rows.empty() ? 1 : examinees->rows[0].cells.back().col + 1;
  const int32_t n = static_cast<int32_t>(examinees->rows.size()) - 1;
  put(*examinees, 1, col, std::string(sheets::kElectiveHeadings[0]),
      spreadsheet::cells::get(*examinees, 1, col - 1).style);
  const std::vector<int32_t> combination = combinations(n, seed);
  for (int32_t i = 0; i < n; ++i) {
    const Combination& c = kCombinations[combination[i]];
    put(*examinees, i + 2, col, std::string(i % 3 == 2 ? c.full : c.brief));
  }
  examinees->columns[col].width = 16;
  examinees->columns[col].custom_width = true;
}

void add_timetable(Workbook& data) {
  auto sheet = std::make_unique<Sheet>();
  sheet->name = sheets::kTimetableSheet;
  Style date_style, time_style, bold;
  date_style.number_format = "yyyy/m/d";
  time_style.number_format = "h:mm";
  bold.font.bold = true;
  const uint32_t date = data.styles.intern(date_style);
  const uint32_t time = data.styles.intern(time_style);
  const uint32_t heading = data.styles.intern(bold);
  const char* headings[] = {sheets::kSessionHeading, sheets::kSubjectHeading,
                            sheets::kDateHeading,    sheets::kStartHeading,
                            sheets::kEndHeading,     sheets::kPaperRoomsHeading,
                            sheets::kRemarkHeading};
  for (int32_t c = 0; c < 7; ++c) put(*sheet, 1, c + 1, std::string(headings[c]), heading);
  int32_t r = 2;
  for (const Paper& p : kTimetable) {
    put(*sheet, r, 1, p.session);
    put(*sheet, r, 2, std::string(p.subject));
    put(*sheet, r, 3, kJune1st2025 + p.day - 1, date);
    put(*sheet, r, 4, p.start_time, time);
    put(*sheet, r, 5, p.end_time, time);
    ++r;
  }
  put(*sheet, 4, 7, std::string("首选科目，同时开考"));
  put(*sheet, 5, 7, std::string("首选科目，同时开考"));
  sheet->columns[3].width = 11;
  sheet->columns[3].custom_width = true;
  sheet->columns[7].width = 20;
  sheet->columns[7].custom_width = true;
  data.sheets.push_back(std::move(sheet));
}

// A card of every paper: its time, room and seat.
void add_card_template(Workbook& host) {
  Style base;
  base.font.name = "宋体";
  base.font.size = 11;
  Style cell = base;
  cell.border = spreadsheet::Border{{"thin", spreadsheet::Color::rgb(0xFF000000)},
                                    {"thin", spreadsheet::Color::rgb(0xFF000000)},
                                    {"thin", spreadsheet::Color::rgb(0xFF000000)},
                                    {"thin", spreadsheet::Color::rgb(0xFF000000)},
                                    {},
                                    false,
                                    false};
  cell.alignment.horizontal = "center";
  cell.alignment.vertical = "center";
  cell.number_format = "@";
  Style label = cell;
  label.font.bold = true;
  Style banner = label;
  banner.font.size = 12;
  banner.fill.pattern = "solid";
  banner.fill.fg = spreadsheet::Color::rgb(0xFFDDEBF7);
  Style caption = base;
  caption.font.bold = true;
  caption.font.color = spreadsheet::Color::indexed(12);
  Style marker = base;
  marker.font.name = "Arial";
  marker.alignment.horizontal = "right";
  const uint32_t s_cell = host.styles.intern(cell), s_label = host.styles.intern(label),
                 s_banner = host.styles.intern(banner), s_caption = host.styles.intern(caption),
                 s_marker = host.styles.intern(marker);

  auto sheet = std::make_unique<Sheet>();
  Sheet& s = *sheet;
  s.name = kSessionCardTemplate;
  put(s, 1, 1, "<" + std::string(kSessionCardTemplate) + " 模板设计>", s_caption);
  const int32_t first = 3, last = 3 + 3 + static_cast<int32_t>(std::size(kTimetable));
  put(s, first, 1, std::string("#"), s_marker);
  put(s, last, 1, std::string("#"), s_marker);
  put(s, first, 6, std::string("#"), s_marker);
  for (int32_t c = 2; c <= 5; ++c) put(s, first, c, Variant(), s_banner);
  put(s, first, 2, std::string("期末考试 准考证（各科考场）"), s_banner);
  s.merges.push_back(host::Rect{first, 2, first, 5});
  put(s, first + 1, 2, std::string("姓名"), s_label);
  put(s, first + 1, 3, std::string("[姓名]"), s_cell);
  put(s, first + 1, 4, std::string("考号"), s_label);
  put(s, first + 1, 5, std::string("[考号]"), s_cell);
  int32_t r = first + 2;
  const char* heads[] = {"科目", "时间", "考场", "座号"};
  for (int32_t c = 0; c < 4; ++c) put(s, r, 2 + c, std::string(heads[c]), s_label);
  ++r;
  // The papers in the order they are sat, 物理 and 历史 on one line each.
  for (const Paper& p : kTimetable) {
    const std::string subject = p.subject;
    const bool everybody = subject == "语文" || subject == "数学" || subject == "外语";
    put(s, r, 2, subject, s_label);
    put(s, r, 3, std::to_string(6) + "月" + std::to_string(p.day) + "日 " + p.start, s_cell);
    put(s, r, 4, everybody ? std::string("[考场]") : "[" + subject + sheets::kPaperRoomSuffix + "]",
        s_cell);
    put(s, r, 5, everybody ? std::string("[座号]") : "[" + subject + sheets::kPaperSeatSuffix + "]",
        s_cell);
    ++r;
  }
  for (int32_t row = first; row <= last; ++row) {
    spreadsheet::Row& rr = spreadsheet::cells::row_at(s, row);
    rr.height = row == first ? 24 : 18;
    rr.custom_height = true;
  }
  const double widths[] = {3, 6, 14, 7, 12};
  for (int32_t c = 1; c <= 5; ++c) {
    s.columns[c].width = widths[c - 1];
    s.columns[c].custom_width = true;
  }
  host.sheets.push_back(std::move(sheet));

  // Its catalogue row, after the last: three cards down, two across,
  // sorted by 考号, margins of 28 points.
  Sheet* dtb = sheet_named(host, sheets::kSettingsSheet);
  if (dtb == nullptr) return;
  int32_t row = sheets::kCatalogueFirstRow;
  while (spreadsheet::cells::find(*dtb, row, sheets::kNameColumn) != nullptr) ++row;
  const Variant values[] = {
      std::string(kSessionCardTemplate), 3,    2,   20, 20, std::string("考号"),
      std::string(sheets::kNoColumn),    true, true};
  for (int32_t k = 0; k < 9; ++k) put(*dtb, row, sheets::kNameColumn + k, values[k]);
  const Variant page[] = {28.0, 28.0, 1, 9, 100, 600};  // margins, portrait, A4, zoom, quality
  for (int32_t k = 0; k < 6; ++k) put(*dtb, row, 24 + k, page[k]);
  put(*dtb, sheets::kCombinationRow, sheets::kKeepCombinationColumn, true);
}

}  // namespace

void add_sample_sessions(Workbook& host, Workbook& data, uint32_t seed) {
  add_electives(data, seed);
  add_timetable(data);
  add_card_template(host);
}

void add_session_card_template(Workbook& host) {
  add_card_template(host);
}

void run_sample_sessions(app::Workspace& workspace, const app::Questions& questions,
                         host::Workbook& data, std::ostream& out) {
  const sessions::SessionsReport report = sessions::ArrangeSessions(workspace.engine(), data, {});
  if (!report.written) {
    std::string why;
    for (const sessions::Problem& p : report.problems) why += p.message + "\n";
    throw std::runtime_error("场次编排没有进行：" + why);
  }
  std::vector<host::Workbook*> books;
  for (int32_t k = 0; k < workspace.engine().workbook_count(); ++k) {
    host::Workbook& b = workspace.engine().workbook_at(k);
    if (std::find(report.books.begin(), report.books.end(), b.name()) != report.books.end())
      books.push_back(&b);
  }
  app::SaveReport saved;
  workspace.save(books, questions, saved);
  out << "场次编排：" << report.sessions << " 场，" << report.seated << " 人次，换考场 "
      << report.moved << " 人次；写入 " << saved.saved.size() << " 个场次数据工作簿\n";
}

}  // namespace kelv::sample
