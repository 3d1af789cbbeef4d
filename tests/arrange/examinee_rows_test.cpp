#include "arrange/examinee_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "data_book.h"

namespace kelv::arrange {
namespace {

using testing::DataBook;

void WriteTable(host::Worksheet& sheet, const std::vector<std::vector<host::Variant>>& rows) {
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c)
      sheet.cells(static_cast<int32_t>(r) + 1, static_cast<int32_t>(c) + 1).set_value(rows[r][c]);
}

std::vector<std::string> ColumnTexts(host::Worksheet& sheet, int32_t column, int32_t last_row) {
  std::vector<std::string> out;
  for (int32_t r = 2; r <= last_row; ++r) out.push_back(sheet.cell_value(r, column).to_text());
  return out;
}

TEST(AddGroupCounts, SortsByGroupAndWritesPlainCounts) {
  DataBook db;
  WriteTable(
      *db.examinees,
      {{"姓名", "学校"}, {"1", "B"}, {"2", "A"}, {"3", "C"}, {"4", "A"}, {"5", "B"}, {"6", "A"}});
  db.engine.set_calculation(host::xlCalculationAutomatic);
  ASSERT_TRUE(AddGroupCounts(*db.examinees, 7, "学校", "校人"));
  EXPECT_EQ(ColumnTexts(*db.examinees, 2, 7),
            (std::vector<std::string>{"A", "A", "A", "B", "B", "C"}));
  EXPECT_EQ(db.examinees->cell_value(1, 3).to_text(), "校人");
  const double expected[] = {3, 3, 3, 2, 2, 1};
  for (int32_t r = 2; r <= 7; ++r) {
    EXPECT_EQ(db.examinees->cell_value(r, 3), host::Variant(expected[r - 2])) << "row " << r;
    EXPECT_EQ(db.examinees->cell_formula(r, 3), "") << "row " << r;
  }
  EXPECT_EQ(db.examinees->font(1, 3).color_index, 5);
  EXPECT_EQ(db.examinees->font(5, 3).color_index, 5);
}

TEST(AddGroupCounts, WithoutTheGroupColumnChangesNothing) {
  DataBook db;
  WriteTable(*db.examinees, {{"姓名", "学校"}, {"乙", "B"}, {"甲", "A"}});
  EXPECT_FALSE(AddGroupCounts(*db.examinees, 3, "年级", "级人"));
  EXPECT_EQ(ColumnTexts(*db.examinees, 1, 3), (std::vector<std::string>{"乙", "甲"}));
  EXPECT_TRUE(db.examinees->cell_value(1, 3).is_empty());
}

TEST(AddGroupCounts, ReusesAnExistingCountColumnInPlace) {
  DataBook db;
  WriteTable(*db.examinees,
             {{"校人", "学校", "姓名"}, {9, "A", "1"}, {9, "B", "2"}, {9, "A", "3"}});
  ASSERT_TRUE(AddGroupCounts(*db.examinees, 4, "学校", "校人"));
  EXPECT_EQ(db.examinees->cell_value(2, 1), host::Variant(2));
  EXPECT_EQ(db.examinees->cell_value(3, 1), host::Variant(2));
  EXPECT_EQ(db.examinees->cell_value(4, 1), host::Variant(1));
  EXPECT_TRUE(db.examinees->cell_value(1, 4).is_empty());
}

TEST(AddGroupCounts, StopsAtTheFirstRowThatCountsNothing) {
  DataBook db;
  // The empty group values sort last; COUNTIF of an empty criterion is 0.
  WriteTable(*db.examinees,
             {{"姓名", "学校"}, {"1", "A"}, {"2", host::Variant()}, {"3", "B"}, {"4", "A"}});
  ASSERT_TRUE(AddGroupCounts(*db.examinees, 5, "学校", "校人"));
  EXPECT_EQ(db.examinees->cell_value(2, 3), host::Variant(2));
  EXPECT_EQ(db.examinees->cell_value(4, 3), host::Variant(1));
  EXPECT_TRUE(db.examinees->cell_value(5, 3).is_empty());
}

TEST(ShuffleRows, HeaderOnlyLeavesNoKeyColumn) {
  DataBook db;
  WriteTable(*db.examinees, {{"姓名", "学校"}});
  ShuffleRows(db.self, *db.examinees);
  EXPECT_TRUE(db.examinees->cell_value(1, 3).is_empty());
  EXPECT_EQ(db.examinees->current_region(1, 1), (host::Rect{1, 1, 1, 2}));
}

// Names after a shuffle, each checked to have kept its own row.
std::vector<std::string> ShuffledNames(uint64_t seed, int32_t n) {
  DataBook db(seed);
  db.SetExaminees(n);
  std::map<std::string, std::string> school_of;
  for (int32_t r = 2; r <= n + 1; ++r)
    school_of[db.examinees->cell_value(r, 1).to_text()] = db.examinees->cell_value(r, 2).to_text();
  ShuffleRows(db.self, *db.examinees);
  EXPECT_EQ(db.examinees->current_region(1, 1), (host::Rect{1, 1, n + 1, 4}));
  EXPECT_TRUE(db.examinees->cell_value(1, 5).is_empty());
  EXPECT_TRUE(db.examinees->cell_value(2, 5).is_empty());
  for (int32_t r = 2; r <= n + 1; ++r)
    EXPECT_EQ(db.examinees->cell_value(r, 2).to_text(),
              school_of[db.examinees->cell_value(r, 1).to_text()]);
  return ColumnTexts(*db.examinees, 1, n + 1);
}

TEST(ShuffleRows, GivesAPermutationThatDependsOnTheSeed) {
  const std::vector<std::string> a = ShuffledNames(11, 58);
  const std::vector<std::string> b = ShuffledNames(12, 58);
  EXPECT_NE(a, b);
  EXPECT_EQ(a, ShuffledNames(11, 58));
  std::vector<std::string> sorted = a;
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::string> everyone;
  for (int i = 1; i <= 58; ++i) everyone.push_back(testing::ExamineeName(i));
  EXPECT_EQ(sorted, everyone);
}

}  // namespace
}  // namespace kelv::arrange
