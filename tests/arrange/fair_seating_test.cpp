#include "arrange/fair_seating.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "data_book.h"
#include "sheets/sheet_lookup.h"

namespace kelv::arrange {
namespace {

using testing::DataBook;
using testing::ExamineeName;
using Seats = host::FormModel::SeatingControls;

// Where everybody sits: name -> (room, seat).
using Seating = std::map<std::string, std::pair<std::string, std::string>>;

// Three rooms (30 seats in columns of 6, 30 in columns of 6, 20 in columns
// of 5) and 80 examinees in four classes of 30, 25, 15 and 10, written in
// the given order of their numbers.
void SetUpExam(DataBook& db, const std::vector<int>& numbers) {
  db.SetRooms({{"01", 30}, {"02", 30}, {"03", 20}});
  db.rooms->cells(1, 8).set_value("每列座数");
  db.rooms->cells(2, 8).set_value(6);
  db.rooms->cells(3, 8).set_value(6);
  db.rooms->cells(4, 8).set_value("5");
  const char* headers[] = {"姓名", "班级", "指定考场"};
  for (int c = 0; c < 3; ++c) db.examinees->cells(1, c + 1).set_value(headers[c]);
  int32_t r = 2;
  for (int i : numbers) {
    db.examinees->cells(r, 1).set_value(ExamineeName(i));
    db.examinees->cells(r, 2).set_value(i <= 30   ? "1班"
                                        : i <= 55 ? "2班"
                                        : i <= 70 ? "3班"
                                                  : "4班");
    ++r;
  }
}

std::vector<int> Numbers(int from, int to) {
  std::vector<int> v;
  for (int i = from; i <= to; ++i) v.push_back(i);
  return v;
}

void FixRoom(DataBook& db, int examinee, const std::string& room) {
  for (int32_t r = 2; r <= 81; ++r)
    if (db.examinees->cells(r, 1).text() == ExamineeName(examinee))
      db.examinees->cells(r, 3).set_value(room);
}

void RunRandom(DataBook& db, const std::string& seed, const std::string& apart) {
  (*db.form)["TxtZhongZi"].set_value(seed);
  (*db.form)["CmbFenKai"].set_value(apart);
  db.Run("2024010001", "30", true, true);
}

std::pair<std::string, std::string> Place(const char* room, const char* seat) {
  return {room, seat};
}

Seating SeatingOf(const DataBook& db) {
  Seating s;
  for (int32_t r = 2; !db.examinees->cell_value(r, 1).is_empty(); ++r)
    s[db.Text(r, "姓名")] = {db.Text(r, "考场"), db.Text(r, "座号")};
  return s;
}

host::Worksheet* Record(DataBook& db) {
  if (!sheets::SheetExists(db.book->worksheets(), kRecordSheet)) return nullptr;
  return &db.book->worksheets().item(kRecordSheet);
}

TEST(FairSeating, ClassmatesSitApartAndFixedExamineesInTheirRooms) {
  DataBook db(1, Seats::With);
  SetUpExam(db, Numbers(1, 80));
  FixRoom(db, 5, "03");
  FixRoom(db, 50, "01");
  FixRoom(db, 79, "01");
  RunRandom(db, "20240601", "班级");

  // Read back from the sheet: per room, the class at each seat.
  std::map<std::string, std::map<int, std::string>> klass;
  std::map<std::string, std::map<std::string, int>> per_room;
  for (int32_t r = 2; r <= 81; ++r) {
    klass[db.Text(r, "考场")][std::stoi(db.Text(r, "座号"))] = db.Text(r, "班级");
    ++per_room[db.Text(r, "考场")][db.Text(r, "班级")];
  }
  const Seating s = SeatingOf(db);
  EXPECT_EQ(s.at(ExamineeName(5)).first, "03");
  EXPECT_EQ(s.at(ExamineeName(50)).first, "01");
  EXPECT_EQ(s.at(ExamineeName(79)).first, "01");
  const std::map<std::string, int> per_column{{"01", 6}, {"02", 6}, {"03", 5}};
  for (const auto& [room, seats] : klass) {
    const int k = per_column.at(room);
    for (const auto& [seat, c] : seats) {
      // The next number, and the seat beside in the next column (S-shaped).
      const int p = seat - 1, col = p / k, row = col % 2 ? k - 1 - p % k : p % k;
      const int beside = (col + 1) * k + ((col + 1) % 2 ? k - 1 - row : row) + 1;
      for (int other : {seat + 1, beside}) {
        if (seats.count(other) == 0) continue;
        EXPECT_NE(seats.at(other), c) << room << " " << seat << "/" << other;
      }
    }
  }
  // 1班 (30 of 80) has 11.25 seats' share of a 30-seat room.
  EXPECT_GE(per_room["01"]["1班"], 10);
  EXPECT_LE(per_room["01"]["1班"], 12);

  const std::vector<std::string> messages = db.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("随机种子：20240601，已记在本数据簿的“排座记录”表中", 0), 0u)
      << messages[0];
  EXPECT_NE(messages[0].find("同组不相邻（按“班级”）：相邻座位同组 0 对。"), std::string::npos);
  EXPECT_NE(messages[0].find("指定考场的 3 人都已排进所指定的考场。"), std::string::npos);

