#!/usr/bin/python3
"""Writes the workspace of the readers scenarios: a data folder holding an
examinee list of each kind other programs write.

Run from anywhere: /usr/bin/python3 tests/scenarios/readers/make_workspaces.py
(python3-xlwt and python3-openpyxl). The files are checked in.

- 旧版.xls: BIFF8 by python3-xlwt, with 考场表 and 考生表.
- 网页导出.xls: an XML spreadsheet of 2003 with both sheets, as web
  systems send it under an .xls name.
- 名单.csv: one table in GB18030, as Chinese Windows saves it.
"""
import os
import sys

import xlwt

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "workspaces"))
from wslib import base_sheet, exam, host_workbook, save, settings_sheet, workspace  # noqa: E402

ROOMS = [("01", 30, "教室1", "甲1", "乙1"), ("02", 28, "教室2", "甲2", "乙2")]
ROOM_HEADINGS = ["考场", "场人", "考室", "监考甲", "监考乙", "首考号", "尾考号"]
HEADINGS = ["姓名", "学籍号", "学校", "年级", "班级"]


def examinee(i):
    return [f"考生{i:03d}", f"G1101052008{i:04d}", ["一中", "二中", "三中"][i % 3],
            ["高一", "高二"][(i // 3) % 2], ["1班", "2班"][(i // 6) % 2]]


def write_xls(path):
    book = xlwt.Workbook(encoding="utf-8")
    rooms = book.add_sheet("考场表")
    for c, h in enumerate(ROOM_HEADINGS):
        rooms.write(0, c, h)
    for r, room in enumerate(ROOMS, start=1):
        for c, v in enumerate(room):
            rooms.write(r, c, v)
    people = book.add_sheet("考生表")
    for c, h in enumerate(HEADINGS):
        people.write(0, c, h)
    for i in range(1, 59):
        for c, v in enumerate(examinee(i)):
            people.write(i, c, v)
    book.save(path)


def cell(v):
    kind = "Number" if isinstance(v, int) else "String"
    return f'<Cell><Data ss:Type="{kind}">{v}</Data></Cell>'


def write_xml(path):
    def sheet(name, heads, rows):
        lines = [f' <Worksheet ss:Name="{name}">', "  <Table>",
                 "   <Row>" + "".join(cell(h) for h in heads) + "</Row>"]
        lines += ["   <Row>" + "".join(cell(v) for v in row) + "</Row>" for row in rows]
        lines += ["  </Table>", " </Worksheet>"]
        return "\n".join(lines)

    text = "\n".join([
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<?mso-application progid="Excel.Sheet"?>',
        '<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet"'
        ' xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet">',
        sheet("考场表", ROOM_HEADINGS, [list(r) for r in ROOMS]),
        sheet("考生表", HEADINGS, [examinee(i) for i in range(1, 41)]),
        "</Workbook>", ""])
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main():
    folder = workspace("readers-kinds")
    wb = host_workbook("考务")
    settings_sheet(wb, exam_cells=exam(start="2024010001", per_room=True))
    base_sheet(wb)
    save(wb, os.path.join(folder, "考务.xlsx"))
    data = os.path.join(folder, "数据")
    os.makedirs(data)
    write_xls(os.path.join(data, "旧版.xls"))
    write_xml(os.path.join(data, "网页导出.xls"))
    with open(os.path.join(data, "名单.csv"), "w", encoding="gb18030", newline="") as f:
        f.write(",".join(HEADINGS) + "\r\n")
        for i in range(1, 11):
            f.write(",".join(examinee(i)) + "\r\n")


if __name__ == "__main__":
    main()
