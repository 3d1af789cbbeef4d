#!/usr/bin/python3
"""Writes the workspace of the seat-map scenarios.

Run from anywhere: /usr/bin/python3 tests/scenarios/seatmaps/make_workspaces.py
The files are checked in; rerun this only to change them. They are written
by openpyxl, so the scenarios read files that kelv did not write.

seatmaps/
  考务.xlsx   template 座位表, laid out as the room (DTB column N): a header
              with 考场, 考室, 首考号, 尾考号, 监考甲, 监考乙 over B..J and a
              desk of 座号, 考号 and 姓名 over three rows of column B;
              exam settings: start number 0001, seats per room
  数据/       考试.xlsx: 考场表 with 每列座数, 列数 and 讲台 for rooms
              01 (30 places, 6 x 5), 02 (42, 7 x 6, front at the back),
              03 (37 in 5 columns of 8, the last one short) and 04 (20 places
              at 6 x 5 desks); 考生表 with 129 examinees in two grades
              (高一 65, 高二 64) and four classes
"""
import os
import sys

from openpyxl.styles import Alignment, Border, Font, Side

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "workspaces"))
from wslib import (ROOM_HEADINGS, base_sheet, data_workbook, exam, host_workbook,  # noqa: E402
                   save, settings_sheet, template_sheet, workspace)

THIN = Side(style="thin")
CENTRE = Alignment(horizontal="center", vertical="center")

ROOMS = [
    # 考场, 场人, 考室, 监考甲, 监考乙, 每列座数, 列数, 讲台
    ("01", 30, "教学楼101", "王老师", "李老师", 6, 5, "前"),
    ("02", 42, "教学楼102", "张老师", "刘老师", 7, 6, "后"),
    ("03", 37, "教学楼103", "陈老师", "杨老师", 8, 5, None),
    ("04", 20, "教学楼104", "赵老师", "黄老师", 6, 5, "前"),
]
SURNAMES = "王李张刘陈杨赵黄周吴徐孙胡朱高林何郭马罗"
GIVEN = "伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平"


def host():
    wb = host_workbook()
    row = ["座位表", 6, 1, 12, 20, "无", "无", True, True] + [True]
    dtb = settings_sheet(wb, [[None] + row], exam(per_room=True))
    dtb.cell(row=1, column=14, value="按座位排列")
    dtb.cell(row=2, column=90, value=False)
    base_sheet(wb, {"A1": "<MBB 模板设计>", "A3": "#", "B3": "[姓名]", "C3": "#"})

    ws = template_sheet(wb, "座位表")
    ws.column_dimensions["A"].width = 3
    ws.column_dimensions["B"].width = 14
    for r, c in ((3, 1), (6, 1), (3, 11), (9, 1), (11, 1), (9, 3)):
        ws.cell(row=r, column=c, value="@" if r < 9 else "#")
    ws["B3"] = "考 场 座 位 表"
    ws["B3"].font = Font(size=18, bold=True)
    ws["B3"].alignment = CENTRE
    ws.merge_cells("B3:J3")
    ws.row_dimensions[3].height = 32
    for r, cells in ((4, ("考场：", "[考场]", "考室：", "[考室]")),
                     (5, ("首考号：", "[首考号]", "尾考号：", "[尾考号]")),
                     (6, ("监考：", "[监考甲]", "", "[监考乙]"))):
        ws.cell(row=r, column=2, value=cells[0])
        ws.cell(row=r, column=3, value=cells[1])
        ws.merge_cells(start_row=r, start_column=3, end_row=r, end_column=4)
        if cells[2]:
            ws.cell(row=r, column=5, value=cells[2])
            ws.merge_cells(start_row=r, start_column=5, end_row=r, end_column=6)
        ws.cell(row=r, column=7, value=cells[3])
        ws.merge_cells(start_row=r, start_column=7, end_row=r, end_column=10)
        ws.row_dimensions[r].height = 20
    for r, field, bold, top, bottom in ((9, "[座号]", True, THIN, None),
                                        (10, "[考号]", False, None, None),
                                        (11, "[姓名]", True, None, THIN)):
        cell = ws.cell(row=r, column=2, value=field)
        cell.font = Font(bold=bold)
        cell.alignment = CENTRE
        cell.number_format = "@"
        cell.border = Border(left=THIN, right=THIN, top=top, bottom=bottom)
        ws.row_dimensions[r].height = 16
    return wb


def examinees():
    rows = []
    for i in range(sum(room[1] for room in ROOMS)):
        name = SURNAMES[i % 20] + GIVEN[(i * 7) % 20] + GIVEN[(i * 3 + 1) % 20]
        rows.append((name, "高一" if i % 2 == 0 else "高二", f"{i % 4 + 1}班"))
    return rows


def main():
    folder = workspace("seatmaps")
    save(host(), os.path.join(folder, "考务.xlsx"))
    headings = ROOM_HEADINGS + ["每列座数", "列数", "讲台"]
    rooms = [room[:5] + (None, None) + room[5:] for room in ROOMS]
    data = data_workbook(rooms, examinees(), ["姓名", "年级", "班级"], room_headings=headings)
    save(data, os.path.join(folder, "数据", "考试.xlsx"))


if __name__ == "__main__":
    main()
