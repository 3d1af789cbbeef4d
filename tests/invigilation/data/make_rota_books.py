#!/usr/bin/python3
"""Writes the invigilation tests' data workbooks the way schools' programs
write them (openpyxl): 考场表 and 考生表 after 编排考号, a 监考表 typed by the
exam officer, and for the sessions cases 场次表, 场次考场 and 场次安排 in
the layout of src/sheets/exam_sheets.h. Each workbook is described where it
is made; the tests say what they expect of it.

Run from anywhere: /usr/bin/python3 tests/invigilation/data/make_rota_books.py
The files are checked in; run it again only after changing it.
"""
import datetime
import os

from openpyxl import Workbook

HERE = os.path.dirname(os.path.abspath(__file__))

ROOM_HEADINGS = ["考场", "场人", "考室", "监考甲", "监考乙", "首考号", "尾考号"]
TEACHER_HEADINGS = ["姓名", "学科", "任教班级", "最多场数", "不监考", "必监考", "备注"]
SESSION_ROOM_HEADINGS = ["场次", "科目", "日期", "开始", "结束", "考场", "考室",
                         "人数", "首考号", "尾考号", "监考甲", "监考乙"]
SEATING_HEADINGS = ["考号", "姓名", "班级", "场次", "科目", "日期", "开始", "结束",
                    "考场", "考室", "座号", "场次考场"]


def text_cell(ws, row, col, value):
    cell = ws.cell(row=row, column=col, value=value)
    cell.number_format = "@"
    return cell


def room_sheet(wb, rooms, need=None):
    """考场表: (name, places, location, 监考甲, 监考乙) per room; `need` maps
    a room to its 监考人数 (the column is added when given)."""
    ws = wb.create_sheet("考场表")
    ws.append(ROOM_HEADINGS + (["监考人数"] if need is not None else []))
    for r, (name, places, where, a, b) in enumerate(rooms, start=2):
        text_cell(ws, r, 1, name)
        ws.cell(row=r, column=2, value=places)
        ws.cell(row=r, column=3, value=where)
        if a:
            ws.cell(row=r, column=4, value=a)
        if b:
            ws.cell(row=r, column=5, value=b)
        if need is not None and name in need:
            ws.cell(row=r, column=8, value=need[name])
    return ws


def seated_examinees(wb, seats):
    """考生表 as 编排考号 leaves it: 姓名, 班级 and the assignment columns;
    `seats` is a list of (room, class) per examinee, in exam-number order."""
    ws = wb.create_sheet("考生表")
    ws.append(["姓名", "班级", "考场", "场人", "考室", "监考甲", "监考乙", "考号", "座号"])
    seat_in = {}
    for i, (room, klass) in enumerate(seats, start=1):
        seat_in[room] = seat_in.get(room, 0) + 1
        r = i + 1
        ws.cell(row=r, column=1, value=f"考生{i:03d}")
        ws.cell(row=r, column=2, value=klass)
        text_cell(ws, r, 3, room)
        ws.cell(row=r, column=4, value=30)
        ws.cell(row=r, column=5, value=f"教室{room}")
        text_cell(ws, r, 8, f"2024{i:04d}")
        text_cell(ws, r, 9, f"{seat_in[room]:02d}")
    return ws


def teacher_sheet(wb, teachers):
    """监考表: one row per teacher, (姓名, 学科, 任教班级, 最多场数, 不监考,
    必监考); None leaves a cell empty."""
    ws = wb.create_sheet("监考表")
    ws.append(TEACHER_HEADINGS)
    for row in teachers:
        ws.append(list(row) + [None] * (len(TEACHER_HEADINGS) - len(row)))
    return ws


def book():
    wb = Workbook()
    wb.remove(wb.active)
    return wb


def session_sheets(wb, papers, rooms, classes_in):
    """场次表 from `papers` (场次, 科目, date, start, end, rooms), 场次考场 one
    row per room of a paper, 场次安排 with 10 examinees per session room of
    the classes `classes_in[room]`."""
    tt = wb.create_sheet("场次表")
    tt.append(["场次", "科目", "日期", "开始", "结束", "考场", "备注"])
    sr = wb.create_sheet("场次考场")
    sr.append(SESSION_ROOM_HEADINGS)
    sa = wb.create_sheet("场次安排")
    sa.append(SEATING_HEADINGS)
    r_room, r_seat = 2, 2
    for i, (session, subject, day, start, end, used) in enumerate(papers, start=2):
        tt.append([session, subject, day, start, end, "、".join(used)])
        tt.cell(row=i, column=3).number_format = "yyyy-mm-dd"
        tt.cell(row=i, column=4).number_format = "h:mm"
        tt.cell(row=i, column=5).number_format = "h:mm"
        for room in used:
            values = [session, subject, day, start, end, room, rooms[room], 10,
                      f"{session}{room}01", f"{session}{room}10"]
            for c, v in enumerate(values, start=1):
                cell = sr.cell(row=r_room, column=c, value=v)
                if c in (6, 9, 10):
                    cell.number_format = "@"
            sr.cell(row=r_room, column=3).number_format = "yyyy-mm-dd"
            sr.cell(row=r_room, column=4).number_format = "h:mm"
            sr.cell(row=r_room, column=5).number_format = "h:mm"
            r_room += 1
            for seat in range(1, 11):
                klass = classes_in[room][seat % len(classes_in[room])]
                values = [f"2024{r_seat:04d}", f"考生{r_seat}", klass, session, subject, day,
                          start, end, room, rooms[room], f"{seat:02d}", f"{session}-{room}"]
                for c, v in enumerate(values, start=1):
                    cell = sa.cell(row=r_seat, column=c, value=v)
                    if c in (1, 9, 11):
                        cell.number_format = "@"
                r_seat += 1


