#!/usr/bin/python3
"""Writes the data workbooks the session tests read, as a school's own
program would: openpyxl, headings in row 1, the columns 编排考号 writes
already filled (考场, 考号, 座号), a 场次表 typed by hand.

Run from anywhere: /usr/bin/python3 tests/sessions/make_workbooks.py
The files in data/ are checked in; rerun this only to change them.

data/选科.xlsx   4 rooms of 4 places (04 added after 编排考号, empty), 12
                 examinees in 01..03 whose 选考科目 are written in every common
                 spelling, a 技术 column of marks, and a 场次表 of six 场次:
                 语文; 物理 with 历史; 化学; 生物 with 政治; 地理; 技术.
data/问题.xlsx   what the check names: two papers at once, a subject no row
                 of 场次表 has, a spelling it cannot read, a 场次 short of
                 rooms, a paper nobody sits, a row without 日期, a room
                 场次表 names that 考场表 lacks.
"""
import datetime
import os

from openpyxl import Workbook

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")

ROOM_HEADINGS = ["考场", "场人", "考室", "监考甲", "监考乙", "首考号", "尾考号"]
EXAMINEE_HEADINGS = ["姓名", "班级", "选考科目", "技术", "考场", "场人", "考室", "监考甲", "监考乙",
                     "考号", "座号"]
TIMETABLE_HEADINGS = ["场次", "科目", "日期", "开始", "结束", "考场", "备注"]


def text(cell):
    cell.number_format = "@"


def rooms_sheet(wb, rooms):
    ws = wb.create_sheet("考场表")
    ws.append(ROOM_HEADINGS)
    for room in rooms:
        ws.append(list(room))
    for row in ws.iter_rows(min_row=2, max_col=1):
        text(row[0])
    return ws


def examinee_sheet(wb, rows, rooms):
    """Rows of (name, class, electives, mark); rooms filled in order, 考号
    from 0001, per-room seats, as 编排考号 leaves them."""
    ws = wb.create_sheet("考生表")
    ws.append(EXAMINEE_HEADINGS)
    number = 1
    k = 0
    for room in rooms:
        for seat in range(1, room[1] + 1):
            if k == len(rows):
                break
            name, klass, electives, mark = rows[k]
            ws.append([name, klass, electives, mark, room[0], room[1], room[2], room[3], room[4],
                       f"{number:04d}", str(seat)])
            number += 1
            k += 1
    for col in ("E", "J", "K"):
        for cell in ws[col][1:]:
            text(cell)
    return ws


def timetable(wb, rows):
    ws = wb.create_sheet("场次表")
    ws.append(TIMETABLE_HEADINGS)
    for row in rows:
        ws.append(list(row))
    for row in ws.iter_rows(min_row=2):
        if isinstance(row[2].value, datetime.date):
            row[2].number_format = "yyyy/m/d"
        for c in (3, 4):
            if isinstance(row[c].value, datetime.time):
                row[c].number_format = "h:mm"
    return ws


def day(n):
    return datetime.date(2025, 6, n)


def at(h, m=0):
    return datetime.time(h, m)


def electives_book():
    wb = Workbook()
    wb.remove(wb.active)
    rooms = [("01", 4, "教室一", "王老师", "李老师"), ("02", 4, "教室二", "张老师", "赵老师"),
             ("03", 4, "教室三", "刘老师", "陈老师")]
    rooms_sheet(wb, rooms + [("04", 4, "教室四", "", "")])
    examinee_sheet(wb, [
        ("甲一", "1班", "物化生", "是"),
        ("甲二", "1班", "物理 化学 生物", "√"),
        ("甲三", "2班", "物理、化学、生物", 1),
        ("甲四", "2班", "物/化/生", "否"),
        ("乙一", "1班", "物化地", "×"),
        ("乙二", "2班", "物理,化学,地理", 0),
        ("乙三", "1班", "史政地", False),
        ("乙四", "2班", "历史 思想政治 地理", None),
        ("丙一", "1班", "史地政", None),
        ("丙二", "2班", "史/政/地", None),
        ("丙三", "1班", "物生地", None),
        ("丙四", "2班", "物理化学生物", "有"),
    ], rooms)
    timetable(wb, [
        (1, "语文", day(7), at(9), at(11, 30), None, None),
        (2, "物理", day(8), at(9), at(10, 15), None, "首选科目"),
        (2, "历史", day(8), at(9), at(10, 15), None, "首选科目"),
        (3, "化学", day(9), at(8, 30), at(9, 45), None, None),
        (4, "生物", day(9), at(11), at(12, 15), None, None),
        (4, "政治", day(9), at(11), at(12, 15), None, None),
        (5, "地理", day(9), at(15), at(16, 15), None, None),
        (6, "技术", day(10), at(9), at(10, 30), "01、02", None),
    ])
    wb.save(os.path.join(DATA, "选科.xlsx"))


def problems_book():
    wb = Workbook()
    wb.remove(wb.active)
    rooms = [("01", 2, "教室一", "", ""), ("02", 2, "教室二", "", "")]
    rooms_sheet(wb, rooms)
    ws = examinee_sheet(wb, [
        ("丁一", "1班", "物化生", None),
        ("丁二", "1班", "物化技", None),
        ("丁三", "2班", "物化x", None),
        ("丁四", "2班", "物 化 生", None),
    ], rooms)
    ws["L1"] = "美术"
    for r in range(2, 6):
        ws.cell(row=r, column=12, value="否")
    timetable(wb, [
        (1, "语文", None, at(9), at(11), None, None),
        (2, "物理", day(8), at(9), at(10), None, None),
        (2, "化学", day(8), at(9), at(10), None, None),
        (3, "生物", day(8), at(15), at(16), "05", None),
        (4, "美术", day(9), at(9), at(10), None, None),
    ])
    wb.save(os.path.join(DATA, "问题.xlsx"))


if __name__ == "__main__":
    os.makedirs(DATA, exist_ok=True)
    electives_book()
    problems_book()
