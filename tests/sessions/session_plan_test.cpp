// Seating one 场次 on indices: rooms to papers, who stays, who moves where.
#include "sessions/session_plan.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "sessions/room_seating.h"

namespace kelv::sessions {
namespace {

// Examinees of rooms of `per_room` places filled in order, `paper_of`
// naming each one's paper (-1: none this session).
PlanRequest FullRooms(int32_t rooms, int32_t per_room, const std::vector<int32_t>& paper_of,
                      int32_t papers) {
  PlanRequest q;
  q.places.assign(rooms, per_room);
  q.papers.resize(papers);
  for (size_t e = 0; e < paper_of.size(); ++e) {
    q.main_room.push_back(static_cast<int32_t>(e) / per_room);
    q.main_slot.push_back(static_cast<int32_t>(e) % per_room);
    if (paper_of[e] >= 0) q.papers[paper_of[e]].sitters.push_back(static_cast<int32_t>(e));
  }
  return q;
}

// Every rule a plan must keep: each sitter seated once, within the room's
// places, one paper per room, the paper's allowed rooms only; stayers in
// their main seat.
void ExpectSound(const PlanRequest& q, const SessionPlan& plan) {
  std::set<std::pair<int32_t, int32_t>> taken;
  for (size_t p = 0; p < q.papers.size(); ++p) {
    ASSERT_EQ(plan.seats[p].size(), q.papers[p].sitters.size());
    for (size_t k = 0; k < plan.seats[p].size(); ++k) {
      const PlacedSitter& s = plan.seats[p][k];
      ASSERT_GE(s.room, 0);
      EXPECT_EQ(plan.room_paper[s.room], static_cast<int32_t>(p));
      EXPECT_LT(s.slot, q.places[s.room]);
      EXPECT_TRUE(taken.insert({s.room, s.slot}).second) << "room " << s.room << " seat " << s.slot;
      const int32_t e = q.papers[p].sitters[k];
      if (s.stayed) {
        EXPECT_EQ(s.room, q.main_room[e]);
        EXPECT_EQ(s.slot, q.main_slot[e]);
      }
      if (!q.papers[p].allowed.empty()) {
        const auto& a = q.papers[p].allowed;
        EXPECT_NE(std::find(a.begin(), a.end(), s.room), a.end());
      }
    }
  }
}

TEST(PlanSession, RoomsGoToThePaperTheirExamineesSitAndTheOthersFillFreeSeats) {
  // Rooms of 4: 01 all paper 0; 02 and 03 half and half; 04 empty.
  PlanRequest q = FullRooms(4, 4, {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0}, 2);
  const std::optional<SessionPlan> plan = PlanSession(q);
  ASSERT_TRUE(plan);
  ExpectSound(q, *plan);
  EXPECT_EQ(plan->room_paper, (std::vector<int32_t>{0, 0, 0, 1}));
  EXPECT_EQ(plan->moved, 4);  // paper 1 moves to 04, in exam-number order
  for (int32_t k = 0; k < 4; ++k) {
    EXPECT_EQ(plan->seats[1][k].room, 3);
    EXPECT_EQ(plan->seats[1][k].slot, k);
  }

  // With no spare room, paper 1 takes 02 and paper 0's two there move into
  // the seats paper 1 leaves in 03.
  q = FullRooms(3, 4, {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0}, 2);
  const std::optional<SessionPlan> tight = PlanSession(q);
  ASSERT_TRUE(tight);
  ExpectSound(q, *tight);
  EXPECT_EQ(tight->moved, 4);
  EXPECT_EQ(tight->room_paper[0], 0);
  EXPECT_NE(tight->room_paper[1], tight->room_paper[2]);
}

TEST(PlanSession, ExactFitsAreFoundAndShortfallsRefused) {
  // 45 and 30 examinees in rooms of 30, 30 and 15: the odd paper needs the
  // small room; nothing is left over.
  PlanRequest q;
  q.places = {30, 30, 15};
  q.papers.resize(2);
  for (int32_t e = 0; e < 75; ++e) {
    q.main_room.push_back(e < 30 ? 0 : e < 60 ? 1 : 2);
    q.main_slot.push_back(e < 60 ? e % 30 : e - 60);
    q.papers[e < 30 || e >= 60 ? 0 : 1].sitters.push_back(e);
  }
  const std::optional<SessionPlan> plan = PlanSession(q);
  ASSERT_TRUE(plan);
  ExpectSound(q, *plan);
  EXPECT_EQ(plan->moved, 0);
  EXPECT_TRUE(PapersFit(q.places, {45, 30}, {{}, {}}));
  EXPECT_TRUE(PapersFit(q.places, {30, 30, 15}, {{}, {}, {}}));
  // Four papers need four rooms.
  EXPECT_FALSE(PapersFit(q.places, {20, 20, 20, 5}, {{}, {}, {}, {}}));
  EXPECT_FALSE(PapersFit({30, 30}, {31, 1}, {{}, {}}));
  EXPECT_EQ(RoomsAtLeast({30, 30, 15}, 61, {}), 3);
  EXPECT_EQ(RoomsAtLeast({30, 30, 15}, 76, {}), -1);

  // One more examinee than places.
  q.main_room.push_back(-1);
  q.main_slot.push_back(-1);
  q.papers[1].sitters.push_back(75);
  EXPECT_FALSE(PlanSession(q));
}

TEST(PlanSession, APaperKeepsToTheRoomsItMayUse) {
  // Paper 1 may use room 02 only, although its examinees sit in 01.
  PlanRequest q = FullRooms(3, 4, {1, 1, 0, 0, 0, 0}, 2);
  q.papers[1].allowed = {1};
  const std::optional<SessionPlan> plan = PlanSession(q);
  ASSERT_TRUE(plan);
  ExpectSound(q, *plan);
  EXPECT_EQ(plan->room_paper[1], 1);
  EXPECT_TRUE(plan->room_paper[0] == 0 || plan->room_paper[2] == 0);
  q.papers[1].allowed = {};
  q.places = {4, 1, 4};
  q.papers[1].allowed = {1};  // one place for two examinees
  EXPECT_FALSE(PlanSession(q));
  EXPECT_FALSE(PapersFit(q.places, {4, 2}, {{}, {1}}));
}

// Random sessions of random schools: every plan keeps every rule, and with a
// spare room for each paper nobody whose room held only their paper moves.
TEST(PlanSession, RandomSessionsKeepEveryRule) {
  std::mt19937 rng(20240601);
  for (int round = 0; round < 300; ++round) {
    const int32_t rooms = std::uniform_int_distribution<int32_t>(1, 12)(rng);
    const int32_t papers = std::uniform_int_distribution<int32_t>(1, 4)(rng);
    PlanRequest q;
    std::vector<int32_t> occupants;
    for (int32_t r = 0; r < rooms; ++r) {
      q.places.push_back(std::uniform_int_distribution<int32_t>(0, 8)(rng));
      occupants.push_back(std::uniform_int_distribution<int32_t>(0, q.places.back())(rng));
    }
    for (int32_t p = 0; p < papers; ++p) q.places.push_back(8);  // spare rooms
    q.papers.resize(papers);
    const bool whole_rooms = round % 2 == 0;
    int32_t e = 0;
    for (int32_t r = 0; r < rooms; ++r) {
      const int32_t room_paper = std::uniform_int_distribution<int32_t>(-1, papers - 1)(rng);
      for (int32_t s = 0; s < occupants[r]; ++s, ++e) {
        q.main_room.push_back(r);
        q.main_slot.push_back(s);
        const int32_t p =
            whole_rooms ? room_paper : std::uniform_int_distribution<int32_t>(-1, papers - 1)(rng);
        if (p >= 0) q.papers[p].sitters.push_back(e);
      }
    }
    const std::optional<SessionPlan> plan = PlanSession(q);
    std::vector<int64_t> sizes;
    for (const PlanPaper& p : q.papers) sizes.push_back(static_cast<int64_t>(p.sitters.size()));
    ASSERT_EQ(plan.has_value(),
              PapersFit(q.places, sizes, std::vector<std::vector<int32_t>>(papers)))
        << "round " << round;
    if (!plan) continue;
    ExpectSound(q, *plan);
    if (whole_rooms) {
      EXPECT_EQ(plan->moved, 0) << "round " << round;
    }
  }
}

TEST(RoomSeating, SeatNumbersAreThoseTheMainArrangementWrites) {
  // Per room: 1..8 in a room of 8, 001..120 in one of 120.
  EXPECT_EQ(SeatLabel(0, 8, 0, true, 30, 2), "1");
  EXPECT_EQ(SeatLabel(119, 120, 240, true, 30, 2), "120");
  EXPECT_EQ(SeatLabel(4, 120, 240, true, 30, 2), "005");
  // Cyclic: the counter runs on through the places of earlier rooms.
  EXPECT_EQ(SeatLabel(0, 28, 30, false, 30, 2), "01");
  EXPECT_EQ(SeatLabel(5, 30, 25, false, 25, 2), "06");
  EXPECT_EQ(SeatLabel(3, 30, 0, false, 1, 1), "1");
  // A width past three zeros keeps what the apostrophe prefix leaves.
  EXPECT_EQ(SeatLabel(6, 30, 0, false, 30, 6), "0007");
}

TEST(RoomSeating, NewcomersSitApartFromTheirGroupAroundThoseWhoStay) {
  // Eight seats in columns of 4 (S-shaped): 0-1-2-3 down, 7-6-5-4 back up,
  // so 0 sits beside 7, 1 beside 6 and 2 beside 5. Group 0 stays at 0 and
  // 2; two more of it and four of group 1 come.
  const auto pairs = Neighbours(8, 4);
  EXPECT_EQ(pairs.size(), 7u + 3u);
  std::vector<int32_t> group = {0, -1, 0, -1, -1, -1, -1, -1};
  const std::vector<int32_t> free = {1, 3, 4, 5, 6, 7};
  const std::vector<int32_t> newcomers = {1, 1, 0, 1, 0, 1};
  const std::vector<int32_t> order = KeepApart(group, free, newcomers, pairs);
  ASSERT_EQ(order.size(), free.size());
  std::set<int32_t> seen(order.begin(), order.end());
  EXPECT_EQ(seen.size(), free.size());
  for (size_t k = 0; k < free.size(); ++k) group[free[k]] = newcomers[order[k]];
  int32_t shared = 0;
  for (const auto& [a, b] : pairs) shared += group[a] == group[b] ? 1 : 0;
  EXPECT_EQ(shared, 0);
}

}  // namespace
}  // namespace kelv::sessions
