// The session arrangement on workbooks written by openpyxl
// (make_workbooks.py): who sits which paper, what the check names, what is
// written, and what a second run replaces.
#include "sessions/arrange_sessions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "host/host_error.h"
#include "sessions/session_book.h"
#include "sheets/exam_sheets.h"

namespace kelv::sessions {
namespace {

using ::testing::HasSubstr;
using testing::Workspace;

// Per-room seats, as 选科.xlsx was numbered.
const std::map<std::pair<int32_t, int32_t>, host::Variant> kPerRoom = {{{3, 62}, false},
                                                                       {{4, 62}, true}};

// (科目, 考场, 座号) of each 场次安排 row of one examinee, in row order.
std::vector<std::string> SeatsOf(host::Workbook& data, const std::string& name) {
  host::Worksheet& sheet = data.worksheets().item(sheets::kSessionSeatingSheet);
  const int32_t n = Workspace::Column(sheet, "姓名"), subject = Workspace::Column(sheet, "科目"),
                room = Workspace::Column(sheet, "考场"), seat = Workspace::Column(sheet, "座号");
  std::vector<std::string> out;
  for (int32_t r = 2; r <= sheet.used_rect().row2; ++r)
    if (sheet.cell_value(r, n).to_text() == name)
      out.push_back(sheet.cell_value(r, subject).to_text() + " " +
                    sheet.cell_value(r, room).to_text() + " " +
                    sheet.cell_value(r, seat).to_text());
  return out;
}

const Problem* Find(const std::vector<Problem>& problems, const std::string& part) {
  for (const Problem& p : problems)
    if (p.message.find(part) != std::string::npos) return &p;
  return nullptr;
}

TEST(ArrangeSessions, SeatsEveryPaperKeepingMainSeatsWhereTheRoomHoldsThePaper) {
  Workspace ws("选科.xlsx", kPerRoom);
  const SessionsReport r = ArrangeSessions(ws.engine, *ws.data, {});
  ASSERT_TRUE(r.written) << (r.problems.empty() ? "" : r.problems[0].message);
  EXPECT_TRUE(r.problems.empty());
  EXPECT_EQ(r.sessions, 6);
  // 语文 everybody; 技术 by its marks (是, √, 1, 有; not 否, ×, 0, FALSE);
  // the rest by 选考科目 in whatever spelling.
  EXPECT_EQ(r.seated, 12 + 8 + 4 + 7 + 6 + 4 + 7 + 4);
  // 历史 leaves rooms 02 and 03 for 04; two of 政治 join 02; 丙四's 技术
  // takes the seat 甲四 leaves in 01 (场次表 allows 01 and 02 only).
  EXPECT_EQ(r.moved, 4 + 2 + 1);
  EXPECT_EQ(r.session_rooms, 3 + 4 + 3 + 3 + 2 + 1);

  EXPECT_THAT(
      SeatsOf(*ws.data, "甲一"),
      ::testing::ElementsAre("语文 01 1", "物理 01 1", "化学 01 1", "生物 01 1", "技术 01 1"));
  EXPECT_THAT(SeatsOf(*ws.data, "丙一"),
              ::testing::ElementsAre("语文 03 1", "历史 04 3", "政治 02 1", "地理 03 1"));
  EXPECT_THAT(
      SeatsOf(*ws.data, "丙四"),
      ::testing::ElementsAre("语文 03 4", "物理 03 4", "化学 03 4", "生物 03 4", "技术 01 4"));
  EXPECT_THAT(SeatsOf(*ws.data, "甲四"),
              ::testing::ElementsAre("语文 01 4", "物理 01 4", "化学 01 4", "生物 01 4"));

  // Sorted by 场次, 考场, 座号; the dates keep their look.
  host::Worksheet& seating = ws.data->worksheets().item(sheets::kSessionSeatingSheet);
  EXPECT_THAT(Workspace::Row(seating, 1),
              ::testing::ElementsAre("考号", "姓名", "班级", "场次", "科目", "日期", "开始", "结束",
                                     "考场", "考室", "座号", "场次考场"));
  std::string last;
  for (int32_t row = 2; row <= seating.used_rect().row2; ++row) {
    const std::vector<std::string> v = Workspace::Row(seating, row);
    char key[64];
    std::snprintf(key, sizeof key, "%s|%s|%03d", v[3].c_str(), v[8].c_str(), std::stoi(v[10]));
    EXPECT_LE(last, key) << row;
    last = key;
  }
  EXPECT_EQ(seating.number_format(2, 6), "yyyy/m/d");
  EXPECT_EQ(seating.cell_value(2, 12).to_text(), "第1场-01");

  host::Worksheet& rooms = ws.data->worksheets().item(sheets::kSessionRoomsSheet);
  EXPECT_THAT(Workspace::Row(rooms, 5),
              ::testing::ElementsAre("2", "物理", "45816", "0.375", "0.427083333333333", "01",
                                     "教室一", "4", "0001", "0004", "王老师", "李老师"));
  EXPECT_THAT(Workspace::Row(rooms, 8),
              ::testing::ElementsAre("2", "历史", "45816", "0.375", "0.427083333333333", "04",
                                     "教室四", "4", "0007", "0010", "", ""));

  // 考生表: a room and a seat column for each paper not everybody sits.
  host::Worksheet& examinees = ws.data->worksheets().item("考生表");
  EXPECT_THAT(r.paper_columns,
              ::testing::ElementsAre("物理考场", "物理座号", "历史考场", "历史座号", "化学考场",
                                     "化学座号", "生物考场", "生物座号", "政治考场", "政治座号",
                                     "地理考场", "地理座号", "技术考场", "技术座号"));
  const int32_t history = Workspace::Column(examinees, "历史考场");
  ASSERT_GT(history, 0);
  EXPECT_EQ(examinees.cell_value(10, history).to_text(), "04");  // 丙一
  EXPECT_EQ(examinees.cell_value(10, history + 1).to_text(), "3");
  EXPECT_TRUE(examinees.cell_value(2, history).is_empty());  // 甲一 sits 物理
  EXPECT_EQ(Workspace::Column(examinees, "语文考场"), 0);
}

TEST(ArrangeSessions, WritesOneMarkedDataWorkbookPerSessionThatTemplatesCanPrint) {
  Workspace ws("选科.xlsx", kPerRoom);
  const SessionsReport r = ArrangeSessions(ws.engine, *ws.data, {});
  ASSERT_TRUE(r.written);
  ASSERT_EQ(r.books.size(), 6u);
  EXPECT_EQ(r.books[1], "选科（第2场）.xlsx");
  host::Workbook& book = ws.engine.workbook("选科（第2场）.xlsx");
  EXPECT_EQ(std::filesystem::path(host::file_path(book.path())),
            std::filesystem::path(host::file_path(ws.data->path())));
  EXPECT_EQ(book.sheet(sheets::kSessionBookMarkSheet).visible(), host::SheetVisibility::VeryHidden);

  // Its 考生表: the data workbook's columns with this 场次's room and seat
  // in the assignment columns, then the paper and its time.
  host::Worksheet& examinees = book.sheet("考生表");
  const std::vector<std::string> headings = Workspace::Row(examinees, 1);
  EXPECT_THAT(headings, ::testing::ElementsAre("姓名", "班级", "选考科目", "技术", "考场", "场人",
                                               "考室", "监考甲", "监考乙", "考号", "座号", "场次",
                                               "科目", "日期", "开始", "结束"));
  EXPECT_EQ(examinees.used_rect().row2, 13);
  EXPECT_THAT(
      Workspace::Row(examinees, 10),
      ::testing::ElementsAre("乙三", "1班", "史政地", "False", "04", "4", "教室四", "", "", "0007",
                             "1", "2", "历史", "45816", "0.375", "0.427083333333333"));
  host::Worksheet& rooms = book.sheet("考场表");
  EXPECT_THAT(Workspace::Row(rooms, 1),
              ::testing::ElementsAre("考场", "场人", "考室", "监考甲", "监考乙", "首考号", "尾考号",
                                     "科目"));
  EXPECT_EQ(rooms.used_rect().row2, 5);
  EXPECT_EQ(rooms.cell_value(3, 2).to_text(), "2");  // 02 keeps 乙一 and 乙二 for 物理
  EXPECT_EQ(rooms.cell_value(5, 8).to_text(), "历史");
}

TEST(ArrangeSessions, ASecondRunReplacesWhatTheFirstWroteAndNothingElse) {
  Workspace ws("选科.xlsx", kPerRoom);
  ws.data->worksheets().item("考生表").cells(1, 30).set_value("备忘");
  ASSERT_TRUE(ArrangeSessions(ws.engine, *ws.data, {}).written);
  const int32_t sheets_after_one = ws.data->sheet_count();
  const int32_t books_after_one = ws.engine.workbook_count();
  const int32_t width = ws.data->worksheets().item("考生表").current_region(1, 1).col2;
  ASSERT_TRUE(ArrangeSessions(ws.engine, *ws.data, {}).written);
  EXPECT_EQ(ws.data->sheet_count(), sheets_after_one);
  EXPECT_EQ(ws.engine.workbook_count(), books_after_one);
  EXPECT_EQ(ws.data->worksheets().item("考生表").current_region(1, 1).col2, width);
  EXPECT_EQ(ws.data->worksheets().item(sheets::kSessionSeatingSheet).used_rect().row2, 53);
  EXPECT_EQ(ws.data->worksheets().item("考生表").cell_value(1, 30).to_text(), "备忘");
}

TEST(ArrangeSessions, RefusesToReplaceAWorkbookItDidNotWrite) {
  Workspace ws("选科.xlsx", kPerRoom);
  // A school's own file that happens to carry the name of 场次 3's workbook.
  {
    spreadsheet::Engine other(std::make_shared<xlsx::XlsxFormat>());
    host::Workbook& own = other.add_workbook(ws.data_path("选科（第3场）.xlsx"));
    own.sheet_at(0).cells(1, 1).set_value("我的笔记");
    own.save();
  }
  const int32_t books = ws.engine.workbook_count();
  const SessionsReport r = ArrangeSessions(ws.engine, *ws.data, {});
  EXPECT_FALSE(r.written);
  const Problem* p = Find(r.problems, "不是场次编排写的");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->value, "选科（第3场）.xlsx");
  EXPECT_FALSE(ws.data->worksheets().count() > 3);
  // Only that file was opened to look; no workbook was added.
  EXPECT_EQ(ws.engine.workbook_count(), books + 1);
  EXPECT_EQ(ws.engine.workbook("选科（第3场）.xlsx").sheet_at(0).cell_value(1, 1).to_text(),
            "我的笔记");
}

TEST(ArrangeSessions, TheSameSeedGivesTheSamePlanWithClassesKeptApart) {
  std::map<std::pair<int32_t, int32_t>, host::Variant> random = kPerRoom;
  random[{3, 61}] = false;
  random[{4, 61}] = true;
  random[{5, 62}] = "班级";
  auto dump = [&](uint64_t seed) {
    Workspace ws("选科.xlsx", random);
    ArrangeOptions options;
    options.seed = seed;
    const SessionsReport r = ArrangeSessions(ws.engine, *ws.data, options);
    EXPECT_TRUE(r.written);
    // 丙四 (2班) can only take 甲四's seat in 01, beside 甲三 of 2班.
    EXPECT_EQ(r.shared_neighbours, 1);
    EXPECT_EQ(r.keep_apart, "班级");
    std::vector<std::string> rows;
    host::Worksheet& sheet = ws.data->worksheets().item(sheets::kSessionSeatingSheet);
    for (int32_t row = 1; row <= sheet.used_rect().row2; ++row) {
      std::string line;
      for (const std::string& v : Workspace::Row(sheet, row)) line += v + "|";
      rows.push_back(line);
    }
    return rows;
  };
  const std::vector<std::string> once = dump(7);
  EXPECT_EQ(once, dump(7));
  // 历史 in room 04 (rows in seat order): 1班 and 2班 alternate.
  std::vector<std::string> classes;
  for (const std::string& line : once)
    if (line.find("|历史|") != std::string::npos) {
      const size_t a = line.find('|', line.find('|') + 1) + 1;
      classes.push_back(line.substr(a, line.find('|', a) - a));
    }
  ASSERT_EQ(classes.size(), 4u);
  for (size_t k = 1; k < classes.size(); ++k) EXPECT_NE(classes[k - 1], classes[k]);
}

TEST(CheckSessions, NamesEveryProblemWithSheetRowAndValue) {
  Workspace ws("问题.xlsx");
  const std::vector<Problem> problems = CheckSessions(*ws.data);
  const Problem* clash = Find(problems, "第2场同时考“物理”和“化学”");
  ASSERT_NE(clash, nullptr);
  EXPECT_EQ(clash->level, ProblemLevel::Error);
  EXPECT_THAT(clash->message, HasSubstr("考生表第 2、3、5 行的 3 名考生"));
  const Problem* unknown = Find(problems, "场次表里却没有这一科");
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->row, 3);
  EXPECT_EQ(unknown->value, "技术");
  const Problem* unread = Find(problems, "读不出来");
  ASSERT_NE(unread, nullptr);
  EXPECT_EQ(unread->row, 4);
  EXPECT_EQ(unread->value, "物化x");
  EXPECT_EQ(unread->heading, "选考科目");
  const Problem* short_of = Find(problems, "第2场");
  for (const Problem& p : problems)
    if (p.message.find("少 2 个") != std::string::npos) short_of = &p;
  ASSERT_NE(short_of, nullptr);
  EXPECT_THAT(short_of->message, HasSubstr("少 2 个"));
  EXPECT_EQ(short_of->sheet, "场次表");
  const Problem* room = Find(problems, "的考场“05”不在考场表中");
  ASSERT_NE(room, nullptr);
  EXPECT_EQ(room->row, 5);
  const Problem* nobody = Find(problems, "“美术”没有考生参加");
  ASSERT_NE(nobody, nullptr);
  EXPECT_EQ(nobody->level, ProblemLevel::Notice);
  const Problem* date = Find(problems, "没有日期");
  ASSERT_NE(date, nullptr);
  EXPECT_EQ(date->level, ProblemLevel::Notice);
  EXPECT_EQ(date->row, 2);
  // Errors first.
  EXPECT_EQ(problems.front().level, ProblemLevel::Error);
  EXPECT_EQ(problems.back().level, ProblemLevel::Notice);

