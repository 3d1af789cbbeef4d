// The invigilation rota as the solver sees it, free of workbooks: the
// sittings (场次) with their half-days, the rooms of every sitting with the
// invigilators each needs, the teachers, why a teacher may not take a room,
// the duties typed in already and the duties a teacher must take. The
// reader (rota_input.h) builds it from the data workbook; the solver
// (rota_solver.h) answers it with a rota or the reasons it cannot.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelv::invigilation {

// How messages name a sitting: "第 3 场" for 3, the name for a named one.
std::string SittingLabel(const std::string& key);

struct Sitting {
  std::string key;    // 场次 as written: "3", "物理"; "" for the one sitting without 场次表
  std::string label;  // 第 3 场, 物理; 本次考试
  int32_t half_day = 0;
  // Its rooms are rooms[first_room] .. rooms[end_room - 1].
  int32_t first_room = 0, end_room = 0;
};

struct SittingRoom {
  int32_t sitting = 0;
  std::string name;                  // 考场
  std::string location;              // 考室
  std::string subject;               // 科目 of the paper sat in it ("" in a single sitting)
  std::vector<std::string> classes;  // classes of the examinees seated in it
  int32_t need = 0;                  // invigilators it needs
  int32_t row = 0;                   // its row on 考场表 or 场次考场
};

struct Teacher {
  std::string name;
  std::string subject;  // 学科 as written
  std::optional<int32_t> max_duties;
  // A name typed into a room that is not on 监考表: kept where it was typed,
  // never given another duty and left out of the fairness groups.
  bool outside = false;
  int32_t row = 0;  // its row on 监考表; 0 for an outside name
};

// Why a teacher may not take a room, one bit each. A rule that can be
// switched off only bars while it is on.
enum Bar : uint8_t {
  kBarExcluded = 1,    // 不监考 names the sitting or the room's paper
  kBarOwnSubject = 2,  // the room's paper is the teacher's 学科
  kBarOwnClass = 4,    // a class the teacher teaches sits in the room
  kBarOutside = 8,     // an outside name takes only what was typed
};

struct Rules {
  bool own_subject = true;  // nobody watches the paper of their own 学科
  bool own_class = true;    // nobody watches a room where a class they teach sits
  bool max_duties = true;   // 最多场数 holds (off only to ask what it costs)
  uint8_t mask() const {
    return static_cast<uint8_t>(kBarExcluded | kBarOutside | (own_subject ? kBarOwnSubject : 0) |
                                (own_class ? kBarOwnClass : 0));
  }
};

// A name already in a room's 监考甲, 监考乙, … column, kept unless a fresh
// rota is asked for.
struct FixedDuty {
  int32_t teacher = 0;
  int32_t room = 0;
  int32_t role = 0;  // 0 甲, 1 乙, …
};

// 必监考: the teacher takes at least one of these rooms (all rooms of a
// sitting, the rooms of a paper, or one room in whichever sittings use it).
struct RequiredDuty {
  int32_t teacher = 0;
  std::string item;  // as written on 监考表
  std::vector<int32_t> rooms;
};

struct RotaModel {
  std::vector<std::string> half_days;  // "6月7日上午", in time order
  std::vector<Sitting> sittings;
  std::vector<SittingRoom> rooms;  // grouped by sitting, in sitting order
  std::vector<Teacher> teachers;
  // bars[room * teachers.size() + teacher]: the Bar bits that keep the
  // teacher out of the room.
  std::vector<uint8_t> bars;
  std::vector<FixedDuty> fixed;
  std::vector<RequiredDuty> required;

  int32_t teacher_count() const { return static_cast<int32_t>(teachers.size()); }
  int32_t room_count() const { return static_cast<int32_t>(rooms.size()); }
  int32_t sitting_count() const { return static_cast<int32_t>(sittings.size()); }
  uint8_t bar(int32_t room, int32_t teacher) const {
    return bars[static_cast<size_t>(room) * teachers.size() + static_cast<size_t>(teacher)];
  }
  uint8_t& bar(int32_t room, int32_t teacher) {
    return bars[static_cast<size_t>(room) * teachers.size() + static_cast<size_t>(teacher)];
  }
  int64_t total_need() const {
    int64_t n = 0;
    for (const SittingRoom& r : rooms) n += r.need;
    return n;
  }
};

// A finished rota: each room's invigilators by role (-1 where a role stays
// empty, which a finished rota never has below the room's need).
struct Rota {
  std::vector<std::vector<int32_t>> roles;  // per room
  std::vector<int32_t> duties;              // per teacher
  std::vector<int32_t> half_days;           // per teacher: half-days with a duty
  int32_t repeated_rooms = 0;               // duties in a room the same teacher had before
};

}  // namespace kelv::invigilation
