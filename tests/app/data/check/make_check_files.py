#!/usr/bin/python3
"""Writes the check's test workspace: data workbooks as other programs and
people make them (a title above the headings, totals at the bottom, blank
rows, merged headings, numbers typed as text, invisible characters), a host
workbook with two templates, and photos good and bad.

Run from anywhere: /usr/bin/python3 tests/app/data/check/make_check_files.py
The files are checked in; run it again only after changing it.
"""
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
EXAMINEE_HEADINGS = ["姓名", "学校", "班级", "身份证号", "学号"]


def png(width=2, height=3):
    """A small, sound grey PNG."""
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\x00" + b"\x80" * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def bmp():
    """A 1 x 1 BMP picture."""
    pixels = b"\xff\xff\xff\x00"
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, 1, 1, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def examinee(i):
    return [f"学生{i}", "一中", f"{i % 2 + 1}班", f"11010120080101{i:04d}", f"S{i:03d}"]


def rooms_sheet(wb, rooms, title="考场表"):
    ws = wb.create_sheet(title)
    ws.append(ROOM_HEADINGS)
    for r in rooms:
        ws.append(list(r))
    return ws


def examinees_sheet(wb, count, headings=None, title="考生表"):
    ws = wb.create_sheet(title)
    ws.append(headings or EXAMINEE_HEADINGS)
    for i in range(1, count + 1):
        ws.append(examinee(i))
    return ws


def book():
    wb = Workbook()
    wb.remove(wb.active)
    return wb


def save(wb, name):
    wb.save(os.path.join(DATA, name))


def host():
    wb = Workbook()
    wb.active.title = "开始"
    wb.active["A1"] = "考务编排"
    dtb = wb.create_sheet("DTB")
    for col, text in enumerate(["模板名称", "行数", "列数", "行距", "列距", "排序列", "换页列",
                                "横排", "数据源"], start=5):
        dtb.cell(1, col, text)
    # 准考证 (selected) and 门贴, both from 考生表.
    for row, name in ((2, "准考证"), (3, "门贴")):
        dtb.cell(row, 4, row == 2)
        dtb.cell(row, 5, name)
        for col, v in zip(range(6, 14), [6, 2, 20, 20, "无", "无", True, True]):
            dtb.cell(row, col, v)
    dtb.cell(2, 61, "2024010001")
    dtb.cell(2, 62, "30")
    dtb.cell(3, 61, True)
    dtb.cell(4, 61, False)
    dtb.cell(3, 62, False)
    dtb.cell(4, 62, True)
    dtb.sheet_state = "hidden"
    card = wb.create_sheet("准考证")
    card["A2"], card["B2"], card["C2"], card["D2"] = "#", "[姓名]", "{学号}", "#"
    card["B3"] = "[身份证号]"
    card["A3"] = "#"
    door = wb.create_sheet("门贴")
    door["A2"], door["B2"], door["C2"], door["D2"] = "#", "[考场]", "[姓名]", "#"
    # Field cells as text, so "01" and the ID numbers print as they are.
    for cell in (card["B2"], card["B3"], door["B2"], door["C2"]):
        cell.number_format = "@"
    mbb = wb.create_sheet("MBB")
    mbb.sheet_state = "veryHidden"
    wb.save(os.path.join(WS, "考务.xlsx"))


