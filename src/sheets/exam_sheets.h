// The sheets of a whole exam, beyond one sitting: the timetable 场次表 a
// school writes, what the session arrangement writes back (场次安排,
// 场次考场, the per-paper room and seat columns of 考生表), the invigilator
// list 监考表 and the rota written from it (监考安排, 监考统计). People,
// templates and other programs read these sheets by their names and
// headings, so each is spelled here once. Every sheet has its headings in
// row 1 and one record per row below; columns are found by heading.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelv::sheets {

// 场次表: one row per paper; rows with the same 场次 are sat at one time.
inline constexpr const char* kTimetableSheet = "场次表";
inline constexpr const char* kSessionHeading = "场次";    // a number or a name
inline constexpr const char* kSubjectHeading = "科目";
inline constexpr const char* kDateHeading = "日期";
inline constexpr const char* kStartHeading = "开始";
inline constexpr const char* kEndHeading = "结束";
inline constexpr const char* kPaperRoomsHeading = "考场";  // optional: rooms the paper may use
inline constexpr const char* kRemarkHeading = "备注";       // optional

// The column of 考生表 that lists each examinee's subjects, and the other
// spellings schools give it, in the order they are looked for.
inline constexpr std::string_view kElectiveHeadings[] = {"选考科目", "选科", "科目组合"};

// 场次安排: one row per examinee and paper, sorted by 场次, 考场, 座号.
// 学校, 年级 and 班级 are written only when 考生表 has them.
inline constexpr const char* kSessionSeatingSheet = "场次安排";
inline constexpr std::string_view kSessionSeatingHeadings[] = {
    "考号", "姓名", "学校", "年级", "班级", "场次", "科目", "日期",
    "开始", "结束", "考场", "考室", "座号", "场次考场"};
// The key of one session room, for page changes in templates.
inline constexpr const char* kSessionRoomKeyHeading = "场次考场";

// 场次考场: one row per room of a 场次.
inline constexpr const char* kSessionRoomsSheet = "场次考场";
inline constexpr std::string_view kSessionRoomsHeadings[] = {
    "场次", "科目", "日期", "开始", "结束", "考场", "考室",
    "人数", "首考号", "尾考号", "监考甲", "监考乙"};

// In 考生表, for each paper not sat by everybody: "<科目>考场", "<科目>座号".
inline constexpr const char* kPaperRoomSuffix = "考场";
inline constexpr const char* kPaperSeatSuffix = "座号";

// One data workbook per 场次 beside the data workbook, for printing each
// session with the templates teachers already have: its 考生表 holds the
// session's examinees (their room and seat of that session in the
// assignment columns) and its 考场表 the session's rooms. Named after the
// data workbook and the 场次: "初一（第1场）.xlsx" for 场次 1 of 初一.xlsx,
// "初一（物理）.xlsx" for a 场次 named 物理. A very hidden sheet of this name
// marks such a workbook, so a later run replaces only what a run wrote.
inline constexpr const char* kSessionBookMarkSheet = "kelv场次";
inline std::string SessionLabel(std::string_view session) {
  const bool number = !session.empty() && session.size() < 10 &&
                      session.find_first_not_of("0123456789") == std::string_view::npos;
  return number ? "第" + std::string(session) + "场" : std::string(session);
}
inline std::string SessionBookName(std::string_view data_book_name, std::string_view session) {
  std::string_view stem = data_book_name;
  if (const size_t dot = stem.rfind('.'); dot != std::string_view::npos) stem = stem.substr(0, dot);
  return std::string(stem) + "（" + SessionLabel(session) + "）.xlsx";
}

// 监考表: one row per teacher who may invigilate.
inline constexpr const char* kInvigilatorSheet = "监考表";
inline constexpr const char* kTeacherNameHeading = "姓名";  // required
inline constexpr const char* kTeacherSubjectHeading = "学科";
inline constexpr const char* kTeacherClassesHeading = "任教班级";
inline constexpr const char* kTeacherMaxHeading = "最多场数";
inline constexpr const char* kTeacherExcludedHeading = "不监考";
inline constexpr const char* kTeacherRequiredHeading = "必监考";
// Invigilators a room needs, a column of 考场表 (2 without it).
inline constexpr const char* kRoomInvigilatorCountHeading = "监考人数";
inline constexpr int32_t kDefaultInvigilatorsPerRoom = 2;
// 监考甲, 监考乙, then 监考丙 … for rooms that need more.
inline constexpr std::string_view kInvigilatorRoles[] = {"甲", "乙", "丙", "丁", "戊",
                                                         "己", "庚", "辛", "壬", "癸"};
inline constexpr const char* kInvigilatorHeadingPrefix = "监考";

// 监考安排: one row per duty.
inline constexpr const char* kDutySheet = "监考安排";
inline constexpr std::string_view kDutyHeadings[] = {"场次", "科目", "日期", "开始", "结束",
                                                     "考场", "考室", "监考", "角色"};
// 监考统计: one row per teacher.
inline constexpr const char* kDutyCountSheet = "监考统计";
inline constexpr std::string_view kDutyCountHeadings[] = {"姓名", "学科", "场数", "场次",
                                                          "半天数"};

// One workbook beside the data workbook for printing each teacher's duty
// slip with an ordinary template: its 考生表 holds one row per duty, the
// teacher's own details repeated on each (a teacher without duties gets
// one row, 场数 0 and 科目 （本次没有监考）), sorted by teacher and 场次,
// so a template that changes page on 姓名 prints one slip per teacher; its
// 考场表 lists the rooms. Named after the data workbook:
// "初一（监考通知）.xlsx". A very hidden sheet of this name marks it, so a
// later run replaces only what a run wrote.
inline constexpr const char* kDutySlipMarkSheet = "kelv监考";
inline constexpr std::string_view kDutySlipHeadings[] = {
    "姓名", "学科", "场数", "半天数", "场次", "科目", "日期", "开始", "结束", "考场", "考室", "角色"};
inline std::string DutySlipBookName(std::string_view data_book_name) {
  std::string_view stem = data_book_name;
  if (const size_t dot = stem.rfind('.'); dot != std::string_view::npos) stem = stem.substr(0, dot);
  return std::string(stem) + "（监考通知）.xlsx";
}

// The room's shape, columns of 考场表 found by heading: seats in a column
// front to back, columns of desks, and where the front is (前 or 后).
inline constexpr const char* kSeatsPerColumnHeading = "每列座数";
inline constexpr const char* kDeskColumnsHeading = "列数";
inline constexpr const char* kPodiumHeading = "讲台";
// The paper version of an AB arrangement, a column of 考生表.
inline constexpr const char* kPaperVersionHeading = "试卷";

}  // namespace kelv::sheets
