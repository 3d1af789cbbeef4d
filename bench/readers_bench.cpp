// Reading the other spreadsheet files: a 100,000-row examinee list as .xls
// (python3-xlwt's, two sheets, as a BIFF8 sheet holds at most 65,536 rows)
// and as GB18030 .csv, both made by bench/make_lists.py.
//
//   readers_bench load FILE   time the read into the model; print the cells and peak memory
#include <cstdio>
#include <cstring>
#include <string>

#include "bench_util.h"
#include "readers/format.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::strcmp(argv[1], "load") != 0) {
    std::fprintf(stderr, "usage: readers_bench load FILE\n");
    return 2;
  }
  double best = 1e9;
  size_t cells = 0;
  for (int round = 0; round < 3; ++round) {
    const auto t = kelv::bench::Clock::now();
    auto book = kelv::readers::read_any(argv[2]);
    best = std::min(best, kelv::bench::seconds_since(t));
    cells = 0;
    for (const auto& s : book->sheets)
      for (const auto& r : s->rows) cells += r.cells.size();
  }
  std::printf("read %s: %.3f s (best of 3), %zu cells, peak %.0f MB\n", argv[2], best, cells,
              kelv::bench::peak_mb());
  return 0;
}
