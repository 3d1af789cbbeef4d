#include "sheets/room_shape.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "spreadsheet/engine.h"

namespace kelv::sheets {
namespace {

// Seat numbers (from 1) in the order they stand, front row first, each row
// from the first column on; 0 where no seat is.
std::vector<std::vector<int32_t>> Map(int32_t per_column, int32_t columns, int32_t seats) {
  std::vector<std::vector<int32_t>> rows(per_column, std::vector<int32_t>(columns, 0));
  for (int32_t s = 0; s < seats; ++s) {
    const Desk d = DeskOfSeat(per_column, s);
    rows[d.row][d.column] = s + 1;
  }
  return rows;
}

TEST(RoomShape, SeatsRunInAnSFromTheFrontOfTheFirstColumn) {
  // Seven seats a column, six columns: the second column comes back to the
  // front, the third goes out again.
  const auto map = Map(7, 6, 42);
  EXPECT_EQ(map[0], (std::vector<int32_t>{1, 14, 15, 28, 29, 42}));
  EXPECT_EQ(map[6], (std::vector<int32_t>{7, 8, 21, 22, 35, 36}));
  // 37 places in columns of 8: the fifth column goes front to back like the
  // first and is short, so its five seats fill the front five desks.
  const auto short_last = Map(8, 5, 37);
  EXPECT_EQ(short_last[0][3], 32);
  EXPECT_EQ(short_last[0][4], 33);
  EXPECT_EQ(short_last[4][4], 37);
  EXPECT_EQ(short_last[5][4], 0);
  EXPECT_EQ(short_last[7][4], 0);
  // Each desk holds one seat.
  std::set<std::pair<int32_t, int32_t>> desks;
  for (int32_t s = 0; s < 37; ++s) {
    const Desk d = DeskOfSeat(8, s);
    EXPECT_TRUE(desks.insert({d.row, d.column}).second) << s;
  }
}

TEST(RoomShape, MissingColumnsAreWorkedOutFromThePlaces) {
  // 每列座数 alone: as many columns as the places fill.
  EXPECT_EQ((RoomShape{8, 0}).DeskColumns(37), 5);
  EXPECT_EQ((RoomShape{8, 0}).Desks(37), 40);
  // 列数 alone: the places shared out over the columns, rounded up.
  EXPECT_EQ((RoomShape{0, 6}).SeatsPerColumn(40), 7);
  EXPECT_EQ((RoomShape{0, 6}).NeighbourColumnLength(40), 7);
  // Neither: one row, which the neighbours know as columns of no length.
  EXPECT_EQ(RoomShape{}.SeatsPerColumn(30), 1);
  EXPECT_EQ(RoomShape{}.DeskColumns(30), 30);
  EXPECT_EQ(RoomShape{}.NeighbourColumnLength(30), 0);
}

class RoomSheet : public ::testing::Test {
 protected:
  // The room names stay text, as opening a data workbook leaves them.
  void Rows(const std::vector<std::vector<host::Variant>>& rows) {
    sheet.columns(1).set_number_format_local("@");
    for (size_t r = 0; r < rows.size(); ++r)
      for (size_t c = 0; c < rows[r].size(); ++c)
        sheet.cells(static_cast<int32_t>(r) + 1, static_cast<int32_t>(c) + 1).set_value(rows[r][c]);
  }
  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const RoomShapeProblem& p : RoomShapeProblems(sheet)) out.push_back(p.message);
    return out;
  }

  spreadsheet::Engine engine{nullptr};
  host::Workbook& book = engine.add_workbook("/ws/a.xlsx");
  host::Worksheet& sheet = book.sheet_at(0);
};

TEST_F(RoomSheet, ShapesAreReadByHeadingAndWrongValuesNamed) {
  Rows({{"考场", "场人", "考室", "讲台", "每列座数", "列数"},
        {"01", 30, "A", "后", 6, "5"},
        {"02", 30, "B", "", "　7 ", ""},
        {"03", 30, "C", "左", "六", 0},
        {"04", 30, "D", " 前", 2.5, ""}});
  const RoomShapeColumns columns = FindRoomShapeColumns(sheet);
  EXPECT_EQ(columns.per_column, 5);
  EXPECT_EQ(columns.columns, 6);
  EXPECT_EQ(columns.podium, 4);
  const RoomShape first = ReadRoomShape(sheet, columns, 2, nullptr);
  EXPECT_EQ(first.per_column, 6);
  EXPECT_EQ(first.columns, 5);
  EXPECT_EQ(first.podium, Podium::Back);
  const RoomShape second = ReadRoomShape(sheet, columns, 3, nullptr);
  EXPECT_EQ(second.per_column, 7);
  EXPECT_EQ(second.columns, 0);
  EXPECT_EQ(second.podium, Podium::Front);
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "考场表第 4 行的每列座数“六”不是正整数。",
                            "考场表第 4 行的列数“0”不是正整数。",
                            "考场表第 4 行的讲台“左”应是“前”或“后”。",
                            "考场表第 5 行的每列座数“2.5”不是正整数。",
                        }));
  const std::vector<RoomShapeProblem> problems = RoomShapeProblems(sheet);
  EXPECT_EQ(problems[0].row, 4);
  EXPECT_EQ(problems[0].column, 5);
  EXPECT_EQ(problems[0].heading, "每列座数");
}

TEST_F(RoomSheet, ARoomWithMorePlacesThanDesksIsNamed) {
  Rows({{"考场", "场人", "考室", "监考甲", "监考乙", "首考号", "尾考号", "每列座数", "列数"},
        {"01", 36, "", "", "", "", "", 6, 6},
        {"02", 40, "", "", "", "", "", 6, 6},
        // Without 列数 the columns grow with the places; without 每列座数
        // the column length does.
        {"03", 40, "", "", "", "", "", 6, ""},
        {"04", 40, "", "", "", "", "", "", 6}});
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "考场表第 3 行的考场“02”有 40 个场人，座位只有 36 个（每列座数 6 × "
                            "列数 6）。",
                        }));
  EXPECT_EQ(RoomShapeProblems(sheet)[0].column, 2);
}

TEST_F(RoomSheet, WithoutShapeColumnsThereIsNothingToSay) {
  Rows({{"考场", "场人"}, {"01", 99}});
  EXPECT_FALSE(FindRoomShapeColumns(sheet).any());
  EXPECT_TRUE(RoomShapeProblems(sheet).empty());
}

}  // namespace
}  // namespace kelv::sheets
