// Seat maps at scale: a template laid out as the room (a header with the
// room's details, a desk of 座号, 考号 and 姓名) for 1,000 rooms of three
// shapes (6 x 5 with 30 examinees, 7 x 6 with 42, 8 x 5 with 37: the last
// column short), 36,333 examinees already arranged, generated through the
// component (CmdDoYongBiaoClick) and printed to PDF, all in memory but the
// PDF file.
//
//   seatmap_bench [DIR]   writes DIR/座位表.pdf (DIR: a temporary folder)
//
// The target: generation and printing together under 2 s.
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "generate/generate_tables.h"
#include "host/form_model.h"
#include "host/host_error.h"
#include "host/recording_dialogs.h"
#include "host/system_environment.h"
#include "print/print_job.h"
#include "print/qt/pdf_export.h"
#include "sheets/settings_sheet.h"
#include "spreadsheet/engine.h"

namespace {

using namespace kelv;
using bench::cat;
using bench::Clock;
using bench::padded;
using bench::seconds_since;

constexpr int32_t kRooms = 1000;
struct Shape {
  int32_t places, per_column, columns;
};
constexpr Shape kShapes[] = {{30, 6, 5}, {42, 7, 6}, {37, 8, 5}};

void HostWorkbook(spreadsheet::Engine& engine, const std::string& dir) {
  host::Workbook& book = engine.add_workbook(dir + "/考务.xlsx");
  engine.set_this_workbook(book);
  host::Worksheet& dtb = bench::add_start_and_settings(book);
  const host::Variant row[] = {true, "座位表", 6, 1, 12, 20, "无", "无", true, true, true};
  for (int32_t k = 0; k < 11; ++k) dtb.cells(2, sheets::kFlagColumn + k).set_value(row[k]);
  dtb.cells(1, sheets::kNameColumn).set_value("模板名");
  // Portrait A4 at 100 %.
  const host::Variant setup[] = {28, 28, 1, 9, 100, 600};
  for (int32_t k = 0; k < 6; ++k)
    dtb.cells(2, sheets::kPageSetupColumn + 4 + k).set_value(setup[k]);

  host::Worksheet& t = book.add_sheet_after(dtb);
  t.set_name("座位表");
  for (auto [r, c] : {std::pair{3, 1}, {5, 1}, {3, 11}}) t.cells(r, c).set_value("@");
  t.cells(3, 2).set_value("考 场 座 位 表");
  t.range(t.cells(3, 2), t.cells(3, 10)).merge();
  const char* lines[][4] = {{"考场：", "[考场]", "考室：", "[考室]"},
                            {"首考号：", "[首考号]", "尾考号：", "[尾考号]"}};
  for (int32_t k = 0; k < 2; ++k) {
    for (int32_t c = 0; c < 4; ++c) t.cells(4 + k, 2 + 2 * c).set_value(lines[k][c]);
  }
  for (auto [r, c] : {std::pair{7, 1}, {9, 1}, {7, 3}}) t.cells(r, c).set_value("#");
  t.cells(7, 2).set_value("[座号]");
  t.cells(8, 2).set_value("[考号]");
  t.cells(9, 2).set_value("[姓名]");
  t.range(t.cells(7, 2), t.cells(9, 2)).set_number_format_local("@");
  t.range(t.cells(4, 2), t.cells(5, 10)).set_number_format_local("@");
  t.columns(2).set_column_width(14);
}

int32_t DataWorkbook(spreadsheet::Engine& engine, const std::string& dir) {
  host::Workbook& data = engine.add_workbook(dir + "/数据/考试.xlsx");
  host::Worksheet& rooms = data.sheet_at(0);
  rooms.columns(1).set_number_format_local("@");
  bench::write_rooms(rooms, kRooms, 0);
  rooms.cells(1, 8).set_value("每列座数");
  rooms.cells(1, 9).set_value("列数");
  host::Worksheet& examinees = data.add_sheet_after(rooms);
  examinees.set_name("考生表");
  const char* columns[] = {"考号", "姓名", "考场", "考室", "座号"};
  for (int32_t c = 1; c <= 5; ++c) examinees.cells(1, c).set_value(columns[c - 1]);
  for (int32_t c : {1, 3, 5}) examinees.columns(c).set_number_format_local("@");
  std::vector<host::Variant> values;
  int32_t n = 0;
  for (int32_t k = 1; k <= kRooms; ++k) {
    const Shape& s = kShapes[(k - 1) % 3];
    rooms.cells(k + 1, 2).set_value(s.places);
    rooms.cells(k + 1, 6).set_value(padded(n + 1, 6));
    rooms.cells(k + 1, 7).set_value(padded(n + s.places, 6));
    rooms.cells(k + 1, 8).set_value(s.per_column);
    rooms.cells(k + 1, 9).set_value(s.columns);
    for (int32_t seat = 1; seat <= s.places; ++seat) {
      ++n;
      values.emplace_back(padded(n, 6));
      values.emplace_back(cat({"考生", std::to_string(n)}));
      values.emplace_back(padded(k, 4));
      values.emplace_back(bench::classroom(k));
      values.emplace_back(padded(seat, 2));
    }
  }
  examinees.range(examinees.cells(2, 1), examinees.cells(n + 1, 5)).set_values(values);
  return n;
}

int Run(const std::string& dir) {
  std::filesystem::create_directories(dir);
  spreadsheet::Engine engine(nullptr);
  host::SystemEnvironment env(1);
  host::RecordingDialogs dialogs;
  component::Component self(dialogs, env);
  HostWorkbook(engine, dir);
  const int32_t examinees = DataWorkbook(engine, dir);
  self.DataBookName = "考试.xlsx";
  self.WorkColumn = 168;
  self.FormReady = true;
  auto form = host::FormModel::standard_form();
  (*form)["LtbMoBan"].add_item("座位表");
  (*form)["LtbMoBan"].set_list_index(0);
  (*form)["ChbSJYuan"].set_value(true);
  (*form)["ChbHengPai"].set_value(true);

  const Clock::time_point start = Clock::now();
  const std::clock_t cpu_start = std::clock();
  generate::GenerateTables(self, engine, *form);
  const double generated = seconds_since(start);
  const double generated_cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  for (const host::DialogRecord& r : dialogs.messages())
    std::printf("  [%s] %s\n", r.title.c_str(), r.text.c_str());
  if (!dialogs.messages().empty()) return 1;

  host::Workbook& data = engine.workbooks().item("考试.xlsx");
  spreadsheet::Workbook& model = spreadsheet::Engine::model_of(data);
  int32_t index = -1;
  for (size_t i = 0; i < model.sheets.size(); ++i)
    if (model.sheets[i]->name == "座位表") index = static_cast<int32_t>(i);
  const Clock::time_point p = Clock::now();
  const print::PrintJob job(model, {index});
  const std::string pdf = dir + "/座位表.pdf";
  print::write_pdf(job, pdf);
  const double printed = seconds_since(p);
  const double total = seconds_since(start);
  const double cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  std::printf(
      "%d rooms, %d examinees: generated in %.2f s, %d pages printed to PDF in %.2f s, "
      "together %.2f s (target 2 s); processor time %.2f s (generating %.2f s), peak %.0f MB\n"
      "%s\n",
      kRooms, examinees, generated, job.page_count(), printed, total, cpu, generated_cpu,
      bench::peak_mb(), pdf.c_str());
  return job.page_count() == kRooms ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string dir =
        argc > 1 ? argv[1]
                 : (std::filesystem::temp_directory_path() / "kelv-seatmap-bench").string();
    return Run(dir);
  } catch (const kelv::host::HostError& e) {
    std::fprintf(stderr, "seatmap_bench: (%d) %s\n", e.number(), e.description().c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "seatmap_bench: %s\n", e.what());
    return 1;
  }
}
