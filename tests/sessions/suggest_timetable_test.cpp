// The draft timetable: papers everybody sits first, then the fewest 场次
// that keep everybody to one paper at a time and fit the rooms.
#include "sessions/suggest_timetable.h"

#include <gtest/gtest.h>

#include "host/recording_dialogs.h"
#include "sessions/session_book.h"
#include "sheets/exam_sheets.h"

namespace kelv::sessions {
namespace {

using testing::Workspace;

std::vector<std::string> Names(const DraftTimetable& d) {
  std::vector<std::string> out;
  for (const auto& session : d.sessions) {
    std::string s;
    for (const DraftPaper& p : session) s += (s.empty() ? "" : "+") + p.subject;
    out.push_back(s);
  }
  return out;
}

TEST(SuggestTimetable, TheThreePlusOnePlusTwoCourse) {
  Workspace ws("选科.xlsx");
  ws.data->worksheets().item("场次表").delete_sheet();
  const DraftTimetable d = SuggestTimetable(*ws.data);
  ASSERT_TRUE(d.problems.empty()) << d.problems[0].message;
  // 甲一 sits 物理, 化学, 生物 and 技术, so four 场次 at least besides the
  // common papers; four do (物理+历史, 化学+政治, 生物, 技术+地理 is one way),
  // and the four rooms hold any two of these papers at once.
  const std::vector<std::string> names = Names(d);
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(names[0], "语文");
  EXPECT_EQ(names[1], "数学");
  EXPECT_EQ(names[2], "外语");
  EXPECT_EQ(names.size(), 3u + 4u);
  int32_t seen = 0;
  for (const auto& session : d.sessions)
    for (const DraftPaper& p : session) {
      seen += 1;
      if (p.subject == "技术") {
        EXPECT_EQ(p.examinees, 4);
      }
      if (p.subject == "物理") {
        EXPECT_EQ(p.examinees, 8);
      }
      EXPECT_EQ(p.everybody, p.subject == "语文" || p.subject == "数学" || p.subject == "外语");
    }
  EXPECT_EQ(seen, 3 + 7);

  host::RecordingDialogs dialogs;
  ASSERT_TRUE(WriteTimetable(*ws.data, d, dialogs));
  EXPECT_TRUE(dialogs.records().empty());
  host::Worksheet& sheet = ws.data->worksheets().item(sheets::kTimetableSheet);
  EXPECT_EQ(Workspace::Row(sheet, 1),
            (std::vector<std::string>{"场次", "科目", "日期", "开始", "结束", "考场", "备注"}));
  EXPECT_EQ(sheet.cell_value(2, 2).to_text(), "语文");
  EXPECT_EQ(sheet.used_rect().row2, 11);

  // An existing 场次表 is replaced only on Yes.
  dialogs.queue_answer("No");
  EXPECT_FALSE(WriteTimetable(*ws.data, DraftTimetable{{{{"语文", 12, true}}}, {}}, dialogs));
  ASSERT_EQ(dialogs.records().size(), 1u);
  EXPECT_EQ(dialogs.records()[0].text, ReplaceTimetableQuestion("选科.xlsx"));
  EXPECT_EQ(sheet.used_rect().row2, 11);
}

TEST(SuggestTimetable, ASittingThatWouldNotFitTheRoomsIsSplit) {
  // One room of 12 places: 物理 (8) and 历史 (4) no longer share a 场次.
  Workspace ws("选科.xlsx");
  ws.data->worksheets().item("场次表").delete_sheet();
  host::Worksheet& rooms = ws.data->worksheets().item("考场表");
  rooms.cells(2, 2).set_value(12);
  for (int32_t r = 3; r <= 5; ++r) rooms.rows(r).clear();
  const DraftTimetable d = SuggestTimetable(*ws.data);
  ASSERT_TRUE(d.problems.empty());
  for (const auto& session : d.sessions) EXPECT_EQ(session.size(), 1u);
  EXPECT_EQ(d.sessions.size(), 3u + 7u);
}

TEST(SuggestTimetable, SpellingsItCannotReadStopTheDraft) {
  Workspace ws("问题.xlsx");
  const DraftTimetable d = SuggestTimetable(*ws.data);
  ASSERT_EQ(d.problems.size(), 1u);
  EXPECT_EQ(d.problems[0].row, 4);
  EXPECT_TRUE(d.sessions.empty());
}

}  // namespace
}  // namespace kelv::sessions
