// The main arrangement keeping each elective combination together, asked
// for on the settings sheet (DTB BI6), so that most examinees later sit
// every paper in their main room.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data_book.h"
#include "sheets/settings_sheet.h"

namespace kelv::arrange {
namespace {

using testing::DataBook;
using Seats = host::FormModel::SeatingControls;

// Three rooms of 10 and 30 examinees: 10 of 物化生, 8 of 物化地 and 12 of
// 史政地, each combination written several ways, mixed in sheet order; two
// classes alternating.
void SetUpExam(DataBook& db, bool keep) {
  db.SetRooms({{"01", 10}, {"02", 10}, {"03", 10}});
  const char* headers[] = {"姓名", "班级", "选考科目"};
  for (int c = 0; c < 3; ++c) db.examinees->cells(1, c + 1).set_value(headers[c]);
  const char* physics[] = {"物化生", "物理 化学 生物", "物/化/生"};
  const char* geography[] = {"物化地", "物理、化学、地理"};
  const char* history[] = {"史政地", "历史 政治 地理"};
  for (int32_t i = 0; i < 30; ++i) {
    const char* subjects = i % 3 == 0             ? physics[i % 3]
                           : i % 3 == 1 && i < 24 ? geography[i % 2]
                                                  : history[i % 2];
    db.examinees->cells(i + 2, 1).set_value(testing::ExamineeName(i + 1));
    db.examinees->cells(i + 2, 2).set_value(i % 2 == 0 ? "1班" : "2班");
    db.examinees->cells(i + 2, 3).set_value(subjects);
  }
  // The data workbook is the host workbook of this stage: DTB goes there.
  host::Worksheet& dtb = db.book->add_sheet_after(*db.examinees);
  dtb.set_name(sheets::kSettingsSheet);
  if (keep) dtb.cells(sheets::kCombinationRow, sheets::kKeepCombinationColumn).set_value(true);
}

// The combination a spelling stands for.
std::string Combination(const std::string& s) {
  if (s.find("生") != std::string::npos) return "物化生";
  return s.find("物") != std::string::npos ? "物化地" : "史政地";
}

// The combination of each examinee in exam-number order.
std::vector<std::string> InNumberOrder(DataBook& db) {
  std::vector<std::string> out;
  for (int32_t r = 2; r <= 31; ++r) out.push_back(Combination(db.Text(r, "选考科目")));
  return out;
}

int32_t Runs(const std::vector<std::string>& combos) {
  int32_t runs = 0;
  for (size_t k = 0; k < combos.size(); ++k) runs += k == 0 || combos[k] != combos[k - 1];
  return runs;
}

TEST(KeepCombinations, EachCombinationFillsNeighbouringRoomsInTimetableOrder) {
  DataBook db(3, Seats::Without);
  SetUpExam(db, true);
  db.Run("0001", "30", true, true);
  // 物化生, then 物化地, then 史政地, however each was written.
  std::vector<std::string> expected(10, "物化生");
  expected.insert(expected.end(), 8, "物化地");
  expected.insert(expected.end(), 12, "史政地");
  EXPECT_EQ(InNumberOrder(db), expected);
  // 物化生 fills room 01 exactly.
  for (int32_t r = 2; r <= 11; ++r) EXPECT_EQ(db.Text(r, "考场"), "01");
  ASSERT_FALSE(db.Messages().empty());
  EXPECT_NE(db.Messages().back().find("选考组合排在一起（按“选考科目”）：3 个组合"),
            std::string::npos)
      << db.Messages().back();
}

TEST(KeepCombinations, ClassesStayApartWithinACombinationAndTheSettingIsOffByDefault) {
  DataBook db(5, Seats::With);
  SetUpExam(db, true);
  (*db.form)["TxtZhongZi"].set_value("42");
  (*db.form)["CmbFenKai"].set_value("班级");
  db.Run("0001", "30", true, true);
  // Room 01 holds 物化生 alone and 03 史政地 alone; 02 the 8 of 物化地 and
  // two of 史政地, seated by class.
  for (int32_t r = 2; r <= 31; ++r) {
    const std::string room = db.Text(r, "考场"), combo = Combination(db.Text(r, "选考科目"));
    if (room == "01") {
      EXPECT_EQ(combo, "物化生") << r;
    } else if (room == "03") {
      EXPECT_EQ(combo, "史政地") << r;
    }
  }
  // Neighbouring seats of one room are never of one class.
  for (int32_t r = 3; r <= 31; ++r)
    if (db.Text(r, "考场") == db.Text(r - 1, "考场")) {
      EXPECT_NE(db.Text(r, "班级"), db.Text(r - 1, "班级")) << r;
    }

  DataBook off(5, Seats::Without);
  SetUpExam(off, false);
  off.Run("0001", "30", true, true);
  EXPECT_GT(Runs(InNumberOrder(off)), 3);
}

}  // namespace
}  // namespace kelv::arrange
