#include "sessions/suggest_timetable.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "sessions/exam_data.h"
#include "sessions/session_plan.h"
#include "sessions/text.h"
#include "sheets/elective_subjects.h"
#include "sheets/exam_sheets.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "sheets/sheet_lookup.h"

namespace kelv::sessions {
namespace {

constexpr int32_t kExactPapers = 14;  // 3^14 steps at most for the exact partition
constexpr const char* kEverybodyPapers[] = {"语文", "数学", "外语"};

using Mask = uint32_t;

struct Papers {
  std::vector<std::string> subject;
  std::vector<int64_t> size;
  std::vector<Mask> clash;  // papers some examinee also sits
};

// The fewest groups of pairwise clash-free papers that each fit the rooms.
std::vector<Mask> Partition(const Papers& p, const std::vector<int32_t>& places) {
  const auto P = static_cast<int32_t>(p.subject.size());
  auto fits = [&](Mask m) {
    std::vector<int64_t> sizes;
    for (int32_t k = 0; k < P; ++k)
      if (m & (Mask{1} << k)) sizes.push_back(p.size[k]);
    return PapersFit(places, sizes, std::vector<std::vector<int32_t>>(sizes.size()));
  };
  if (P <= kExactPapers) {
    const Mask full = (Mask{1} << P) - 1;
    std::vector<char> ok(full + 1, 0);
    ok[0] = 1;
    for (Mask m = 1; m <= full; ++m) {
      const int32_t low = __builtin_ctz(m);
      const Mask rest = m & (m - 1);
      ok[m] = ok[rest] && (p.clash[low] & rest) == 0 ? 1 : 0;
    }
    for (Mask m = 1; m <= full; ++m)
      if (ok[m] && __builtin_popcount(m) > 1) ok[m] = fits(m) ? 1 : 0;
    constexpr int32_t kNone = 1 << 30;
    std::vector<int32_t> best(full + 1, kNone);
    std::vector<Mask> choice(full + 1, 0);
    best[0] = 0;
    for (Mask m = 1; m <= full; ++m) {
      const Mask low = m & (~m + 1);
      // Every group holding the lowest paper of m.
      for (Mask sub = m; sub != 0; sub = (sub - 1) & m) {
        if (!(sub & low) || !ok[sub]) continue;
        const int32_t n = best[m ^ sub];
        if (n + 1 < best[m]) {
          best[m] = n + 1;
          choice[m] = sub;
        }
      }
    }
    std::vector<Mask> groups;
    for (Mask m = full; m != 0; m ^= choice[m]) groups.push_back(choice[m]);
    return groups;
  }
  // Largest papers first, each into the first group it can join.
  std::vector<int32_t> order(P);
  for (int32_t k = 0; k < P; ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(),
                   [&](int32_t a, int32_t b) { return p.size[a] > p.size[b]; });
  std::vector<Mask> groups;
  for (int32_t k : order) {
    bool placed = false;
    for (Mask& g : groups) {
      if (p.clash[k] & g) continue;
      if (!fits(g | (Mask{1} << k))) continue;
      g |= Mask{1} << k;
      placed = true;
      break;
    }
    if (!placed) groups.push_back(Mask{1} << k);
  }
  return groups;
}

}  // namespace

DraftTimetable SuggestTimetable(host::Workbook& data_book) {
  DraftTimetable draft;
  host::Worksheets sheets = data_book.worksheets();
  for (const char* name : {sheets::kRoomSheet, sheets::kExamineeSheet})
    if (!sheets::SheetExists(sheets, name)) {
      draft.problems.push_back({ProblemLevel::Error, name, 0, "", "",
                                std::string("数据工作簿中没有“") + name + "”：请先补上这张表"});
    }
  if (!draft.problems.empty()) return draft;
  host::Worksheet& rooms = sheets.item(sheets::kRoomSheet);
  std::vector<int32_t> places;
  const int32_t R = rooms.current_region(1, 1).row2;
  for (int32_t r = sheets::kRoomFirstRow; r <= R; ++r) {
    const host::Variant v = rooms.cell_value(r, sheets::kRoomPlacesColumn);
    double d = 0;
    const bool number = v.is_number() ? (d = v.as_number(), true)
                                      : host::parse_decimal(Trimmed(v.to_text()), &d, true);
    places.push_back(number && d > 0 ? static_cast<int32_t>(d) : 0);
  }

  host::Worksheet& examinees = sheets.item(sheets::kExamineeSheet);
  const host::Rect table = examinees.current_region(1, 1);
  const int32_t N = std::max(table.row2 - 1, 0);
  // Each examinee's subjects, by the elective column and the marked columns.
  std::vector<std::vector<std::string>> sits(static_cast<size_t>(N));
  const int32_t elective_col = sheets::FindElectiveColumn(examinees);
  std::map<std::string, std::vector<int32_t>> unreadable;
  if (elective_col != 0) {
    std::unordered_map<std::string, sheets::SubjectList> read;
    for (int32_t i = 0; i < N; ++i) {
      const std::string text = examinees.cell_value(i + 2, elective_col).to_text();
      auto [it, added] = read.try_emplace(text);
      if (added) it->second = sheets::ReadSubjectList(text);
      if (!it->second.unreadable.empty()) unreadable[text].push_back(i + 2);
      sits[i] = it->second.subjects;
    }
  }
  for (const auto& [value, rows] : unreadable)
    draft.problems.push_back({ProblemLevel::Error, sheets::kExamineeSheet, rows.front(),
                              examinees.cell_value(1, elective_col).to_text(), value,
                              "考生表" + RowList(rows) + "的“" + value +
                                  "”读不出来：请写科目的名称或简称（语 数 外/英 物 化 生 史 地 政 "
                                  "技），再拟场次表"});
  for (int32_t c = 1; c <= table.col2; ++c) {
    const std::string heading = examinees.cell_value(1, c).to_text();
    const std::string subject = sheets::CanonicalSubject(heading);
    // Full names only: a column headed 物 is more likely something else.
    if (subject.empty() || heading.size() <= 3 || c == elective_col) continue;
    for (int32_t i = 0; i < N; ++i)
      if (IsMark(examinees.cell_value(i + 2, c)) &&
          std::find(sits[i].begin(), sits[i].end(), subject) == sits[i].end())
        sits[i].push_back(subject);
  }
  if (HasErrors(draft.problems)) return draft;

  // Papers and how many sit each; those everybody sits stand apart.
  std::map<std::string, int64_t> count;
  for (const auto& list : sits)
    for (const std::string& s : list) ++count[s];
  for (const char* s : kEverybodyPapers)
    if (!count.count(s)) count[s] = N;
  std::vector<std::string> subjects;
  subjects.reserve(count.size());
  for (const auto& [s, n] : count) subjects.push_back(s);
  std::stable_sort(subjects.begin(), subjects.end(),
                   [](const std::string& a, const std::string& b) {
                     return sheets::SubjectRank(a) < sheets::SubjectRank(b);
                   });
  int64_t all_places = 0;
  for (int32_t p : places) all_places += p;
  Papers electives;
  std::map<std::string, int32_t> index;
  for (const std::string& s : subjects) {
    if (count[s] == N) {
      draft.sessions.push_back({{s, count[s], true}});
    } else {
      index[s] = static_cast<int32_t>(electives.subject.size());
      electives.subject.push_back(s);
      electives.size.push_back(count[s]);
    }
    if (count[s] > all_places)
      draft.problems.push_back({ProblemLevel::Error, sheets::kRoomSheet, 0, "", s,
                                "“" + s + "”有 " + Thousands(count[s]) + " 人考，考场表只有 " +
                                    Thousands(all_places) + " 个座位（少 " +
                                    Thousands(count[s] - all_places) + " 个）：请先补上考场"});
  }
  if (subjects.empty())
    draft.problems.push_back({ProblemLevel::Error, sheets::kExamineeSheet, 1, "", "",
                              "考生表里找不到科目：请加一列“选考科目”，写每名考生考的科目"});
  if (HasErrors(draft.problems)) {
    draft.sessions.clear();
    return draft;
  }
  if (electives.subject.size() > 31) {
    draft.problems.push_back({ProblemLevel::Error, sheets::kExamineeSheet, 1, "", "",
                              "考生表里的科目超过 31 个，拟不出场次表：请手工填写场次表"});
    draft.sessions.clear();
    return draft;
  }
  electives.clash.assign(electives.subject.size(), 0);
  std::unordered_map<Mask, int64_t> seen;  // combinations, to add each clash once
  for (const auto& list : sits) {
    Mask m = 0;
    for (const std::string& s : list)
      if (auto it = index.find(s); it != index.end()) m |= Mask{1} << it->second;
    if (seen[m]++ > 0) continue;
    for (size_t k = 0; k < electives.subject.size(); ++k)
      if (m & (Mask{1} << k)) electives.clash[k] |= m & ~(Mask{1} << k);
  }
  std::vector<Mask> groups = Partition(electives, places);
  auto size_of = [&](Mask g) {
    int64_t n = 0;
    for (size_t k = 0; k < electives.subject.size(); ++k)
      if (g & (Mask{1} << k)) n += electives.size[k];
    return n;
  };
  // Larger sittings first; among equals, timetable order of the first subject.
  std::stable_sort(groups.begin(), groups.end(), [&](Mask a, Mask b) {
    if (size_of(a) != size_of(b)) return size_of(a) > size_of(b);
    return __builtin_ctz(a) < __builtin_ctz(b);
  });
  for (Mask g : groups) {
    std::vector<DraftPaper> session;
    for (size_t k = 0; k < electives.subject.size(); ++k)
      if (g & (Mask{1} << k)) session.push_back({electives.subject[k], electives.size[k], false});
    draft.sessions.push_back(std::move(session));
  }
  return draft;
}

std::string ReplaceTimetableQuestion(const std::string& data_book_name) {
  return "“" + data_book_name +
         "”中已有“场次表”。用按考生的选考科目拟的草案替换它吗？\n选“否”保留原来的场次表。";
}

bool WriteTimetable(host::Workbook& data_book, const DraftTimetable& draft,
                    host::Dialogs& dialogs) {
  host::Worksheets sheets = data_book.worksheets();
  host::Worksheet* sheet = nullptr;
  if (sheets::SheetExists(sheets, sheets::kTimetableSheet)) {
    if (dialogs.message_box(ReplaceTimetableQuestion(data_book.name()), host::MessageButtons::YesNo,
                            host::MessageIcon::None, "场次表") != host::MessageResult::Yes)
      return false;
    sheet = &sheets.item(sheets::kTimetableSheet);
    sheet->clear(sheet->used_rect());
  } else {
    sheet = &sheets.add_after(sheets.item(sheets.count() - 1));
    sheet->set_name(sheets::kTimetableSheet);
  }
  const std::vector<host::Variant> headings = {sheets::kSessionHeading, sheets::kSubjectHeading,
                                               sheets::kDateHeading,    sheets::kStartHeading,
                                               sheets::kEndHeading,     sheets::kPaperRoomsHeading,
                                               sheets::kRemarkHeading};
  const auto columns = static_cast<int32_t>(headings.size());
  sheet->set_values(host::Rect{1, 1, 1, columns}, headings);
  sheet->rows(1).font().set_bold(true);
  std::vector<host::Variant> rows;
  int32_t n = 0;
  for (size_t s = 0; s < draft.sessions.size(); ++s)
    for (const DraftPaper& p : draft.sessions[s]) {
      rows.insert(rows.end(),
                  {host::Variant(static_cast<int32_t>(s + 1)), host::Variant(p.subject),
                   host::Variant(), host::Variant(), host::Variant(), host::Variant(),
                   host::Variant((p.everybody ? "全体考生 " : "考生 ") + Thousands(p.examinees) +
                                 " 人（草案：请填日期和时间）")});
      ++n;
    }
  if (n > 0) sheet->set_values(host::Rect{2, 1, n + 1, columns}, rows);
  sheet->activate();
  return true;
}

}  // namespace kelv::sessions
