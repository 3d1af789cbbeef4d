#!/usr/bin/python3
"""The peer of `assign_bench run`: the same arrangement written as a school's
own Python program would write it with openpyxl, for the figure kelv is held
against. It opens the data workbook assign_bench made, puts the examinees in
random order, gives each room its places (exam numbers from 2024000001,
seats per room), writes each room's first and last exam number, adds the
school, grade and class counts, sorts by exam number and saves beside the
input, as assign_bench does.

    assign_openpyxl.py DIR      (DIR as for assign_bench make DIR)

Prints open, assign and save times in assign_bench's words, so that
compare.py reads both alike.
"""
import os
import random
import sys
import time

import openpyxl
from openpyxl.styles import Font

ROOM_HEADS = ["考场", "场人", "考室", "监考甲", "监考乙"]
ASSIGNED = ["考场", "场人", "考室", "监考甲", "监考乙", "考号", "座号"]
COUNTS = [("学校", "校人"), ("年级", "级人"), ("班级", "班人")]
START = "2024000001"
BLUE = Font(color="FF0000FF")


def exam_number(j):
    width = min(8, len(START))
    prefix = START[:-width] if len(START) > width else ""
    return prefix + ("0" * width + str(int(START[-width:]) + j))[-width:]


def main(folder):
    start = time.perf_counter()
    book = openpyxl.load_workbook(os.path.join(folder, "数据", "考试.xlsx"))
    rooms = book["考场表"]
    examinees = book["考生表"]
    opened = time.perf_counter()

    rows = [list(r) for r in examinees.iter_rows(min_row=1, values_only=True)]
    heads = list(rows[0])
    body = rows[1:]
    cols = {}
    for h in ASSIGNED:
        if h in heads:
            cols[h] = heads.index(h)
        else:
            heads.append(h)
            cols[h] = len(heads) - 1
    width = len(heads)
    for r in body:
        r.extend([None] * (width - len(r)))
        for h in ASSIGNED:
            r[cols[h]] = None

    # Random order: a key per row, a stable sort by it.
    n = len(body) + 1
    keys = [int(random.random() * n + 1) for _ in body]
    body = [r for _, r in sorted(zip(keys, body), key=lambda kr: kr[0])]

    room_rows = [list(r) for r in rooms.iter_rows(min_row=2, max_col=5, values_only=True)]
    j = 0
    i = 0
    firsts = []
    for name, places, location, a, b in room_rows:
        places = int(places or 0)
        seat_width = len(str(places))
        first = j
        for seat in range(1, places + 1):
            if i >= len(body):
                break
            r = body[i]
            r[cols["考号"]] = exam_number(j)
            r[cols["座号"]] = ("000" + str(seat))[-seat_width:]
            r[cols["考场"]] = name
            r[cols["场人"]] = places
            r[cols["考室"]] = location
            r[cols["监考甲"]] = a
            r[cols["监考乙"]] = b
            i += 1
            j += 1
        firsts.append((exam_number(first), exam_number(j - 1)) if j > first else (None, None))

    for group, count in COUNTS:
        if group not in heads:
            continue
        g = heads.index(group)
        if count in heads:
            c = heads.index(count)
        else:
            heads.append(count)
            for r in body:
                r.append(None)
            c = len(heads) - 1
        body.sort(key=lambda r: (r[g] is None, str(r[g] or "")))
        tally = {}
        for r in body:
            tally[r[g]] = tally.get(r[g], 0) + 1
        for r in body:
            r[c] = tally[r[g]]
    e = heads.index("考号")
    body.sort(key=lambda r: (r[e] is None, r[e] or ""))

    for c, h in enumerate(heads, start=1):
        examinees.cell(row=1, column=c, value=h)
    blue = {heads.index(h) for h in ASSIGNED} | {heads.index(c) for _, c in COUNTS if c in heads}
    text = {cols["考号"], cols["座号"], cols["考场"]}
    for k, r in enumerate(body, start=2):
        for c, v in enumerate(r):
            cell = examinees.cell(row=k, column=c + 1, value=v)
            if c in blue:
                cell.font = BLUE
            if c in text:
                cell.number_format = "@"
    rooms.cell(row=1, column=6, value="首考号")
    rooms.cell(row=1, column=7, value="尾考号")
    for k, (f, l) in enumerate(firsts, start=2):
        rooms.cell(row=k, column=6, value=f)
        rooms.cell(row=k, column=7, value=l)
    assigned = time.perf_counter()

    book.save(os.path.join(folder, "数据", "考试-openpyxl.xlsx"))
    saved = time.perf_counter()
    print("examinees %d, rooms %d (openpyxl %s)" % (len(body), len(room_rows), openpyxl.__version__))
    print("open   %.3f s\nassign %.3f s\nsave   %.3f s\ntotal  %.3f s" %
          (opened - start, assigned - opened, saved - assigned, saved - start))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
