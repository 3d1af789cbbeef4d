#include "generate/seat_maps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "generate/generate_tables.h"
#include "generate_host.h"
#include "sheets/room_shape.h"
#include "sheets/settings_sheet.h"

namespace kelv::generate {
namespace {

using Names = std::vector<std::string>;

struct TestRoom {
  std::string name;
  int32_t places;
  host::Variant per_column, columns, podium;
  int32_t examinees;
};

// Where a desk's block landed: the rows of its 座号, 考号 and 姓名 lines
// stand one above the other.
struct Block {
  int32_t row, column;
  std::string seat;
};

class SeatMapsTest : public ::testing::Test {
 protected:
  // Rooms on the room sheet with their shapes, and their examinees on the
  // examinee sheet in a shuffled order: exam number K<room><seat>, name
  // 名<room><seat>.
  void Exam(const std::vector<TestRoom>& rooms, bool shuffled = true) {
    host::Worksheet& r = host.data_book->sheet("考场表");
    const char* headings[] = {"考场",   "场人",   "考室",     "监考甲", "监考乙",
                              "首考号", "尾考号", "每列座数", "列数",   "讲台"};
    for (int c = 0; c < 10; ++c) r.cells(1, c + 1).set_value(headings[c]);
    std::vector<std::vector<host::Variant>> table{{"考号", "姓名", "考场", "座号"}};
    for (size_t k = 0; k < rooms.size(); ++k) {
      const TestRoom& room = rooms[k];
      const auto row = static_cast<int32_t>(k) + 2;
      r.cells(row, 1).set_value(room.name);
      r.cells(row, 2).set_value(room.places);
      r.cells(row, 6).set_value(Number(room.name, 1));
      r.cells(row, 7).set_value(Number(room.name, room.examinees));
      r.cells(row, 8).set_value(room.per_column);
      r.cells(row, 9).set_value(room.columns);
      r.cells(row, 10).set_value(room.podium);
      for (int32_t s = 1; s <= room.examinees; ++s)
        table.push_back({Number(room.name, s), "名" + room.name + std::to_string(s), room.name,
                         std::to_string(s)});
    }
    std::mt19937 rng(7);
    if (shuffled) std::shuffle(table.begin() + 1, table.end(), rng);
    host.Table(table);
  }

  static std::string Number(const std::string& room, int32_t seat) {
    return "K" + room + (seat < 10 ? "0" : "") + std::to_string(seat);
  }

  // A header [考场] [首考号] over one row, a desk of 座号, 考号 and 姓名.
  void SeatMapTemplate() {
    host::Worksheet& t = host.AddTemplate({.name = "座位表"});
    host.DTB().cells(2, sheets::kRoomLayoutColumn).set_value(true);
    t.cells(2, 1).set_value("@");
    t.cells(2, 4).set_value("@");
    t.cells(2, 2).set_value("[考场]");
    t.cells(2, 3).set_value("[首考号]");
    t.cells(5, 1).set_value("#");
    t.cells(7, 1).set_value("#");
    t.cells(5, 3).set_value("#");
    t.cells(5, 2).set_value("[座号]");
    t.cells(6, 2).set_value("[考号]");
    t.cells(7, 2).set_value("[姓名]");
  }

  void Generate() { GenerateTables(host.self, host.engine, *host.form); }

  host::Worksheet& Out() { return host.data_book->sheet("座位表"); }

  // Every block on the output sheet, by exam number.
  std::map<std::string, Block> Blocks() {
    std::map<std::string, Block> blocks;
    host::Worksheet& out = Out();
    const host::Rect used = out.used_range().area();
    for (int32_t r = 3; r <= used.row2; ++r)
      for (int32_t c = 1; c <= used.col2; ++c)
        if (out.cells(r, c).text().starts_with("名"))
          blocks[out.cells(r - 1, c).text()] = {r - 1, c, out.cells(r - 2, c).text()};
    return blocks;
  }

  // The rows holding a text, top to bottom.
  std::vector<int32_t> RowsOf(const std::string& text) {
    std::vector<int32_t> rows;
    host::Worksheet& out = Out();
    const host::Rect used = out.used_range().area();
    for (int32_t r = 1; r <= used.row2; ++r)
      for (int32_t c = 1; c <= used.col2; ++c)
        if (out.cells(r, c).text() == text) rows.push_back(r);
    return rows;
  }

