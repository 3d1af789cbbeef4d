#!/usr/bin/python3
"""Writes the shared scenario workspaces "basic" and "basic-no-help".

Run from anywhere: /usr/bin/python3 tests/scenarios/workspaces/make_workspaces.py
The files are checked in; rerun this only to change them. They are written
by openpyxl on purpose, so the scenarios read files that kelv did not write.

basic/
  考务.xlsx      开始; DTB (hidden): heading row, one catalogue row for the
                 template 门贴, exam settings BI2:BJ4 (BI2:BJ2 text "@");
                 MBB (very hidden) base sheet; 门贴 template sheet
  数据/初一.xlsx  考场表 (2 rooms) and 考生表 (6 examinees)
  帮助.doc       a small text standing in for the help document
basic-no-help/   the same without 帮助.doc
"""
import os

from wslib import (CATALOGUE_HEADINGS, PAGE_SETUP_HEADINGS, base_sheet, data_workbook,
                   exam, host_workbook, save, settings_sheet, touch, workspace)


def door_template(ws):
    """A door-list template: title row, a two-row body area marked "#"."""
    ws["A1"] = "考场门贴"
    ws["A2"] = "#"
    ws["B2"] = "考场"
    ws["C2"] = "[考场]"
    ws["D2"] = "#"
    ws["A3"] = "#"
    ws["B3"] = "考室"
    ws["C3"] = "[考室]"
    ws.column_dimensions["B"].width = 10
    ws.column_dimensions["C"].width = 16


def basic_host_workbook(path):
    wb = host_workbook()
    settings_sheet(wb, [[True, "门贴", 6, 2, 20, 20, "无", "无", True, True]], exam(),
                   headings={**CATALOGUE_HEADINGS, **PAGE_SETUP_HEADINGS})
    base_sheet(wb, {"A1": "新模板", "A2": "#", "D2": "#"})
    door_template(wb.create_sheet("门贴"))
    wb.active = 0
    save(wb, path)


def basic_data_workbook(path):
    rooms = [("01", 3, "教室一", "王老师", "李老师"), ("02", 3, "教室二", "张老师", "赵老师")]
    examinees = [(f"学生{i + 1}", "一中" if i < 4 else "二中", "初一", f"{i % 2 + 1}班")
                 for i in range(6)]
    wb = data_workbook(rooms, examinees, ["姓名", "学校", "年级", "班级"])
    for cell in wb["考场表"]["A"]:
        cell.number_format = "@"
    save(wb, path)


def basic(name, with_help):
    folder = workspace(name)
    basic_host_workbook(os.path.join(folder, "考务.xlsx"))
    basic_data_workbook(os.path.join(folder, "数据", "初一.xlsx"))
    if with_help:
        touch(os.path.join(folder, "帮助.doc"), "考务编排帮助\n")


if __name__ == "__main__":
    basic("basic", with_help=True)
    basic("basic-no-help", with_help=False)
