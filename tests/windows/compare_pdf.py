#!/usr/bin/python3
"""kelv.exe pdf prints the demo as the Linux kelv pdf does.

    compare_pdf.py --linux PATH/TO/kelv [--examinees N] [--launcher WORD ...] KELV_EXE

The Linux kelv writes the demo (`kelv demo --seed 7`) into a folder named
考务演示; then both programs print every workbook of it with `kelv pdf`
(kelv.exe through the launcher, i.e. under Wine, given Z: paths). The PDFs
must have the same number of pages, the same characters on each page
(poppler's pdftotext, white space and reading order aside, so the same
examinees on the same page), and
every font embedded (pdffonts). Exits 77 (skipped) when the Linux kelv is
not built.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

FOLDER = "考务演示"


def run(command, timeout=900):
    result = subprocess.run(command, capture_output=True, text=True, encoding="utf-8",
                            timeout=timeout)
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)} exited with {result.returncode}:\n"
                 f"{result.stdout}{result.stderr}")
    return result.stdout


def windows_path(path):
    """A Linux path as a Windows program under Wine names it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def pages_of(pdf):
    """The characters of each page, white space removed, in order of code
    point: where pdftotext starts a line depends on each system's glyph
    metrics by a fraction of a point, what a page says does not."""
    text = run(["pdftotext", pdf, "-"])
    pages = text.split("\f")
    if pages and not pages[-1].strip():
        pages.pop()
    return ["".join(sorted(re.sub(r"\s+", "", p))) for p in pages]


def unembedded_fonts(pdf):
    lines = run(["pdffonts", pdf]).splitlines()[2:]
    # Columns: name, type, encoding, emb, sub, uni, object, ID; "emb" is
    # the fourth word from the end.
    return [line.split()[0] for line in lines if line.split()[-5] != "yes"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux", required=True)
    parser.add_argument("--examinees", type=int, default=300)
    parser.add_argument("--launcher", action="append", default=[])
    parser.add_argument("kelv_exe")
    args = parser.parse_args()
    if not os.path.isfile(args.linux):
        print(f"no Linux kelv at {args.linux} (make build first); skipped")
        return 77

    work = tempfile.mkdtemp(prefix="kelv-pdf-compare-")
    demo = os.path.join(work, FOLDER)
    run([args.linux, "demo", "--seed", "7", "--examinees", str(args.examinees), demo])
    books = sorted(os.path.join(folder, f) for folder, _, files in os.walk(demo)
                   for f in files if f.endswith(".xlsx") and "备份" not in folder)
    ok = True
    total = 0
    for book in books:
        name = os.path.relpath(book, demo)
        linux_pdf = os.path.join(work, "linux.pdf")
        windows_pdf = os.path.join(work, "windows.pdf")
        run([args.linux, "pdf", book, "-o", linux_pdf])
        run(args.launcher + [args.kelv_exe, "pdf", windows_path(book), "-o",
                             windows_path(windows_pdf)])
        a, b = pages_of(linux_pdf), pages_of(windows_pdf)
        total += len(a)
        if len(a) != len(b):
            print(f"{name}: Linux printed {len(a)} pages, Windows {len(b)}")
            ok = False
        for k, (x, y) in enumerate(zip(a, b), start=1):
            if x != y:
                print(f"{name}, page {k} differs:\n  Linux:   {x[:200]}\n  Windows: {y[:200]}")
                ok = False
                break
        if not any(a):
            print(f"{name}: no text could be read from the Linux PDF")
            ok = False
        if not any(b):
            print(f"{name}: no text could be read from the Windows PDF")
            ok = False
        missing = unembedded_fonts(windows_pdf)
        if missing:
            print(f"{name}: fonts not embedded in the Windows PDF: {missing}")
            ok = False
        shutil.copy(windows_pdf, os.path.join(work, name.replace("/", "-") + ".windows.pdf"))
        shutil.copy(linux_pdf, os.path.join(work, name.replace("/", "-") + ".linux.pdf"))
    if not ok:
        print(f"kept in {work}")
        return 1
    print(f"the same: {len(books)} workbooks, {total} pages")
    shutil.rmtree(work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