  std::vector<int32_t> Breaks() {
    const auto& model = spreadsheet::Engine::model_of(Out());
    std::vector<int32_t> rows(model.row_breaks.begin(), model.row_breaks.end());
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  testing::GenerateHost host;
};

TEST_F(SeatMapsTest, EveryExamineeSitsAtTheirDeskInRoomsOfSeveralShapes) {
  const std::vector<TestRoom> rooms = {
      {"A", 30, 6, 5, "前", 30},
      {"B", 42, 7, 6, "后", 42},
      {"C", 37, 8, 5, "", 37},  // the last column is short
      {"D", 30, 6, 5, "", 20},  // fewer examinees than desks
  };
  Exam(rooms);
  SeatMapTemplate();
  Generate();
  ASSERT_TRUE(host.dialogs.messages().empty()) << host.MessageTexts()[0];
  const std::map<std::string, Block> blocks = Blocks();
  ASSERT_EQ(blocks.size(), 30u + 42 + 37 + 20);

  // A desk is three rows and one column; spacer rows and columns between.
  const int32_t row_pitch = 4, column_pitch = 2;
  const std::vector<int32_t> breaks = Breaks();
  ASSERT_EQ(breaks.size(), rooms.size() - 1);
  const std::vector<int32_t> podiums = RowsOf(kPodiumText);
  ASSERT_EQ(podiums.size(), rooms.size());
  for (size_t k = 0; k < rooms.size(); ++k) {
    const TestRoom& room = rooms[k];
    const int32_t per_column = room.per_column.to_int32();
    const bool back = room.podium.to_text() == "后";
    const Block first = blocks.at(Number(room.name, 1));
    int32_t lowest = first.row, highest = first.row;
    for (int32_t s = 1; s <= room.examinees; ++s) {
      const Block b = blocks.at(Number(room.name, s));
      EXPECT_EQ(b.seat, std::to_string(s));
      const sheets::Desk desk = sheets::DeskOfSeat(per_column, s - 1);
      EXPECT_EQ(b.row, first.row + (back ? -1 : 1) * desk.row * row_pitch) << room.name << s;
      EXPECT_EQ(b.column, first.column + desk.column * column_pitch) << room.name << s;
      // One room a page: between the breaks around the room's page.
      const auto page = std::upper_bound(breaks.begin(), breaks.end(), b.row) - breaks.begin();
      EXPECT_EQ(static_cast<size_t>(page), k) << room.name << s;
      lowest = std::min(lowest, b.row);
      highest = std::max(highest, b.row + 2);
    }
    EXPECT_EQ(first.column, 2);
    // The podium across the room's columns, at the front.
    const int32_t podium = podiums[k];
    if (back) {
      EXPECT_GT(podium, highest) << room.name;
    } else {
      EXPECT_LT(podium, lowest) << room.name;
    }
    const host::Rect merged = Out().cells(podium, 2).merge_area().area();
    EXPECT_EQ(merged.col2, 1 + room.columns.to_int32() * column_pitch - 1) << room.name;
    // The page's header names the room and its first exam number, which
    // only the room sheet has.
    const int32_t header = k == 0 ? 2 : breaks[k - 1] + 1;
    EXPECT_EQ(Out().cells(header, 2).text(), room.name);
    EXPECT_EQ(Out().cells(header, 3).text(), Number(room.name, 1));
  }
  // A few desks spelled out. B has its front at the bottom of the page.
  EXPECT_EQ(blocks.at("KB07").row, blocks.at("KB08").row);
  EXPECT_EQ(blocks.at("KB08").column, blocks.at("KB07").column + column_pitch);
  EXPECT_GT(blocks.at("KB01").row, blocks.at("KB02").row);
  // C's fifth column goes from the front again and stops after five.
  EXPECT_EQ(blocks.at("KC33").row, blocks.at("KC32").row);
  EXPECT_EQ(blocks.at("KC37").row, blocks.at("KC33").row + 4 * row_pitch);
  // The user's table keeps its order.
  EXPECT_EQ(host.Examinees().cells(1, 1).current_region().columns_count(), 4);
  EXPECT_TRUE(host.Examinees().cells(1, 168).value().is_empty());
}

TEST_F(SeatMapsTest, RoomsOfDifferentShapesShareTheColumnWidths) {
  Exam({{"A", 4, 2, 2, "", 4}, {"B", 6, 1, "", "", 6}});
  SeatMapTemplate();
  host.DTB().cells(2, sheets::kColSpacingColumn).set_value(40);
  Generate();
  ASSERT_TRUE(host.dialogs.messages().empty());
  // Room B is one row of six desks: the widest room sets the widths.
  host::Worksheet& out = Out();
  const double desk = host.host_book->sheet("座位表").columns(2).column_width();
  for (int32_t c = 2; c <= 12; c += 2) EXPECT_DOUBLE_EQ(out.columns(c).column_width(), desk) << c;
  EXPECT_DOUBLE_EQ(out.columns(13).column_width(), 0.6);
  const std::map<std::string, Block> blocks = Blocks();
  EXPECT_EQ(blocks.at("KB06").row, blocks.at("KB01").row);
  EXPECT_EQ(blocks.at("KB06").column, 12);
}

TEST_F(SeatMapsTest, ExamineesWithoutADeskOfTheirOwnStopItBeforeAnythingIsWritten) {
  // Room A: rows 2 to 7 hold seats 1 to 6; 列数 bounds the desks.
  const std::string advice =
      "\n座位表按考场表的每列座数、列数和考生的考场、座号排座，请改正后再生成。";
  const struct {
    int32_t row, column;
    host::Variant value;
    std::string message;
  } cases[] = {
      {3, 4, "1", "考场“A”的座号 1 有 2 人（考生表第 2、3 行）。"},
      {3, 3, "Z", "考场“Z”不在考场表中（考生表第 3 行）。"},
      {4, 4, "七", "考生表第 4 行的座号不是正整数。"},
      {7, 4, 7, "考场“A”只有 6 个座位（每列 3 座 × 2 列），考生表第 7 行的座号排不下。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    host.dialogs.clear();
    Exam({{"A", 6, 3, 2, "", 6}}, false);
    if (host.DTB().cells(2, sheets::kNameColumn).value().is_empty()) SeatMapTemplate();
    host.Examinees().cells(c.row, c.column).set_value(c.value);
    Generate();
    EXPECT_EQ(host.MessageTexts(), (Names{c.message + advice}));
    EXPECT_EQ(host.DataSheetNames(), (Names{"考场表", "考生表"}));
    EXPECT_TRUE(host.Examinees().cells(1, 168).value().is_empty());
  }
  // A shape that is no whole number is named too.
  host.dialogs.clear();
  Exam({{"A", 6, 0, 2, "", 6}}, false);
  Generate();
  EXPECT_EQ(host.MessageTexts(), (Names{"考场表第 2 行的每列座数“0”不是正整数。" + advice}));
}

TEST_F(SeatMapsTest, WithoutColumnsTheRoomGrowsAndWithoutAShapeTheMapIsRefused) {
  Exam({{"A", 6, 3, "", "", 6}}, false);
  SeatMapTemplate();
  host.Examinees().cells(7, 4).set_value(7);
  Generate();
  ASSERT_TRUE(host.dialogs.messages().empty()) << host.MessageTexts()[0];
  EXPECT_EQ(Blocks().at("KA06").seat, "7");
  EXPECT_EQ(Blocks().at("KA06").column, 6);  // a third column for seat 7

  host.dialogs.clear();
  for (int32_t c = 8; c <= 10; ++c) host.data_book->sheet("考场表").cells(1, c).set_value("备注");
  Generate();
  EXPECT_EQ(host.MessageTexts(),
            (Names{"“考场表”中没有“每列座数”和“列数”列：座位表不知道考场里的座位怎样排。"
                   "请在考场表中加上每列座数（每列前后几个座位），需要时再加列数。"}));
}

TEST_F(SeatMapsTest, TheRoomSheetAsDataSourceIsRefused) {
  Exam({{"A", 6, 3, 2, "", 6}});
  SeatMapTemplate();
  host.DTB().cells(2, sheets::kDataSourceColumn).set_value(false);
  host.form->control("ChbSJYuan").set_value(false);
  Generate();
  EXPECT_EQ(host.MessageTexts(),
            (Names{"“座位表”按考场座位排列，数据须来自考生表：请勾选“数据源为考生表”。"}));
  EXPECT_EQ(host.DataSheetNames(), (Names{"考场表", "考生表"}));
}

}  // namespace
}  // namespace kelv::generate
