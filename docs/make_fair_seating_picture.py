#!/usr/bin/python3
"""Draws docs/fair-seating.png: one exam room seated twice by kelv.

    /usr/bin/python3 docs/make_fair_seating_picture.py --kelv build/bin/kelv

Plays the seating test workspace (tests/scenarios/workspaces/seating) with
`kelv run`, once in random order from seed 42 and once with the same seed
and classes kept apart, reads room 01 of each saved data workbook with
openpyxl and draws its seats as they stand (columns of 6, S-shaped), coloured
by class; neighbours of one class are joined by a red bar. Needs Pillow and
a CJK font (scripts/setup.sh --docs installs fonts-noto-cjk).
"""
import argparse
import json
import os
import shutil
import subprocess
import tempfile

import openpyxl
from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
WORKSPACE = os.path.join(HERE, "..", "tests", "scenarios", "workspaces", "seating")
FONT = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"
COLOURS = {"1班": "#f4a261", "2班": "#2a9d8f", "3班": "#e9c46a", "4班": "#8ab17d"}
ROOM = "01"


def play(kelv, keep_apart):
    """Room 01 after one run: {seat number: class}, and seats per column."""
    work = tempfile.mkdtemp(prefix="kelv-fair-picture-")
    try:
        ws = os.path.join(work, "ws")
        shutil.copytree(WORKSPACE, ws)
        scenario = {"steps": [
            {"select": {"LtbBiao": "座位.xlsx"}},
            {"click": "LtbBiaoClick"},
            {"set": {"TxtZhongZi": "42", "CmbFenKai": "班级" if keep_apart else "无"}},
            {"click": "CmdDoKaoHaoClick"},
            {"save": ["data"]}]}
        path = os.path.join(work, "scenario.json")
        with open(path, "w", encoding="utf-8") as f:
            json.dump(scenario, f, ensure_ascii=False)
        subprocess.run([kelv, "run", ws, path], check=True, capture_output=True)
        book = openpyxl.load_workbook(os.path.join(ws, "数据", "座位.xlsx"))
        per_column = next(r[7].value for r in book["考场表"].iter_rows(min_row=2)
                          if r[0].value == ROOM)
        sheet = book["考生表"]
        heading = [c.value for c in sheet[1]]
        room, seat, klass = (heading.index(h) for h in ("考场", "座号", "班级"))
        seats = {int(r[seat]): r[klass]
                 for r in sheet.iter_rows(min_row=2, values_only=True) if r[room] == ROOM}
        return seats, per_column
    finally:
        shutil.rmtree(work)


def where(seat, k):
    """(row from the front, column) of a seat: S-shaped columns of k."""
    p = seat - 1
    col = p // k
    return (p % k if col % 2 == 0 else k - 1 - p % k), col


def neighbours(seats, k):
    for a in seats:
        for b in seats:
            if a < b:
                (ra, ca), (rb, cb) = where(a, k), where(b, k)
                if b - a == 1 or (ra == rb and abs(ca - cb) == 1):
                    yield a, b


def panel(draw, seats, k, left, top, title, font, small):
    cell_w, cell_h, gap = 86, 52, 18
    columns = (max(seats) - 1) // k + 1
    width = columns * cell_w + (columns - 1) * gap
    shared = [(a, b) for a, b in neighbours(seats, k) if seats[a] == seats[b]]
    draw.text((left, top), title, fill="black", font=font)
    draw.text((left, top + 34), f"同班相邻：{len(shared)} 对", fill="#b00020" if shared else "#1b5e20",
              font=small)
    board_top = top + 70
    draw.rectangle([left + width / 2 - 90, board_top, left + width / 2 + 90, board_top + 26],
                   fill="#dddddd")
    draw.text((left + width / 2 - 24, board_top + 2), "讲台", fill="black", font=small)
    origin = board_top + 46

    def centre(seat):
        row, col = where(seat, k)
        return (left + col * (cell_w + gap) + cell_w / 2, origin + row * (cell_h + 10) + cell_h / 2)

    for a, b in shared:
        (xa, ya), (xb, yb) = centre(a), centre(b)
        draw.line([xa, ya, xb, yb], fill="#d00000", width=9)
    for seat, klass in seats.items():
        x, y = centre(seat)
        draw.rounded_rectangle([x - cell_w / 2, y - cell_h / 2, x + cell_w / 2, y + cell_h / 2],
                               radius=8, fill=COLOURS.get(klass, "#cccccc"), outline="#555555")
        draw.text((x - cell_w / 2 + 8, y - 20), f"{seat:02d}", fill="black", font=small)
        draw.text((x - cell_w / 2 + 8, y), klass, fill="black", font=small)
    return width


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kelv", required=True)
    parser.add_argument("--out", default=os.path.join(HERE, "fair-seating.png"))
    args = parser.parse_args()
    before, k = play(os.path.abspath(args.kelv), keep_apart=False)
    after, _ = play(os.path.abspath(args.kelv), keep_apart=True)

    columns = (max(before) - 1) // k + 1
    width = columns * 86 + (columns - 1) * 18
    image = Image.new("RGB", (30 + width + 70 + width + 30, 560), "white")
    draw = ImageDraw.Draw(image)
    font = ImageFont.truetype(FONT, 26)
    small = ImageFont.truetype(FONT, 18)
    panel(draw, before, k, 30, 20, "随机顺序（种子 42）", font, small)
    panel(draw, after, k, 30 + width + 70, 20, "同组不相邻（种子 42，按班级）", font, small)
    legend_x = 30
    for klass, colour in COLOURS.items():
        draw.rectangle([legend_x, 525, legend_x + 22, 545], fill=colour, outline="#555555")
        draw.text((legend_x + 28, 522), klass, fill="black", font=small)
        legend_x += 100
    image.save(args.out)
    print(args.out)


if __name__ == "__main__":
    main()
