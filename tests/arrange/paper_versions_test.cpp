#include "arrange/paper_versions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "arrange/seat_order.h"
#include "data_book.h"
#include "sheets/room_shape.h"

namespace kelv::arrange {
namespace {

using testing::DataBook;
using Seats = host::FormModel::SeatingControls;

// Desks side by side or one behind the other, worked out from where each
// seat stands rather than from the seat numbers.
std::vector<std::pair<int32_t, int32_t>> OrthogonalPairs(int32_t per_column, int32_t seats) {
  std::map<std::pair<int32_t, int32_t>, int32_t> at;
  for (int32_t s = 0; s < seats; ++s) {
    const sheets::Desk d = sheets::DeskOfSeat(per_column, s);
    at[{d.row, d.column}] = s;
  }
  std::vector<std::pair<int32_t, int32_t>> pairs;
  for (const auto& [desk, s] : at)
    for (const auto& next :
         {std::pair{desk.first + 1, desk.second}, std::pair{desk.first, desk.second + 1}})
      if (auto it = at.find(next); it != at.end()) pairs.emplace_back(s, it->second);
  return pairs;
}

struct Shape {
  int32_t places, per_column, columns;
};

// Rooms of the given shapes in turn until they hold `examinees`, the last
// one cut to what is left.
void Rooms(DataBook& db, int32_t examinees, const std::vector<Shape>& shapes) {
  std::vector<testing::Room> rooms;
  std::vector<Shape> used;
  for (int32_t left = examinees, k = 0; left > 0; ++k) {
    Shape s = shapes[k % shapes.size()];
    s.places = std::min(s.places, left);
    left -= s.places;
    char name[16];
    std::snprintf(name, sizeof name, "%04d", k + 1);
    rooms.push_back({name, s.places});
    used.push_back(s);
  }
  db.SetRooms(rooms);
  db.rooms->cells(1, 8).set_value("每列座数");
  db.rooms->cells(1, 9).set_value("列数");
  for (size_t k = 0; k < used.size(); ++k) {
    db.rooms->cells(static_cast<int32_t>(k) + 2, 8).set_value(used[k].per_column);
    db.rooms->cells(static_cast<int32_t>(k) + 2, 9).set_value(used[k].columns);
  }
}

// Per room: its seats' versions and grades, by seat number.
struct Seated {
  int32_t per_column = 0;
  std::map<int32_t, std::pair<std::string, std::string>> seat;  // seat -> (version, grade)
};
std::map<std::string, Seated> ReadBack(DataBook& db) {
  std::map<std::string, int32_t> per_column;
  for (int32_t r = 2; !db.rooms->cell_value(r, 1).is_empty(); ++r)
    per_column[db.rooms->cells(r, 1).text()] = db.rooms->cell_value(r, 8).to_int32();
  std::map<std::string, Seated> rooms;
  const int32_t room = db.Column("考场"), seat = db.Column("座号"), version = db.Column("试卷"),
                grade = db.Column("年级");
  for (int32_t r = 2; !db.examinees->cell_value(r, 1).is_empty(); ++r) {
    Seated& s = rooms[db.examinees->cells(r, room).text()];
    s.per_column = per_column[db.examinees->cells(r, room).text()];
    s.seat[db.examinees->cell_value(r, seat).to_int32()] = {
        db.examinees->cells(r, version).text(),
        grade ? db.examinees->cells(r, grade).text() : std::string()};
  }
  return rooms;
}

TEST(PaperVersions, NoNeighbourInFrontBehindOrBesideHasTheSameVersion) {
  DataBook db(1, Seats::With);
  Rooms(db, 30 + 42 + 37 + 20, {{30, 6, 5}, {42, 7, 6}, {37, 8, 5}, {30, 6, 5}});
  db.SetExaminees(30 + 42 + 37 + 20, {"姓名", "学校"});
  (*db.form)["ChbABJuan"].set_value(true);
  db.Run("0001", "30", true);
  EXPECT_EQ(db.Messages(), (std::vector<std::string>{PaperVersionNote()}));
  const std::map<std::string, Seated> rooms = ReadBack(db);
  ASSERT_EQ(rooms.size(), 4u);
  for (const auto& [name, room] : rooms) {
    for (const auto& [p, q] :
         OrthogonalPairs(room.per_column, static_cast<int32_t>(room.seat.size())))
      EXPECT_NE(room.seat.at(p + 1).first, room.seat.at(q + 1).first)
          << name << " " << p << " " << q;
    EXPECT_EQ(room.seat.at(1).first, "A");
  }
  // Written like the assignment columns.
  EXPECT_EQ(db.examinees->columns(db.Column("试卷")).font().get().color_index, 5);
}

TEST(PaperVersions, WithoutTheCheckBoxNothingIsWrittenOrSaid) {
  DataBook db(1, Seats::With);
  db.SetRooms({{"01", 4}});
  db.SetExaminees(4);
  db.Run("0001", "30", true);
  EXPECT_EQ(db.Column("试卷"), 0);
  EXPECT_TRUE(db.Messages().empty());
}

// Every room of a 100,000-examinee arrangement with two grades in random
// order: versions always differ at the desks around, and so do the grades,
// since every room's two grades fit the two halves of its desks.
TEST(PaperVersions, TheGuaranteeHoldsInEveryRoomOfAHundredThousandExaminees) {
  constexpr int32_t kExaminees = 100000;
  DataBook db(1, Seats::With);
  Rooms(db, kExaminees, {{30, 6, 5}, {42, 7, 6}, {37, 8, 5}, {29, 6, 5}});
  db.examinees->cells(1, 1).set_value("姓名");
  db.examinees->cells(1, 2).set_value("年级");
  std::vector<host::Variant> rows;
  rows.reserve(2 * kExaminees);
  for (int32_t i = 0; i < kExaminees; ++i) {
    rows.emplace_back(testing::ExamineeName(i + 1));
    rows.emplace_back(i % 2 == 0 ? "高一" : "高二");
  }
  db.examinees->range(db.examinees->cells(2, 1), db.examinees->cells(kExaminees + 1, 2))
      .set_values(rows);
  (*db.form)["ChbABJuan"].set_value(true);
  (*db.form)["TxtZhongZi"].set_value("20240601");
  db.Run("2024000001", "30", true, true);

  ASSERT_EQ(db.Messages().size(), 1u);
  const std::string notice = db.Messages()[0];
  EXPECT_NE(notice.find("两个年级交错就座（按“年级”）：相邻座位同组 0 对。"), std::string::npos)
      << notice;
  EXPECT_NE(notice.find(PaperVersionNote()), std::string::npos) << notice;
  const std::map<std::string, Seated> rooms = ReadBack(db);
  int64_t seated = 0, pairs = 0;
  for (const auto& [name, room] : rooms) {
    const auto n = static_cast<int32_t>(room.seat.size());
    seated += n;
    ASSERT_EQ(room.seat.rbegin()->first, n) << name;
    for (const auto& [p, q] : OrthogonalPairs(room.per_column, n)) {
      const auto& a = room.seat.at(p + 1);
      const auto& b = room.seat.at(q + 1);
      ASSERT_NE(a.first, b.first) << name << " seats " << p + 1 << ", " << q + 1;
      ASSERT_NE(a.second, b.second) << name << " seats " << p + 1 << ", " << q + 1;
      ++pairs;
    }
  }
  EXPECT_EQ(seated, kExaminees);
  EXPECT_GT(pairs, 150000);
}

// Where the two groups do not fit the halves of a room, as few neighbours as
// can be share a group: the arrangement against every way of seating them.
TEST(PaperVersions, TwoGroupsThatDoNotFitShareAsFewNeighboursAsPossible) {
  struct Room {
    int32_t seats, per_column;
  };
  for (const Room room : {Room{9, 3}, Room{12, 4}, Room{13, 5}, Room{14, 4}, Room{16, 4}}) {
    const auto pairs = OrthogonalPairs(room.per_column, room.seats);
    for (int32_t a = (room.seats + 1) / 2; a < room.seats; ++a) {
      // The fewest over every choice of a seats for the larger group.
      int32_t fewest = 1 << 30;
      for (uint32_t mask = 0; mask < (1u << room.seats); ++mask) {
        if (__builtin_popcount(mask) != a) continue;
        int32_t shared = 0;
        for (const auto& [p, q] : pairs) shared += ((mask >> p) & 1) == ((mask >> q) & 1) ? 1 : 0;
        fewest = std::min(fewest, shared);
      }
      SeatOrderRequest q;
      q.rooms = {{room.seats, room.per_column}};
      q.examinees = room.seats;
      q.random = true;
      q.keep_apart = true;
      for (int32_t i = 0; i < room.seats; ++i) q.group.push_back(i < a ? 0 : 1);
      for (uint64_t seed : {1, 2, 3}) {
        q.seed = seed;
        const SeatingCheck check = CheckSeating(q, OrderSeats(q));
        EXPECT_EQ(check.shared_pairs, fewest)
            << room.seats << " seats in columns of " << room.per_column << ", " << a << " and "
            << room.seats - a << ", seed " << seed;
      }
    }
  }
}

}  // namespace
}  // namespace kelv::arrange
