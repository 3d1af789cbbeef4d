// The invigilation rota on a synthetic school, through the host interfaces:
// a data workbook with 监考表, 场次表, 场次考场 and 场次安排 in the embedded
// engine; then reading it, solving, checking the rota independently and
// writing it (room columns, 监考安排, 监考统计, the duty-slip workbook).
// Default sizes: 150 teachers x 60 rooms x 9 sittings, then 600 x 300 x 12;
// or TEACHERS ROOMS SITTINGS on the command line. Prints seconds per step,
// broken rules, the largest spread of duties within a group, half-days and
// rooms had twice.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_util.h"
#include "host/system_environment.h"
#include "invigilation/invigilate.h"
#include "invigilation/rota_check.h"
#include "invigilation/rota_input.h"
#include "invigilation/rota_solver.h"
#include "invigilation/shortfall.h"
#include "sheets/exam_sheets.h"
#include "sheets/room_sheet.h"
#include "spreadsheet/engine.h"

namespace {

using kelv::bench::cat;
using kelv::bench::Clock;
using kelv::bench::seconds_since;
using kelv::host::Variant;
using kelv::host::Worksheet;
namespace inv = kelv::invigilation;

struct Rng {
  uint64_t s;
  uint32_t below(uint32_t n) {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>((s >> 33) % n);
  }
};

const char* const kSubjects[] = {"语文", "数学", "外语", "物理", "化学",
                                 "生物", "政治", "历史", "地理"};
// Per mille of the teachers teaching each subject.
const int kSubjectShare[] = {150, 150, 150, 100, 90, 90, 90, 90, 90};
// The share of the rooms each sitting uses, per cent, and its papers: the
// first takes that share of the rooms, the second the rest.
struct Paper {
  int rooms_percent;
  const char* first;
  const char* second;  // nullptr: one paper
  int first_percent;
};
// The big sittings leave a fifth of the rooms free: a school never needs
// every teacher at once.
const Paper kSittings[] = {
    {80, "语文", nullptr, 100}, {80, "数学", nullptr, 100}, {80, "外语", nullptr, 100},
    {80, "物理", "历史", 60},   {67, "化学", "政治", 55},   {67, "生物", "地理", 55},
    {60, "化学", "地理", 50},   {60, "生物", "政治", 50},   {50, "物理", "历史", 60},
    {50, "化学", "生物", 50},   {40, "政治", "地理", 50},   {40, "历史", "物理", 50},
};

void put(Worksheet& ws, int32_t r, int32_t c, const Variant& v) {
  ws.cells(r, c).set_value(v);
}

std::string class_of_room(int32_t room, int32_t offset) {
  const int32_t klass = (room * 2 + offset) / 3;
  return cat({std::to_string(klass % 20 + 1), "班"});
}
std::string grade_of_room(int32_t room, int32_t offset) {
  const int32_t klass = (room * 2 + offset) / 3;
  return klass / 20 % 2 == 0 ? "高一" : "高二";
}

// Builds the school's data workbook in the engine.
void build(kelv::host::Workbook& book, int32_t teachers, int32_t rooms, int32_t sittings) {
  Rng rng{20240601};
  Worksheet& room_sheet = book.sheet_at(0);
  room_sheet.set_name(kelv::sheets::kRoomSheet);
  room_sheet.columns(1).set_number_format_local("@");
  for (int32_t c = 0; c < kelv::sheets::kRoomColumnCount; ++c)
    put(room_sheet, 1, c + 1, kelv::sheets::kRoomHeadings[c]);
  for (int32_t i = 0; i < rooms; ++i) {
    put(room_sheet, i + 2, 1, kelv::bench::padded(i + 1, 3));
    put(room_sheet, i + 2, 2, 30);
    put(room_sheet, i + 2, 3, kelv::bench::classroom(i));
  }
  Worksheet& timetable = book.add_sheet_after(room_sheet);
  timetable.set_name(kelv::sheets::kTimetableSheet);
  Worksheet& session_rooms = book.add_sheet_after(timetable);
  session_rooms.set_name(kelv::sheets::kSessionRoomsSheet);
  Worksheet& seating = book.add_sheet_after(session_rooms);
  seating.set_name(kelv::sheets::kSessionSeatingSheet);
  // Room names are text, as the session arrangement writes them.
  session_rooms.columns(6).set_number_format_local("@");
  seating.columns(2).set_number_format_local("@");
  const char* const timetable_heads[] = {"场次", "科目", "日期", "开始", "结束"};
  for (int c = 0; c < 5; ++c) put(timetable, 1, c + 1, timetable_heads[c]);
  for (int c = 0; c < 12; ++c) put(session_rooms, 1, c + 1, kelv::sheets::kSessionRoomsHeadings[c]);
  const char* const seating_heads[] = {"场次", "考场", "年级", "班级"};
  for (int c = 0; c < 4; ++c) put(seating, 1, c + 1, seating_heads[c]);
  int32_t tt_row = 2, room_row = 2, seat_row = 2;
  for (int32_t s = 0; s < sittings; ++s) {
    const Paper& p = kSittings[s % 12];
    const int32_t used = std::max(1, rooms * p.rooms_percent / 100);
    const int32_t first_rooms = p.second ? used * p.first_percent / 100 : used;
    const int32_t half = s / 2;
    const double date = 45450 + half / 2;
    const double start =
        (half % 2 == 0 ? (s % 2 == 0 ? 8.0 : 10.5) : (s % 2 == 0 ? 14.5 : 16.5)) / 24;
    for (const char* subject : {p.first, p.second}) {
      if (subject == nullptr) continue;
      const std::vector<Variant> row = {s + 1, subject, date, start, start + 2.0 / 24};
      for (int c = 0; c < 5; ++c) put(timetable, tt_row, c + 1, row[c]);
      ++tt_row;
    }
    const int32_t shift = (s * 7) % rooms;
    for (int32_t j = 0; j < used; ++j) {
      const int32_t room = (j + shift) % rooms;
      const char* subject = j < first_rooms ? p.first : p.second;
      const std::vector<Variant> row = {s + 1,
                                        subject,
                                        date,
                                        start,
                                        start + 2.0 / 24,
                                        kelv::bench::padded(room + 1, 3),
                                        kelv::bench::classroom(room),
                                        30};
      for (int c = 0; c < 8; ++c) put(session_rooms, room_row, c + 1, row[c]);
      ++room_row;
      for (int32_t e = 0; e < 30; ++e) {
        put(seating, seat_row, 1, s + 1);
        put(seating, seat_row, 2, kelv::bench::padded(room + 1, 3));
        put(seating, seat_row, 3, grade_of_room(room, e % 2));
        put(seating, seat_row, 4, class_of_room(room, e % 2));
        ++seat_row;
      }
    }
  }
  Worksheet& list = book.add_sheet_after(seating);
  list.set_name(kelv::sheets::kInvigilatorSheet);
  const char* const list_heads[] = {"姓名", "学科", "任教班级", "最多场数", "不监考", "必监考"};
  for (int c = 0; c < 6; ++c) put(list, 1, c + 1, list_heads[c]);
  for (int32_t t = 0; t < teachers; ++t) {
    int32_t pick = static_cast<int32_t>(rng.below(1000)), subject = 0;
    while (subject < 8 && pick >= kSubjectShare[subject]) pick -= kSubjectShare[subject++];
    const int32_t room = static_cast<int32_t>(rng.below(static_cast<uint32_t>(rooms)));
    const std::string classes = cat({grade_of_room(room, 0), class_of_room(room, 0), "、",
                                     grade_of_room(room, 1), class_of_room(room, 1)});
    const int32_t r = t + 2;
    put(list, r, 1, cat({"教师", kelv::bench::padded(t + 1, 4)}));
    put(list, r, 2, kSubjects[subject]);
    put(list, r, 3, classes);
    const uint32_t kind = rng.below(100);
    if (kind < 10) put(list, r, 4, 3);
    if (kind >= 10 && kind < 15)
      put(list, r, 5, std::to_string(rng.below(static_cast<uint32_t>(sittings)) + 1));
    if (kind >= 15 && kind < 17)
      put(list, r, 6,
          cat({"第", std::to_string(subject < 3 ? (subject + 1) % 3 + 1 : rng.below(3) + 1),
               "场"}));
  }
}

void run(int32_t teachers, int32_t rooms, int32_t sittings) {
  kelv::spreadsheet::Engine engine(nullptr);
  kelv::host::Workbook& book = engine.add_workbook("/tmp/kelv-bench/数据/学校.xlsx");
  auto t = Clock::now();
  build(book, teachers, rooms, sittings);
  const double build_s = seconds_since(t);

  t = Clock::now();
  inv::ReadOptions options;
  const inv::RotaInput in = inv::ReadRota(book, options);
  const double read_s = seconds_since(t);
  if (!in.usable()) {
    for (const inv::InputProblem& p : in.problems) std::printf("  %s\n", p.message.c_str());
    return;
  }
  t = Clock::now();
  const inv::SolveResult result = inv::SolveRota(in.model, options.rules, 42);
  const double solve_s = seconds_since(t);
  std::printf(
      "%d teachers x %d rooms x %d sittings (%lld duties): build %.3f s, read %.3f s, "
      "solve %.3f s\n",
      teachers, rooms, sittings, static_cast<long long>(in.model.total_need()), build_s, read_s,
      solve_s);
  if (!result.solved) {
    std::printf("  no rota:\n");
    for (const std::string& line : inv::ExplainShortfall(in.model, options.rules, result))
      std::printf("  %s\n", line.c_str());
    return;
  }
  const std::vector<std::string> broken = inv::RotaViolations(in.model, options.rules, result.rota);
  int64_t half_days = 0, floor_days = 0;
  int32_t most_per_half = 1;
  std::vector<int32_t> per_half(in.model.half_days.size(), 0);
  for (const inv::Sitting& s : in.model.sittings)
    most_per_half = std::max(most_per_half, ++per_half[s.half_day]);
  for (int32_t i = 0; i < in.model.teacher_count(); ++i) {
    half_days += result.rota.half_days[i];
    floor_days += (result.rota.duties[i] + most_per_half - 1) / most_per_half;
  }
  std::printf(
      "  broken rules %zu, largest spread in a group %d, half-days %lld (at least %lld), "
      "rooms had twice %d\n",
      broken.size(), inv::LargestSpread(in.model, result.rota), static_cast<long long>(half_days),
      static_cast<long long>(floor_days), result.rota.repeated_rooms);
  for (size_t i = 0; i < broken.size() && i < 5; ++i) std::printf("    %s\n", broken[i].c_str());

  // The whole operation: read, solve, check and write through the host.
  kelv::host::SystemEnvironment env(1);
  inv::InvigilationSettings settings;
  settings.seed = 42;
  t = Clock::now();
  const inv::InvigilationReport report =
      inv::Invigilate(engine, env, book, settings,
                      [&engine](const std::string& path) { return &engine.add_workbook(path); });
  std::printf("  read, solve and write: %.3f s (%s), peak memory %.0f MB\n", seconds_since(t),
              report.done ? "done" : "not done", kelv::bench::peak_mb());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4) {
    run(std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3]));
    return 0;
  }
  run(150, 60, 9);
  run(600, 300, 12);
  return 0;
}
