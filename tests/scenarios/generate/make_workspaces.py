#!/usr/bin/python3
"""Writes the workspaces of the table-generation scenarios.

Run from anywhere: /usr/bin/python3 tests/scenarios/generate/make_workspaces.py
The files are checked in; rerun this only to change them. They are written
by openpyxl (and the photos by Pillow), so the scenarios read files that
kelv did not write.

generate-layout/
  考务.xlsx   templates ACROSS, ACROSSPAGE, DOWN, DOWNPAGE (header 1 row over
              columns B..C, body 2 x 2), NOHEADER, PHOTO, WIDE
  数据/       七人.xlsx (7 records, not in 号 order; by 号, 组 1,1,2,2,2,3,3
              and 段 A,A,A,A,A,B,B),
              一人.xlsx, 空.xlsx (headings only), 照片.xlsx (照片夹 column)
  照片/       1001.jpg, A1/1003.jpg, A1/1004.jpg; 1005.jpg lies beside the
              host workbook, outside the photo folder
generate-checks/
  考务.xlsx   templates that fail each check, OK, BADPHOTO and one named 考生表
  无模板.xlsx a host workbook with an empty catalogue
  数据/       七人.xlsx, 宽.xlsx (examinee table reaching column 167)
  照片/       1001.jpg that is not a picture
generate-pagesetup/
  考务.xlsx   PS with a stored page setup (print quality 高 is refused), PS2
              with none
  数据/       七人.xlsx holding an earlier PS2 output sheet, landscape, with
              footers and fitted to one page
"""
import os
import sys

from openpyxl.styles import Border, Font, Side
from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "workspaces"))
from wslib import (base_sheet, data_workbook, exam, host_workbook, save,  # noqa: E402
                   settings_sheet, template_sheet, workspace)

THIN = Side(style="thin")
BOX = Border(left=THIN, right=THIN, top=THIN, bottom=THIN)


def photo(path, shade):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    Image.new("RGB", (30, 40), (shade, 120, 200 - shade)).save(path, "JPEG", quality=80)


def generate_host_workbook(rows):
    """开始 and DTB (hidden) with catalogue rows D..M (and U..AC when given)."""
    wb = host_workbook()
    dtb = settings_sheet(wb, rows, exam(per_room=True))
    dtb.cell(row=2, column=90, value=False)
    base_sheet(wb, {"A1": "<MBB 模板设计>", "A2": "#", "B2": "[姓名]", "C2": "#"})
    return wb, dtb


def template(wb, name):
    ws = template_sheet(wb, name)
    ws.column_dimensions["A"].width = 3
    return ws


def area(ws, marker, first, last, columns):
    ws.cell(row=first, column=1, value=marker)
    if last != first:
        ws.cell(row=last, column=1, value=marker)
    ws.cell(row=first, column=2 + columns, value=marker)


def layout_template(wb, name, header=True):
    """Header row 3 over B..C ([组] [姓名]); body rows 5..6 over B..C."""
    ws = template(wb, name)
    if header:
        area(ws, "@", 3, 3, 2)
        ws["B3"] = "[组]"
        ws["C3"] = "[姓名]"
        ws["B3"].font = Font(bold=True)
        ws.row_dimensions[3].height = 25
    area(ws, "#", 5, 6, 2)
    ws["B5"] = "[姓名]"
    ws["C5"] = "[号]"
    ws["B6"] = "组别"
    ws["C6"] = "[组]"
    for ref in ("B5", "C5", "B6", "C6"):
        ws[ref].border = BOX
    ws.row_dimensions[5].height = 20
    ws.row_dimensions[6].height = 16
    ws.column_dimensions["B"].width = 10
    ws.column_dimensions["C"].width = 6
    return ws


def data(headings, records, rooms=(("01", 7),)):
    return data_workbook(rooms, records, headings)


SEVEN = [("乙", 1002, 1, "A"), ("甲", 1001, 1, "A"), ("丙", 1003, 2, "A"), ("丁", 1004, 2, "A"),
         ("戊", 1005, 2, "A"), ("己", 1006, 3, "B"), ("庚", 1007, 3, "B")]
SEVEN_HEADINGS = ["姓名", "号", "组", "段"]


def seven(folder):
    save(data(SEVEN_HEADINGS, SEVEN), os.path.join(folder, "数据", "七人.xlsx"))


