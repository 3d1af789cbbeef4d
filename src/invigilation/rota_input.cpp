#include "invigilation/rota_input.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "host/host_error.h"
#include "invigilation/cell_words.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"

namespace kelv::invigilation {

bool RotaInput::usable() const {
  return std::none_of(problems.begin(), problems.end(),
                      [](const InputProblem& p) { return p.severity == Severity::Error; });
}

namespace {

using host::Variant;
using host::Worksheet;

constexpr int32_t kRoleCount = static_cast<int32_t>(std::size(sheets::kInvigilatorRoles));
// The label of the one sitting of a data workbook without 场次表.
constexpr const char* kSingleSittingLabel = "本次考试";

std::string quoted(std::string_view s) {
  return "“" + std::string(s) + "”";
}

std::string role_heading(int32_t role) {
  return std::string(sheets::kInvigilatorHeadingPrefix) +
         std::string(sheets::kInvigilatorRoles[role]);
}

// A data sheet's table: the current region of A1, its headings found with
// the spaces people type into them taken out.
struct Table {
  Worksheet* sheet = nullptr;
  int32_t last_row = 1, last_col = 0;
  std::map<std::string, int32_t, std::less<>> columns;

  int32_t column(std::string_view heading) const {
    const auto it = columns.find(heading);
    return it == columns.end() ? 0 : it->second;
  }
  Variant value(int32_t r, int32_t c) const { return c > 0 ? sheet->cell_value(r, c) : Variant(); }
  std::string text(int32_t r, int32_t c) const { return c > 0 ? CellText(value(r, c)) : ""; }
};

Table table_of(Worksheet& sheet) {
  Table t;
  t.sheet = &sheet;
  const host::Rect region = sheet.current_region(1, 1);
  t.last_row = region.row2;
  t.last_col = region.col2;
  for (int32_t c = 1; c <= t.last_col; ++c) {
    const std::string h = CellText(sheet.cell_value(1, c));
    if (h.empty()) continue;
    // Headings compare without the spaces inside them ("考 场").
    std::string key;
    for (size_t i = 0; i < h.size(); ++i)
      if (h[i] != ' ') key += h[i];
    key = Trimmed(key);
    t.columns.emplace(key, c);
  }
  return t;
}

Worksheet* find_sheet(host::Workbook& book, std::string_view name) {
  for (int32_t i = 0; i < book.sheet_count(); ++i)
    if (book.sheet_at(i).name() == name) return &book.sheet_at(i);
  return nullptr;
}

// An item of 不监考 or 必监考 as a sitting's key: 第3场 and ３ are 3.
std::string sitting_item(std::string_view item) {
  const std::string digits = AsciiDigits(Trimmed(item));
  std::string_view v = digits;
  if (v.starts_with("第") && v.ends_with("场") && v.size() > 6) v = v.substr(3, v.size() - 6);
  return std::string(v);
}

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Room names compare as written; a number typed into a general cell (03
// read as 3) still names room 03 when no room is called 3.
bool same_number(std::string_view a, std::string_view b) {
  if (!all_digits(a) || !all_digits(b)) return false;
  while (a.size() > 1 && a.front() == '0') a.remove_prefix(1);
  while (b.size() > 1 && b.front() == '0') b.remove_prefix(1);
  return a == b;
}

bool looks_like_subject(const std::string& item) {
  static const std::set<std::string> kKnown = {"语文", "数学", "外语", "物理", "化学", "生物",
                                               "历史", "地理", "政治", "技术", "日语", "俄语",
                                               "科学", "体育", "音乐", "美术"};
  return kKnown.count(SubjectKey(item)) > 0;
}

// What 监考表 says of one teacher, before the rooms are known.
struct TeacherLine {
  int32_t teacher = 0;
  std::vector<std::string> classes, excluded, required;
};

class Reader {
 public:
  Reader(host::Workbook& book, const ReadOptions& options) : book_(book), options_(options) {}

  RotaInput run() {
    Worksheet* teachers = find_sheet(book_, sheets::kInvigilatorSheet);
    if (teachers == nullptr) {
      error("", 0, "", "",
            std::string("数据工作簿里没有“") + sheets::kInvigilatorSheet +
                "”：请加一张监考表，第一行写列标题 姓名（必填）、学科、任教班级、最多场数、"
                "不监考、必监考，每位监考老师一行");
      return std::move(in_);
    }
    read_teachers(*teachers);
    if (find_sheet(book_, sheets::kTimetableSheet) != nullptr)
      read_sessions();
    else
      read_single_sitting();
    // Without the names or the rooms nothing more can be read; any other
    // mistake is listed with the rest.
    if (!readable_) return std::move(in_);
    read_fixed();
    make_bars();
    read_required();
    check_classes();
    return std::move(in_);
  }

 private:
  InputProblem& add(Severity s, const std::string& sheet, int32_t row, const std::string& heading,
                    const std::string& value, std::string message) {
    in_.problems.push_back({s, sheet, row, heading, value, std::move(message)});
    return in_.problems.back();
  }
  void error(const std::string& sheet, int32_t row, const std::string& heading,
             const std::string& value, std::string message) {
    add(Severity::Error, sheet, row, heading, value, std::move(message));
  }
  void notice(const std::string& sheet, int32_t row, const std::string& heading,
              const std::string& value, std::string message) {
    add(Severity::Notice, sheet, row, heading, value, std::move(message));
  }
  void earlier_step(const std::string& sheet, int32_t row, std::string message) {
    error(sheet, row, "", "", std::move(message));
    in_.problems.back().earlier_step = true;
  }

  // --- 监考表 ---

  void read_teachers(Worksheet& sheet) {
    const Table t = table_of(sheet);
    const std::string name = sheets::kInvigilatorSheet;
    const int32_t name_col = t.column(sheets::kTeacherNameHeading);
    if (name_col == 0) {
      error(name, 1, "", "",
            std::string("监考表第一行没有“") + sheets::kTeacherNameHeading +
                "”列：每位老师的姓名写在这一列");
      readable_ = false;
      return;
    }
    const int32_t subject_col = t.column(sheets::kTeacherSubjectHeading);
    const int32_t classes_col = t.column(sheets::kTeacherClassesHeading);
    const int32_t max_col = t.column(sheets::kTeacherMaxHeading);
    const int32_t excluded_col = t.column(sheets::kTeacherExcludedHeading);
    const int32_t required_col = t.column(sheets::kTeacherRequiredHeading);
    std::map<std::string, int32_t> rows_of;
    for (int32_t r = 2; r <= t.last_row; ++r) {
      const std::string teacher = t.text(r, name_col);
      if (teacher.empty()) {
        bool other = false;
        for (int32_t c = 1; c <= t.last_col; ++c) other = other || !t.text(r, c).empty();
        if (other) notice(name, r, sheets::kTeacherNameHeading, "", "这一行没有姓名，不参加安排");
        continue;
      }
      if (const auto it = rows_of.find(teacher); it != rows_of.end()) {
        error(
            name, r, sheets::kTeacherNameHeading, teacher,
            "姓名" + quoted(teacher) + "在第 " + std::to_string(it->second) +
                " 行已经有了：同名的两位老师请写得能分开（如 王芳（数学）），否则安排里分不清是谁");
        continue;
      }
      rows_of.emplace(teacher, r);
      Teacher tc;
      tc.name = teacher;
      tc.subject = t.text(r, subject_col);
      tc.row = r;
      if (max_col > 0) {
        const Variant v = t.value(r, max_col);
        if (!CellText(v).empty()) {
          tc.max_duties = WholeNumber(v);
          if (!tc.max_duties)
            error(name, r, sheets::kTeacherMaxHeading, CellText(v),
                  "最多场数要写 0 或正整数（如 3），空着表示不限");
        }
      }
      TeacherLine line;
      line.teacher = static_cast<int32_t>(in_.model.teachers.size());
      line.classes = SplitList(t.text(r, classes_col));
      line.excluded = SplitList(t.text(r, excluded_col));
      line.required = SplitList(t.text(r, required_col));
      in_.model.teachers.push_back(std::move(tc));
      lines_.push_back(std::move(line));
    }
    if (in_.model.teachers.empty()) {
      error(name, 2, "", "", "监考表里没有老师：从第 2 行起每位老师一行");
      readable_ = false;
    }
  }

  // --- Rooms ---

  int32_t need_from(const Table& t, int32_t r, int32_t col, const std::string& sheet) {
    if (col == 0) return sheets::kDefaultInvigilatorsPerRoom;
    const Variant v = t.value(r, col);
    if (CellText(v).empty()) return sheets::kDefaultInvigilatorsPerRoom;
    const std::optional<int32_t> n = WholeNumber(v);
    if (!n || *n > kRoleCount) {
      error(sheet, r, sheets::kRoomInvigilatorCountHeading, CellText(v),
            "监考人数要写 0 到 " + std::to_string(kRoleCount) + " 的整数，空着是 " +
                std::to_string(sheets::kDefaultInvigilatorsPerRoom) + " 人");
      return 0;
    }
    return *n;
  }

  // The rows of 考生表 that are examinees: a value in a column of the
  // school's own, not only in those the assignment writes (the places it
  // writes below the list when there are more places than examinees).
  std::vector<int32_t> user_columns(const Table& t) {
    std::set<std::string_view> written(std::begin(sheets::kAssignmentHeadings),
                                       std::end(sheets::kAssignmentHeadings));
    for (const sheets::GroupCount& g : {sheets::kSchoolCount, sheets::kGradeCount,
                                        sheets::kClassCount, sheets::kClassCountAlternative})
      written.insert(g.count);
    std::vector<int32_t> cols;
    for (const auto& [heading, col] : t.columns)
      if (!written.count(heading)) cols.push_back(col);
    return cols;
  }

  void read_single_sitting() {
    Worksheet* rooms = find_sheet(book_, sheets::kRoomSheet);
    Worksheet* examinees = find_sheet(book_, sheets::kExamineeSheet);
    if (rooms == nullptr || examinees == nullptr) {
      error("", 0, "", "",
            std::string("数据工作簿里要有“") + sheets::kRoomSheet + "”和“" +
                sheets::kExamineeSheet + "”：监考按考场安排，先编排考号");
      readable_ = false;
      return;
    }
    in_.sessions = false;
    in_.room_sheet = sheets::kRoomSheet;
    const Table rt = table_of(*rooms);
    const int32_t need_col = rt.column(sheets::kRoomInvigilatorCountHeading);
    std::map<std::string, int32_t> room_of;
    std::vector<SittingRoom> all;
    for (int32_t r = sheets::kRoomFirstRow; r <= rt.last_row; ++r) {
      SittingRoom room;
      room.name = rt.text(r, sheets::kRoomNameColumn);
      if (room.name.empty()) continue;
      room.location = rt.text(r, sheets::kRoomLocationColumn);
      room.need = need_from(rt, r, need_col, sheets::kRoomSheet);
      room.row = r;
      if (room_of.count(room.name)) {
        error(sheets::kRoomSheet, r, sheets::kRoomHeadings[0], room.name,
              "考场" + quoted(room.name) + "在考场表里出现了两次：每个考场一行");
        continue;
      }
      room_of.emplace(room.name, static_cast<int32_t>(all.size()));
      all.push_back(std::move(room));
    }
    const Table et = table_of(*examinees);
    const int32_t room_col = et.column(sheets::kAssignmentHeadings[sheets::kAssignedRoom]);
    int32_t class_col = et.column(sheets::kClassCount.group);
    if (class_col == 0) class_col = et.column(sheets::kClassCountAlternative.group);
    const int32_t grade_col = et.column(sheets::kGradeCount.group);
    const std::vector<int32_t> own = user_columns(et);
    std::vector<bool> seated(all.size(), false);
    std::vector<std::set<std::string>> keys(all.size());
    for (int32_t r = 2; room_col > 0 && r <= et.last_row; ++r) {
      const auto it = room_of.find(et.text(r, room_col));
      if (it == room_of.end()) continue;
      bool examinee = own.empty();
      for (int32_t c : own) examinee = examinee || !et.text(r, c).empty();
      if (!examinee) continue;
      seated[it->second] = true;
      add_class(all[it->second], keys[it->second], et.text(r, class_col), et.text(r, grade_col));
    }
    std::vector<std::string> empty_rooms;
    Sitting one;
    one.label = kSingleSittingLabel;
    for (size_t i = 0; i < all.size(); ++i) {
      if (!seated[i]) {
        empty_rooms.push_back(all[i].name);
        continue;
      }
      in_.model.rooms.push_back(std::move(all[i]));
      class_keys_.push_back(std::move(keys[i]));
    }
    if (in_.model.rooms.empty()) {
      earlier_step(
          sheets::kExamineeSheet, 0,
          "考生表里还没有考生坐进考场（没有“考场”列或它是空的）：请先编排考号，再安排监考");
      readable_ = false;
      return;
    }
    if (!empty_rooms.empty())
      notice(sheets::kRoomSheet, 0, "", "",
             "考场表有 " + std::to_string(empty_rooms.size()) + " 个考场没有考生（" +
                 listed(empty_rooms) + "），不给它们安排监考");
    one.end_room = static_cast<int32_t>(in_.model.rooms.size());
    in_.model.sittings.push_back(one);
    in_.model.half_days.push_back(kSingleSittingLabel);
    in_.times.emplace_back();
    // 监考甲 and 监考乙 stand in columns D and E; 监考丙 … are found by heading.
    in_.role_columns.assign(kRoleCount, 0);
    in_.role_columns[0] = sheets::kRoomInvigilatorAColumn;
    in_.role_columns[1] = sheets::kRoomInvigilatorBColumn;
    for (int32_t role = 2; role < kRoleCount; ++role)
      in_.role_columns[role] = rt.column(role_heading(role));
    room_table_ = rt;
  }

  void read_sessions() {
    in_.sessions = true;
    in_.room_sheet = sheets::kSessionRoomsSheet;
    Worksheet* rooms = find_sheet(book_, sheets::kSessionRoomsSheet);
    if (rooms == nullptr) {
      earlier_step(sheets::kTimetableSheet, 0,
                   std::string("有场次表，但还没有“") + sheets::kSessionRoomsSheet +
                       "”：请先做场次编排（kelv sessions），再安排监考");
      readable_ = false;
      return;
    }
    const Table st = table_of(*rooms);
    const std::string sheet = sheets::kSessionRoomsSheet;
    const int32_t sitting_col = st.column(sheets::kSessionHeading);
    const int32_t room_col = st.column(sheets::kAssignmentHeadings[sheets::kAssignedRoom]);
    if (sitting_col == 0 || room_col == 0) {
      error(sheet, 1, "", "", "场次考场的第一行要有“场次”和“考场”列：请重新做场次编排");
      readable_ = false;
      return;
    }
    const int32_t subject_col = st.column(sheets::kSubjectHeading);
    const int32_t date_col = st.column(sheets::kDateHeading);
    const int32_t start_col = st.column(sheets::kStartHeading);
    const int32_t end_col = st.column(sheets::kEndHeading);
    const int32_t location_col = st.column(sheets::kAssignmentHeadings[sheets::kAssignedLocation]);
    int32_t need_col = st.column(sheets::kRoomInvigilatorCountHeading);
    // 监考人数 of 考场表 by room name, when 场次考场 has none of its own.
    std::map<std::string, int32_t> room_needs;
    if (Worksheet* main = find_sheet(book_, sheets::kRoomSheet); main != nullptr && need_col == 0) {
      const Table rt = table_of(*main);
      const int32_t col = rt.column(sheets::kRoomInvigilatorCountHeading);
      for (int32_t r = sheets::kRoomFirstRow; col > 0 && r <= rt.last_row; ++r)
        room_needs.emplace(rt.text(r, sheets::kRoomNameColumn),
                           need_from(rt, r, col, sheets::kRoomSheet));
    }
    std::vector<std::string> keys;
    std::map<std::string, std::vector<SittingRoom>> by_key;
    std::set<std::pair<std::string, std::string>> seen;
    std::map<std::string, int32_t> first_row;
    for (int32_t r = 2; r <= st.last_row; ++r) {
      const std::string key = st.text(r, sitting_col), name = st.text(r, room_col);
      if (key.empty() && name.empty()) continue;
      if (key.empty() || name.empty()) {
        error(sheet, r, key.empty() ? sheets::kSessionHeading : "考场", "",
              "场次考场的这一行缺场次或考场：请重新做场次编排");
        continue;
      }
      if (!seen.insert({key, name}).second) {
        error(
            sheet, r, "考场", name,
            "考场" + quoted(name) + "在" + SittingLabel(key) + "出现了两次：一个考场一场只考一科");
        continue;
      }
      if (!by_key.count(key)) {
        keys.push_back(key);
        first_row.emplace(key, r);
      }
      SittingRoom room;
      room.name = name;
      room.location = st.text(r, location_col);
      room.subject = st.text(r, subject_col);
      room.row = r;
      if (need_col > 0) {
        room.need = need_from(st, r, need_col, sheet);
      } else {
        const auto it = room_needs.find(name);
        room.need = it == room_needs.end() ? sheets::kDefaultInvigilatorsPerRoom : it->second;
      }
      by_key[key].push_back(std::move(room));
    }
    if (keys.empty()) {
      earlier_step(sheet, 2, "场次考场是空的：请先做场次编排，再安排监考");
      readable_ = false;
      return;
    }
    std::map<std::string, int32_t> half_of;
    for (const std::string& key : keys) {
      Sitting s;
      s.key = key;
      s.label = SittingLabel(key);
      s.first_room = static_cast<int32_t>(in_.model.rooms.size());
      std::vector<std::string> subjects;
      for (SittingRoom& room : by_key[key]) {
        room.sitting = static_cast<int32_t>(in_.model.sittings.size());
        if (!room.subject.empty() &&
            std::find(subjects.begin(), subjects.end(), room.subject) == subjects.end())
          subjects.push_back(room.subject);
        in_.model.rooms.push_back(std::move(room));
      }
      s.end_room = static_cast<int32_t>(in_.model.rooms.size());
      const int32_t r = first_row[key];
      SittingTimes times;
      times.date = st.value(r, date_col);
      times.start = st.value(r, start_col);
      times.end = st.value(r, end_col);
      if (date_col > 0) times.date_format = rooms->number_format(r, date_col);
      if (start_col > 0) times.start_format = rooms->number_format(r, start_col);
      if (end_col > 0) times.end_format = rooms->number_format(r, end_col);
      for (const std::string& subject : subjects)
        times.subjects += (times.subjects.empty() ? "" : "、") + subject;
      // The half-day: the date with 上午, 下午 or 晚上 by the start time.
      std::optional<double> hour = HourOfDay(times.start);
      if (!hour) hour = HourOfDay(times.end);
      std::string half_key, half_label;
      const std::string date = DateText(times.date);
      if (hour) {
        const char* part = *hour < 12 ? "上午" : *hour < 18 ? "下午" : "晚上";
        half_key = CellText(times.date) + "|" + part;
        half_label = date + part;
      } else {
        half_key = "|" + key;
        half_label = s.label;
      }
      const auto [it, fresh] =
          half_of.emplace(half_key, static_cast<int32_t>(in_.model.half_days.size()));
      if (fresh) in_.model.half_days.push_back(half_label);
      s.half_day = it->second;
      in_.model.sittings.push_back(std::move(s));
      in_.times.push_back(std::move(times));
    }
    class_keys_.resize(in_.model.rooms.size());
    read_session_classes();
    in_.role_columns.assign(kRoleCount, 0);
    for (int32_t role = 0; role < kRoleCount; ++role)
      in_.role_columns[role] = st.column(role_heading(role));
    room_table_ = st;
  }

  void read_session_classes() {
    Worksheet* seating = find_sheet(book_, sheets::kSessionSeatingSheet);
    if (seating == nullptr) {
      notice(sheets::kSessionSeatingSheet, 0, "", "",
             std::string("没有“") + sheets::kSessionSeatingSheet +
                 "”，不知道每场每个考场里有哪些班级：“不监考任教班级”这条规则用不上");
      return;
    }
    const Table t = table_of(*seating);
    const int32_t sitting_col = t.column(sheets::kSessionHeading);
    const int32_t room_col = t.column(sheets::kAssignmentHeadings[sheets::kAssignedRoom]);
    const int32_t class_col = t.column(sheets::kClassCount.group);
    const int32_t grade_col = t.column(sheets::kGradeCount.group);
    if (sitting_col == 0 || room_col == 0 || class_col == 0) return;
    std::map<std::pair<std::string, std::string>, int32_t> room_of;
    for (int32_t k = 0; k < in_.model.room_count(); ++k) {
      const SittingRoom& room = in_.model.rooms[k];
      room_of.emplace(std::pair(in_.model.sittings[room.sitting].key, room.name), k);
    }
    std::pair<std::string, std::string> last;
    int32_t last_room = -1;
    for (int32_t r = 2; r <= t.last_row; ++r) {
      std::pair<std::string, std::string> key(t.text(r, sitting_col), t.text(r, room_col));
      if (key != last || last_room < 0) {
        const auto it = room_of.find(key);
        last_room = it == room_of.end() ? -2 : it->second;
        last = std::move(key);
      }
      if (last_room < 0) continue;
      add_class(in_.model.rooms[last_room], class_keys_[last_room], t.text(r, class_col),
                t.text(r, grade_col));
    }
  }

  // A class seated in a room, under its own name and with its grade before
  // it (3班 and 高一3班), so a teacher's 任教班级 meets it written either way.
  void add_class(SittingRoom& room, std::set<std::string>& keys, const std::string& klass,
                 const std::string& grade) {
    if (klass.empty()) return;
    if (std::find(room.classes.begin(), room.classes.end(), klass) == room.classes.end())
      room.classes.push_back(klass);
    keys.insert(klass);
    known_classes_.insert(klass);
    if (grade.empty()) return;
    keys.insert(grade + klass);
    known_classes_.insert(grade + klass);
  }

  // --- Names already in the rooms ---

  void read_fixed() {
    RotaModel& m = in_.model;
    std::map<std::string, int32_t> teacher_of;
    for (int32_t t = 0; t < m.teacher_count(); ++t) teacher_of.emplace(m.teachers[t].name, t);
    const std::string& sheet = in_.room_sheet;
    // (teacher, sitting) -> the room of a typed duty there
    std::map<std::pair<int32_t, int32_t>, int32_t> typed;
    std::vector<std::string> outside_shown;
    for (int32_t k = 0; k < m.room_count(); ++k) {
      const SittingRoom& room = m.rooms[k];
      for (int32_t role = 0; role < kRoleCount; ++role) {
        const int32_t col = in_.role_columns[role];
        if (col == 0) continue;
        const std::string name = room_table_.text(room.row, col);
        if (name.empty() || options_.fresh) continue;
        const std::string where = where_of(k);
        if (role >= room.need) {
          error(sheet, room.row, role_heading(role), name,
                where + "的监考人数是 " + std::to_string(room.need) + "，却已经填了" +
                    role_heading(role) + quoted(name) +
                    "：请改监考人数，或清掉多出的名字，或重新安排全部监考");
          continue;
        }
        int32_t t = 0;
        if (const auto it = teacher_of.find(name); it != teacher_of.end()) {
          t = it->second;
        } else {
          Teacher outside;
          outside.name = name;
          outside.outside = true;
          t = m.teacher_count();
          m.teachers.push_back(std::move(outside));
          teacher_of.emplace(name, t);
          notice(sheet, room.row, role_heading(role), name,
                 quoted(name) + "不在监考表里：按已填的保留在" + where + "，不另外安排");
        }
        const auto [it, fresh] = typed.emplace(std::pair(t, room.sitting), k);
        if (!fresh) {
          error(sheet, room.row, role_heading(role), name,
                quoted(name) + "已经填在" + where_of(it->second) + "，同一场不能再监考考场 " +
                    room.name + "：请清掉其中一个，或重新安排全部监考");
          continue;
        }
        m.fixed.push_back({t, k, role});
      }
    }
    for (Teacher& t : m.teachers)
      if (t.outside) t.max_duties = 0;
    for (const FixedDuty& f : m.fixed)
      if (m.teachers[f.teacher].outside) ++*m.teachers[f.teacher].max_duties;
  }

  std::string where_of(int32_t k) const {
    const SittingRoom& room = in_.model.rooms[k];
    const std::string name = "考场 " + room.name;
    return in_.sessions ? in_.model.sittings[room.sitting].label + name : name;
  }

  // --- Why a teacher may not take a room ---

  void make_bars() {
    RotaModel& m = in_.model;
    const int32_t T = m.teacher_count(), K = m.room_count();
    m.bars.assign(static_cast<size_t>(T) * K, 0);
    std::vector<std::string> room_subjects(K);
    for (int32_t k = 0; k < K; ++k) room_subjects[k] = SubjectKey(m.rooms[k].subject);
    for (int32_t t = 0; t < T; ++t)
      if (m.teachers[t].outside)
        for (int32_t k = 0; k < K; ++k) m.bar(k, t) |= kBarOutside;
    for (const TeacherLine& line : lines_) {
      const int32_t t = line.teacher;
      const Teacher& teacher = m.teachers[t];
      const std::string subject = SubjectKey(teacher.subject);
      for (int32_t k = 0; k < K; ++k) {
        if (!subject.empty() && subject == room_subjects[k]) m.bar(k, t) |= kBarOwnSubject;
        for (const std::string& c : line.classes)
          if (class_keys_[k].count(c)) m.bar(k, t) |= kBarOwnClass;
      }
      for (const std::string& item : line.excluded) {
        const std::vector<int32_t> rooms = rooms_named(item);
        if (rooms.empty()) {
          if (!in_.sessions && looks_like_subject(item))
            notice(sheets::kInvigilatorSheet, teacher.row, sheets::kTeacherExcludedHeading, item,
                   "只有一场考试（没有场次表），不监考里的科目" + quoted(item) + "用不上");
          else
            error(sheets::kInvigilatorSheet, teacher.row, sheets::kTeacherExcludedHeading, item,
                  "不监考" + quoted(item) +
                      "不是任何场次、科目或考场：写场次（如 3 或 第3场）"
                      "或科目（如 物理）");
          continue;
        }
        for (int32_t k : rooms) m.bar(k, t) |= kBarExcluded;
      }
    }
    // Typed duties against the rules.
    const uint8_t mask = options_.rules.mask();
    for (const FixedDuty& f : m.fixed) {
      const Teacher& teacher = m.teachers[f.teacher];
      if (teacher.outside) continue;
      const uint8_t bar = m.bar(f.room, f.teacher);
      const SittingRoom& room = m.rooms[f.room];
      const std::string who = quoted(teacher.name) + "填在" + where_of(f.room) + "，";
      if (bar & kBarExcluded) {
        error(in_.room_sheet, room.row, role_heading(f.role), teacher.name,
              who + "可监考表上写着不监考这一场或这一科：请改其中一处，或重新安排全部监考");
      } else if (bar & mask & kBarOwnSubject) {
        notice(in_.room_sheet, room.row, role_heading(f.role), teacher.name,
               who + "这是本学科（" + teacher.subject + "）的考试：按已填的保留");
      } else if (bar & mask & kBarOwnClass) {
        notice(in_.room_sheet, room.row, role_heading(f.role), teacher.name,
               who + "这个考场里有任教的班级：按已填的保留");
      }
    }
    std::vector<int32_t> typed(m.teacher_count(), 0);
    for (const FixedDuty& f : m.fixed) ++typed[f.teacher];
    for (const TeacherLine& line : lines_) {
      const Teacher& teacher = m.teachers[line.teacher];
      if (teacher.max_duties && typed[line.teacher] > *teacher.max_duties)
        error(sheets::kInvigilatorSheet, teacher.row, sheets::kTeacherMaxHeading,
              std::to_string(*teacher.max_duties),
              quoted(teacher.name) + "已经填了 " + std::to_string(typed[line.teacher]) +
                  " 场监考，超过最多场数 " + std::to_string(*teacher.max_duties) +
                  "：请提高最多场数，或清掉多出的，或重新安排全部监考");
    }
  }

  // The rooms an item names: a sitting's rooms, else a paper's rooms
  // (科目), else the rooms of that name.
  std::vector<int32_t> rooms_named(const std::string& item) const {
    const RotaModel& m = in_.model;
    std::vector<int32_t> out;
    const std::string key = sitting_item(item);
    for (int32_t s = 0; s < m.sitting_count(); ++s) {
      const Sitting& sitting = m.sittings[s];
      const bool single = !in_.sessions && (key == "1");
      if (single ||
          (in_.sessions && (sitting.key == item || sitting.key == key || sitting.label == item)))
        for (int32_t k = sitting.first_room; k < sitting.end_room; ++k) out.push_back(k);
    }
    if (!out.empty()) return out;
    const std::string subject = SubjectKey(item);
    for (int32_t k = 0; k < m.room_count(); ++k)
      if (!m.rooms[k].subject.empty() && SubjectKey(m.rooms[k].subject) == subject)
        out.push_back(k);
    if (!out.empty()) return out;
    for (int32_t k = 0; k < m.room_count(); ++k)
      if (m.rooms[k].name == item) out.push_back(k);
    if (!out.empty()) return out;
    for (int32_t k = 0; k < m.room_count(); ++k)
      if (same_number(m.rooms[k].name, key)) out.push_back(k);
    return out;
  }

  // --- 必监考 ---

  void read_required() {
    RotaModel& m = in_.model;
    const uint8_t mask = options_.rules.mask();
    for (const TeacherLine& line : lines_) {
      const Teacher& teacher = m.teachers[line.teacher];
      for (const std::string& item : line.required) {
        std::vector<int32_t> rooms = rooms_named(item);
        if (rooms.empty()) {
          error(sheets::kInvigilatorSheet, teacher.row, sheets::kTeacherRequiredHeading, item,
                "必监考" + quoted(item) +
                    "不是任何场次、科目或考场：写场次（如 3 或 第3场）、"
                    "科目或考场");
          continue;
        }
        uint8_t all = 0xFF;
        for (int32_t k : rooms) all &= m.bar(k, line.teacher) & mask;
        if (all != 0) {
          std::string why = (all & kBarExcluded)     ? "可不监考里也写着它"
                            : (all & kBarOwnSubject) ? "那是本学科（" + teacher.subject +
                                                           "）的考试（规则：不监考本学科）"
                                                     : "那里坐着任教的班级（规则：不监考任教班级）";
          error(sheets::kInvigilatorSheet, teacher.row, sheets::kTeacherRequiredHeading, item,
                quoted(teacher.name) + "必监考" + quoted(item) + "，" + why +
                    "：请改必监考，或改不监考，或在设置里关掉那条规则");
          continue;
        }
        m.required.push_back({line.teacher, item, std::move(rooms)});
      }
    }
  }

  void check_classes() {
    if (known_classes_.empty()) return;
    const RotaModel& m = in_.model;
    for (const TeacherLine& line : lines_)
      for (const std::string& c : line.classes)
        if (!known_classes_.count(c))
          notice(sheets::kInvigilatorSheet, m.teachers[line.teacher].row,
                 sheets::kTeacherClassesHeading, c,
                 "任教班级" + quoted(c) +
                     "在考生的班级里没有：这位老师按不教这个班安排。"
                     "班级要写得和考生表的班级一样（如 3班 或 高一3班）");
  }

  static std::string listed(const std::vector<std::string>& names) {
    std::string out;
    for (size_t i = 0; i < names.size() && i < 8; ++i) out += (i ? "、" : "") + names[i];
    if (names.size() > 8) out += " 等";
    return out;
  }

  host::Workbook& book_;
  const ReadOptions& options_;
  RotaInput in_;
  std::vector<TeacherLine> lines_;
  Table room_table_;
  std::vector<std::set<std::string>> class_keys_;  // per room: its classes, with grades too
  std::set<std::string> known_classes_;
  bool readable_ = true;
};

}  // namespace

RotaInput ReadRota(host::Workbook& data_book, const ReadOptions& options) {
  return Reader(data_book, options).run();
}

}  // namespace kelv::invigilation
