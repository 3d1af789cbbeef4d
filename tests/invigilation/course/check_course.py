#!/usr/bin/python3
"""Reads the course's workbooks back with openpyxl and checks the rota:
every room of every 场次 has its two invigilators, nobody is in two rooms
at once or watches their own subject's paper or a room where a class they
teach sits, 不监考 and 最多场数 hold, duties differ by at most one among
teachers of the same 最多场数, and every 场次's door lists print each
room's invigilators; the duty slips give every teacher a page.

Usage: check_course.py WORKSPACE
"""
import os
import sys

from openpyxl import load_workbook

failures = []


def fail(message):
    failures.append(message)


def table(ws):
    head = [c.value for c in ws[1]]
    return [dict(zip(head, [c.value for c in row])) for row in ws.iter_rows(min_row=2)
            if any(c.value is not None for c in row)]


def main(workspace):
    data = os.path.join(workspace, "数据")
    wb = load_workbook(os.path.join(data, "高一.xlsx"))
    teachers = {t["姓名"]: t for t in table(wb["监考表"])}
    rooms = table(wb["场次考场"])
    classes = {}
    for seat in table(wb["场次安排"]):
        classes.setdefault((str(seat["场次"]), seat["考场"]), set()).add(seat["班级"])
    duties = {}
    busy = set()
    for room in rooms:
        s, name = str(room["场次"]), room["考场"]
        for role in ("监考甲", "监考乙"):
            who = room[role]
            if not who:
                fail(f"场次 {s} 考场 {name}: {role} empty")
                continue
            t = teachers[who]
            duties[who] = duties.get(who, 0) + 1
            if (who, s) in busy:
                fail(f"{who} in two rooms of 场次 {s}")
            busy.add((who, s))
            if t["学科"] == room["科目"]:
                fail(f"{who} watches {room['科目']}")
            taught = set((t["任教班级"] or "").replace("、", " ").split())
            if taught & classes[(s, name)]:
                fail(f"{who} watches a class they teach in 场次 {s} 考场 {name}")
            if t["不监考"] and t["不监考"] == f"第{s}场":
                fail(f"{who} 不监考 {s}")
    for who, t in teachers.items():
        n = duties.get(who, 0)
        if t["最多场数"] is not None and n > t["最多场数"]:
            fail(f"{who}: {n} duties, 最多 {t['最多场数']}")
    free = [duties.get(w, 0) for w, t in teachers.items() if t["最多场数"] is None]
    if max(free) - min(free) > 1:
        fail(f"duties of teachers without 最多场数 range {min(free)}..{max(free)}")
    if len(table(wb["监考安排"])) != 2 * len(rooms):
        fail("监考安排 does not list every duty")
    stats = {t["姓名"]: t for t in table(wb["监考统计"])}
    for who in teachers:
        if stats[who]["场数"] != duties.get(who, 0):
            fail(f"监考统计 says {stats[who]['场数']} for {who}")

    # The door lists: each room's header prints its invigilators.
    for s in (1, 2, 3):
        book = load_workbook(os.path.join(data, f"高一（第{s}场）.xlsx"))
        if "门贴" not in book.sheetnames:
            fail(f"no door lists for 场次 {s}")
            continue
        door = book["门贴"]
        printed = {}
        room = None
        for row in door.iter_rows():
            values = [c.value for c in row]
            if "考场：" in values:
                # The template's field cell is of general format: 01 prints as 1.
                room = str(values[values.index("考场：") + 1]).zfill(2)
            if "监考：" in values and room:
                i = values.index("监考：")
                printed[room] = (values[i + 1], values[i + 2])
        for r in rooms:
            if str(r["场次"]) != str(s):
                continue
            if printed.get(r["考场"]) != (r["监考甲"], r["监考乙"]):
                fail(f"场次 {s} door list of {r['考场']} prints {printed.get(r['考场'])}, "
                     f"the rota has {(r['监考甲'], r['监考乙'])}")

    slips = load_workbook(os.path.join(data, "高一（监考通知）.xlsx"))
    if "监考通知" not in slips.sheetnames:
        fail("no duty slips")
    else:
        names = [c.value for row in slips["监考通知"].iter_rows() for c in row
                 if c.value in teachers]
        if set(names) != set(teachers):
            fail(f"duty slips for {sorted(set(names))}, not for every teacher")

    for f in failures:
        print(f)
    print(f"{len(rooms)} session rooms, {sum(duties.values())} duties, {len(failures)} problems")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
