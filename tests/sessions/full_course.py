#!/usr/bin/python3
"""The whole course of a 3+1+2 exam, as a school runs it, read back with
openpyxl.

A workspace written by openpyxl (230 examinees of a grade, their 选考科目 in
the spellings schools use, nine rooms of 30, a 场次表 of eight 场次, the
templates 门贴, 签到表 and 准考证) goes through:

  kelv run       编排考号: random order from seed 42, classes kept apart,
                 elective combinations kept together (DTB BI6)
  kelv sessions  场次编排
  kelv run       door lists and sign-in sheets from the workbook of 场次 3
                 (物理 and 历史 at once)
  kelv run       admission cards with every paper's room and seat

and the files are checked: every examinee seated exactly once per paper
they sit, one paper per room per 场次, no room over its places, nobody in
two rooms at one time, the per-session workbooks agreeing with 场次安排, the
door list naming every room and examinee of its 场次.

  /usr/bin/python3 tests/sessions/full_course.py --kelv build/bin/kelv [--keep DIR]
"""
import argparse
import collections
import datetime
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile

from openpyxl import load_workbook

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scenarios", "workspaces"))
from wslib import (CATALOGUE_HEADINGS, PAGE_SETUP_HEADINGS, base_sheet,  # noqa: E402
                   data_workbook, exam, host_workbook, save, settings_sheet, template_sheet)

DATA = "高二.xlsx"
SHORT = {"物": "物理", "史": "历史", "化": "化学", "生": "生物", "政": "政治", "地": "地理"}
# The twelve combinations of 3+1+2 and how many of the 230 chose each.
COMBINATIONS = [("物化生", 45), ("物化政", 14), ("物化地", 21), ("物生政", 9), ("物生地", 16),
                ("物政地", 6), ("史化生", 7), ("史化政", 11), ("史化地", 8), ("史生政", 13),
                ("史生地", 10), ("史政地", 70)]
SPELLINGS = [
    lambda c: c,
    lambda c: " ".join(SHORT[x] for x in c),
    lambda c: "、".join(SHORT[x] for x in c),
    lambda c: "/".join(c),
]
TIMETABLE = [
    (1, "语文", 7, (9, 0), (11, 30)),
    (2, "数学", 7, (15, 0), (17, 0)),
    (3, "物理", 8, (9, 0), (10, 15)),
    (3, "历史", 8, (9, 0), (10, 15)),
    (4, "外语", 8, (15, 0), (17, 0)),
    (5, "化学", 9, (8, 30), (9, 45)),
    (6, "地理", 9, (11, 0), (12, 15)),
    (7, "政治", 9, (15, 0), (16, 15)),
    (8, "生物", 9, (17, 30), (18, 45)),
]


def area(ws, marker, first, last, columns):
    ws.cell(row=first, column=1, value=marker)
    if last != first:
        ws.cell(row=last, column=1, value=marker)
    ws.cell(row=first, column=2 + columns, value=marker)


def host(path):
    wb = host_workbook()
    # D..M: flag, name, rows per page, across, spacing, sort, page change,
    # across first, examinee sheet.
    rows = [[True, "门贴", 40, 1, 0, 0, "考场", "考场", True, True],
            [None, "签到表", 40, 1, 0, 0, "考场", "考场", True, True],
            [None, "准考证", 3, 2, 20, 20, "考号", "无", True, True]]
    cells = exam(start="2025010001", random_order=True, per_room=True)
    cells.update({(5, 61): "42", (5, 62): "班级", (6, 61): True})
    settings_sheet(wb, rows, cells, headings={**CATALOGUE_HEADINGS, **PAGE_SETUP_HEADINGS})
    base_sheet(wb, {"A1": "<MBB 模板设计>", "A2": "#", "B2": "[姓名]", "C2": "#"})

    ws = template_sheet(wb, "门贴")
    area(ws, "@", 3, 4, 3)
    ws["B3"], ws["C3"], ws["D3"] = "[科目]", "[考场]", "[考室]"
    ws["B4"], ws["C4"], ws["D4"] = "考号", "姓名", "座号"
    area(ws, "#", 6, 6, 3)
    ws["B6"], ws["C6"], ws["D6"] = "[考号]", "[姓名]", "[座号]"

    ws = template_sheet(wb, "签到表")
    area(ws, "@", 3, 3, 4)
    ws["B3"], ws["C3"], ws["D3"], ws["E3"] = "[场次]", "[科目]", "[考场]", "签名"
    area(ws, "#", 5, 5, 4)
    ws["B5"], ws["C5"], ws["D5"], ws["E5"] = "[座号]", "[考号]", "[姓名]", None

    ws = template_sheet(wb, "准考证")
    area(ws, "#", 3, 11, 3)
    ws["B3"], ws["C3"] = "[姓名]", "[考号]"
    ws["B4"], ws["C4"], ws["D4"] = "语数外", "[考场]", "[座号]"
    for r, subject in enumerate(["物理", "历史", "化学", "生物", "政治", "地理"], start=5):
        ws.cell(row=r, column=2, value=subject)
        ws.cell(row=r, column=3, value=f"[{subject}考场]")
        ws.cell(row=r, column=4, value=f"[{subject}座号]")
    # Fields as text, as teachers format them, so exam numbers print whole.
    for name in ("门贴", "签到表", "准考证"):
        for row in wb[name].iter_rows():
            for cell in row:
                if isinstance(cell.value, str) and cell.value.startswith("["):
                    cell.number_format = "@"
        for col, width in zip("BCDE", (14, 12, 10, 10)):
            wb[name].column_dimensions[col].width = width
    wb.active = 0
    save(wb, path)


