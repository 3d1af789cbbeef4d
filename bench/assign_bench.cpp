// The arrangement at scale: 100,000 examinees in 3,334 rooms of 30 places.
//
//   assign_bench make DIR [N]   writes DIR/考务.xlsx and DIR/数据/考试.xlsx, with
//                           N examinees instead of 100,000 when given (rooms
//                           of 30 places for all of them)
//   assign_bench run DIR    opens the data workbook from .xlsx (LtbBiaoClick),
//                           assigns in random order with per-room seats and
//                           all three counts (CmdDoKaoHaoClick) on a form
//                           without the seating controls, saves the result
//                           beside it as 考试-已排.xlsx
//   assign_bench fair DIR   the same with seed 20240601 and classes kept apart
//                           (rooms in columns of 6 seats), saved as 考试-分开.xlsx
//   assign_bench reopen DIR opens what `run` saved (考试-已排.xlsx) as the
//                           workbook list does, and counts its examinees:
//                           kelv must read back what it wrote
//   assign_bench DIR        make, run and fair
//
// Measure `run` and `fair` on their own for the figures:
//   /usr/bin/time -v assign_bench run DIR
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "bench_util.h"
#include "bridge/torb.h"
#include "host/form_model.h"
#include "host/host_error.h"
#include "host/recording_dialogs.h"
#include "host/system_environment.h"
#include "spreadsheet/engine.h"
#include "xlsx/xlsx_format.h"