  host::Worksheet* record = Record(db);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->cells(1, 2).text(), "20240601");
  EXPECT_EQ(record->cells(3, 2).text(), "班级");
  EXPECT_EQ(record->cells(5, 2).value().to_int32(), 0);
  EXPECT_EQ(record->cells(10, 1).text(), "01");
  EXPECT_EQ(record->cells(10, 3).value().to_int32(), 6);
  EXPECT_EQ(record->cells(12, 2).value().to_int32(), 20);
  EXPECT_EQ(db.examinees->parent().active_sheet().name(), "考生表");
}

TEST(FairSeating, TheSameSeedReplaysTheSameSeatingWhateverTheRowOrder) {
  DataBook first(1, Seats::With);
  SetUpExam(first, Numbers(1, 80));
  RunRandom(first, "7", "班级");
  const Seating seating = SeatingOf(first);

  // Again on the sheet the run left sorted by exam number.
  RunRandom(first, "7", "班级");
  EXPECT_EQ(SeatingOf(first), seating);

  // Rows in another order, another environment seed: the same seating.
  std::vector<int> reversed = Numbers(1, 80);
  std::reverse(reversed.begin(), reversed.end());
  DataBook other(99, Seats::With);
  SetUpExam(other, reversed);
  RunRandom(other, "７", "班级");  // a full-width digit is the same seed
  EXPECT_EQ(SeatingOf(other), seating);

  RunRandom(other, "8", "班级");
  EXPECT_NE(SeatingOf(other), seating);
  // Without keep-apart the seed still fixes the order.
  RunRandom(other, "8", "无");
  const Seating plain = SeatingOf(other);
  RunRandom(other, "8", "");
  EXPECT_EQ(SeatingOf(other), plain);
}

TEST(FairSeating, ADrawnSeedIsRecordedAndDrawsTheSameOrderWhenGivenBack) {
  DataBook db(3, Seats::With);
  SetUpExam(db, Numbers(1, 80));
  RunRandom(db, "", "无");
  const std::string message = db.Messages().at(0);
  ASSERT_EQ(message.rfind("本次随机种子：", 0), 0u) << message;
  const std::string seed = Record(db)->cells(1, 2).text();
  EXPECT_NE(message.find("本次随机种子：" + seed + "，"), std::string::npos);
  EXPECT_EQ(Record(db)->cells(3, 2).text(), "无");
  EXPECT_TRUE(Record(db)->cells(5, 1).value().is_empty());
  const Seating drawn = SeatingOf(db);

  RunRandom(db, seed, "无");
  EXPECT_EQ(SeatingOf(db), drawn);
}