def single_sitting():
    """一场.xlsx: six rooms with examinees and a seventh without; room 06
    needs three invigilators (监考人数 3). 周敏 is typed into 02 as 监考甲
    and an outside name, 校外老师, into 03 as 监考乙. Sixteen teachers:
    吴刚 不监考 1 (the only sitting), 郑洁 最多场数 0, every other one
    teaches two classes."""
    wb = book()
    rooms = [("01", 30, "A101", None, None), ("02", 30, "A102", "周敏", None),
             ("03", 30, "A103", None, "校外老师"), ("04", 30, "A104", None, None),
             ("05", 30, "A105", None, None), ("06", 30, "A106", None, None),
             ("07", 30, "A107", None, None)]
    room_sheet(wb, rooms, need={"06": 3})
    classes = {"01": ["1班", "2班"], "02": ["2班", "3班"], "03": ["3班", "4班"],
               "04": ["4班", "5班"], "05": ["5班", "6班"], "06": ["6班", "1班"]}
    seats = [(room, classes[room][i % 2]) for room in classes for i in range(10)]
    seated_examinees(wb, seats)
    teacher_sheet(wb, [
        ("张伟", "语文", "1班、2班"), ("李娜", "数学", "2班,3班"), ("王芳", "外语", "3班 4班"),
        ("刘洋", "物理", "4班，5班"), ("陈静", "化学", "5班、6班"), ("杨帆", "生物", "6班、1班"),
        ("赵磊", "历史", "1班、3班"), ("黄丽", "地理", "2班、4班"), ("周敏", "政治", "3班、5班"),
        ("吴刚", "语文", "4班、6班", None, "1"), ("徐静", "数学", "5班、1班"),
        ("孙涛", "外语", "6班、2班"), ("胡杰", "物理", "1班、4班"), ("朱华", "化学", "2班、5班"),
        ("高明", "生物", "3班、6班"), ("郑洁", "历史", "1班", 0),
    ])
    wb.save(os.path.join(HERE, "一场.xlsx"))


def sessions():
    """场次.xlsx: four 场次 on one day, 1 and 2 in the morning, 3 and 4 in
    the afternoon; 场次 3 is two papers at once (物理 in 01 and 02, 历史 in
    03 and 04); room 04 needs one invigilator (考场表's 监考人数). Twelve
    teachers: 陈静 不监考 数学 (场次 2), 杨帆 不监考 第4场, 赵磊 必监考 2,
    黄丽 必监考 03, 徐静 and 孙涛 最多场数 1."""
    wb = book()
    rooms = {"01": "A101", "02": "A102", "03": "A103", "04": "A104"}
    room_sheet(wb, [(r, 30, w, None, None) for r, w in rooms.items()], need={"04": 1})
    seated_examinees(wb, [(r, f"{i % 4 + 1}班") for r in rooms for i in range(8)])
    day = datetime.datetime(2025, 6, 7)
    all_rooms = list(rooms)
    session_sheets(wb, [
        (1, "语文", day, datetime.time(8, 0), datetime.time(10, 30), all_rooms),
        (2, "数学", day, datetime.time(10, 50), datetime.time(12, 0), all_rooms),
        (3, "物理", day, datetime.time(14, 30), datetime.time(16, 0), ["01", "02"]),
        (3, "历史", day, datetime.time(14, 30), datetime.time(16, 0), ["03", "04"]),
        (4, "外语", day, datetime.time(16, 20), datetime.time(18, 0), all_rooms),
    ], rooms, {"01": ["1班"], "02": ["2班"], "03": ["3班"], "04": ["4班"]})
    teacher_sheet(wb, [
        ("张伟", "语文", "1班"), ("李娜", "数学", "2班"), ("王芳", "英语", "3班"),
        ("刘洋", "物理", "4班"), ("陈静", "数学", "1班", None, "数学"),
        ("杨帆", "历史", "2班", None, "第4场"), ("赵磊", "语文", "3班", None, None, "2"),
        ("黄丽", "外语", "4班", None, None, "03"), ("周敏", "物理", "1班"),
        ("吴刚", "生物", "2班"), ("徐静", "化学", "3班", 1), ("孙涛", "地理", "4班", 1),
    ])
    wb.save(os.path.join(HERE, "场次.xlsx"))
    # The session arrangement's workbook of 场次 1 (marked by its very
    # hidden sheet), and a file of the school's own under 场次 2's name.
    for session, marked in [(1, True), (2, False)]:
        wb = book()
        room_sheet(wb, [(r, 10, w, None, None) for r, w in rooms.items()])
        seated_examinees(wb, [(r, f"{i % 4 + 1}班") for r in rooms for i in range(3)])
        if marked:
            mark = wb.create_sheet("kelv场次")
            mark["A1"] = "场次编排写的工作簿"
            mark.sheet_state = "veryHidden"
        wb.save(os.path.join(HERE, f"场次（第{session}场）.xlsx"))


