#!/usr/bin/python3
"""Scans every bar code and QR code of the demo's admission cards and seat labels.

    /usr/bin/python3 scripts/check_codes.py BUILD [--examinees N] [--seed S] [--no-libreoffice] [--pages N]
        [--kelv PROGRAM] [--launcher WORD ...]

Runs `kelv demo` into a temporary folder, then prints the sheets 准考证
(admission cards: a Code 128 of the exam number and a QR code of exam number,
name, room and seat) and 桌贴 (seat labels: a Code 128 of the exam number)
twice: with `kelv pdf` and with LibreOffice (`soffice --convert-to pdf` of the
generated workbook, which prints the pictures kelv put in it). Each PDF is
rendered at 300 dpi with pdftoppm and every page is scanned with zbarimg.
The codes found must be exactly the records' values: every exam number once
per sheet as a Code 128 and every examinee's QR text once, nothing missing,
nothing else. Exit status 0 when both PDFs pass.

With --launcher (the Windows build's tests: scripts/wine-run.sh and its
prefix), PROGRAM is kelv.exe run through the launcher and given Z: paths;
the scanning stays on Linux.

Needs zbar-tools and poppler-utils (scripts/setup.sh) and, for the second
half, LibreOffice (scripts/setup.sh --docs).
"""
import argparse
import collections
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

SHEETS = ("准考证", "桌贴")
KINDS = ("CODE-128", "QR-Code")


def expected_codes(book: pathlib.Path, sheets) -> collections.Counter:
    import openpyxl

    ws = openpyxl.load_workbook(book, read_only=True)["考生表"]
    rows = ws.iter_rows(values_only=True)
    head = list(next(rows))
    col = {name: head.index(name) for name in ("考号", "姓名", "考场", "座号")}
    want = collections.Counter()
    text = lambda v: "" if v is None else str(v)
    for row in rows:
        if row[col["考号"]] is None:
            continue
        number = text(row[col["考号"]])
        if "准考证" in sheets:
            want[("CODE-128", number)] += 1
            want[("QR-Code", "\n".join(text(row[col[k]]) for k in ("考号", "姓名", "考场", "座号")))] += 1
        if "桌贴" in sheets:
            want[("CODE-128", number)] += 1
    return want


def scan_pdf(pdf: pathlib.Path, work: pathlib.Path, first=None, last=None) -> collections.Counter:
    prefix = work / pdf.stem
    args = ["pdftoppm", "-r", "300", "-gray", "-png"]
    if first:
        args += ["-f", str(first), "-l", str(last)]
    subprocess.run(args + [str(pdf), str(prefix)], check=True)
    found = collections.Counter()
    pages = sorted(work.glob(pdf.stem + "-*.png"))
    for page in pages:
        out = subprocess.run(
            ["zbarimg", "--quiet", "-Sdisable", "-Scode128.enable", "-Sqrcode.enable", str(page)],
            capture_output=True, text=True)
        if out.returncode not in (0, 4):  # 4: nothing found on the page
            sys.exit(f"zbarimg failed on {page.name}: {out.stderr}")
        # One symbol per "TYPE:data" line; a QR code's further lines follow
        # it. (zbarimg's XML output garbles bytes above 0x7F in its base64.)
        symbol = None
        for line in out.stdout.splitlines():
            kind = next((k for k in KINDS if line.startswith(k + ":")), None)
            if kind:
                if symbol:
                    found[tuple(symbol)] += 1
                symbol = [kind, line[len(kind) + 1:]]
            elif symbol:
                symbol[1] += "\n" + line
        if symbol:
            found[tuple(symbol)] += 1
        page.unlink()
    return found, len(pages)


def compare(label, found, want, pages) -> bool:
    missing = want - found
    extra = found - want
    total = sum(want.values())
    print(f"{label}: {pages} pages, {sum(found.values())} codes decoded, {total} expected, "
          f"{sum(missing.values())} missing, {sum(extra.values())} not a record's value")
    for (kind, value), n in list(missing.items())[:5]:
        print(f"  missing {kind} {value!r} x{n}")
    for (kind, value), n in list(extra.items())[:5]:
        print(f"  unexpected {kind} {value!r} x{n}")
    return not missing and not extra


def main() -> int:
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--examinees", type=int, default=300)
    ap.add_argument("--seed", type=int, default=7)
    ap.add_argument("--no-libreoffice", action="store_true")
    ap.add_argument("--sheet", action="append", choices=SHEETS,
                    help="only this sheet (kelv's PDF only); may be repeated")
    ap.add_argument("--kelv", help="the kelv program (default BUILD/bin/kelv)")
    ap.add_argument("--launcher", action="append", default=[],
                    help="a word of the command that runs PROGRAM (Wine); may be repeated")
    args = ap.parse_args()
    kelv = [*args.launcher, args.kelv or str(pathlib.Path(args.build) / "bin" / "kelv")]

    def named(path):
        """A path as the kelv program names it: a Windows program under Wine
        takes Z: paths."""
        if not args.launcher:
            return str(path)
        return "Z:" + os.path.abspath(path).replace("/", "\\")
    for tool in ("pdftoppm", "zbarimg"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing: run scripts/setup.sh")
    sheets = tuple(args.sheet) if args.sheet else SHEETS
    ok = True
    with tempfile.TemporaryDirectory(prefix="kelv-codes-") as tmp:
        tmp = pathlib.Path(tmp)
        ws = tmp / "ws"
        subprocess.run([*kelv, "demo", named(ws), "--examinees", str(args.examinees),
                        "--seed", str(args.seed)], check=True, stdout=subprocess.DEVNULL)
        book = ws / "数据" / "期末考试.xlsx"
        want = expected_codes(book, sheets)

        pdf = tmp / "kelv.pdf"
        subprocess.run([*kelv, "pdf", named(book), *sheets, "-o", named(pdf)], check=True,
                       stdout=subprocess.DEVNULL)
        found, pages = scan_pdf(pdf, tmp)
        ok &= compare("kelv pdf", found, want, pages)

        if not args.no_libreoffice and not args.sheet:
            soffice = shutil.which("soffice")
            if not soffice:
                sys.exit("soffice is missing: run scripts/setup.sh --docs")
            lo = tmp / "lo"
            lo.mkdir()
            env = dict(os.environ, HOME=str(tmp))
            subprocess.run([soffice, "--headless", "--convert-to", "pdf", "--outdir", str(lo),
                            str(book)], check=True, stdout=subprocess.DEVNULL, env=env)
            lo_pdf = next(lo.glob("*.pdf"))
            found, pages = scan_pdf(lo_pdf, tmp)
            ok &= compare("LibreOffice", found, want, pages)
    print("all codes read back" if ok else "FAILED")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