TEST(FairSeating, MistakesAreReportedWithTheirRowsBeforeAnythingIsWritten) {
  DataBook db(1, Seats::With);
  SetUpExam(db, Numbers(1, 80));
  FixRoom(db, 2, "05");
  FixRoom(db, 6, "05");
  FixRoom(db, 9, "六");
  for (int i = 20; i <= 40; ++i) FixRoom(db, i, "03");  // 21 for 20 seats
  db.rooms->cells(3, 8).set_value("六");
  RunRandom(db, "12ab", "班级");

  ASSERT_EQ(db.Messages().size(), 1u);
  const std::string text = db.Messages()[0];
  for (const char* part :
       {"随机种子须是 1 到 15 位数字，现在是“12ab”。", "考场表第 3 行的每列座数“六”不是正整数。",
        "指定考场“5”不在考场表中（考生表第 3、7 行）。",
        "指定考场“六”不在考场表中（考生表第 10 行）。",
        "考场“03”本次只排 20 人，指定在此的却有 21 人（考生表第 "
        "21、22、23、24、25、26、27、28、29、"
        "30 行等 21 行）。",
        "请改正后再编排考号。"})
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  EXPECT_EQ(db.Column("考号"), 0) << "nothing written";
  EXPECT_EQ(Record(db), nullptr);
  EXPECT_EQ(db.Tones(), 0);

  // A keep-apart column the sheet lacks, or one the run writes itself.
  DataBook other(1, Seats::With);
  SetUpExam(other, Numbers(1, 80));
  RunRandom(other, "1", "学校");
  RunRandom(other, "1", "考号");
  ASSERT_EQ(other.Messages().size(), 2u);
  EXPECT_EQ(other.Messages()[0], "考生表中没有“学校”列，无法同组不相邻。\n请改正后再编排考号。");
  EXPECT_EQ(other.Messages()[1], "“考号”列由编排写入，不能用来同组不相邻。\n请改正后再编排考号。");
}

TEST(FairSeating, SheetOrderKeepsTheRowsExceptForFixedExaminees) {
  DataBook db(1, Seats::With);
  SetUpExam(db, Numbers(1, 80));
  FixRoom(db, 1, "03");
  (*db.form)["CmbFenKai"].set_value("班级");
  db.Run("2024010001", "30", true, false);

  const Seating s = SeatingOf(db);
  EXPECT_EQ(s.at(ExamineeName(2)), Place("01", "01"));
  EXPECT_EQ(s.at(ExamineeName(31)), Place("01", "30"));
  EXPECT_EQ(s.at(ExamineeName(32)), Place("02", "01"));
  EXPECT_EQ(s.at(ExamineeName(1)), Place("03", "01"));
  EXPECT_EQ(s.at(ExamineeName(80)), Place("03", "20"));
  ASSERT_EQ(db.Messages().size(), 1u);
  EXPECT_EQ(db.Messages()[0],
            "同组不相邻只在随机编排考号时起作用，本次按考生表原顺序编排，未作调整。\n"
            "指定考场的 1 人都已排进所指定的考场。");
  EXPECT_EQ(Record(db)->cells(2, 2).text(), "考生表原顺序");
}

TEST(FairSeating, AFormWithoutTheControlsAssignsAsBefore) {
  // The same data with a 指定考场 column, on the form without the seating
  // controls and on it with them at their defaults in sheet order: no
  // notice, no record, and the shuffle of the earlier form.
  DataBook plain(5);
  SetUpExam(plain, Numbers(1, 80));
  plain.Run("2024010001", "30", true, true);
  DataBook old_form(5);
  SetUpExam(old_form, Numbers(1, 80));
  FixRoom(old_form, 1, "03");
  old_form.Run("2024010001", "30", true, true);
  EXPECT_EQ(SeatingOf(old_form), SeatingOf(plain));
  EXPECT_TRUE(old_form.Messages().empty());
  EXPECT_EQ(Record(old_form), nullptr);

  DataBook defaults(5, Seats::With);
  SetUpExam(defaults, Numbers(1, 80));
  (*defaults.form)["CmbFenKai"].set_value("无");
  defaults.Run("2024010001", "30", true, false);
  EXPECT_TRUE(defaults.Messages().empty());
  EXPECT_EQ(Record(defaults), nullptr);
  EXPECT_EQ(SeatingOf(defaults).at(ExamineeName(1)), Place("01", "01"));
}

}  // namespace
}  // namespace kelv::arrange
