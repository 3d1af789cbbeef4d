#!/usr/bin/python3
"""Writes the workspace of the invigilation course (course.cmake): a host
workbook with a door list (门贴) whose header prints the room's
invigilators and a duty slip (监考通知) that changes page on 姓名, and
数据/高一.xlsx with 考场表 (four rooms of ten), 考生表 (forty examinees of
four classes, 选考科目 物理 or 历史, twenty each) and 监考表 (fourteen teachers).

Run from anywhere: /usr/bin/python3 tests/invigilation/course/make_workspace.py
The files are checked in; run it again only after changing it.
"""
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scenarios", "workspaces"))
from wslib import (base_sheet, data_workbook, exam, host_workbook, save,  # noqa: E402
                   settings_sheet, template_sheet)


def area(ws, marker, first, last, columns):
    ws.cell(row=first, column=1, value=marker)
    if last != first:
        ws.cell(row=last, column=1, value=marker)
    ws.cell(row=first, column=2 + columns, value=marker)


def door_list(wb):
    ws = template_sheet(wb, "门贴")
    area(ws, "@", 3, 5, 4)
    ws["B3"] = "考场门贴"
    ws["B4"], ws["C4"], ws["D4"], ws["E4"] = "考场：", "[考场]", "考室：", "[考室]"
    ws["B5"], ws["C5"], ws["D5"] = "监考：", "[监考甲]", "[监考乙]"
    area(ws, "#", 7, 7, 4)
    ws["B7"], ws["C7"], ws["D7"], ws["E7"] = "[考号]", "[姓名]", "[班级]", "[座号]"


def duty_slip(wb):
    ws = template_sheet(wb, "监考通知")
    area(ws, "@", 3, 4, 4)
    ws["B3"], ws["C3"] = "监考通知：", "[姓名]"
    ws["B4"], ws["C4"], ws["D4"], ws["E4"] = "场数", "[场数]", "半天数", "[半天数]"
    area(ws, "#", 6, 6, 4)
    ws["B6"], ws["C6"], ws["D6"], ws["E6"] = "[场次]", "[科目]", "[考场]", "[角色]"


def main():
    folder = os.path.join(HERE, "workspace")
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    wb = host_workbook()
    # D..M: flag, name, rows per page, across, spacing, sort, page change,
    # across first, examinee sheet as the source.
    settings_sheet(wb, [[True, "门贴", 30, 1, 0, 0, "考号", "考场", True, True],
                        [None, "监考通知", 20, 1, 0, 0, "无", "姓名", True, True]],
                   exam())
    base_sheet(wb, {"A1": "<MBB 模板设计>", "A2": "#", "B2": "[姓名]", "C2": "#"})
    door_list(wb)
    duty_slip(wb)
    save(wb, os.path.join(folder, "考务.xlsx"))

    rooms = [("01", 10, "A101"), ("02", 10, "A102"), ("03", 10, "A103"), ("04", 10, "A104")]
    examinees = [(f"学生{i:02d}", f"{(i - 1) // 10 + 1}班", "物理" if i % 2 else "历史")
                 for i in range(1, 41)]
    data = data_workbook(rooms, examinees, ["姓名", "班级", "选考科目"])
    ws = data.create_sheet("监考表")
    ws.append(["姓名", "学科", "任教班级", "最多场数", "不监考", "必监考"])
    for row in [("张伟", "语文", "1班"), ("李娜", "数学", "2班"), ("王芳", "外语", "3班"),
                ("刘洋", "物理", "4班"), ("陈静", "历史", "1班、2班"), ("杨帆", "语文", "3班"),
                ("赵磊", "数学", "4班"), ("黄丽", "物理", "1班"), ("周敏", "历史", "2班"),
                ("吴刚", "化学", "3班", 1), ("徐静", "生物", "4班", None, "第2场"),
                ("孙涛", "政治", "1班"), ("胡杰", "地理", "2班"), ("朱华", "外语", "3班、4班")]:
        ws.append(list(row))
    save(data, os.path.join(folder, "数据", "高一.xlsx"))


if __name__ == "__main__":
    main()
