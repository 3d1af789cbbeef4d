#!/usr/bin/python3
"""Writes a workspace of data as student-information systems, cameras and
python-xlwt leave it: ID numbers kept as numbers, photos named IMG_0001.JPG
or saved as .jpeg and .png, dates in a .xls with the Chinese date format,
and a host workbook whose templates have field cells in General format.

Run from anywhere: /usr/bin/python3 tests/app/data/real/make_real_data_files.py
The files are checked in; run it again only after changing it. The .xls
needs python3-xlwt (scripts/setup.sh --docs installs it).
"""
import datetime
import os
import shutil
import struct
import zlib

from openpyxl import Workbook

HERE = os.path.dirname(os.path.abspath(__file__))
WS = os.path.join(HERE, "workspace")
DATA = os.path.join(WS, "数据")
PHOTOS = os.path.join(WS, "照片")

ROOM_HEADINGS = ["考场", "场人", "考室", "监考甲", "监考乙", "首考号", "尾考号"]


def png(width=2, height=3):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\x00" + b"\x80" * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def book():
    wb = Workbook()
    wb.remove(wb.active)
    return wb


def rooms_sheet(wb, rooms):
    ws = wb.create_sheet("考场表")
    ws.append(ROOM_HEADINGS)
    for r in rooms:
        ws.append(list(r))
    return ws


def host():
    """Two templates from 考生表: 门贴 with its fields in General format (as
    a new sheet has them), 桌贴 with the same fields formatted as text."""
    wb = Workbook()
    wb.active.title = "开始"
    dtb = wb.create_sheet("DTB")
    for col, text in enumerate(["模板名称", "行数", "列数", "行距", "列距", "排序列", "换页列",
                                "横排", "数据源"], start=5):
        dtb.cell(1, col, text)
    for row, name in ((2, "门贴"), (3, "桌贴")):
        dtb.cell(row, 4, row == 2)
        dtb.cell(row, 5, name)
        for col, v in zip(range(6, 14), [6, 2, 20, 20, "无", "无", True, True]):
            dtb.cell(row, col, v)
    dtb.cell(2, 61, "0001")
    dtb.cell(2, 62, "30")
    dtb.cell(3, 61, True)
    dtb.cell(4, 61, False)
    dtb.sheet_state = "hidden"
    for name, text_format in (("门贴", False), ("桌贴", True)):
        ws = wb.create_sheet(name)
        ws["A2"], ws["B2"], ws["C2"], ws["D2"], ws["E2"] = "#", "[考场]", "[姓名]", "{学号}", "#"
        ws["B3"], ws["C3"] = "[座号]", "[身份证号]"
        ws["A3"] = "#"
        if text_format:
            for cell in ("B2", "B3", "C3"):
                ws[cell].number_format = "@"
    wb.create_sheet("MBB").sheet_state = "veryHidden"
    wb.save(os.path.join(WS, "考务.xlsx"))


def examinees(wb, rows, headings=("姓名", "学校", "身份证号", "学籍号", "学号")):
    ws = wb.create_sheet("考生表")
    ws.append(list(headings))
    for r in rows:
        ws.append(list(r))
    return ws


def main():
    if os.path.isdir(WS):
        shutil.rmtree(WS)
    os.makedirs(DATA)
    host()

    # A camera's names: the data says IMG_0001 .. IMG_0004; the card's
    # files are IMG_0001.JPG, IMG_0002.Jpg, IMG_0003.jpeg and IMG_0004.png.
    write(os.path.join(PHOTOS, "IMG_0001.JPG"), png())
    write(os.path.join(PHOTOS, "IMG_0002.Jpg"), png())
    write(os.path.join(PHOTOS, "IMG_0003.jpeg"), png())
    write(os.path.join(PHOTOS, "IMG_0004.png"), png())
    write(os.path.join(PHOTOS, "S1.jpg"), png())
    write(os.path.join(PHOTOS, "S2.jpg"), png())

    # IDs as text and photos named exactly: nothing to say.
    wb = book()
    rooms_sheet(wb, [("A1", 1, "101"), ("A2", 1, "102")])
    examinees(wb, [("张三", "一中", "410102199001170103", "G4101021990011701", "S1"),
                   ("李四", "一中", "41010219900117010X", "G4101021990011702", "S2")])
    save(wb, "文本号码.xlsx")

    # What an export from a student-information system gives: 18-digit
    # 身份证号 and 17-digit 学籍号 as numbers, a phone number (11 digits,
    # nothing lost) and room names "01", "02" as text.
    wb = book()
    rooms_sheet(wb, [("01", 2, "101"), ("02", 2, "102")])
    examinees(wb, [("张三", "一中", 410102199001170103, 41010219900117011, "IMG_0001", 13900000001),
                   ("李四", "一中", 410102199001170211, 41010219900117012, "IMG_0002", 13900000002),
                   ("王五", "二中", "410102199001170322", 41010219900117013, "IMG_0003", 13900000003),
                   ("赵六", "二中", 410102199001170433, 41010219900117014, "IMG_0004", 13900000004)],
              headings=("姓名", "学校", "身份证号", "学籍号", "学号", "电话"))
    save(wb, "数字号码.xlsx")

    dates_xls()
    dates_1904()


def save(wb, name):
    wb.save(os.path.join(DATA, name))


def dates_xls():
    """A .xls as python-xlwt writes it: a 出生日期 column with the date
    format yyyy"年"m"月"d"日", which xlwt stores under the built-in id 31."""
    try:
        import xlwt
    except ImportError:
        print("python3-xlwt is missing: 日期.xls not written")
        return
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("考生表")
    date_style = xlwt.easyxf(num_format_str='yyyy"年"m"月"d"日"')
    time_style = xlwt.easyxf(num_format_str="h:mm")
    for c, h in enumerate(["姓名", "出生日期", "入场时间", "身份证号"]):
        ws.write(0, c, h)
    people = [("张三", datetime.date(2008, 1, 5), datetime.time(8, 30), 410102200801050011),
              ("李四", datetime.date(2024, 2, 29), datetime.time(14, 0), 410102200802290022),
              ("王五", datetime.date(1999, 12, 31), datetime.time(0, 15), 410102200803010033)]
    for r, (name, born, time, pid) in enumerate(people, start=1):
        ws.write(r, 0, name)
        ws.write(r, 1, born, date_style)
        ws.write(r, 2, time, time_style)
        ws.write(r, 3, pid)
    wb.save(os.path.join(HERE, "日期.xls"))


def dates_1904():
    """An .xlsx in the 1904 date system, as the Mac office suites save it."""
    from openpyxl.utils.datetime import CALENDAR_MAC_1904
    wb = Workbook()
    wb.epoch = CALENDAR_MAC_1904
    ws = wb.active
    ws.title = "考生表"
    ws.append(["姓名", "出生日期", "入场时间"])
    ws.append(["张三", datetime.date(2008, 1, 5), datetime.time(8, 30)])
    ws.append(["李四", datetime.date(2024, 2, 29), datetime.time(14, 0)])
    ws["B2"].number_format = ws["B3"].number_format = 'yyyy"年"m"月"d"日"'
    ws["C2"].number_format = ws["C3"].number_format = "h:mm"
    wb.save(os.path.join(HERE, "1904.xlsx"))


if __name__ == "__main__":
    main()
