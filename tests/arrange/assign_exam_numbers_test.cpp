#include "arrange/assign_exam_numbers.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "data_book.h"
#include "host/host_error.h"

namespace kelv::arrange {
namespace {

using testing::DataBook;
using testing::ExamineeName;

std::string Seat(int n, int width) {
  std::string s = std::to_string(n);
  return std::string(width > static_cast<int>(s.size()) ? width - s.size() : 0, '0') + s;
}

std::string Number(const char* prefix, int n, int width) {
  return prefix + Seat(n, width);
}

// Seats of rows 2.. in exam-number order.
std::vector<std::string> Seats(const DataBook& db, int32_t count) {
  std::vector<std::string> out;
  for (int32_t r = 2; r < 2 + count; ++r) out.push_back(db.Text(r, "座号"));
  return out;
}

std::vector<std::string> SeatRun(int from, int to, int width) {
  std::vector<std::string> out;
  for (int n = from; n <= to; ++n) out.push_back(Seat(n, width));
  return out;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

int HostErrorNumber(DataBook& db, const std::string& start, const std::string& cycle,
                    bool per_room) {
  try {
    db.Run(start, cycle, per_room);
  } catch (const host::HostError& e) {
    return e.number();
  }
  return 0;
}

class WorkedExample : public ::testing::Test {
 protected:
  void SetUp() override {
    db.SetRooms({{"01", 30}, {"02", 28}});
    db.SetExaminees(58);
  }
  DataBook db;
};

TEST_F(WorkedExample, PerRoomSeats) {
  db.Run("2024010001", "30", true);

  // Columns appended at the right edge in their fixed order, then the counts.
  const char* appended[] = {"考场", "场人", "考室", "监考甲", "监考乙",
                            "考号", "座号", "校人", "级人",   "班人"};
  for (int k = 0; k < 10; ++k) EXPECT_EQ(db.examinees->cell_value(1, 5 + k).to_text(), appended[k]);

  std::set<std::string> names;
  for (int32_t r = 2; r <= 59; ++r) {
    const int k = r - 1;  // examinee k in exam-number order
    EXPECT_EQ(db.Text(r, "考号"), Number("20", 24010000 + k, 8)) << "row " << r;
    const bool first_room = k <= 30;
    EXPECT_EQ(db.At(r, "考场"), host::Variant(first_room ? "01" : "02"));
    EXPECT_EQ(db.At(r, "场人"), host::Variant(first_room ? 30 : 28));
    EXPECT_EQ(db.Text(r, "考室"), first_room ? "教室01" : "教室02");
    EXPECT_EQ(db.Text(r, "监考甲"), first_room ? "甲01" : "甲02");
    EXPECT_EQ(db.Text(r, "监考乙"), first_room ? "乙01" : "乙02");
    names.insert(db.Text(r, "姓名"));
  }
  EXPECT_EQ(names.size(), 58u);
  EXPECT_EQ(Seats(db, 58), Concat(SeatRun(1, 30, 2), SeatRun(1, 28, 2)));
  EXPECT_TRUE(db.At(60, "考号").is_empty());

  EXPECT_EQ(db.rooms->cell_value(2, 6), host::Variant("2024010001"));
  EXPECT_EQ(db.rooms->cell_value(2, 7), host::Variant("2024010030"));
  EXPECT_EQ(db.rooms->cell_value(3, 6), host::Variant("2024010031"));
  EXPECT_EQ(db.rooms->cell_value(3, 7), host::Variant("2024010058"));

  // Sheet order in, sheet order out: examinee k is still the k-th name.
  EXPECT_EQ(db.Text(2, "姓名"), ExamineeName(1));
  EXPECT_EQ(db.Text(59, "姓名"), ExamineeName(58));

  EXPECT_TRUE(db.Messages().empty());
  EXPECT_EQ(db.Tones(), 1);
  EXPECT_EQ(db.engine.active_sheet().name(), "考生表");
  EXPECT_EQ(db.engine.calculation(), host::xlCalculationAutomatic);
}

TEST_F(WorkedExample, FormatsOfTheWrittenColumns) {
  db.Run("2024010001", "30", true);
  for (const char* header : {"考号", "座号", "考场"})
    EXPECT_EQ(db.examinees->number_format(30, db.Column(header)), "@") << header;
  for (const char* header : {"考场", "场人", "考室", "监考甲", "监考乙", "考号", "座号", "校人"})
    EXPECT_EQ(db.examinees->font(1, db.Column(header)).color_index, 5) << header;
  EXPECT_EQ(db.examinees->font(1, 1).color_index, 0);
  // Counts per school: 20 of 二中 (i % 3 == 1), 19 each of the others.
  std::map<std::string, int> per_school, per_grade;
  for (int32_t r = 2; r <= 59; ++r) {
    ++per_school[db.Text(r, "学校")];
    ++per_grade[db.Text(r, "年级")];
  }
  EXPECT_EQ(per_school["一中"], 19);
  for (int32_t r = 2; r <= 59; ++r) {
    EXPECT_EQ(db.At(r, "校人"), host::Variant(per_school[db.Text(r, "学校")]));
    EXPECT_EQ(db.At(r, "级人"), host::Variant(per_grade[db.Text(r, "年级")]));
  }
}

TEST_F(WorkedExample, CyclicSeatsOfThirtyWrapIntoTheSecondRoom) {
  db.Run("2024010001", "30", false);
  EXPECT_EQ(Seats(db, 58), Concat(SeatRun(1, 30, 2), SeatRun(1, 28, 2)));
}

TEST_F(WorkedExample, CyclicSeatsOfTwentyFiveRunOnAcrossRooms) {
  db.Run("2024010001", "25", false);
  std::vector<std::string> expected = SeatRun(1, 25, 2);
  expected = Concat(expected, SeatRun(1, 5, 2));   // room 01: 26..30
  expected = Concat(expected, SeatRun(6, 25, 2));  // room 02 goes on from 06
  expected = Concat(expected, SeatRun(1, 8, 2));
  EXPECT_EQ(Seats(db, 58), expected);
}

TEST_F(WorkedExample, CycleTextOneAndZeroPaddedCycle) {
  db.Run("2024010001", "1", false);
  EXPECT_EQ(Seats(db, 58), std::vector<std::string>(58, "1"));
  db.Run("2024010001", "030", false);
  EXPECT_EQ(Seats(db, 58), Concat(SeatRun(1, 30, 3), SeatRun(1, 28, 3)));
  // Five characters reach past the zeros: "'0001" is entered as the text
  // 0001, while from 10 on the five characters are all digits ("00010").
  db.Run("2024010001", "00030", false);
  const std::vector<std::string> room = Concat(SeatRun(1, 9, 4), SeatRun(10, 30, 5));
  EXPECT_EQ(Seats(db, 58), Concat(room, std::vector<std::string>(room.begin(), room.begin() + 28)));
}

TEST_F(WorkedExample, PrefixesAndWidths) {
  db.Run("KS20240001", "30", true);
  EXPECT_EQ(db.Text(2, "考号"), "KS20240001");
  EXPECT_EQ(db.Text(59, "考号"), "KS20240058");
  EXPECT_EQ(db.rooms->cell_value(3, 7), host::Variant("KS20240058"));

  // 9990 runs to 9999 and wraps to 0000; the sort by exam number then puts
  // the wrapped numbers first.
  db.Run("9990", "30", true);
  EXPECT_EQ(db.rooms->cell_value(2, 6), host::Variant("9990"));
  EXPECT_EQ(db.rooms->cell_value(2, 7), host::Variant("0019"));
  EXPECT_EQ(db.rooms->cell_value(3, 6), host::Variant("0020"));
  EXPECT_EQ(db.rooms->cell_value(3, 7), host::Variant("0047"));
  EXPECT_EQ(db.Text(2, "考号"), "0000");
  EXPECT_EQ(db.Text(49, "考号"), "0047");
  EXPECT_EQ(db.Text(50, "考号"), "9990");
  EXPECT_EQ(db.Text(59, "考号"), "9999");
}

TEST_F(WorkedExample, BadStartOrCycleStopsBeforeAnythingIsWritten) {
  EXPECT_EQ(HostErrorNumber(db, "A001", "30", true), 13);
  EXPECT_EQ(HostErrorNumber(db, "", "30", true), 13);
  EXPECT_EQ(HostErrorNumber(db, "2024010001", "", true), 13);
  EXPECT_EQ(HostErrorNumber(db, "2024010001", "三十", false), 13);
  EXPECT_EQ(db.examinees->current_region(1, 1), (host::Rect{1, 1, 59, 4}));
  EXPECT_EQ(db.rooms->cell_value(1, 6), host::Variant("首考号"));
  EXPECT_TRUE(db.rooms->cell_value(2, 6).is_empty());
  EXPECT_EQ(db.Tones(), 0);
}

TEST_F(WorkedExample, RepeatedRunsReuseTheColumns) {
  db.Run("2024010001", "30", true, /*random_order=*/true);
  const host::Rect after_first = db.examinees->current_region(1, 1);
  EXPECT_EQ(after_first, (host::Rect{1, 1, 59, 14}));
  db.Run("0001", "030", false);
  EXPECT_EQ(db.examinees->current_region(1, 1), after_first);
  EXPECT_EQ(db.Text(2, "考号"), "0001");
  EXPECT_EQ(db.Text(59, "考号"), "0058");
  EXPECT_EQ(Seats(db, 58), Concat(SeatRun(1, 30, 3), SeatRun(1, 28, 3)));
  EXPECT_EQ(db.rooms->cell_value(3, 7), host::Variant("0058"));
  EXPECT_EQ(db.Tones(), 2);
}

// Assignment columns the user has moved about (座号 before 考场, 考号 apart
// from the rest) are each filled under their own heading.
TEST_F(WorkedExample, ColumnsOutOfOrderGetTheirOwnValues) {
  const char* headings[] = {"座号", "考场", "场人", "备注", "考室", "监考甲", "监考乙", "考号"};
  for (int k = 0; k < 8; ++k) db.examinees->cells(1, 5 + k).set_value(headings[k]);
  db.Run("2024010001", "30", true);
  EXPECT_EQ(db.examinees->cell_value(1, 5), host::Variant("座号"));
  EXPECT_EQ(db.examinees->cell_value(1, 12), host::Variant("考号"));
  for (int32_t r : {2, 31, 32, 59}) {
    const int k = r - 1;
    const bool first_room = k <= 30;
    EXPECT_EQ(db.Text(r, "考号"), Number("20", 24010000 + k, 8)) << "row " << r;
    EXPECT_EQ(db.Text(r, "座号"), Seat(first_room ? k : k - 30, 2)) << "row " << r;
    EXPECT_EQ(db.At(r, "考场"), host::Variant(first_room ? "01" : "02"));
    EXPECT_EQ(db.At(r, "场人"), host::Variant(first_room ? 30 : 28));
    EXPECT_EQ(db.Text(r, "监考乙"), first_room ? "乙01" : "乙02");
    EXPECT_TRUE(db.At(r, "备注").is_empty());
  }
}

// Exam numbers 1..58 in rows 2..59, rooms 01 then 02; returns the names in
// exam-number order.
std::vector<std::string> RandomRun(uint64_t seed) {
  DataBook db(seed);
  db.SetRooms({{"01", 30}, {"02", 28}});
  db.SetExaminees(58);
  db.Run("2024010001", "30", true, /*random_order=*/true);
  std::vector<std::string> names;
  for (int32_t r = 2; r <= 59; ++r) {
    EXPECT_EQ(db.Text(r, "考号"), Number("20", 24010000 + r - 1, 8));
    EXPECT_EQ(db.Text(r, "考场"), r <= 31 ? "01" : "02");
    names.push_back(db.Text(r, "姓名"));
  }
  EXPECT_EQ(db.Column("sj"), 0);
  return names;
}

TEST(RandomOrder, SeedsGiveDifferentPermutationsWithConsecutiveNumbers) {
  const std::vector<std::string> a = RandomRun(2024);
  const std::vector<std::string> b = RandomRun(2025);
  EXPECT_NE(a, b);
  std::set<std::string> everyone;
  for (int i = 1; i <= 58; ++i) everyone.insert(ExamineeName(i));
  EXPECT_EQ(std::set<std::string>(a.begin(), a.end()), everyone);
  EXPECT_EQ(std::set<std::string>(b.begin(), b.end()), everyone);
  std::vector<std::string> in_order(everyone.begin(), everyone.end());
  EXPECT_NE(a, in_order);
}

std::string ExamNumberText(int32_t i) {
  char text[8];
  std::snprintf(text, sizeof text, "%04d", i);
  return text;
}

TEST(Totals, SurplusPlacesFillRowsBelowTheTable) {
  DataBook db;
  db.SetRooms({{"01", 30}, {"02", 30}});
  db.SetExaminees(58);
  db.Run("2024010001", "30", true);
  for (int32_t r : {60, 61}) {
    EXPECT_TRUE(db.At(r, "姓名").is_empty());
    EXPECT_EQ(db.At(r, "考场"), host::Variant("02"));
  }
  EXPECT_EQ(db.Text(60, "考号"), "2024010059");
  EXPECT_EQ(db.Text(61, "考号"), "2024010060");
  EXPECT_EQ(db.Text(61, "座号"), "30");
  EXPECT_EQ(db.rooms->cell_value(3, 7), host::Variant("2024010060"));
  EXPECT_EQ(db.Messages(),
            std::vector<std::string>{"“考场表”总人数比“考生表”总人数多 2 人，请检查！"});
  EXPECT_EQ(db.dialogs.messages().at(0).title, "提示");
  EXPECT_EQ(db.dialogs.messages().at(0).icon, "none");
  EXPECT_EQ(db.Tones(), 1);
}

// A run that had more places than examinees leaves the surplus places
// below the table. Run again (in random order, with the seating controls
// that draw a seeded order, as the form has them), those rows are cleared
// first: they are neither shuffled in among the examinees nor counted, and
// every run reports the same surplus.
TEST(Totals, RowsLeftBelowByAnEarlierRunAreClearedAndNotCounted) {
  DataBook db(7, host::FormModel::SeatingControls::With);
  db.SetRooms({{"01", 30}, {"02", 30}});
  db.SetExaminees(50);
  for (int run = 0; run < 3; ++run) db.Run("0001", "30", true, true);
  const std::string surplus = "“考场表”总人数比“考生表”总人数多 10 人，请检查！";
  std::vector<std::string> totals;
  for (const std::string& m : db.Messages())
    if (m.find("总人数") != std::string::npos) totals.push_back(m);
  EXPECT_EQ(totals, (std::vector<std::string>{surplus, surplus, surplus}));
  std::set<std::string> names;
  for (int32_t r = 2; r <= 51; ++r) {
    EXPECT_EQ(db.Text(r, "考号"), ExamNumberText(r - 1)) << r;
    names.insert(db.Text(r, "姓名"));
  }
  EXPECT_EQ(names.size(), 50u);
  EXPECT_FALSE(names.count(""));
  for (int32_t r = 52; r <= 61; ++r) {
    EXPECT_TRUE(db.At(r, "姓名").is_empty()) << r;
    EXPECT_EQ(db.Text(r, "考号"), ExamNumberText(r - 1)) << r;
  }
  EXPECT_TRUE(db.At(62, "考号").is_empty());
}

// Rows holding anything besides what a run writes are examinees, however
// little they hold.
TEST(Totals, RowsWithExamineeDataBelowAreKept) {
  DataBook db;
  db.SetRooms({{"01", 3}});
  db.SetExaminees(2);
  db.Run("0001", "30", true);
  db.examinees->cells(4, 2).set_value("一中");  // the surplus row now has a school
  db.dialogs.clear();
  db.Run("0001", "30", true);
  EXPECT_TRUE(db.Messages().empty());
  EXPECT_EQ(db.Text(4, "学校"), "一中");
  EXPECT_EQ(db.Text(4, "考号"), "0003");
}

TEST(Totals, ShortfallLeavesTheLastExamineesWithoutARoom) {
  DataBook db;
  db.SetRooms({{"01", 30}, {"02", 20}});
  db.SetExaminees(58);
  db.Run("2024010001", "30", true);
  EXPECT_EQ(db.Text(51, "考号"), "2024010050");
  for (int32_t r = 52; r <= 59; ++r) {
    EXPECT_TRUE(db.At(r, "考号").is_empty()) << r;
    EXPECT_TRUE(db.At(r, "考场").is_empty()) << r;
    EXPECT_FALSE(db.At(r, "姓名").is_empty()) << r;
  }
  EXPECT_EQ(db.Messages(),
            std::vector<std::string>{"“考场表”总人数比“考生表”总人数少 8 人，请检查！"});
  EXPECT_EQ(db.Tones(), 1);
}

TEST(Totals, RoomsWithoutPlacesGetNoFirstOrLastNumber) {
  DataBook db;
  db.SetRooms({{"01", 30}, {"02", host::Variant()}, {"03", 0}, {"04", 28}});
  db.SetExaminees(58);
  db.Run("2024010001", "30", true);
  for (int32_t r : {3, 4}) {
    EXPECT_TRUE(db.rooms->cell_value(r, 6).is_empty());
    EXPECT_TRUE(db.rooms->cell_value(r, 7).is_empty());
  }
  EXPECT_EQ(db.rooms->cell_value(5, 6), host::Variant("2024010031"));
  EXPECT_EQ(db.rooms->cell_value(5, 7), host::Variant("2024010058"));
  EXPECT_EQ(db.Text(32, "考场"), "04");
  EXPECT_TRUE(db.Messages().empty());
}

TEST(Totals, NegativePlacesSeatNobodyAndKeepLaterRoomsInPlace) {
  DataBook db;
  db.SetRooms({{"01", 30}, {"02", -5}, {"03", 28}});
  db.SetExaminees(58);
  db.Run("2024010001", "30", true);
  EXPECT_TRUE(db.rooms->cell_value(3, 6).is_empty());
  EXPECT_EQ(db.rooms->cell_value(4, 6), host::Variant("2024010031"));
  std::set<std::string> numbers;
  for (int32_t r = 2; r <= 59; ++r) numbers.insert(db.Text(r, "考号"));
  EXPECT_EQ(numbers.size(), 58u);
  EXPECT_EQ(db.Messages(),
            std::vector<std::string>{"“考场表”总人数比“考生表”总人数少 5 人，请检查！"});
}

TEST(Totals, PlacesThatAreNotANumberStopAtThatRoom) {
  DataBook db;
  db.SetRooms({{"01", 30}, {"02", "许多"}});
  db.SetExaminees(58);
  EXPECT_EQ(HostErrorNumber(db, "2024010001", "30", true), 13);
  EXPECT_EQ(db.rooms->cell_value(2, 7), host::Variant("2024010030"));
  EXPECT_TRUE(db.rooms->cell_value(3, 6).is_empty());
  EXPECT_EQ(db.Tones(), 0);
}

TEST(ClassCounts, BanCiStandsInForBanJi) {
  DataBook db;
  db.SetRooms({{"01", 30}, {"02", 28}});
  db.SetExaminees(58, {"姓名", "学校", "年级", "班次"});
  db.Run("2024010001", "30", true);
  ASSERT_NE(db.Column("班人"), 0);
  std::map<std::string, int> per_class;
  for (int32_t r = 2; r <= 59; ++r) ++per_class[db.Text(r, "班次")];
  for (int32_t r = 2; r <= 59; ++r)
    EXPECT_EQ(db.At(r, "班人"), host::Variant(per_class[db.Text(r, "班次")]));
}

TEST(ClassCounts, BanJiWinsOverBanCi) {
  DataBook db;
  db.SetRooms({{"01", 30}, {"02", 28}});
  db.SetExaminees(58, {"姓名", "学校", "年级", "班级"});
  db.examinees->cells(1, 5).set_value("班次");
  for (int32_t r = 2; r <= 59; ++r) db.examinees->cells(r, 5).set_value("同一班");
  db.Run("2024010001", "30", true);
  std::map<std::string, int> per_class;
  for (int32_t r = 2; r <= 59; ++r) ++per_class[db.Text(r, "班级")];
  for (int32_t r = 2; r <= 59; ++r)
    EXPECT_EQ(db.At(r, "班人"), host::Variant(per_class[db.Text(r, "班级")]));
}

TEST(Failures, DataWorkbookNotOpenFailsBeforeAnyChange) {
  DataBook db;
  db.SetRooms({{"01", 30}});
  db.SetExaminees(30);
  db.self.DataBookName = "别的.xlsx";
  EXPECT_EQ(HostErrorNumber(db, "2024010001", "30", true), 9);
  EXPECT_EQ(db.examinees->current_region(1, 1), (host::Rect{1, 1, 31, 4}));
}

TEST(Seats, PerRoomWidthFollowsThePlaceCount) {
  DataBook db;
  db.SetRooms({{"01", 8}, {"02", 120}});
  db.SetExaminees(128);
  db.Run("0001", "30", true);
  EXPECT_EQ(Seats(db, 128), Concat(SeatRun(1, 8, 1), SeatRun(1, 120, 3)));
}

}  // namespace
}  // namespace kelv::arrange
