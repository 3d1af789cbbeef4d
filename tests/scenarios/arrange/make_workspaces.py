#!/usr/bin/python3
"""Writes the .xlsx files of the arrangement workspaces.

Run from anywhere: /usr/bin/python3 tests/scenarios/arrange/make_workspaces.py
The files are checked in; rerun this only to change them. They are written
by openpyxl on purpose, so the tests read files that kelv did not write.
"""
import os
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "workspaces"))
from wslib import (base_sheet, data_workbook, exam, host_workbook, save,  # noqa: E402
                   settings_sheet, workspace)

SCHOOLS = ["一中", "二中", "三中"]
GRADES = ["高一", "高二"]
CLASSES = ["1班", "2班", "3班", "4班"]

# The catalogue headings as a user might have shortened them.
HEADINGS = dict(enumerate(["模板", "行", "列", "行距", "列距", "排序", "换页", "横排", "数据源"],
                          start=5))
ROOM_HEADINGS = ["考场号", " 场人 ", "考室", "监考 甲", "监考乙", "首考号", "尾考号", "备\n注"]


def arrange_host_workbook(path):
    """考务.xlsx: 开始, DTB (hidden) with the exam settings, MBB (very hidden)."""
    wb = host_workbook("考务")
    settings_sheet(wb, exam_cells=exam(start="2024010001", per_room=True), headings=HEADINGS)
    base_sheet(wb)
    save(wb, path)


def examinee(i):
    """Examinee i (from 1): name, school, grade, class, in a fixed pattern."""
    return [f"考生{i:03d}", SCHOOLS[i % 3], GRADES[(i // 3) % 2], CLASSES[(i // 6) % 4]]


def data_file(path, rooms, examinees, examinee_headings, sheets=("考场表", "考生表")):
    save(data_workbook(rooms, examinees, examinee_headings, ROOM_HEADINGS, sheets), path)


def rooms_of(*places):
    return [(f"{k + 1:02d}", p, f"教室{k + 1}", f"甲{k + 1}", f"乙{k + 1}")
            for k, p in enumerate(places)]


def main():
    # Headers typed with spaces, an ideographic space and a line break; the
    # room sheet's first headers are the user's own words.
    headers = ["姓 名", " 学校", "年\u3000级", "班\n级"]
    everyone = [examinee(i) for i in range(1, 59)]

    # The worked example: rooms of 30 and 28 places, 58 examinees; a file
    # with 60 places, one with 50, one with a room of no places; 班次 in
    # place of 班级; and files missing a sheet or not a workbook at all.
    folder = workspace("arrange-example")
    arrange_host_workbook(os.path.join(folder, "考务.xlsx"))
    data = os.path.join(folder, "数据")
    os.makedirs(data)
    data_file(os.path.join(data, "考试.xlsx"), rooms_of(30, 28), everyone, headers)
    data_file(os.path.join(data, "多座.xlsx"), rooms_of(30, 30), everyone, headers)
    data_file(os.path.join(data, "少座.xlsx"), rooms_of(30, 20), everyone, headers)
    data_file(os.path.join(data, "空场.xlsx"), rooms_of(30, None, 28), everyone, headers)
    data_file(os.path.join(data, "班次.xlsx"), rooms_of(30, 28), everyone,
              ["姓名", "学校", "年级", "班次"])
    data_file(os.path.join(data, "缺考场表.xlsx"), [], everyone, headers, sheets=("考生表",))
    data_file(os.path.join(data, "缺考生表.xlsx"), rooms_of(30, 28), [], headers,
              sheets=("考场表",))
    data_file(os.path.join(data, "都缺.xlsx"), [], [], headers, sheets=())
    with open(os.path.join(data, "损坏.xlsx"), "wb") as f:
        f.write(b"PK\x03\x04 this is not a workbook")
    with zipfile.ZipFile(os.path.join(data, "空包.xlsx"), "w") as z:
        z.writestr("readme.txt", "a zip file without a workbook part")
    # Text files open as tables; this one is binary under a text name.
    with open(os.path.join(data, "说明.txt"), "wb") as f:
        f.write(b"\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00")


if __name__ == "__main__":
    main()
