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
import shutil

from openpyxl import Workbook

HERE = os.path.dirname(os.path.abspath(__file__))

CATALOGUE_HEADINGS = {
    5: "模板名称", 6: "行数", 7: "列数", 8: "行距", 9: "列距", 10: "排序列", 11: "换页列",
    12: "横排", 13: "数据源",
    21: "左页脚", 22: "中页脚", 23: "右页脚", 24: "上边距", 25: "下边距", 26: "方向",
    27: "纸张", 28: "缩放", 29: "打印质量",
}


def template_sheet(ws):
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


def host_workbook(path):
    wb = Workbook()
    start = wb.active
    start.title = "开始"
    start["A1"] = "考务编排"

    dtb = wb.create_sheet("DTB")
    dtb.sheet_state = "hidden"
    dtb["A1"] = "数据表"
    for column, heading in CATALOGUE_HEADINGS.items():
        dtb.cell(row=1, column=column, value=heading)
    row = [True, "门贴", 6, 2, 20, 20, "无", "无", True, True]
    for k, value in enumerate(row):
        dtb.cell(row=2, column=4 + k, value=value)
    for column, value in ((61, "0001"), (62, "30")):
        cell = dtb.cell(row=2, column=column, value=value)
        cell.number_format = "@"
    dtb.cell(row=3, column=61, value=True)
    dtb.cell(row=4, column=61, value=False)
    dtb.cell(row=3, column=62, value=True)
    dtb.cell(row=4, column=62, value=False)

    mbb = wb.create_sheet("MBB")
    mbb.sheet_state = "veryHidden"
    mbb["A1"] = "新模板"
    mbb["A2"] = "#"
    mbb["D2"] = "#"

    template_sheet(wb.create_sheet("门贴"))
    wb.active = 0
    wb.save(path)


def data_workbook(path):
    wb = Workbook()
    rooms = wb.active
    rooms.title = "考场表"
    rooms.append(["考场", "场人", "考室", "监考甲", "监考乙", "首考号", "尾考号"])
    rooms.append(["01", 3, "教室一", "王老师", "李老师"])
    rooms.append(["02", 3, "教室二", "张老师", "赵老师"])
    for cell in rooms["A"]:
        cell.number_format = "@"

    examinees = wb.create_sheet("考生表")
    examinees.append(["姓名", "学校", "年级", "班级"])
    for i in range(6):
        examinees.append([f"学生{i + 1}", "一中" if i < 4 else "二中", "初一", f"{i % 2 + 1}班"])
    wb.save(path)


def basic(folder, with_help):
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(os.path.join(folder, "数据"))
    host_workbook(os.path.join(folder, "考务.xlsx"))
    data_workbook(os.path.join(folder, "数据", "初一.xlsx"))
    if with_help:
        with open(os.path.join(folder, "帮助.doc"), "w", encoding="utf-8") as f:
            f.write("考务编排帮助\n")


if __name__ == "__main__":
    basic(os.path.join(HERE, "basic"), with_help=True)
    basic(os.path.join(HERE, "basic-no-help"), with_help=False)
