// The .xlsx reader and writer on a 100,000 x 10 workbook of mixed Chinese
// text and numbers with a few formats.
//
//   xlsx_bench write OUT.xlsx   build the workbook in memory, time the save
//   xlsx_bench load FILE        time the load; print the model's own size
//
// bench/xlsx_compare.sh runs both beside orcus-xlsx and libxlsxwriter on the
// same data (its C program makes the same rows as make_book below).
#include <cstdio>
#include <cstring>
#include <string>

#include "bench_util.h"
#include "spreadsheet/model.h"
#include "xlsx/xlsx_format.h"

namespace {

using kelv::bench::Clock;
using kelv::bench::seconds_since;
using kelv::spreadsheet::Cell;
using kelv::spreadsheet::Sheet;
using kelv::spreadsheet::Style;
using kelv::spreadsheet::Workbook;

constexpr int kRows = 100000;

const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周",
                                 "徐", "孙", "马", "朱", "胡", "郭", "何", "高", "林", "罗"};
const char* const kGiven[] = {"伟",   "芳",   "娜",   "秀英", "敏",   "静",  "丽",   "强",
                              "磊",   "军",   "洋",   "勇",   "艳",   "杰",  "娟",   "涛",
                              "明",   "超",   "秀兰", "霞",   "平",   "刚",  "桂英", "子涵",
                              "浩然", "欣怡", "梓轩", "雨泽", "思远", "嘉怡"};
const char* const kSchools[] = {"第一中学", "第二中学", "实验中学", "外国语学校",
                                "育才中学", "城关中学", "民族中学", "师大附中"};

std::unique_ptr<Workbook> make_book() {
  auto book = std::make_unique<Workbook>();
  Style base;
  base.font.name = "宋体";
  book->styles.assign({base});
  Style text = base, score = base, date = base, pct = base;
  text.number_format = "@";
  score.number_format = "0.0";
  date.number_format = "yyyy/m/d";
  pct.number_format = "0.00%";
  const uint32_t st = book->styles.intern(text), ss = book->styles.intern(score),
                 sd = book->styles.intern(date), sp = book->styles.intern(pct);
  auto sheet = std::make_unique<Sheet>();
  sheet->name = "考生表";
  sheet->rows.resize(kRows);
  for (int i = 1; i <= kRows; ++i) {
    auto& cells = sheet->rows[static_cast<size_t>(i - 1)].cells;
    cells.reserve(10);
    char id[16];
    std::snprintf(id, sizeof id, "2024%06d", i);
    auto add = [&](int32_t col, kelv::host::Variant v, uint32_t style) {
      Cell c;
      c.col = col;
      c.style = style;
      c.value = std::move(v);
      cells.push_back(std::move(c));
    };
    add(1, std::string(id), st);
    add(2, std::string(kSurnames[(i * 7) % 20]) + kGiven[(i * 13) % 30], 0);
    add(3, std::string(i % 2 ? "男" : "女"), 0);
    add(4, std::string(kSchools[i % 8]), 0);
    add(5, double(i % 40 + 1), 0);
    add(6, double((i * 7919) % 1000) / 10.0, ss);
    add(7, double(45000 + i % 365), sd);
    add(8, double((i * 31) % 10000) / 10000.0, sp);
    add(9, "第" + std::to_string(i % 500) + "考场", 0);
    add(10, double(i), 0);
  }
  book->sheets.push_back(std::move(sheet));
  return book;
}

size_t text_bytes(const kelv::host::Variant& v) {
  if (!v.is_text()) return 0;
  const std::string& s = v.as_text();
  return s.capacity() > 15 ? s.capacity() + 1 : 0;  // beyond the small-string buffer
}

// What the model itself occupies, counted from its containers.
size_t model_bytes(const Workbook& b) {
  size_t n = sizeof(Workbook) + b.styles.size() * sizeof(Style);
  for (const auto& s : b.sheets) {
    n += sizeof(Sheet) + s->rows.capacity() * sizeof(kelv::spreadsheet::Row);
    n += s->columns.size() * (sizeof(kelv::spreadsheet::ColumnInfo) + 48);
    for (const auto& r : s->rows) {
      n += r.cells.capacity() * sizeof(Cell);
      for (const auto& c : r.cells) {
        n += text_bytes(c.value);
        if (c.formula) n += sizeof(kelv::spreadsheet::Formula) + 32;
      }
    }
  }
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "write") != 0 && std::strcmp(argv[1], "load") != 0)) {
    std::fprintf(stderr, "usage: xlsx_bench write OUT.xlsx | load FILE\n");
    return 2;
  }
  try {
    if (std::strcmp(argv[1], "write") == 0) {
      auto book = make_book();
      const auto t = Clock::now();
      kelv::xlsx::write_workbook(*book, argv[2]);
      std::printf("kelv save: %.3f s\n", seconds_since(t));
    } else {
      const auto t = Clock::now();
      auto book = kelv::xlsx::read_workbook(argv[2]);
      const double s = seconds_since(t);
      size_t cells = 0;
      for (const auto& r : book->sheets[0]->rows) cells += r.cells.size();
      std::printf("kelv load: %.3f s (%zu cells)\n", s, cells);
      std::printf("model size: %.1f MB\n", model_bytes(*book) / 1048576.0);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
