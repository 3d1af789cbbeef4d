#!/usr/bin/python3
"""Reads the printed seat maps back from their PDF.

    check_seat_map_pdf.py --kelv KELV [--keep DIR]

Plays maps.json (beside this file) on a copy of its workspace with `kelv
run`, prints the sheet 座位表 of the data workbook with `kelv pdf` and reads
every word and its box with `pdftotext -bbox`. Each room's page must show
its podium (讲台) and its examinees' exam numbers; the desks are found from
the numbers' positions alone (columns left to right, rows from the podium
side), and walking them in the room's S (the first column from the front,
the next back, ...) must give the room's exam numbers in order, the first
and last of them the room's 首考号 and 尾考号 on the room sheet. Exit
status 0 when every page passes.

Needs poppler-utils (pdftotext) and openpyxl.
"""
import argparse
import html
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
WORD = re.compile(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*?)</word>')
NUMBER = re.compile(r"^\d{4}$")  # the workspace's exam numbers: 0001 ...


def pages_of(pdf: pathlib.Path):
    out = subprocess.run(["pdftotext", "-bbox", str(pdf), "-"], capture_output=True, text=True,
                         check=True).stdout
    for page in out.split("<page ")[1:]:
        words = []
        for m in WORD.finditer(page):
            x0, y0, x1, y1 = map(float, m.groups()[:4])
            words.append(((x0 + x1) / 2, (y0 + y1) / 2, html.unescape(m.group(5))))
        yield words


def clusters(values, tolerance=3.0):
    """Sorted distinct values, those closer than `tolerance` taken as one."""
    out = []
    for v in sorted(values):
        if not out or v - out[-1][-1] > tolerance:
            out.append([v])
        else:
            out[-1].append(v)
    return [sum(c) / len(c) for c in out]


def index_of(centres, v, tolerance=3.0):
    for i, c in enumerate(centres):
        if abs(c - v) <= tolerance:
            return i
    raise ValueError(v)


def rooms_of(book: pathlib.Path):
    import openpyxl

    ws = openpyxl.load_workbook(book, read_only=True)["考场表"]
    rows = ws.iter_rows(values_only=True)
    head = list(next(rows))
    col = {h: head.index(h) for h in ("考场", "首考号", "尾考号", "每列座数", "讲台")}
    return [{k: row[col[k]] for k in col} for row in rows if row[0] is not None]


def check_page(number, words, room):
    problems = []
    podium = [w for w in words if w[2].startswith("讲")]
    if not podium:
        return [f"page {number}: no podium"]
    first, last = str(room["首考号"]), str(room["尾考号"])
    # The header's 首考号 and 尾考号 stand on the lines of their labels.
    label_lines = [w[1] for w in words if w[2].startswith(("首考号", "尾考号"))]
    desks = [w for w in words if NUMBER.match(w[2])
             and not any(abs(w[1] - y) < 3 for y in label_lines)]
    if not desks:
        return [f"page {number}: no exam numbers"]
    columns = clusters([w[0] for w in desks])
    rows = clusters([w[1] for w in desks])
    per_column = int(room["每列座数"])
    back = room["讲台"] == "后"
    if len(rows) != per_column:
        problems.append(f"page {number}: {len(rows)} rows of desks, the room has {per_column}")
    if back != (podium[0][1] > max(rows)):
        problems.append(f"page {number}: the podium is not at the room's front")
    seats = []
    for x, y, text in desks:
        c = index_of(columns, x)
        r = index_of(rows, y)
        front = len(rows) - 1 - r if back else r  # rows counted from the podium
        seats.append((c * per_column + (front if c % 2 == 0 else per_column - 1 - front), text))
    read = [text for _, text in sorted(seats)]
    want = [f"{n:04d}" for n in range(int(first), int(last) + 1)]
    if read != want:
        problems.append(f"page {number}: in S order the desks read {read}, not {want}")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kelv", required=True)
    parser.add_argument("--keep", help="play in this folder and keep it")
    args = parser.parse_args()

    scenario = HERE / "maps.json"
    work = pathlib.Path(args.keep) if args.keep else pathlib.Path(tempfile.mkdtemp(prefix="seatmaps-"))
    try:
        ws = work / "ws"
        if ws.exists():
            shutil.rmtree(ws)
        source = (scenario.parent / json.loads(scenario.read_text("utf-8"))["workspace"]).resolve()
        shutil.copytree(source, ws)
        subprocess.run([args.kelv, "run", str(ws), str(scenario), "--transcript", str(work / "run.jsonl")],
                       check=True, stdout=subprocess.DEVNULL)
        book = ws / "数据" / "考试.xlsx"
        pdf = work / "maps.pdf"
        subprocess.run([args.kelv, "pdf", str(book), "座位表", "-o", str(pdf)], check=True,
                       stderr=subprocess.DEVNULL)
        rooms = rooms_of(book)
        pages = list(pages_of(pdf))
        problems = []
        if len(pages) != len(rooms):
            problems.append(f"{len(pages)} pages for {len(rooms)} rooms")
        for number, (words, room) in enumerate(zip(pages, rooms), start=1):
            problems += check_page(number, words, room)
        for p in problems:
            print(p)
        if problems:
            return 1
        print(f"ok: {len(pages)} pages, every room's desks in S order")
        return 0
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