namespace {

using namespace kelv;
using bench::Clock;
using bench::seconds_since;

// Processor time of this process so far (user and system), which a busy
// machine disturbs less than the wall clock.
double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

constexpr int32_t kExaminees = 100000;
constexpr int32_t kPlaces = 30;
constexpr const char* kDataFile = "考试.xlsx";

void Make(const std::string& dir, int32_t examinee_count) {
  const int32_t room_count = (examinee_count + kPlaces - 1) / kPlaces;
  std::filesystem::create_directories(dir + "/数据");
  spreadsheet::Engine engine(std::make_shared<xlsx::XlsxFormat>());

  host::Workbook& host_book = engine.add_workbook(dir + "/考务.xlsx");
  host::Worksheet& dtb = bench::add_start_and_settings(host_book);
  dtb.cells(2, 1).set_value(kDataFile);
  host_book.save();

  host::Workbook& data = engine.add_workbook(dir + "/数据/" + kDataFile);
  host::Worksheet& rooms = data.sheet_at(0);
  bench::write_rooms(rooms, room_count, kPlaces);
  rooms.cells(1, 8).set_value("每列座数");
  for (int32_t k = 1; k <= room_count; ++k) {
    rooms.cells(k + 1, 4).set_value("教师" + std::to_string(2 * k));
    rooms.cells(k + 1, 5).set_value("教师" + std::to_string(2 * k + 1));
    rooms.cells(k + 1, 8).set_value(6);
  }

  host::Worksheet& examinees = data.add_sheet_after(rooms);
  examinees.set_name("考生表");
  const char* headers[] = {"姓名", "性别", "学校", "年级", "班级", "身份证号"};
  for (int32_t c = 1; c <= 6; ++c) examinees.cells(1, c).set_value(headers[c - 1]);
  examinees.columns(6).set_number_format_local("@");
  const char* grades[] = {"高一", "高二", "高三"};
  for (int32_t i = 1; i <= examinee_count; ++i) {
    const int32_t r = i + 1;
    examinees.cells(r, 1).set_value("考生" + std::to_string(i));
    examinees.cells(r, 2).set_value(i % 2 ? "男" : "女");
    examinees.cells(r, 3).set_value("第" + std::to_string(i % 20 + 1) + "中学");
    examinees.cells(r, 4).set_value(grades[(i / 7) % 3]);
    examinees.cells(r, 5).set_value(std::to_string((i / 3) % 30 + 1) + "班");
    examinees.cells(r, 6).set_value(bench::cat({"4401062008", bench::padded(i, 8)}));
  }
  data.save();
}

int Run(const std::string& dir, bool fair) {
  spreadsheet::Engine engine(std::make_shared<xlsx::XlsxFormat>());
  engine.open_host_workbook(dir + "/考务.xlsx");
  host::RecordingDialogs dialogs;
  host::SystemEnvironment env;
  bridge::torb component(dialogs, env);
  using Seating = host::FormModel::SeatingControls;
  std::unique_ptr<host::FormModel> form =
      host::FormModel::standard_form(fair ? Seating::With : Seating::Without);
  form->control("LtbBiao").add_item(kDataFile);
  form->control("LtbBiao").set_list_index(0);

  const Clock::time_point start = Clock::now();
  component.MyFunClick(engine, *form, "LtbBiaoClick");
  const double opened = seconds_since(start);
  const double open_peak = bench::peak_mb();

  form->control("TxtSKHao").set_value("2024000001");
  form->control("TxtXHShu").set_value("30");
  form->control("OptSJKaoHao").set_value(true);
  form->control("OptACZuoHao").set_value(true);
  if (fair) {
    form->control("TxtZhongZi").set_value("20240601");
    form->control("CmbFenKai").set_value("班级");
  }
  const Clock::time_point assign_start = Clock::now();
  const double cpu_start = CpuSeconds();
  component.MyFunClick(engine, *form, "CmdDoKaoHaoClick");
  const double assigned = seconds_since(assign_start);
  const double assigned_cpu = CpuSeconds() - cpu_start;
  const double assign_peak = bench::peak_mb();

  host::Workbook& book = engine.workbook(kDataFile);
  const auto& model = spreadsheet::Engine::model_of(book.worksheets().item("考生表"));
  const auto& room_model = spreadsheet::Engine::model_of(book.worksheets().item("考场表"));
  const Clock::time_point save_start = Clock::now();
  // Saved beside the input, so every run reads the same file.
  engine.workbook(kDataFile).save_as(dir +
                                     (fair ? "/数据/考试-分开.xlsx" : "/数据/考试-已排.xlsx"));
  const double saved = seconds_since(save_start);

  for (const host::DialogRecord& r : dialogs.records())
    std::printf("dialog %s: %s\n", r.kind.c_str(), r.text.c_str());
  size_t examinee_rows = 0;  // rows with a name: the surplus places below have none
  for (const spreadsheet::Row& row : model.rows)
    examinee_rows += !row.cells.empty() && row.cells.front().col == 1;
  std::printf("examinees %zu, rooms %zu%s\n", examinee_rows - 1, room_model.rows.size() - 1,
              fair ? ", seed 20240601, classes kept apart" : "");
  std::printf(
      "open   %.3f s\nassign %.3f s (processor %.3f s)\nsave   %.3f s\ntotal  %.3f s "
      "(processor %.3f s)\n",
      opened, assigned, assigned_cpu, saved, seconds_since(start), CpuSeconds());
  std::printf("peak memory after opening %.0f MB, after assigning %.0f MB, after saving %.0f MB\n",
              open_peak, assign_peak, bench::peak_mb());
  return 0;
}

// Opens the arranged workbook `run` saved, as the form's list of workbooks
// opens one, and counts the examinees with an exam number.
int Reopen(const std::string& dir) {
  spreadsheet::Engine engine(std::make_shared<xlsx::XlsxFormat>());
  const Clock::time_point start = Clock::now();
  host::Workbook& book = engine.open_host_workbook(dir + "/数据/考试-已排.xlsx");
  const double opened = seconds_since(start);
  const auto& model = spreadsheet::Engine::model_of(book.worksheets().item("考生表"));
  size_t numbered = 0;
  for (const spreadsheet::Row& row : model.rows)
    numbered += row.cells.size() > 6 && row.cells.front().col == 1;
  std::printf("reopened %zu rows with %zu examinees in %.3f s, peak memory %.0f MB\n",
              model.rows.size(), numbered - 1, opened, bench::peak_mb());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "all";
  const std::string dir = argc > 2 ? argv[2] : argc > 1 ? argv[1] : "";
  if (dir.empty()) {
    std::fprintf(stderr, "usage: assign_bench [make|run|fair|reopen] DIR\n");
    return 2;
  }
  try {
    if (mode == "make" || mode == "all")
      Make(dir, mode == "make" && argc > 3 ? std::stoi(argv[3]) : kExaminees);
    if (mode == "run" || mode == "all") {
      if (const int rc = Run(dir, false); rc != 0) return rc;
    }
    if (mode == "fair" || mode == "all") return Run(dir, true);
    if (mode == "reopen") return Reopen(dir);
  } catch (const host::HostError& e) {
    std::fprintf(stderr, "%s\n", bridge::ErrorBoxText(e).c_str());
    return 1;
  }
  return 0;
}
