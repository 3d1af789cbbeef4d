#include "sessions/arrange_sessions.h"

#include <algorithm>
#include <map>

#include "sessions/exam_data.h"
#include "sessions/room_seating.h"
#include "sessions/session_output.h"
#include "sessions/session_plan.h"
#include "sessions/session_settings.h"
#include "sessions/text.h"
#include "sessions/timetable.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"

namespace kelv::sessions {
namespace {

std::string PaperNames(const Timetable& t, const std::vector<int32_t>& papers) {
  std::string s;
  for (int32_t p : papers) s += (s.empty() ? "" : "、") + t.papers[p].subject;
  return s;
}

// The rooms each paper may use (empty: any), by index.
std::vector<std::vector<int32_t>> AllowedRooms(const Timetable& t, const ExamData& data) {
  std::vector<std::vector<int32_t>> allowed(t.papers.size());
  for (size_t p = 0; p < t.papers.size(); ++p)
    for (const std::string& name : t.papers[p].room_names)
      if (const int32_t r = FindRoom(data.rooms, name); r >= 0) allowed[p].push_back(r);
  return allowed;
}

// Examinees with two papers in one 場次, one problem per pair of papers.
void CheckClashes(const Timetable& t, const ExamData& data, std::vector<Problem>& out) {
  std::map<std::pair<int32_t, int32_t>, std::vector<int32_t>> rows;
  for (size_t i = 0; i < data.examinees.size(); ++i) {
    const std::vector<int32_t>& papers = data.papers_of[i];
    for (size_t a = 0; a < papers.size(); ++a)
      for (size_t b = a + 1; b < papers.size(); ++b)
        if (t.papers[papers[a]].session == t.papers[papers[b]].session)
          rows[{papers[a], papers[b]}].push_back(data.examinees[i].row);
  }
  for (auto& [pair, list] : rows) {
    std::sort(list.begin(), list.end());
    const Paper& a = t.papers[pair.first];
    const Paper& b = t.papers[pair.second];
    out.push_back({ProblemLevel::Error, sheets::kExamineeSheet, list.front(), "", "",
                   SessionLabel(t.sessions[a.session]) + "同时考“" + a.subject + "”和“" +
                       b.subject + "”，考生表" + RowList(list) + "的 " +
                       Thousands(static_cast<int64_t>(list.size())) +
                       " 名考生两科都要考：请在场次表中把其中一科排到别的场次"});
  }
}

// Sessions whose papers do not fit the rooms, one paper per room.
void CheckRooms(const Timetable& t, const ExamData& data, std::vector<Problem>& out) {
  std::vector<int32_t> places;
  for (const Room& r : data.rooms) places.push_back(r.places);
  const std::vector<std::vector<int32_t>> allowed = AllowedRooms(t, data);
  for (const Session& session : t.sessions) {
    std::vector<int64_t> sizes;
    std::vector<std::vector<int32_t>> their_rooms;
    std::vector<int32_t> papers;
    int64_t examinees = 0;
    for (int32_t p : session.papers) {
      if (data.sitters[p].empty()) continue;
      papers.push_back(p);
      sizes.push_back(static_cast<int64_t>(data.sitters[p].size()));
      their_rooms.push_back(allowed[p]);
      examinees += sizes.back();
    }
    if (papers.empty() || PapersFit(places, sizes, their_rooms)) continue;
    const std::string label = SessionLabel(session);
    int64_t seats = 0;
    int32_t usable = 0;
    for (int32_t p : places) {
      seats += p;
      usable += p > 0 ? 1 : 0;
    }
    std::string why;
    int32_t needed = 0;
    for (size_t k = 0; k < papers.size(); ++k) {
      const Paper& paper = t.papers[papers[k]];
      const int32_t n = RoomsAtLeast(places, sizes[k], their_rooms[k]);
      if (n < 0 && !their_rooms[k].empty()) {
        int64_t own = 0;
        for (int32_t r : their_rooms[k]) own += places[r];
        why = "“" + paper.subject + "”只能用场次表第 " + std::to_string(paper.row) +
              " 行写的考场，共 " + Thousands(own) + " 个座位，考生却有 " + Thousands(sizes[k]) +
              " 人（少 " + Thousands(sizes[k] - own) + " 个座位）";
        break;
      }
      needed += std::max(n, 0);
    }
    if (why.empty() && examinees > seats) {
      why = "共 " + Thousands(examinees) + " 人，考场表只有 " + Thousands(seats) + " 个座位（少 " +
            Thousands(examinees - seats) + " 个）";
    } else if (why.empty() && needed > usable) {
      why = "考" + PaperNames(t, papers) + "，每个考场只考一科，至少要 " + std::to_string(needed) +
            " 个考场，考场表只有 " + std::to_string(usable) + " 个（少 " +
            std::to_string(needed - usable) + " 个）";
    } else if (why.empty()) {
      why = "的" + PaperNames(t, papers) + "分不进现有的考场（每个考场只考一科）";
    }
    out.push_back({ProblemLevel::Error, sheets::kTimetableSheet, t.papers[papers.front()].row, "",
                   "",
                   label + why +
                       "：请在考场表末尾加考场（编排考号之后加的考场只在场次编排中使用），"
                       "或把一科改到别的场次"});
  }
}

// `before_assignment`: the check runs before 编排考号 may have, so missing
// exam numbers are a notice; the arrangement itself refuses them.
std::vector<Problem> Check(const Timetable& t, const ExamData& data, bool before_assignment) {
  std::vector<Problem> out = t.problems;
  if (!data.arranged && !data.rooms.empty())
    out.push_back({before_assignment ? ProblemLevel::Notice : ProblemLevel::Error,
                   sheets::kExamineeSheet, 1, "", "",
                   "考生表还没有考号、考场和座号：请先编排考号，再编排场次"});
  out.insert(out.end(), data.problems.begin(), data.problems.end());
  // Without examinees or rooms (no exam numbers yet, a sheet missing) the
  // rest would only repeat that.
  if (data.examinees.empty() || data.rooms.empty()) return out;
  CheckClashes(t, data, out);
  CheckRooms(t, data, out);
  std::stable_sort(out.begin(), out.end(), [](const Problem& a, const Problem& b) {
    return static_cast<int>(a.level) < static_cast<int>(b.level);
  });
  return out;
}

// The rooms and seats of one 场次; nullopt when its papers do not fit.
std::optional<PlannedSession> PlanOne(const Timetable& t, const ExamData& data,
                                      const SeatingSettings& settings,
                                      const std::vector<std::vector<int32_t>>& allowed, int32_t s,
                                      int64_t& shared) {
  PlanRequest q;
  for (const Room& r : data.rooms) q.places.push_back(r.places);
  for (const Examinee& e : data.examinees) {
    q.main_room.push_back(e.room);
    q.main_slot.push_back(e.slot);
  }
  const std::vector<int32_t>& papers = t.sessions[s].papers;
  for (int32_t p : papers) q.papers.push_back({data.sitters[p], allowed[p]});
  const std::optional<SessionPlan> plan = PlanSession(q);
  if (!plan) return std::nullopt;

  const int32_t cycle = [&] {
    double d = 0;
    return host::parse_decimal(settings.cycle_text, &d, true) ? static_cast<int32_t>(d) : 0;
  }();
  int32_t cycle_width = 0;  // in characters, as the main arrangement counts them
  for (unsigned char c : settings.cycle_text) cycle_width += (c & 0xC0) != 0x80 ? 1 : 0;
  // Each room's examinees: those staying, then the newcomers.
  std::vector<std::vector<Seat>> stayers(data.rooms.size()), newcomers(data.rooms.size());
  for (size_t k = 0; k < papers.size(); ++k) {
    const int32_t p = papers[k];
    for (size_t j = 0; j < plan->seats[k].size(); ++j) {
      const PlacedSitter& placed = plan->seats[k][j];
      const int32_t e = data.sitters[p][j];
      Seat seat{e, p, placed.slot, "", placed.stayed};
      if (placed.stayed) {
        seat.seat = data.examinees[e].seat;
        stayers[placed.room].push_back(std::move(seat));
      } else {
        newcomers[placed.room].push_back(std::move(seat));
      }
    }
  }
  PlannedSession out;
  for (size_t r = 0; r < data.rooms.size(); ++r) {
    const int32_t k = plan->room_paper[r];
    if (k < 0) continue;
    const Room& room = data.rooms[r];
    SessionRoom sr;
    sr.room = static_cast<int32_t>(r);
    sr.paper = papers[k];
    std::vector<int32_t> group(static_cast<size_t>(room.places), -1);
    for (const Seat& st : stayers[r]) group[st.slot] = data.examinees[st.examinee].group;
    std::vector<Seat>& newcomer = newcomers[r];
    if (!newcomer.empty() && settings.random) {
      // The newcomers' places are drawn from the seed; with keep-apart the
      // draw only breaks ties.
      std::vector<int32_t> places;
      places.reserve(newcomer.size());
      for (const Seat& n : newcomer) places.push_back(n.slot);
      PlanRandom rng(RoomSeed(settings.seed, s, static_cast<int32_t>(r)));
      rng.shuffle(newcomer);
      if (!settings.keep_apart.empty()) {
        std::vector<int32_t> groups;
        groups.reserve(newcomer.size());
        for (const Seat& n : newcomer) groups.push_back(data.examinees[n.examinee].group);
        const auto neighbours = Neighbours(room.places, room.per_column);
        const std::vector<int32_t> order = KeepApart(group, places, groups, neighbours);
        std::vector<Seat> arranged;
        arranged.reserve(order.size());
        for (int32_t i : order) arranged.push_back(newcomer[i]);
        newcomer = std::move(arranged);
      }
      for (size_t i = 0; i < newcomer.size(); ++i) newcomer[i].slot = places[i];
      if (!settings.keep_apart.empty()) {
        // Pairs of one group with a newcomer in them; the others the main
        // arrangement made.
        std::vector<char> newcomer_at(group.size(), 0);
        for (const Seat& n : newcomer) {
          group[n.slot] = data.examinees[n.examinee].group;
          newcomer_at[n.slot] = 1;
        }
        for (const auto& [a, b] : Neighbours(room.places, room.per_column))
          if ((newcomer_at[a] || newcomer_at[b]) && group[a] >= 0 && group[a] == group[b]) ++shared;
      }
    }
    for (Seat& n : newcomer)
      n.seat = SeatLabel(n.slot, room.places, room.places_before, settings.per_room_seats, cycle,
                         cycle_width);
    sr.seats = std::move(stayers[r]);
    sr.seats.insert(sr.seats.end(), newcomer.begin(), newcomer.end());
    std::sort(sr.seats.begin(), sr.seats.end(),
              [](const Seat& a, const Seat& b) { return a.slot < b.slot; });
    out.rooms.push_back(std::move(sr));
  }
  return out;
}

}  // namespace

std::vector<Problem> CheckSessions(host::Workbook& data_book) {
  const Timetable timetable = ReadTimetable(data_book);
  if (!timetable.present) return {};
  if (HasErrors(timetable.problems)) return timetable.problems;
  return Check(timetable, ReadExamData(data_book, timetable, ""), true);
}

SessionsReport ArrangeSessions(host::Application& EA, host::Workbook& data_book,
                               const ArrangeOptions& options) {
  SessionsReport report;
  EA.progress().report("场次编排：读取数据", 0, 0);
  const Timetable timetable = ReadTimetable(data_book);
  if (!timetable.present) {
    report.problems.push_back(
        {ProblemLevel::Error, sheets::kTimetableSheet, 0, "", "",
         "数据工作簿中没有“场次表”：请先建一张场次表（第 1 行写场次、科目、日期、开始、结束，"
         "每科一行），或让 kelv 按考生的选考科目拟一份草案"});
    return report;
  }
  if (HasErrors(timetable.problems)) {
    report.problems = timetable.problems;
    return report;
  }
  const SeatingSettings settings = ReadSeatingSettings(EA.this_workbook(), data_book, options.seed);
  report.seed = settings.seed;
  report.keep_apart = settings.random ? settings.keep_apart : std::string();
  const ExamData data = ReadExamData(data_book, timetable, report.keep_apart);
  report.problems = Check(timetable, data, false);
  if (HasErrors(report.problems)) return report;

  // Plan every session before anything is written.
  SeatingSettings seating = settings;
  seating.keep_apart = report.keep_apart;
  const std::vector<std::vector<int32_t>> allowed = AllowedRooms(timetable, data);
  ExamPlan plan;
  const auto S = static_cast<int32_t>(timetable.sessions.size());
  for (int32_t s = 0; s < S; ++s) {
    EA.progress().report("场次编排：排座", s, S);
    std::optional<PlannedSession> planned =
        PlanOne(timetable, data, seating, allowed, s, report.shared_neighbours);
    if (!planned) {
      report.problems.push_back(
          {ProblemLevel::Error, sheets::kTimetableSheet,
           timetable.papers[timetable.sessions[s].papers.front()].row, "", "",
           SessionLabel(timetable.sessions[s]) + "的" +
               PaperNames(timetable, timetable.sessions[s].papers) +
               "分不进现有的考场（每个考场只考一科）：请在考场表末尾加考场，或把一科改到别的场次"});
      return report;
    }
    plan.sessions.push_back(std::move(*planned));
  }
  for (size_t p = 0; p < timetable.papers.size(); ++p) {
    bool in_columns =
        data.rule[p] != SittingRule::Everybody || data.sitters[p].size() != data.examinees.size();
    for (const SessionRoom& sr : plan.sessions[timetable.papers[p].session].rooms)
      for (const Seat& seat : sr.seats)
        in_columns = in_columns || (seat.paper == static_cast<int32_t>(p) && !seat.stayed);
    if (in_columns) plan.column_papers.push_back(static_cast<int32_t>(p));
  }

  std::vector<SessionBook> books = PrepareSessionBooks(EA, data_book, timetable, report.problems);
  if (HasErrors(report.problems)) return report;
  const OutputCounts counts = WriteDataBookSheets(EA, data_book, timetable, data, plan);
  for (int32_t s = 0; s < S; ++s) {
    EA.progress().report("场次编排：写入各场次的数据工作簿", s, S);
    WriteSessionBook(EA, *books[s].book, data_book, timetable, data, plan, s);
    report.books.push_back(books[s].book->name());
  }
  data_book.activate();
  data_book.worksheets().item(sheets::kSessionSeatingSheet).activate();

  report.written = true;
  report.sessions = S;
  report.papers = static_cast<int32_t>(timetable.papers.size());
  report.session_rooms = counts.session_rooms;
  report.paper_columns = counts.paper_columns;
  for (const PlannedSession& s : plan.sessions)
    for (const SessionRoom& sr : s.rooms)
      for (const Seat& seat : sr.seats) {
        ++report.seated;
        report.moved += seat.stayed ? 0 : 1;
      }
  return report;
}

std::string SummaryText(const SessionsReport& r) {
  if (!r.written) return "场次编排没有进行。";
  std::string s = "场次编排完成：" + std::to_string(r.sessions) + " 场、" +
                  std::to_string(r.papers) + " 科，共 " + Thousands(r.seated) + " 人次，用了 " +
                  Thousands(r.session_rooms) + " 个场次考场。\n";
  s += "换考场 " + Thousands(r.moved) + " 人次，其余 " + Thousands(r.seated - r.moved) +
       " 人次在编排考号时的考场和座位考试。\n";
  if (!r.keep_apart.empty())
    s += "换来的考生按“" + r.keep_apart + "”同组不相邻，相邻座位同组 " +
         Thousands(r.shared_neighbours) + " 对；随机种子 " + std::to_string(r.seed) + "。\n";
  if (!r.paper_columns.empty()) {
    s += "考生表写入 " + std::to_string(r.paper_columns.size()) + " 列（";
    for (size_t i = 0; i < r.paper_columns.size(); ++i) s += (i ? "、" : "") + r.paper_columns[i];
    s += "）。\n";
  }
  s += "写入“场次安排”“场次考场”，以及 " + std::to_string(r.books.size()) + " 个场次数据工作簿：";
  for (size_t i = 0; i < r.books.size(); ++i) s += (i ? "、" : "") + r.books[i];
  s += "。";
  return s;
}

}  // namespace kelv::sessions
