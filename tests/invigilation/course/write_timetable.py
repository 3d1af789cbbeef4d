#!/usr/bin/python3
"""Adds to DATA (数据/高一.xlsx) the 场次表 a school types in: 场次 1 语文
and 2 数学 in the morning for everybody, 场次 3 in the afternoon with two
papers at once, 物理 and 历史, each for those who chose it (考生表's
选考科目). kelv sessions arranges it.

Usage: write_timetable.py DATA
"""
import datetime
import sys

from openpyxl import load_workbook

DAY = datetime.datetime(2025, 6, 7)
PAPERS = [
    (1, "语文", datetime.time(8, 0), datetime.time(10, 0)),
    (2, "数学", datetime.time(10, 30), datetime.time(12, 0)),
    (3, "物理", datetime.time(14, 30), datetime.time(16, 0)),
    (3, "历史", datetime.time(14, 30), datetime.time(16, 0)),
]


def main(path):
    wb = load_workbook(path)
    ws = wb.create_sheet("场次表")
    ws.append(["场次", "科目", "日期", "开始", "结束"])
    for session, subject, start, end in PAPERS:
        ws.append([session, subject, DAY, start, end])
        ws.cell(row=ws.max_row, column=3).number_format = "yyyy-mm-dd"
        ws.cell(row=ws.max_row, column=4).number_format = "h:mm"
        ws.cell(row=ws.max_row, column=5).number_format = "h:mm"
    wb.save(path)


if __name__ == "__main__":
    main(sys.argv[1])
