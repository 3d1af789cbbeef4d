// The session arrangement at scale: a grade of a 3+1+2 exam, nine papers in
// eight 场次, after 编排考号 in rooms of 30 (with 5% spare rooms).
//
//   sessions_bench arrange N [mixed] [DIR]
//       builds the data workbook in memory, then times 场次编排: reading,
//       planning and writing 场次安排, 场次考场, the 考生表 columns and the
//       eight per-session workbooks. The main arrangement kept elective
//       combinations together; `mixed` seats them in random order instead,
//       so most rooms hold several combinations. With DIR, the workbooks
//       are then saved there and the save is timed too.
//   sessions_bench suggest N
//       times the draft timetable for N examinees of 12 combinations.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "host/host_error.h"
#include "sessions/arrange_sessions.h"
#include "sessions/suggest_timetable.h"
#include "spreadsheet/engine.h"
#include "xlsx/xlsx_format.h"

namespace {

using namespace kelv;
using bench::Clock;
using bench::seconds_since;

constexpr int32_t kPlaces = 30;

// Processor time of this process so far (user and system), which a busy
// machine disturbs less than the wall clock.
double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}
// The twelve combinations and how often each is chosen, in thousandths.
struct Combination {
  const char* subjects;
  int32_t share;
};
constexpr Combination kCombinations[] = {{"物化生", 200}, {"物化政", 60}, {"物化地", 90},
                                         {"物生政", 40},  {"物生地", 70}, {"物政地", 30},
                                         {"史化生", 30},  {"史化政", 50}, {"史化地", 40},
                                         {"史生政", 60},  {"史生地", 50}, {"史政地", 280}};
constexpr const char* kSpellings[][2] = {{"物", "物理"}, {"史", "历史"}, {"化", "化学"},
                                         {"生", "生物"}, {"政", "政治"}, {"地", "地理"}};

// A combination written as schools write it: 物化生 or 物理 化学 生物.
std::string Spelled(const char* subjects, int32_t how) {
  if (how == 0) return subjects;
  std::string out;
  const std::string s = subjects;
  for (size_t i = 0; i < s.size(); i += 3)
    for (const auto& [brief, full] : kSpellings)
      if (s.compare(i, 3, brief) == 0) {
        if (!out.empty()) out += how == 1 ? " " : "、";
        out += full;
      }
  return out;
}

struct Exam {
  spreadsheet::Engine engine{std::make_shared<xlsx::XlsxFormat>()};
  host::Workbook* host = nullptr;
  host::Workbook* data = nullptr;
};

void Build(Exam& exam, const std::string& dir, int32_t n, bool arranged, bool mixed) {
  exam.host = &exam.engine.add_workbook(dir + "/考务.xlsx");
  host::Worksheet& dtb = bench::add_start_and_settings(*exam.host);
  // Random order from seed 42 with classes kept apart, seats per room.
  dtb.cells(3, 61).set_value(false);
  dtb.cells(4, 61).set_value(true);
  dtb.cells(3, 62).set_value(false);
  dtb.cells(4, 62).set_value(true);
  dtb.cells(5, 61).set_value("42");
  dtb.cells(5, 62).set_value("班级");
  exam.engine.set_this_workbook(*exam.host);

  exam.data = &exam.engine.add_workbook(dir + "/数据/考试.xlsx");
  host::Worksheet& rooms = exam.data->sheet_at(0);
  const int32_t used = (n + kPlaces - 1) / kPlaces;
  const int32_t count = used + std::max(used / 20, 1);
  bench::write_rooms(rooms, count, kPlaces);

  std::mt19937 rng(20250601);
  std::vector<const char*> choice;
  choice.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    int32_t at = static_cast<int32_t>(rng() % 1000);
    size_t k = 0;
    while (at >= kCombinations[k].share) at -= kCombinations[k++].share;
    choice.push_back(kCombinations[k].subjects);
  }
  // Kept together, combinations fill the rooms one after another.
  if (!mixed)
    std::stable_sort(choice.begin(), choice.end(), [](const char* a, const char* b) {
      auto rank = [](const char* s) {
        for (size_t k = 0; k < std::size(kCombinations); ++k)
          if (std::string(kCombinations[k].subjects) == s) return k;
        return std::size(kCombinations);
      };
      return rank(a) < rank(b);
    });

  host::Worksheet& examinees = exam.data->add_sheet_after(rooms);
  examinees.set_name("考生表");
  std::vector<host::Variant> row = {"姓名", "性别",   "班级",   "选考科目", "考场", "场人",
                                    "考室", "监考甲", "监考乙", "考号",     "座号"};
  const auto columns = static_cast<int32_t>(arranged ? row.size() : 4);
  row.resize(static_cast<size_t>(columns));
  examinees.set_values(host::Rect{1, 1, 1, columns}, row);
  if (arranged) {
    examinees.columns(5).set_number_format_local("@");
    examinees.columns(10).set_number_format_local("@");
    examinees.columns(11).set_number_format_local("@");
  }
  std::vector<host::Variant> block;
  block.reserve(static_cast<size_t>(n) * columns);
  for (int32_t i = 0; i < n; ++i) {
    const int32_t room = i / kPlaces + 1;
    block.emplace_back("考生" + std::to_string(i + 1));
    block.emplace_back(i % 2 ? "男" : "女");
    block.emplace_back(std::to_string(rng() % 12 + 1) + "班");
    block.emplace_back(Spelled(choice[i], static_cast<int32_t>(rng() % 3)));
    if (!arranged) continue;
    block.emplace_back(bench::padded(room, 4));
    block.emplace_back(kPlaces);
    block.emplace_back(bench::classroom(room));
    block.emplace_back("");
    block.emplace_back("");
    block.emplace_back("2025" + bench::padded(i + 1, 6));
    block.emplace_back(bench::padded(i % kPlaces + 1, 2));
  }
  examinees.set_values(host::Rect{2, 1, n + 1, columns}, block);

  if (!arranged) return;
  host::Worksheet& timetable = exam.data->add_sheet_after(examinees);
  timetable.set_name("场次表");
  const char* papers[][2] = {{"1", "语文"}, {"2", "数学"}, {"3", "物理"},
                             {"3", "历史"}, {"4", "外语"}, {"5", "化学"},
                             {"6", "地理"}, {"7", "政治"}, {"8", "生物"}};
  timetable.set_values(host::Rect{1, 1, 1, 5}, {"场次", "科目", "日期", "开始", "结束"});
  int32_t r = 2;
  for (const auto& [session, subject] : papers) {
    const double day = 45815 + std::atoi(session) / 3;
    timetable.set_values(host::Rect{r, 1, r, 5},
                         {std::atoi(session), subject, day, 0.375, 0.47916666666666669});
    ++r;
  }
}