def data(path):
    rng = random.Random(20250601)
    people = []
    for combination, n in COMBINATIONS:
        for _ in range(n):
            people.append(rng.choice(SPELLINGS)(combination))
    rng.shuffle(people)
    examinees = [(f"考生{i + 1:03d}", f"{rng.randint(1, 6)}班", subjects)
                 for i, subjects in enumerate(people)]
    rooms = [(f"{r:02d}", 30, f"教学楼{r:02d}", f"甲{r}", f"乙{r}") for r in range(1, 10)]
    wb = data_workbook(rooms, examinees, ["姓名", "班级", "选考科目"])
    for cell in wb["考场表"]["A"]:
        cell.number_format = "@"
    ws = wb.create_sheet("场次表")
    ws.append(["场次", "科目", "日期", "开始", "结束", "考场", "备注"])
    for session, subject, day, start, end in TIMETABLE:
        ws.append([session, subject, datetime.date(2025, 6, day), datetime.time(*start),
                   datetime.time(*end), None, None])
        ws.cell(row=ws.max_row, column=3).number_format = "yyyy/m/d"
        ws.cell(row=ws.max_row, column=4).number_format = "h:mm"
        ws.cell(row=ws.max_row, column=5).number_format = "h:mm"
    save(wb, path)


def run(kelv, *args, stdin=None):
    p = subprocess.run([kelv, *args], capture_output=True, text=True, stdin=stdin or subprocess.DEVNULL)
    if p.returncode != 0:
        sys.exit(f"kelv {' '.join(args)} failed ({p.returncode}):\n{p.stdout}\n{p.stderr}")
    return p.stdout


def scenario(kelv, ws, name, steps):
    path = os.path.join(ws, name + ".json")
    with open(path, "w", encoding="utf-8") as f:
        json.dump({"steps": steps}, f, ensure_ascii=False)
    transcript = run(kelv, "run", ws, path)
    for line in transcript.splitlines():
        record = json.loads(line)
        if record.get("kind") == "message" and record.get("icon") == "critical":
            sys.exit(f"{name}: error box: {record['text']}")
    return transcript


def generate(template):
    return [{"select": {"LtbMoBan": template}}, {"click": "LtbMoBanClick"},
            {"click": "CmdDoYongBiaoClick"}]


def table(ws):
    rows = list(ws.iter_rows(values_only=True))
    heads = list(rows[0])
    return [dict(zip(heads, r)) for r in rows[1:] if any(v is not None for v in r)]


def papers_of(subjects):
    for brief, full in SHORT.items():
        subjects = subjects.replace(full, brief)
    return {"语文", "数学", "外语"} | {SHORT[ch] for ch in subjects if ch in SHORT}