def layout():
    folder = workspace("generate-layout")
    # D..M: flag, name, rows per page, across, row spacing, column spacing,
    # sort, page change, across first, examinee sheet.
    rows = [
        [True, "ACROSS", 2, 3, 20, 20, "号", "无", True, True],
        [None, "ACROSSPAGE", 2, 3, 20, 20, "号", "组", True, True],
        [None, "DOWN", 3, 2, 20, 20, "无", "无", False, True],
        [None, "DOWNPAGE", 3, 2, 20, 20, "号", "段", False, True],
        [None, "NOHEADER", 2, 1, 8, 0, "无", "无", True, True],
        [None, "PHOTO", 2, 2, 20, 10, "无", "无", True, True],
        [None, "WIDE", 3, 1, 20, 20, "无", "无", True, True],
    ]
    wb, _ = generate_host_workbook(rows)
    for name in ("ACROSS", "ACROSSPAGE", "DOWN", "DOWNPAGE"):
        layout_template(wb, name)
    layout_template(wb, "NOHEADER", header=False)

    ws = template(wb, "PHOTO")
    area(ws, "@", 3, 3, 2)
    ws["B3"] = "{号}"
    ws["C3"] = "[姓名]"
    ws.row_dimensions[3].height = 40
    area(ws, "#", 5, 6, 2)
    ws["B5"] = "[姓名]"
    ws["B6"] = "[照片夹]"
    ws["C5"] = "{号}"
    ws.merge_cells("C5:C6")
    ws.row_dimensions[5].height = 30
    ws.row_dimensions[6].height = 30
    ws.column_dimensions["B"].width = 10
    ws.column_dimensions["C"].width = 9

    ws = template(wb, "WIDE")
    area(ws, "@", 3, 3, 5)
    ws["B3"] = "[姓名]"
    ws["C3"] = "页眉"
    ws["D3"] = "宽于"
    ws["E3"] = "主体"
    ws["F3"] = "[号]"
    area(ws, "#", 5, 5, 1)
    ws["B5"] = "[姓名]"
    ws.column_dimensions["B"].width = 12
    wb.active = 0
    wb.save(os.path.join(folder, "考务.xlsx"))

    seven(folder)
    save(data(["姓名", "号", "组"], [("甲", 1001, 1)], rooms=(("01", 1),)),
         os.path.join(folder, "数据", "一人.xlsx"))
    save(data(["姓名", "号", "组"], [], rooms=(("01", 0),)), os.path.join(folder, "数据", "空.xlsx"))
    save(data(["姓名", "号", "照片夹"],
              [("甲", 1001, None), ("乙", 1002, None), ("丙", 1003, "A1"),
               ("丁", 1004, "A1\\"), ("戊", 1005, "..")],
              rooms=(("01", 5),)),
         os.path.join(folder, "数据", "照片.xlsx"))
    photo(os.path.join(folder, "照片", "1001.jpg"), 40)
    photo(os.path.join(folder, "照片", "A1", "1003.jpg"), 90)
    photo(os.path.join(folder, "照片", "A1", "1004.jpg"), 140)
    photo(os.path.join(folder, "1005.jpg"), 190)


