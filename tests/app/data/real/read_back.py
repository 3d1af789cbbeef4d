#!/usr/bin/python3
"""Workbooks kelv saves read back with the same values in openpyxl and in
LibreOffice: dates as dates, numbers with their digits, texts as written.

    read_back.py KELV WORK

makes, with the kelv command KELV, in the folder WORK: the data workbooks
`kelv import` writes from the files beside this script (a .xls from
python-xlwt, an .xlsx in the 1904 date system, IDs kept as numbers) and the
sample workspace; converts every sheet of them to CSV with LibreOffice in
one run (raw values, not as shown, so a date comes out as MM/DD/YYYY and a
bare number as digits) and compares each cell with what openpyxl reads.
Exit 0 when all agree; otherwise the cells that differ are listed.
"""
import csv
import datetime
import glob
import os
import shutil
import subprocess
import sys

from openpyxl import load_workbook

HERE = os.path.dirname(os.path.abspath(__file__))
CSV_FILTER = "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"


def run(cmd):
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if r.returncode != 0:
        sys.exit(f"{' '.join(cmd)} failed:\n{r.stdout}")
    return r.stdout


def saved_workbooks(kelv, work):
    books = []
    imports = os.path.join(work, "导入")
    os.makedirs(imports)
    for source, name in ((os.path.join(HERE, "日期.xls"), "日期.xlsx"),
                         (os.path.join(HERE, "1904.xlsx"), "1904.xlsx"),
                         (os.path.join(HERE, "workspace", "数据", "数字号码.xlsx"), "号码.xlsx")):
        out = os.path.join(imports, name)
        run(kelv + ["import", source, "-o", out])
        books.append(out)
    sample = os.path.join(work, "样例")
    run(kelv + ["sample", sample])
    books += sorted(glob.glob(os.path.join(sample, "*.xlsx")))
    books += sorted(glob.glob(os.path.join(sample, "数据", "*.xlsx")))
    return books


def as_lo_text(v):
    """What LibreOffice's raw CSV shows for an openpyxl value, or a
    function that tells whether a CSV text agrees with it."""
    if v is None:
        return ""
    if isinstance(v, bool):
        return "TRUE" if v else "FALSE"
    if isinstance(v, datetime.datetime):
        day = v.strftime("%m/%d/%Y")
        if v.time() == datetime.time(0):
            return day
        return day + " " + v.strftime("%I:%M:%S %p")
    if isinstance(v, datetime.date):
        return v.strftime("%m/%d/%Y")
    if isinstance(v, datetime.time):
        return v.strftime("%I:%M:%S %p")
    if isinstance(v, (int, float)):
        def same(text):
            try:
                x = float(text)
            except ValueError:
                return False
            return x == v or abs(x - v) <= 1e-14 * max(abs(x), abs(v))
        return same
    return str(v)


def compare(book, csv_dir):
    """The cells compared and those that differ."""
    problems = []
    compared = 0
    stem = os.path.splitext(os.path.basename(book))[0]
    wb = load_workbook(book, data_only=True)
    for ws in wb.worksheets:
        path = os.path.join(csv_dir, f"{stem}-{ws.title}.csv")
        if not os.path.exists(path):
            problems.append(f"{book}: LibreOffice wrote no sheet {ws.title}")
            continue
        with open(path, encoding="utf-8", newline="") as f:
            rows = list(csv.reader(f))
        for row in ws.iter_rows():
            for cell in row:
                if cell.value is None:
                    continue
                compared += 1
                r, c = cell.row - 1, cell.column - 1
                got = rows[r][c] if r < len(rows) and c < len(rows[r]) else ""
                want = as_lo_text(cell.value)
                ok = want(got) if callable(want) else got == want
                if not ok:
                    problems.append(f"{os.path.basename(book)} {ws.title}!{cell.coordinate}: "
                                    f"openpyxl {cell.value!r}, LibreOffice {got!r}")
    return compared, problems


def main():
    kelv, work = sys.argv[1:-1], sys.argv[-1]
    if os.path.isdir(work):
        shutil.rmtree(work)
    os.makedirs(work)
    books = saved_workbooks(kelv, work)
    # Each book under a name of its own, so the CSV files do not collide.
    flat = os.path.join(work, "平铺")
    os.makedirs(flat)
    named = []
    for i, b in enumerate(books):
        target = os.path.join(flat, f"{i:02d}-{os.path.basename(b)}")
        shutil.copyfile(b, target)
        named.append(target)
    out = os.path.join(work, "csv")
    env = dict(os.environ, HOME=os.path.join(work, "home"))
    subprocess.run(["soffice", "--headless", "--norestore", "--convert-to", CSV_FILTER,
                    "--outdir", out] + named, env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True, timeout=600)
    problems = []
    cells = 0
    for b in named:
        compared, differ = compare(b, out)
        cells += compared
        problems += differ
    for p in problems:
        print(p)
    print(f"{len(named)} workbooks, {cells} cells, {len(problems)} differ")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
