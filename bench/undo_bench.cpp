// What undo and 取消 cost at scale: the snapshot of the open workbooks taken
// before 编排考号 of 100,000 examinees, against the same assignment without
// one. Make the workspace with assign_bench (`assign_bench make DIR`), then
// measure each mode in a process of its own:
//
//   /usr/bin/time -v undo_bench plain DIR      the assignment alone
//   /usr/bin/time -v undo_bench undoable DIR   with the snapshot, as kelv-form runs it
//
// Each prints the seconds (wall and processor) of the step, the peak
// resident memory of the process, the cells of the data workbook and what
// the snapshot still holds once the step is done (only the sheets it changed).
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/core/undo.h"
#include "app/core/workspace.h"
#include "bench_util.h"
#include "host/recording_dialogs.h"
#include "spreadsheet/engine.h"

namespace {

using namespace kelv;

double cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

double cell_mb(const spreadsheet::Workbook& book) {
  double bytes = 0;
  for (const auto& sheet : book.sheets) {
    bytes += static_cast<double>(sheet->rows.capacity() * sizeof(spreadsheet::Row));
    for (const spreadsheet::Row& row : sheet->rows)
      bytes += static_cast<double>(row.cells.capacity() * sizeof(spreadsheet::Cell));
  }
  return bytes / 1048576.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "plain") != 0 && std::strcmp(argv[1], "undoable") != 0)) {
    std::fprintf(stderr, "usage: undo_bench plain|undoable DIR\n");
    return 2;
  }
  const bool undoable = std::strcmp(argv[1], "undoable") == 0;
  host::RecordingDialogs dialogs;
  app::WorkspaceOptions options;
  options.seed = 20240601;
  options.seating = [](host::Application&) { return host::FormModel::SeatingControls::Without; };
  app::Workspace ws(argv[2], dialogs, options);
  ws.start();
  host::FormModel& form = ws.form();
  form.control("LtbBiao").set_list_index(0);
  ws.click("LtbBiaoClick", {});
  host::Workbook* data = ws.data_workbook();
  if (data == nullptr) {
    std::fprintf(stderr, "no data workbook in %s\n", argv[2]);
    return 1;
  }
  form.control("TxtSKHao").set_value("2024000001");
  form.control("TxtXHShu").set_value("30");
  form.control("OptSJKaoHao").set_value(true);
  form.control("OptACZuoHao").set_value(true);
  const double model = cell_mb(spreadsheet::Engine::model_of(*data));
  const double before_mb = bench::peak_mb();

  const auto start = bench::Clock::now();
  const double cpu = cpu_seconds();
  double held = 0;
  app::WorkReport report;
  if (undoable) {
    app::UndoableRun run = app::run_undoable(ws, host::no_progress(), "编排考号",
                                             [&] { return ws.click("CmdDoKaoHaoClick", {}); });
    report = run.report;
    held = run.undo ? static_cast<double>(run.undo->cell_bytes()) / 1048576.0 : 0;
  } else {
    report = ws.click("CmdDoKaoHaoClick", {});
  }
  std::printf("%s: %s\n", argv[1], report.text().c_str());
  std::printf("  step %.2f s wall, %.2f s processor\n", bench::seconds_since(start),
              cpu_seconds() - cpu);
  std::printf("  data workbook cells %.1f MB; peak before the step %.1f MB, after %.1f MB\n", model,
              before_mb, bench::peak_mb());
  if (undoable) std::printf("  undo holds %.1f MB of cells after the step\n", held);
  return report.stopped ? 1 : 0;
}