def checks():
    folder = workspace("generate-checks")
    rows = [
        [True, "BADPHOTO", 2, 2, 20, 20, "无", "无", True, True],
        [None, "BODYEND", 2, 2, 20, 20, "无", "无", True, True],
        [None, "HEADEREND", 2, 2, 20, 20, "无", "无", True, True],
        [None, "MISSING", 2, 2, 20, 20, "无", "无", True, True],
        [None, "MISSINGBODY", 2, 2, 20, 20, "无", "无", True, True],
        [None, "NOBODY", 2, 2, 20, 20, "无", "无", True, True],
        [None, "NOFIELDS", 2, 2, 20, 20, "无", "无", True, True],
        [None, "OK", 2, 2, 20, 20, "无", "无", True, True],
        [None, "PHOTOMISSING", 2, 2, 20, 20, "无", "无", True, True],
        [None, "TOOWIDE", 2, 300, 20, 20, "无", "无", True, True],
        [None, "考生表", 2, 2, 20, 20, "无", "无", True, True],
    ]
    wb, _ = generate_host_workbook(rows)

    ws = template(wb, "BADPHOTO")
    area(ws, "#", 5, 5, 2)
    ws["B5"] = "[姓名]"
    ws["C5"] = "{号}"

    ws = template(wb, "BODYEND")
    ws["A5"] = "#"
    ws["B5"] = "[姓名]"
    ws["A6"] = "#"

    ws = template(wb, "HEADEREND")
    ws["A3"] = "@"
    ws["B3"] = "[姓名]"
    area(ws, "#", 5, 5, 1)
    ws["B5"] = "[姓名]"

    # Missing names in both areas: only the header's are reported.
    ws = template(wb, "MISSING")
    area(ws, "@", 3, 3, 2)
    ws["B3"] = "[甲]"
    ws["C3"] = "[乙]"
    area(ws, "#", 5, 5, 1)
    ws["B5"] = "[丙]"

    # Scan order is column by column: b (B6) comes before a (C5).
    ws = template(wb, "MISSINGBODY")
    area(ws, "#", 5, 6, 2)
    ws["B5"] = "[姓名]"
    ws["C5"] = "[a]"
    ws["B6"] = "[b]"

    ws = template(wb, "NOBODY")
    area(ws, "@", 3, 3, 1)
    ws["B3"] = "[姓名]"

    ws = template(wb, "NOFIELDS")
    area(ws, "#", 5, 5, 2)
    ws["B5"] = "姓名"
    ws["C5"] = "号"

    ws = template(wb, "OK")
    area(ws, "#", 5, 5, 2)
    ws["B5"] = "[姓名]"
    ws["C5"] = "[号]"

    ws = template(wb, "PHOTOMISSING")
    area(ws, "#", 5, 5, 2)
    ws["B5"] = "[姓名]"
    ws["C5"] = "{证件照}"

    # 61 body columns: (61 + 1) x 300 blocks across exceed the sheet.
    ws = template(wb, "TOOWIDE")
    area(ws, "#", 5, 5, 61)
    ws["B5"] = "[姓名]"

    ws = template(wb, "考生表")
    area(ws, "#", 5, 5, 1)
    ws["B5"] = "[姓名]"
    wb.active = 0
    wb.save(os.path.join(folder, "考务.xlsx"))

    wb, _ = generate_host_workbook([])
    wb.active = 0
    wb.save(os.path.join(folder, "无模板.xlsx"))

    seven(folder)
    headings = ["姓名"] + [f"列{c}" for c in range(2, 168)]
    save(data(headings, [["甲"] + [c for c in range(2, 168)]]),
         os.path.join(folder, "数据", "宽.xlsx"))
    os.makedirs(os.path.join(folder, "照片"))
    with open(os.path.join(folder, "照片", "1001.jpg"), "w", encoding="utf-8") as f:
        f.write("这不是图片")


def pagesetup():
    folder = workspace("generate-pagesetup")
    rows = [
        [True, "PS", 3, 1, 20, 20, "无", "无", True, True],
        [None, "PS2", 3, 1, 20, 20, "无", "无", True, True],
    ]
    wb, dtb = generate_host_workbook(rows)
    # U..AC of PS: footers, top and bottom margins, portrait, A4, zoom 90,
    # and a print quality the host refuses.
    for k, value in enumerate([None, "第 &P 页", None, 50, 40, 1, 9, 90, "高"]):
        if value is not None:
            dtb.cell(row=2, column=21 + k, value=value)
    for name in ("PS", "PS2"):
        ws = template(wb, name)
        area(ws, "#", 5, 5, 2)
        ws["B5"] = "[姓名]"
        ws["C5"] = "[号]"
    wb.active = 0
    wb.save(os.path.join(folder, "考务.xlsx"))

    wb = data(SEVEN_HEADINGS, SEVEN)
    old = wb.create_sheet("PS2")
    old["B2"] = "旧表"
    old.page_setup.orientation = "landscape"
    old.page_setup.paperSize = 9
    old.page_margins.top = 1.0
    old.page_margins.bottom = 0.5
    old.page_margins.left = 1.5
    old.oddFooter.left.text = "旧页脚"
    old.oddFooter.center.text = "&P/&N"
    old.sheet_properties.pageSetUpPr.fitToPage = True
    old.page_setup.fitToWidth = 1
    old.page_setup.fitToHeight = 1
    save(wb, os.path.join(folder, "数据", "七人.xlsx"))


if __name__ == "__main__":
    layout()
    checks()
    pagesetup()
