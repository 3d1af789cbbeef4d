#!/usr/bin/python3
"""Writes by hand, in the layout of src/sheets/exam_sheets.h, what a session
arrangement would write after 编排考号 into DATA (数据/高一.xlsx): 场次表
(场次 1 语文 and 2 数学 for everybody in the morning, 场次 3 物理 in rooms
01 and 02 and 历史 in 03 and 04 in the afternoon), 场次考场, 场次安排 and
one data workbook per 场次 beside it, marked by a very hidden kelv场次.

Usage: write_sessions.py DATA
"""
import datetime
import os
import sys

from openpyxl import Workbook, load_workbook

ROOMS = {"01": "A101", "02": "A102", "03": "A103", "04": "A104"}
DAY = datetime.datetime(2025, 6, 7)
SITTINGS = [
    (1, "语文", datetime.time(8, 0), datetime.time(10, 0)),
    (2, "数学", datetime.time(10, 30), datetime.time(12, 0)),
    (3, None, datetime.time(14, 30), datetime.time(16, 0)),
]
HEADINGS_ROOMS = ["场次", "科目", "日期", "开始", "结束", "考场", "考室", "人数", "首考号",
                  "尾考号", "监考甲", "监考乙"]
HEADINGS_SEATS = ["考号", "姓名", "班级", "场次", "科目", "日期", "开始", "结束", "考场", "考室",
                  "座号", "场次考场"]


def text(ws, row, col, value):
    ws.cell(row=row, column=col, value=value).number_format = "@"


def main(path):
    wb = load_workbook(path)
    ex = wb["考生表"]
    head = [c.value for c in ex[1]]
    col = {h: i for i, h in enumerate(head)}
    people = [[c.value for c in row] for row in ex.iter_rows(min_row=2)]
    people = [p for p in people if p[col["姓名"]]]
    people.sort(key=lambda p: p[col["考号"]])

    # Who sits where in each 场次: the main rooms and seats for 语文 and
    # 数学; 物理 in 01-02 and 历史 in 03-04, ten to a room, in 考号 order.
    plan = {}
    for s, subject, start, end in SITTINGS:
        if subject:
            plan[s] = [(p, subject, p[col["考场"]], p[col["座号"]]) for p in people]
            continue
        seats = []
        for paper, rooms in (("物理", ["01", "02"]), ("历史", ["03", "04"])):
            group = [p for p in people if p[col["选考"]] == paper]
            for i, p in enumerate(group):
                seats.append((p, paper, rooms[min(i // 10, 1)], f"{i % 10 + 1:02d}"))
        plan[s] = seats

    tt = wb.create_sheet("场次表")
    tt.append(["场次", "科目", "日期", "开始", "结束", "考场"])
    for s, subject, start, end in SITTINGS:
        for paper in ([subject] if subject else ["物理", "历史"]):
            tt.append([s, paper, DAY, start, end])
    rooms_ws = wb.create_sheet("场次考场")
    rooms_ws.append(HEADINGS_ROOMS)
    seats_ws = wb.create_sheet("场次安排")
    seats_ws.append(HEADINGS_SEATS)
    times = {s: (start, end) for s, _, start, end in SITTINGS}
    for s, seats in plan.items():
        start, end = times[s]
        by_room = {}
        for p, paper, room, seat in seats:
            by_room.setdefault(room, []).append((p, paper, seat))
        for room in sorted(by_room):
            group = by_room[room]
            numbers = sorted(p[col["考号"]] for p, _, _ in group)
            r = rooms_ws.max_row + 1
            for c, v in enumerate([s, group[0][1], DAY, start, end], start=1):
                rooms_ws.cell(row=r, column=c, value=v)
            text(rooms_ws, r, 6, room)
            rooms_ws.cell(row=r, column=7, value=ROOMS[room])
            rooms_ws.cell(row=r, column=8, value=len(group))
            text(rooms_ws, r, 9, numbers[0])
            text(rooms_ws, r, 10, numbers[-1])
            for p, paper, seat in sorted(group, key=lambda g: g[2]):
                r = seats_ws.max_row + 1
                text(seats_ws, r, 1, p[col["考号"]])
                seats_ws.cell(row=r, column=2, value=p[col["姓名"]])
                seats_ws.cell(row=r, column=3, value=p[col["班级"]])
                for c, v in enumerate([s, paper, DAY, start, end], start=4):
                    seats_ws.cell(row=r, column=c, value=v)
                text(seats_ws, r, 9, room)
                seats_ws.cell(row=r, column=10, value=ROOMS[room])
                text(seats_ws, r, 11, seat)
                seats_ws.cell(row=r, column=12, value=f"{s}-{room}")
        # The session's own data workbook.
        book = Workbook()
        book.remove(book.active)
        rs = book.create_sheet("考场表")
        rs.append(["考场", "场人", "考室", "监考甲", "监考乙", "首考号", "尾考号"])
        for room in sorted(by_room):
            r = rs.max_row + 1
            text(rs, r, 1, room)
            rs.cell(row=r, column=2, value=len(by_room[room]))
            rs.cell(row=r, column=3, value=ROOMS[room])
        es = book.create_sheet("考生表")
        es.append(["姓名", "班级", "考场", "场人", "考室", "监考甲", "监考乙", "考号", "座号"])
        for p, paper, room, seat in sorted(seats, key=lambda x: x[0][col["考号"]]):
            r = es.max_row + 1
            es.cell(row=r, column=1, value=p[col["姓名"]])
            es.cell(row=r, column=2, value=p[col["班级"]])
            text(es, r, 3, room)
            es.cell(row=r, column=4, value=len(by_room[room]))
            es.cell(row=r, column=5, value=ROOMS[room])
            text(es, r, 8, p[col["考号"]])
            text(es, r, 9, seat)
        mark = book.create_sheet("kelv场次")
        mark["A1"] = "场次编排写的工作簿"
        mark.sheet_state = "veryHidden"
        stem = os.path.splitext(os.path.basename(path))[0]
        book.save(os.path.join(os.path.dirname(path), f"{stem}（第{s}场）.xlsx"))
    wb.save(path)


if __name__ == "__main__":
    main(sys.argv[1])