int Arrange(int32_t n, bool mixed, const std::string& dir) {
  const std::string where = dir.empty() ? "/nowhere" : dir;
  Exam exam;
  Build(exam, where, n, true, mixed);
  const double built_mb = bench::peak_mb();
  const Clock::time_point start = Clock::now();
  const double cpu = CpuSeconds();
  const sessions::SessionsReport r = sessions::ArrangeSessions(exam.engine, *exam.data, {});
  const double arranged = seconds_since(start), arranged_cpu = CpuSeconds() - cpu;
  if (!r.written) {
    for (const sessions::Problem& p : r.problems) std::printf("%s\n", p.message.c_str());
    return 1;
  }
  std::printf("%d examinees (%s), %d 场次, %lld examinee-papers, %lld moved, %d session rooms\n", n,
              mixed ? "combinations mixed in the rooms" : "combinations kept together", r.sessions,
              static_cast<long long>(r.seated), static_cast<long long>(r.moved), r.session_rooms);
  std::printf("  场次编排 (read, plan, write every sheet and workbook): %.3f s, processor %.3f s\n",
              arranged, arranged_cpu);
  std::printf("  peak memory: %.0f MB (%.0f MB after building the input)\n", bench::peak_mb(),
              built_mb);
  if (dir.empty()) return 0;
  std::filesystem::create_directories(dir + "/数据");
  const Clock::time_point saving = Clock::now();
  const double saving_cpu = CpuSeconds();
  for (int32_t k = 0; k < exam.engine.workbook_count(); ++k) exam.engine.workbook_at(k).save();
  std::printf("  saving %d workbooks: %.3f s, processor %.3f s; peak memory %.0f MB\n",
              exam.engine.workbook_count(), seconds_since(saving), CpuSeconds() - saving_cpu,
              bench::peak_mb());
  return 0;
}

int Suggest(int32_t n) {
  Exam exam;
  Build(exam, "/nowhere", n, false, true);
  const Clock::time_point start = Clock::now();
  const double cpu = CpuSeconds();
  const sessions::DraftTimetable d = sessions::SuggestTimetable(*exam.data);
  const double took = seconds_since(start), took_cpu = CpuSeconds() - cpu;
  std::string text;
  for (size_t s = 0; s < d.sessions.size(); ++s) {
    text += s ? " | " : "";
    for (size_t k = 0; k < d.sessions[s].size(); ++k)
      text += (k ? "+" : "") + d.sessions[s][k].subject;
  }
  std::printf("%d examinees, 12 combinations: %zu 场次 (%s) in %.3f s, processor %.3f s\n", n,
              d.sessions.size(), text.c_str(), took, took_cpu);
  return d.problems.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const int32_t n = argc > 2 ? std::atoi(argv[2]) : 0;
  try {
    if (mode == "arrange" && n > 0) {
      bool mixed = false;
      std::string dir;
      for (int k = 3; k < argc; ++k) {
        if (std::string(argv[k]) == "mixed") {
          mixed = true;
        } else {
          dir = argv[k];
        }
      }
      return Arrange(n, mixed, dir);
    }
    if (mode == "suggest" && n > 0) return Suggest(n);
  } catch (const host::HostError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "sessions_bench arrange N [mixed] [DIR] | sessions_bench suggest N\n");
  return 2;
}