def check(ws):
    failures = []

    def expect(ok, what):
        if not ok:
            failures.append(what)

    book = load_workbook(os.path.join(ws, "数据", DATA))
    examinees = [e for e in table(book["考生表"]) if e["姓名"]]
    places = {str(r["考场"]): r["场人"] for r in table(book["考场表"])}
    seating = table(book["场次安排"])
    expect(len(examinees) == 230, f"{len(examinees)} examinees")

    # Every examinee exactly once per paper they sit, and at no other.
    sat = collections.Counter((r["考号"], r["科目"]) for r in seating)
    for e in examinees:
        wanted = papers_of(e["选考科目"])
        got = {subject for (number, subject) in sat if number == e["考号"]}
        expect(got == wanted, f"{e['考号']} sits {sorted(got)}, not {sorted(wanted)}")
    expect(all(n == 1 for n in sat.values()), "a paper seated twice")
    # One paper per room per 场次; no room over its places; one seat each.
    by_room = collections.defaultdict(list)
    for r in seating:
        by_room[(r["场次"], r["考场"])].append(r)
    for (session, room), rows in by_room.items():
        expect(len({r["科目"] for r in rows}) == 1, f"场次 {session} room {room}: two papers")
        expect(len(rows) <= places[room], f"场次 {session} room {room}: {len(rows)} > {places[room]}")
        expect(len({r["座号"] for r in rows}) == len(rows), f"场次 {session} room {room}: a seat twice")
    # Nobody in two rooms at one time.
    at_once = collections.Counter((r["场次"], r["考号"]) for r in seating)
    expect(all(n == 1 for n in at_once.values()), "an examinee in two rooms at once")
    # The papers everybody sits keep the main rooms and seats.
    main = {e["考号"]: (e["考场"], e["座号"]) for e in examinees}
    for r in seating:
        if r["科目"] in ("语文", "数学", "外语"):
            expect((r["考场"], r["座号"]) == main[r["考号"]], f"{r['考号']} {r['科目']} moved")
    # The admission cards' columns agree with 场次安排.
    cols = {e["考号"]: e for e in examinees}
    for r in seating:
        if r["科目"] not in ("语文", "数学", "外语"):
            e = cols[r["考号"]]
            expect((e[r["科目"] + "考场"], e[r["科目"] + "座号"]) == (r["考场"], r["座号"]),
                   f"{r['考号']} {r['科目']}: 考生表 disagrees")
    stayed = sum(1 for r in seating if (r["考场"], r["座号"]) == main[r["考号"]])

    # One data workbook per 场次, agreeing with 场次安排.
    for session in sorted({r["场次"] for r in seating}):
        name = f"高二（第{session}场）.xlsx"
        path = os.path.join(ws, "数据", name)
        expect(os.path.exists(path), f"{name} missing")
        if not os.path.exists(path):
            continue
        sb = load_workbook(path)
        expect(sb["kelv场次"].sheet_state == "veryHidden", f"{name}: marker not very hidden")
        rows = table(sb["考生表"])
        want = {(r["考号"], r["考场"], r["座号"], r["科目"]) for r in seating if r["场次"] == session}
        got = {(r["考号"], r["考场"], r["座号"], r["科目"]) for r in rows}
        expect(got == want, f"{name}: 考生表 differs from 场次安排")
        rooms = table(sb["考场表"])
        expect({r["考场"] for r in rooms} == {r["考场"] for r in rows}, f"{name}: 考场表 rooms")

    # Door lists and sign-in sheets of 场次 3: every room and examinee.
    sb = load_workbook(os.path.join(ws, "数据", "高二（第3场）.xlsx"))
    for sheet in ("门贴", "签到表"):
        expect(sheet in sb.sheetnames, f"第3场: no {sheet}")
        if sheet not in sb.sheetnames:
            continue
        texts = {str(v) for row in sb[sheet].iter_rows(values_only=True) for v in row if v is not None}
        for r in seating:
            if r["场次"] == 3:
                expect(r["考号"] in texts, f"第3场 {sheet}: {r['考号']} missing")
        expect({"物理", "历史"} <= texts, f"第3场 {sheet}: papers not named")
        breaks = len(sb[sheet].row_breaks.brk)
        rooms3 = {r["考场"] for r in seating if r["场次"] == 3}
        expect(breaks >= len(rooms3) - 1, f"第3场 {sheet}: {breaks} page breaks for {len(rooms3)} rooms")
    # Admission cards: every examinee, with the room of each of their papers.
    texts = collections.Counter(str(v) for row in book["准考证"].iter_rows(values_only=True)
                                for v in row if v is not None)
    for e in examinees:
        expect(texts[e["考号"]] >= 1, f"准考证: {e['考号']} missing")

    sessions = len({r["场次"] for r in seating})
    print(f"{len(examinees)} examinees, {len(seating)} examinee-papers in {sessions} 场次 and "
          f"{len(by_room)} session rooms; {stayed} in their main seat, "
          f"{len(seating) - stayed} moved")
    for f in failures[:30]:
        print("FAIL:", f)
    return not failures


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--kelv", required=True)
    ap.add_argument("--keep", help="make the workspace here and leave it")
    args = ap.parse_args()
    ws = args.keep or tempfile.mkdtemp(prefix="kelv-full-course-")
    try:
        if args.keep and os.path.isdir(ws):
            shutil.rmtree(ws)
        host(os.path.join(ws, "考务.xlsx"))
        data(os.path.join(ws, "数据", DATA))
        scenario(args.kelv, ws, "assign", [{"select": {"LtbBiao": DATA}}, {"click": "LtbBiaoClick"},
                                           {"click": "CmdDoKaoHaoClick"}, {"save": ["data"]}])
        print(run(args.kelv, "sessions", ws), end="")
        scenario(args.kelv, ws, "door", [{"select": {"LtbBiao": "高二（第3场）.xlsx"}},
                                         {"click": "LtbBiaoClick"}, *generate("门贴"),
                                         *generate("签到表"), {"save": ["data"]}])
        scenario(args.kelv, ws, "cards", [{"select": {"LtbBiao": DATA}}, {"click": "LtbBiaoClick"},
                                          *generate("准考证"), {"save": ["data"]}])
        ok = check(ws)
    finally:
        if not args.keep:
            shutil.rmtree(ws, ignore_errors=True)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
