#!/usr/bin/python3
"""kelv.exe writes the same demo as the Linux kelv.

    compare_demo.py --linux PATH/TO/kelv --seed N [--launcher WORD ...] KELV_EXE

Both play `kelv demo --seed N` into a folder named 考务演示 (kelv.exe
through the launcher, i.e. under Wine); then every workbook the two wrote is
read back with openpyxl and compared sheet by sheet and cell by cell (value,
number format, font, fill, borders, alignment), with merged ranges, row
heights, column widths, page breaks, page setup and pictures, and every
other file (photos, help document) byte for byte. Exits 77 (skipped) when
the Linux kelv is not built.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

import openpyxl

FOLDER = "考务演示"


def play(command, folder, seed):
    result = subprocess.run(command + ["demo", "--seed", str(seed), folder],
                            capture_output=True, text=True, encoding="utf-8", timeout=600)
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)} demo exited with {result.returncode}:\n"
                 f"{result.stdout}{result.stderr}")


def files_of(root):
    found = []
    for folder, _, files in os.walk(root):
        for f in files:
            found.append(os.path.relpath(os.path.join(folder, f), root))
    return sorted(found)


def style_of(cell):
    f, fill, b, a = cell.font, cell.fill, cell.border, cell.alignment
    return (cell.number_format, f.name, f.sz, f.b, f.i, f.u, f.color and f.color.rgb,
            fill.fill_type, fill.fgColor and fill.fgColor.rgb,
            tuple(getattr(b, side).style for side in ("left", "right", "top", "bottom")),
            a.horizontal, a.vertical, a.wrap_text)


def describe(path):
    """Everything compared in one workbook, as lines of text."""
    book = openpyxl.load_workbook(path)
    lines = []
    for ws in book.worksheets:
        lines.append(f"sheet {ws.title} {ws.sheet_state} {ws.dimensions}")
        lines.append(f"merged {sorted(str(r) for r in ws.merged_cells.ranges)}")
        lines.append(f"breaks {[b.id for b in ws.row_breaks.brk]} {[b.id for b in ws.col_breaks.brk]}")
        ps = ws.page_setup
        lines.append(f"page {ps.orientation} {ps.paperSize} {ps.scale} {ws.print_title_rows} "
                     f"{ws.page_margins.left} {ws.page_margins.top} {ws.oddHeader.center.text} "
                     f"{ws.oddFooter.center.text}")
        lines.append(f"pictures {[(i.anchor._from.row, i.anchor._from.col, i.width, i.height) for i in ws._images]}")
        for key, dim in sorted(ws.row_dimensions.items()):
            lines.append(f"row {key} {dim.height} {dim.hidden}")
        for key, dim in sorted(ws.column_dimensions.items()):
            lines.append(f"column {key} {dim.width} {dim.hidden}")
        for row in ws.iter_rows():
            for cell in row:
                if cell.value is not None or cell.has_style:
                    lines.append(f"cell {cell.coordinate} {cell.value!r} {style_of(cell)}")
    return lines


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux", required=True)
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--launcher", action="append", default=[])
    parser.add_argument("kelv_exe")
    args = parser.parse_args()
    if not os.path.isfile(args.linux):
        print(f"no Linux kelv at {args.linux} (make build first); skipped")
        return 77

    work = tempfile.mkdtemp(prefix="kelv-demo-compare-")
    linux = os.path.join(work, "linux", FOLDER)
    windows = os.path.join(work, "windows", FOLDER)
    play([args.linux], linux, args.seed)
    play(args.launcher + [args.kelv_exe], windows, args.seed)

    ok = True
    names = files_of(linux)
    if names != files_of(windows):
        print(f"files differ:\n  Linux:   {names}\n  Windows: {files_of(windows)}")
        ok = False
    workbooks = cells = 0
    for name in names:
        a, b = os.path.join(linux, name), os.path.join(windows, name)
        if not os.path.exists(b):
            continue
        if name.endswith(".xlsx"):
            da, db = describe(a), describe(b)
            workbooks += 1
            cells += sum(1 for line in da if line.startswith("cell "))
            if da != db:
                ok = False
                diff = [f"  Linux:   {x}\n  Windows: {y}" for x, y in zip(da, db) if x != y]
                print(f"{name} differs ({len(da)} and {len(db)} lines):\n" + "\n".join(diff[:20]))
        else:
            with open(a, "rb") as fa, open(b, "rb") as fb:
                if fa.read() != fb.read():
                    print(f"{name} differs")
                    ok = False
    if not ok:
        print(f"kept in {work}")
        return 1
    print(f"the same: {len(names)} files, {workbooks} workbooks, {cells} cells")
    shutil.rmtree(work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