def physics_short():
    """物理不够.xlsx: 场次 3 is 物理 in all twelve rooms (24 invigilators);
    of the 28 teachers 7 teach 物理, so 21 can take it: three short."""
    wb = book()
    rooms = {f"{i:02d}": f"B{100 + i}" for i in range(1, 13)}
    room_sheet(wb, [(r, 30, w, None, None) for r, w in rooms.items()])
    seated_examinees(wb, [(r, "1班") for r in rooms for _ in range(2)])
    day = datetime.datetime(2025, 6, 8)
    all_rooms = list(rooms)
    session_sheets(wb, [
        (1, "语文", day, datetime.time(8, 0), datetime.time(10, 0), all_rooms),
        (2, "数学", day, datetime.time(10, 30), datetime.time(12, 0), all_rooms),
        (3, "物理", day, datetime.time(14, 30), datetime.time(16, 0), all_rooms),
    ], rooms, {r: ["1班"] for r in rooms})
    subjects = ["物理"] * 7 + ["语文"] * 7 + ["数学"] * 7 + ["外语"] * 7
    teacher_sheet(wb, [(f"老师{i + 1:02d}", s) for i, s in enumerate(subjects)])
    wb.save(os.path.join(HERE, "物理不够.xlsx"))


def class_short():
    """班级不够.xlsx: one sitting; room 01 holds 1班 and 2班, and of the
    five teachers only 王芳 teaches neither."""
    wb = book()
    room_sheet(wb, [("01", 30, "A101", None, None), ("02", 30, "A102", None, None)])
    seated_examinees(wb, [("01", "1班"), ("01", "2班"), ("02", "3班"), ("02", "3班")])
    teacher_sheet(wb, [("张伟", "语文", "1班"), ("李娜", "数学", "2班"), ("王芳", "外语", "3班"),
                       ("刘洋", "物理", "1班、2班"), ("陈静", "化学", "2班")])
    wb.save(os.path.join(HERE, "班级不够.xlsx"))


def max_short():
    """场数不够.xlsx: four 场次 of one room (eight duties), three teachers
    with 最多场数 2: six at most, two short."""
    wb = book()
    room_sheet(wb, [("01", 30, "A101", None, None)])
    seated_examinees(wb, [("01", "1班")])
    day = datetime.datetime(2025, 6, 9)
    session_sheets(wb, [
        (s, subject, day, datetime.time(8 + 2 * s, 0), datetime.time(9 + 2 * s, 30), ["01"])
        for s, subject in [(1, "语文"), (2, "数学"), (3, "外语"), (4, "物理")]
    ], {"01": "A101"}, {"01": ["1班"]})
    teacher_sheet(wb, [("张伟", "化学", "", 2), ("李娜", "化学", "", 2), ("王芳", "化学", "", 2)])
    wb.save(os.path.join(HERE, "场数不够.xlsx"))


def required_clash():
    """必监考冲突.xlsx: one sitting, room 05 needs two, and three teachers
    must take it."""
    wb = book()
    room_sheet(wb, [("05", 30, "A105", None, None), ("06", 30, "A106", None, None)])
    seated_examinees(wb, [("05", "1班"), ("06", "2班")])
    teacher_sheet(wb, [("张伟", "语文", None, None, None, "05"),
                       ("李娜", "数学", None, None, None, "05"),
                       ("王芳", "外语", None, None, None, "5"),
                       ("刘洋", "物理"), ("陈静", "化学")])
    wb.save(os.path.join(HERE, "必监考冲突.xlsx"))


def mistakes():
    """填错了.xlsx: one sitting with the mistakes officers make: 最多场数 三
    (row 3), 必监考 a room there is not (row 4), the same name twice (rows 2
    and 5), 周敏 typed into two rooms (01 and 02), room 02 with three names
    for two places, a teacher without a name (row 6)."""
    wb = book()
    ws = room_sheet(wb, [("01", 30, "A101", "周敏", None), ("02", 30, "A102", "周敏", "李娜")])
    ws.cell(row=3, column=8, value="王芳")
    ws.cell(row=1, column=8, value="监考丙")
    seated_examinees(wb, [("01", "1班"), ("02", "2班")])
    teacher_sheet(wb, [("张伟", "语文"), ("李娜", "数学", None, "三"),
                       ("王芳", "外语", None, None, None, "09"), ("张伟", "物理"),
                       (None, "化学", "1班"), ("周敏", "政治")])
    wb.save(os.path.join(HERE, "填错了.xlsx"))


if __name__ == "__main__":
    single_sitting()
    sessions()
    physics_short()
    class_short()
    max_short()
    required_clash()
    mistakes()
