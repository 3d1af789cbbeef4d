#!/usr/bin/python3
"""Writes the .xlsx files of the template and start-up workspaces.

Run from anywhere: /usr/bin/python3 tests/scenarios/templates/make_workspaces.py
The files are checked in; rerun this only to change them. They are written
by openpyxl on purpose, so the scenarios read files that kelv did not write.

templates-catalogue/
  考务.xlsx   开始; DTB (hidden): headings E1:M1 only, old entries in A2:A8,
              three templates 门贴, SIGN (flagged), 座签 with page setup kept
              in U..AC, BI2 "0001" (text), BJ2 30, BI3 and BI4 both True,
              BJ3 and BJ4 both False; MBB (very hidden); one sheet per
              template, 座签 with full-width markers and blanks to tidy
  数据/       b.xlsx, A.xlsx, 初一.xlsx, .hidden.xlsx, ~$初一.xlsx, 子目录/x.xlsx
templates-odd/
  考务.xlsx   开始; DTB with empty exam settings and one template 缺表 whose
              sheet is missing; no MBB
  (no 数据 folder)
templates-empty/
  考务.xlsx   开始; DTB with headings only; MBB
  数据/       only a hidden file and a lock file
"""
import os
import shutil

from openpyxl import Workbook
from openpyxl.styles import Font

HERE = os.path.dirname(os.path.abspath(__file__))
WORKSPACES = os.path.join(HERE, "..", "workspaces")

HEADINGS = ["模板名称", "行数", "列数", "行距", "列距", "排序列", "换页列", "横排", "数据源"]


def workspace(name):
    folder = os.path.join(WORKSPACES, name)
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    return folder


def touch(path, text="x"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def settings_sheet(wb, rows, exam=None):
    """DTB, hidden: headings E1:M1, catalogue rows from row 2, exam settings."""
    dtb = wb.create_sheet("DTB")
    dtb.sheet_state = "hidden"
    dtb["A1"] = "数据表"
    for k, heading in enumerate(HEADINGS):
        dtb.cell(row=1, column=5 + k, value=heading)
    for r, row in enumerate(rows, start=2):
        for k, value in enumerate(row):
            if value is not None:
                dtb.cell(row=r, column=4 + k, value=value)
    if exam:
        for (r, c), value in exam.items():
            cell = dtb.cell(row=r, column=c, value=value)
            if isinstance(value, str):
                cell.number_format = "@"
    return dtb


def base_sheet(wb):
    mbb = wb.create_sheet("MBB")
    mbb.sheet_state = "veryHidden"
    mbb["A1"] = "新模板"
    mbb["A2"] = "#"
    mbb["B2"] = "[姓名]"
    mbb["C2"] = "#"
    return mbb


def catalogue():
    folder = workspace("templates-catalogue")
    wb = Workbook()
    wb.active.title = "开始"
    wb.active["A1"] = "考务编排"
    # D..M of each row, then U (left footer) where a template has one.
    rows = [
        [None, "门贴", 6, 2, 20, 20, "无", "无", True, True],
        [True, "SIGN", 4, 1, 10, 0, "姓名", "考场", False, True],
        [None, "座签", 8, 3, 5, 5, "考号", "无", True, False],
    ]
    dtb = settings_sheet(wb, rows, {(2, 61): "0001", (2, 62): 30, (3, 61): True,
                                    (4, 61): True, (3, 62): False, (4, 62): False})
    dtb.cell(row=3, column=21, value="SIGN 页脚")
    dtb.cell(row=4, column=21, value="座签 页脚")
    dtb.cell(row=4, column=26, value=2)
    for r in range(2, 9):
        dtb.cell(row=r, column=1, value=f"旧表{r - 1}.xlsx")
    base_sheet(wb)

    door = wb.create_sheet("门贴")
    door["A1"] = "<门贴 模板设计>"
    door["A2"] = "#"
    door["B2"] = "考场"
    door["C2"] = "[考场]"
    door["D2"] = "#"

    sign = wb.create_sheet("SIGN")
    sign["A1"] = "<SIGN 模板设计>"
    sign["A2"] = "@"
    sign["B2"] = "【签到表】"

    seat = wb.create_sheet("座签")
    seat["A1"] = "<座签 模板设计>"
    seat["A2"] = " ＠ "
    seat["B2"] = "考号：［考号］"
    seat["C2"] = "［姓 名］\n　｛学校｝"
    seat["B3"] = "备 注　说明"
    seat["A4"] = "＃"
    seat["B4"] = "@@"
    seat["C4"] = "#1"
    seat["A5"] = "#"
    for ref in ("B4", "C4"):
        seat[ref].font = Font(name="宋体", size=9)
    wb.active = 0
    wb.save(os.path.join(folder, "考务.xlsx"))

    data = os.path.join(folder, "数据")
    wb = Workbook()
    rooms = wb.active
    rooms.title = "考场表"
    rooms.append(["考场", "场人"])
    rooms.append(["01", 2])
    examinees = wb.create_sheet("考生表")
    examinees.append(["姓名", "学校"])
    examinees.append(["学生1", "一中"])
    examinees.append(["学生2", "二中"])
    os.makedirs(data)
    wb.save(os.path.join(data, "初一.xlsx"))
    for name in ("b.xlsx", "A.xlsx", ".hidden.xlsx", "~$初一.xlsx",
                 os.path.join("子目录", "x.xlsx")):
        touch(os.path.join(data, name))


def odd():
    folder = workspace("templates-odd")
    wb = Workbook()
    wb.active.title = "开始"
    settings_sheet(wb, [[True, "缺表", 6, 2, 20, 20, "无", "无", True, True]])
    wb.save(os.path.join(folder, "考务.xlsx"))


def empty():
    folder = workspace("templates-empty")
    wb = Workbook()
    wb.active.title = "开始"
    settings_sheet(wb, [], {(2, 61): "1", (2, 62): "", (3, 61): False, (4, 61): True})
    base_sheet(wb)
    wb.save(os.path.join(folder, "考务.xlsx"))
    touch(os.path.join(folder, "数据", ".keep"))
    touch(os.path.join(folder, "数据", "~$锁定.xlsx"))


if __name__ == "__main__":
    catalogue()
    odd()
    empty()