def main():
    if os.path.isdir(WS):
        shutil.rmtree(WS)
    os.makedirs(DATA)
    host()

    # Photos S001..S006 for the clean book; P1..P5 for the photo book.
    for i in range(1, 7):
        write(os.path.join(PHOTOS, f"S{i:03d}.jpg"), png())
    write(os.path.join(PHOTOS, "P1.jpg"), png())
    write(os.path.join(PHOTOS, "P2.jpg"), b"")
    write(os.path.join(PHOTOS, "P3.jpg"), bmp())
    write(os.path.join(PHOTOS, "P4.jpg"), b"\xff\xd8\xff\xe0" + b"\x00" * 12)  # cut short
    write(os.path.join(PHOTOS, "二班", "P6.jpg"), b"")  # in a sub-folder, 0 bytes

    # Clean: two rooms of three, six examinees.
    wb = book()
    rooms_sheet(wb, [("01", 3, "101", "张老师", "李老师"), ("02", 3, "102", "王老师", "赵老师")])
    examinees_sheet(wb, 6)
    save(wb, "干净.xlsx")

    # A title merged over the headings, as exported reports have.
    wb = book()
    rooms_sheet(wb, [("01", 3), ("02", 3)])
    ws = wb.create_sheet("考生表")
    ws.append(["2024 年秋季期末考试考生名单"])
    ws.merge_cells("A1:E1")
    ws.append(EXAMINEE_HEADINGS)
    for i in range(1, 7):
        ws.append(examinee(i))
    save(wb, "标题行.xlsx")

    # A blank row inside the examinee table, three examinees below it.
    wb = book()
    rooms_sheet(wb, [("01", 3), ("02", 3)])
    ws = examinees_sheet(wb, 3)
    ws.append([])
    for i in range(4, 7):
        ws.append(examinee(i))
    save(wb, "空行.xlsx")

    # Totals at the bottom of both tables.
    wb = book()
    rooms_sheet(wb, [("01", 3), ("02", 3), ("合计", 6)])
    ws = examinees_sheet(wb, 6)
    ws.append(["合计：6 人"])
    save(wb, "合计.xlsx")

    # Invisible characters: a sheet name with a trailing space, headings
    # with a non-breaking space, a tab, a carriage return and full-width
    # letters; the room sheet hidden.
    wb = book()
    rooms = rooms_sheet(wb, [("01", 3), ("02", 3)])
    rooms.sheet_state = "hidden"
    examinees_sheet(wb, 6, ["姓名\u00a0", "学校\t", "班级\r\n", "身份证号", "学号"], title="考生表 ")
    wb.create_sheet("说明")["A1"] = "看得见的工作表"
    save(wb, "看不见的字符.xlsx")

    # Places typed every way; a room twice; more examinees than places.
    wb = book()
    rooms_sheet(wb, [("01", "30人"), ("02", "３０"), ("03", "三十"), ("04", "许多"),
                     ("05", -3), ("06", 2.5), ("07", None), ("01", 2)])
    examinees_sheet(wb, 200)
    save(wb, "场人.xlsx")

    # A heading merged over two columns: the second column has none.
    wb = book()
    rooms_sheet(wb, [("01", 3), ("02", 3)])
    ws = examinees_sheet(wb, 0, EXAMINEE_HEADINGS + ["联系方式"])
    ws.merge_cells("F1:G1")
    for i in range(1, 7):
        ws.append(examinee(i) + [f"1390000000{i}", f"幸福路 {i} 号"])
    save(wb, "合并标题.xlsx")

    # The same examinee twice.
    wb = book()
    rooms_sheet(wb, [("01", 3), ("02", 3)])
    ws = examinees_sheet(wb, 5)
    ws.append(examinee(2))
    save(wb, "重复考生.xlsx")

    # Photos: one good, one empty, one BMP named .jpg, one cut short, one
    # missing, one empty in a sub-folder.
    wb = book()
    rooms_sheet(wb, [("01", 3), ("02", 3)])
    ws = examinees_sheet(wb, 0, EXAMINEE_HEADINGS + ["照片夹"])
    for i in range(1, 6):
        ws.append(examinee(i)[:4] + [f"P{i}"])
    ws.append(examinee(6)[:4] + ["P6", "二班"])
    save(wb, "照片.xlsx")

    # A second run on rows a first run with more places than examinees
    # wrote below the table: exam numbers and seats, no examinee.
    wb = book()
    rooms_sheet(wb, [("01", 3, "101"), ("02", 3, "102")])
    ws = examinees_sheet(wb, 0, EXAMINEE_HEADINGS + ["考场", "场人", "考室", "监考甲", "监考乙",
                                                     "考号", "座号"])
    for i in range(1, 7):
        person = examinee(i) if i <= 4 else [None] * 5
        room = "01" if i <= 3 else "02"
        ws.append(person + [room, 3, "10" + room[1], None, None, f"000{i}", f"{(i - 1) % 3 + 1}"])
    save(wb, "上次多出的座位.xlsx")

    # Room columns in another order: places in column C.
    wb = book()
    ws = wb.create_sheet("考场表")
    ws.append(["考场", "考室", "人数", "监考甲", "监考乙"])
    ws.append(["01", "101", 3])
    ws.append(["02", "102", 3])
    examinees_sheet(wb, 6)
    save(wb, "考场列顺序.xlsx")


if __name__ == "__main__":
    main()