  // The arrangement refuses the same workbook and writes nothing.
  const int32_t sheets_before = ws.data->sheet_count();
  const SessionsReport r = ArrangeSessions(ws.engine, *ws.data, {});
  EXPECT_FALSE(r.written);
  EXPECT_EQ(r.problems.size(), problems.size());
  EXPECT_EQ(ws.data->sheet_count(), sheets_before);
  EXPECT_EQ(ws.engine.workbook_count(), 2);
}

TEST(CheckSessions, AskForExamNumbersFirstAndSaysNothingWithoutATimetable) {
  Workspace ws("选科.xlsx");
  host::Worksheet& examinees = ws.data->worksheets().item("考生表");
  examinees.columns(Workspace::Column(examinees, "考号")).clear();
  const std::vector<Problem> problems = CheckSessions(*ws.data);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_THAT(problems[0].message, HasSubstr("请先编排考号"));
  EXPECT_EQ(problems[0].level, ProblemLevel::Notice);
  const SessionsReport refused = ArrangeSessions(ws.engine, *ws.data, {});
  ASSERT_EQ(refused.problems.size(), 1u);
  EXPECT_EQ(refused.problems[0].level, ProblemLevel::Error);
  EXPECT_FALSE(refused.written);

  ws.data->worksheets().item("场次表").delete_sheet();
  EXPECT_TRUE(CheckSessions(*ws.data).empty());
  const SessionsReport r = ArrangeSessions(ws.engine, *ws.data, {});
  ASSERT_EQ(r.problems.size(), 1u);
  EXPECT_THAT(r.problems[0].message, HasSubstr("没有“场次表”"));
}

}  // namespace
}  // namespace kelv::sessions
