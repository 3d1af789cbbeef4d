/* The rows of make_book() in xlsx_bench.cpp, written by libxlsxwriter: the
   save the benchmarks compare kelv's with. Built by the bench scripts:
     cc -O2 -o lxw_write bench/lxw_write.c -lxlsxwriter
     lxw_write OUT.xlsx */
#include <stdio.h>
#include <time.h>
#include <xlsxwriter.h>
static const char* S[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周",
                          "徐", "孙", "马", "朱", "胡", "郭", "何", "高", "林", "罗"};
static const char* G[] = {"伟",   "芳",   "娜",   "秀英", "敏",   "静",  "丽",   "强",
                          "磊",   "军",   "洋",   "勇",   "艳",   "杰",  "娟",   "涛",
                          "明",   "超",   "秀兰", "霞",   "平",   "刚",  "桂英", "子涵",
                          "浩然", "欣怡", "梓轩", "雨泽", "思远", "嘉怡"};
static const char* K[] = {"第一中学", "第二中学", "实验中学", "外国语学校",
                          "育才中学", "城关中学", "民族中学", "师大附中"};
/* A 宋体 format with a number format, or none. */
static lxw_format* song(lxw_workbook* wb, const char* num_format) {
  lxw_format* f = workbook_add_format(wb);
  format_set_font_name(f, "宋体");
  if (num_format) format_set_num_format(f, num_format);
  return f;
}
int main(int argc, char** argv) {
  struct timespec a, b;
  clock_gettime(CLOCK_MONOTONIC, &a);
  lxw_workbook* wb = workbook_new(argv[1]);
  lxw_worksheet* ws = workbook_add_worksheet(wb, "考生表");
  lxw_format* base = song(wb, NULL);
  lxw_format* text = song(wb, "@");
  lxw_format* score = song(wb, "0.0");
  lxw_format* date = song(wb, "yyyy/m/d");
  lxw_format* pct = song(wb, "0.00%");
  char buf[64];
  for (int i = 1; i <= 100000; ++i) {
    int r = i - 1;
    snprintf(buf, sizeof buf, "2024%06d", i);
    worksheet_write_string(ws, r, 0, buf, text);
    snprintf(buf, sizeof buf, "%s%s", S[(i * 7) % 20], G[(i * 13) % 30]);
    worksheet_write_string(ws, r, 1, buf, base);
    worksheet_write_string(ws, r, 2, i % 2 ? "男" : "女", base);
    worksheet_write_string(ws, r, 3, K[i % 8], base);
    worksheet_write_number(ws, r, 4, i % 40 + 1, base);
    worksheet_write_number(ws, r, 5, ((i * 7919) % 1000) / 10.0, score);
    worksheet_write_number(ws, r, 6, 45000 + i % 365, date);
    worksheet_write_number(ws, r, 7, ((i * 31) % 10000) / 10000.0, pct);
    snprintf(buf, sizeof buf, "第%d考场", i % 500);
    worksheet_write_string(ws, r, 8, buf, base);
    worksheet_write_number(ws, r, 9, i, base);
  }
  workbook_close(wb);
  clock_gettime(CLOCK_MONOTONIC, &b);
  printf("libxlsxwriter save: %.3f s\n", (b.tv_sec - a.tv_sec) + (b.tv_nsec - a.tv_nsec) / 1e9);
  return 0;
}
