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
import sys

from openpyxl.styles import Font

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "workspaces"))
from wslib import (base_sheet, data_workbook, host_workbook, save,  # noqa: E402
                   settings_sheet, template_sheet, touch, workspace)

BASE = {"A1": "新模板", "A2": "#", "B2": "[姓名]", "C2": "#"}


def catalogue():
    folder = workspace("templates-catalogue")
    wb = host_workbook()
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
    base_sheet(wb, BASE)

    door = template_sheet(wb, "门贴")
    door["A2"] = "#"
    door["B2"] = "考场"
    door["C2"] = "[考场]"
    door["D2"] = "#"

    sign = template_sheet(wb, "SIGN")
    sign["A2"] = "@"
    sign["B2"] = "【签到表】"

    seat = template_sheet(wb, "座签")
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
    wb = data_workbook([("01", 2)], [("学生1", "一中"), ("学生2", "二中")], ["姓名", "学校"],
                       room_headings=["考场", "场人"])
    save(wb, os.path.join(data, "初一.xlsx"))
    for name in ("b.xlsx", "A.xlsx", ".hidden.xlsx", "~$初一.xlsx",
                 os.path.join("子目录", "x.xlsx")):
        touch(os.path.join(data, name))


def odd():
    folder = workspace("templates-odd")
    wb = host_workbook(start_text=None)
    settings_sheet(wb, [[True, "缺表", 6, 2, 20, 20, "无", "无", True, True]])
    wb.save(os.path.join(folder, "考务.xlsx"))


def empty():
    folder = workspace("templates-empty")
    wb = host_workbook(start_text=None)
    settings_sheet(wb, [], {(2, 61): "1", (2, 62): "", (3, 61): False, (4, 61): True})
    base_sheet(wb, BASE)
    wb.save(os.path.join(folder, "考务.xlsx"))
    touch(os.path.join(folder, "数据", ".keep"))
    touch(os.path.join(folder, "数据", "~$锁定.xlsx"))


if __name__ == "__main__":
    catalogue()
    odd()
    empty()
