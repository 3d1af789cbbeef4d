#!/usr/bin/python3
"""Writes the .xlsx files of the seating workspaces.

Run from anywhere: /usr/bin/python3 tests/scenarios/seating/make_workspaces.py
The files are checked in; rerun this only to change them. They are written
by openpyxl on purpose, so the tests read files that kelv did not write.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "workspaces"))
from wslib import (ROOM_HEADINGS, base_sheet, data_workbook, exam, host_workbook,  # noqa: E402
                   save, settings_sheet, workspace)

EXAMINEE_HEADINGS = ["姓名", "学校", "班级", "指定考场"]


def klass(i, sizes):
    """The class of examinee i (from 1) when classes 1班, 2班, ... have `sizes`
    members, the classes taking turns down the sheet."""
    left = list(sizes)
    k = 0
    for _ in range(i):
        while left[k] == 0:
            k = (k + 1) % len(left)
        left[k] -= 1
        chosen = k
        k = (k + 1) % len(left)
    return f"{chosen + 1}班"


def examinees(sizes, fixed=None):
    fixed = fixed or {}
    total = sum(sizes)
    return [[f"考生{i:03d}", ["一中", "二中"][i % 2], klass(i, sizes), fixed.get(i)]
            for i in range(1, total + 1)]


def rooms(*rooms_and_columns):
    """Rooms "01", "02", ... with (places, seats per column) each."""
    return [(f"{k + 1:02d}", places, f"教室{k + 1}", f"甲{k + 1}", f"乙{k + 1}", None, None, per)
            for k, (places, per) in enumerate(rooms_and_columns)]


def host(path, seating=None):
    """考务.xlsx with random order and per-room seats; `seating` puts a seed
    and a keep-apart column into BI5 and BJ5."""
    wb = host_workbook("考务")
    cells = exam(start="2024010001", random_order=True, per_room=True)
    if seating:
        cells[(5, 61)], cells[(5, 62)] = seating
    settings_sheet(wb, exam_cells=cells)
    base_sheet(wb)
    save(wb, path)


def data(path, room_rows, examinee_rows):
    save(data_workbook(room_rows, examinee_rows, EXAMINEE_HEADINGS, ROOM_HEADINGS + ["每列座数"]),
         path)


def main():
    three_rooms = rooms((30, 6), (30, 6), (20, 5))
    classes = [30, 25, 15, 10]

    folder = workspace("seating")
    host(os.path.join(folder, "考务.xlsx"))
    # Three examinees fixed: to 03 twice and to 1, a room number typed as a
    # number that names room 01.
    data(os.path.join(folder, "数据", "座位.xlsx"), three_rooms,
         examinees(classes, {5: "03", 44: "03", 61: 1}))
    # Wrong fixed rooms: one that is not there, and 21 examinees for 20 seats.
    wrong = {2: "05", 6: "05"}
    wrong.update({i: "03" for i in range(20, 41)})
    data(os.path.join(folder, "数据", "指定有误.xlsx"), three_rooms, examinees(classes, wrong))
    # One class holds 14 of 20 seats: shared neighbours cannot be avoided.
    data(os.path.join(folder, "数据", "一班过半.xlsx"), rooms((10, 5), (10, 5)),
         examinees([14, 6]))

    folder = workspace("seating-stored")
    host(os.path.join(folder, "考务.xlsx"), seating=("42", "班级"))
    data(os.path.join(folder, "数据", "座位.xlsx"), three_rooms, examinees(classes))


if __name__ == "__main__":
    main()
