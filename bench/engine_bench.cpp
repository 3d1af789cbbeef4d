// The embedded engine under load, through the host interfaces the handlers
// use: write 100,000 rows x 20 cells, sort them by one column, then paste a
// formatted 3 x 2 block 100,000 times with one field written per cell.
// Prints seconds per step and the peak resident memory.
#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"
#include "host/application.h"
#include "spreadsheet/engine.h"

namespace {

using kelv::bench::cat;
using kelv::bench::Clock;
using kelv::bench::seconds_since;
using kelv::host::Range;
using kelv::host::Variant;
using kelv::host::Worksheet;

const char* const kSurnames[] = {"张", "李", "王", "陈", "刘", "杨", "赵", "黄", "周", "吴",
                                 "徐", "孙", "胡", "朱", "高", "林", "何", "郭", "马", "罗"};
const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊",   "军", "洋",
                              "勇", "艳", "杰", "娟", "涛", "明", "超", "秀英", "霞", "平"};
const char* const kSchools[] = {"第一中学", "第二中学", "实验中学", "育才中学", "外国语学校"};

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int cols = 20;
  kelv::spreadsheet::Engine engine(nullptr);
  kelv::host::Workbook& book = engine.add_workbook("bench.xlsx");
  Worksheet& ws = book.active_sheet();

  // 1. Write rows x 20 cells, one value at a time.
  auto t = Clock::now();
  const char* const heads[] = {"序号", "姓名", "学校", "年级", "班级"};
  for (int c = 1; c <= cols; ++c)
    ws.cells(1, c).set_value(c <= 5 ? std::string(heads[c - 1]) : cat({"字段", std::to_string(c)}));
  uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) & 0xFFFF;
  };
  for (int r = 2; r <= rows + 1; ++r) {
    ws.cells(r, 1).set_value(r - 1);
    ws.cells(r, 2).set_value(
        cat({kSurnames[next() % 20], kGiven[next() % 20], kGiven[next() % 20]}));
    ws.cells(r, 3).set_value(kSchools[next() % 5]);
    ws.cells(r, 4).set_value(static_cast<int>(7 + next() % 3));
    ws.cells(r, 5).set_value(static_cast<int>(1 + next() % 12));
    for (int c = 6; c <= cols; ++c)
      ws.cells(r, c).set_value(c % 2 ? Variant(static_cast<double>(next()))
                                     : Variant(cat({"T", std::to_string(next() % 1000)})));
  }
  const double write_s = seconds_since(t);
  std::printf("write %d rows x %d cells: %.3f s\n", rows, cols, write_s);

  // 2. Sort the table by the name column, as the handlers do.
  t = Clock::now();
  Range table = ws.cells(1, 2).current_region();
  table.sort(ws.cells(1, 2), kelv::host::SortOrder::Ascending, kelv::host::SortHeader::Yes);
  const double sort_s = seconds_since(t);
  std::printf("sort %d rows by one text column: %.3f s (region %dx%d)\n", rows, sort_s,
              table.rows_count(), table.columns_count());
  std::printf("peak memory with the %d-cell sheet: %.0f MB\n", rows * cols, kelv::bench::peak_mb());

  // 3. Paste a formatted 3 x 2 block 100,000 times, writing one field per cell.
  Worksheet& out = book.worksheets().add_after(ws);
  out.cells(1, 1).set_value("考场");
  out.range(out.cells(1, 1), out.cells(1, 2)).merge();
  Range blk = out.range(out.cells(1, 1), out.cells(3, 2));
  blk.font().set_name("宋体");
  blk.font().set_bold(true);
  blk.set_horizontal_alignment(kelv::host::xlCenter);
  out.cells(2, 2).set_number_format_local("@");
  blk.copy();
  t = Clock::now();
  const int pastes = 100000;
  for (int i = 0; i < pastes; ++i) {
    const int r = 4 + 3 * i;
    out.paste(out.cells(r, 1));
    out.cells(r, 1).set_value(cat({"第", std::to_string(i + 1), "考场"}));
    out.cells(r, 2).set_value("");
    out.cells(r + 1, 1).set_value(i);
    out.cells(r + 1, 2).set_value("0001");
    out.cells(r + 2, 1).set_value("张三");
    out.cells(r + 2, 2).set_value(i % 30 + 1);
  }
  const double paste_s = seconds_since(t);
  std::printf("paste a 3x2 block %d times with 6 field writes each: %.3f s (%zu merges)\n", pastes,
              paste_s, kelv::spreadsheet::Engine::model_of(out).merges.size());
  std::printf("peak memory: %.0f MB\n", kelv::bench::peak_mb());
  return write_s < 1 && sort_s < 1 && paste_s < 1 ? 0 : 1;
}
