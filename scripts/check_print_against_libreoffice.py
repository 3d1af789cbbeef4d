#!/usr/bin/python3
"""Checks kelv's PDF of a workbook page by page against LibreOffice's.

Prints the workbook with `kelv pdf` and with LibreOffice
(`soffice --convert-to pdf`), then for every page of the two files:

- the examinees on it: the exam numbers of the examinee sheet (考生表,
  column 考号) that `pdftotext` finds on the page; each page of kelv's with
  examinees must show the same examinees as a page of LibreOffice's, the
  pages paired in order (a sheet LibreOffice prints on more pages shifts
  the pages after it);
- a line above the first row: whether the topmost ink of the page is a
  horizontal line across most of the printed width (pdftoppm at 50 dpi);
  kelv's page may have one only where LibreOffice's paired page has one.

Without a workbook it makes the demo's data workbook (`kelv demo`, 300
examinees by default). Exits 1 when any page differs.

    scripts/setup.sh --docs
    /usr/bin/python3 scripts/check_print_against_libreoffice.py build/bin/kelv [BOOK.xlsx]
        [--examinees N]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

import openpyxl
from PIL import Image

DPI = 50


def exam_numbers(book):
    wb = openpyxl.load_workbook(book, read_only=True)
    if "考生表" not in wb.sheetnames:
        sys.exit("no 考生表 in " + book)
    rows = wb["考生表"].iter_rows(values_only=True)
    heading = next(rows)
    if "考号" not in heading:
        sys.exit("考生表 has no 考号 column")
    col = heading.index("考号")
    numbers = set()
    for row in rows:
        if col < len(row) and row[col] not in (None, ""):
            value = row[col]
            numbers.add(str(int(value)) if isinstance(value, float) else str(value))
    return numbers


def page_count(pdf):
    out = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        if line.startswith("Pages:"):
            return int(line.split()[1])
    return 0


def page_texts(pdf):
    text = subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True,
                          check=True).stdout
    return text.split("\f")[:page_count(pdf)]


def on_page(text, numbers):
    found = set()
    for token in text.replace("\n", " ").split():
        if token in numbers:
            found.add(token)
    return found


def line_on_top(pdf, page, work):
    """Whether the topmost ink of the page is a long horizontal line."""
    prefix = os.path.join(work, "top")
    subprocess.run(["pdftoppm", "-r", str(DPI), "-gray", "-png", "-singlefile", "-f", str(page),
                    "-l", str(page), pdf, prefix], check=True)
    im = Image.open(prefix + ".png").convert("L")
    w, h = im.size
    px = im.load()
    ink_cols = [x for x in range(w) if any(px[x, y] < 160 for y in range(h))]
    if not ink_cols:
        return False
    width = ink_cols[-1] - ink_cols[0] + 1
    for y in range(h):
        dark = sum(1 for x in range(w) if px[x, y] < 160)
        if dark:
            return dark > 0.6 * width
    return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kelv")
    parser.add_argument("book", nargs="?")
    parser.add_argument("--examinees", type=int, default=300)
    args = parser.parse_args()
    kelv = os.path.abspath(args.kelv)
    work = tempfile.mkdtemp(prefix="kelv-print-check-")
    try:
        book = args.book
        if book is None:
            demo = os.path.join(work, "demo")
            subprocess.run([kelv, "demo", demo, "--examinees", str(args.examinees)], check=True,
                           stdout=subprocess.DEVNULL)
            book = os.path.join(demo, "数据", "期末考试.xlsx")
        book = os.path.abspath(book)
        mine = os.path.join(work, "kelv.pdf")
        subprocess.run([kelv, "pdf", book, "-o", mine], check=True, stdout=subprocess.DEVNULL)
        profile = "file://" + os.path.join(work, "profile")
        subprocess.run(["soffice", "-env:UserInstallation=" + profile, "--headless",
                        "--convert-to", "pdf", "--outdir", os.path.join(work, "lo"), book],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        theirs = os.path.join(work, "lo", os.path.splitext(os.path.basename(book))[0] + ".pdf")

        numbers = exam_numbers(book)
        a, b = page_texts(mine), page_texts(theirs)
        theirs_sets = [on_page(t, numbers) for t in b]
        problems = []
        # Pages are paired by their examinees, in order: a sheet that
        # LibreOffice prints on more pages shifts the later ones.
        with_examinees = matched = lines = 0
        j = 0
        for i, text in enumerate(a):
            found = on_page(text, numbers)
            k = None
            if found:
                with_examinees += 1
                for c in range(j, len(b)):
                    if theirs_sets[c] == found:
                        k = c
                        break
                if k is None:
                    problems.append("page %d: no page of LibreOffice's shows the same %d "
                                    "examinees (%s...)" % (i + 1, len(found), sorted(found)[0]))
                else:
                    matched += 1
                    j = k + 1
            if line_on_top(mine, i + 1, work):
                lines += 1
                if k is None or not line_on_top(theirs, k + 1, work):
                    problems.append("page %d: a line above the first row in kelv's only"
                                    % (i + 1))
        print("%d pages (kelv), %d (LibreOffice); %d of kelv's %d pages with examinees show "
              "the same examinees as a page of LibreOffice's, in the same order; %d pages "
              "begin with a line, each as LibreOffice's does: %s"
              % (len(a), len(b), matched, with_examinees, lines,
                 "yes" if not any("line" in p for p in problems) else "no"))
        for p in problems:
            print("  " + p)
        return 1 if problems else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
