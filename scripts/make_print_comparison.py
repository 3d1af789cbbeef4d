#!/usr/bin/python3
"""Side-by-side pictures of kelv's and LibreOffice's printed pages.

Makes the demo's data workbook (300 examinees), prints it to PDF with
`kelv pdf` and with LibreOffice, and renders the first page of each of the
five sample tables from both files (pdftoppm) into docs/print-TABLE.png,
kelv on the left.

    scripts/setup.sh --docs
    /usr/bin/python3 scripts/make_print_comparison.py build/bin/kelv
"""
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DOCS = os.path.join(ROOT, "docs")
TABLES = [("考场汇总", "room-summary"), ("门贴", "door-list"), ("签到表", "sign-in"),
          ("准考证", "admission"), ("桌贴", "seat-labels")]
DPI = 60


def first_pages(plan_file):
    """Sheet name -> its first page number (1-based) in the whole file."""
    pages, at = {}, 1
    with open(plan_file, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            name, count = line.split("\t")[:2]
            pages[name] = at
            at += int(count)
    return pages


def render(pdf, page, out_prefix):
    subprocess.run(["pdftoppm", "-r", str(DPI), "-png", "-singlefile", "-f", str(page), "-l",
                    str(page), pdf, out_prefix], check=True)
    return Image.open(out_prefix + ".png").convert("RGB")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_print_comparison.py PATH/TO/kelv")
    kelv = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="kelv-print-docs-")
    try:
        demo = os.path.join(work, "demo")
        subprocess.run([kelv, "demo", demo, "--examinees", "300"], check=True,
                       stdout=subprocess.DEVNULL)
        book = os.path.join(demo, "数据", "期末考试.xlsx")
        mine = os.path.join(work, "kelv.pdf")
        subprocess.run([kelv, "pdf", book, "-o", mine], check=True, stdout=subprocess.DEVNULL)
        profile = "file://" + os.path.join(work, "profile")
        subprocess.run(["soffice", "-env:UserInstallation=" + profile, "--headless",
                        "--convert-to", "pdf", "--outdir", os.path.join(work, "lo"), book],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        theirs = os.path.join(work, "lo", "期末考试.pdf")
        pages = first_pages(os.path.join(ROOT, "tests", "print", "data", "page-plan-300.txt"))
        font = ImageFont.truetype(
            subprocess.run(["fc-match", "-f", "%{file}", "WenQuanYi Micro Hei"],
                           capture_output=True, text=True, check=True).stdout, 18)
        for name, slug in TABLES:
            left = render(mine, pages[name], os.path.join(work, "k-" + slug))
            right = render(theirs, pages[name], os.path.join(work, "l-" + slug))
            gap, head = 24, 34
            sheet = Image.new("RGB", (left.width + right.width + gap * 3,
                                      max(left.height, right.height) + head + gap),
                              (200, 200, 200))
            draw = ImageDraw.Draw(sheet)
            draw.text((gap, 8), "kelv：%s" % name, fill=(0, 0, 0), font=font)
            draw.text((left.width + gap * 2, 8), "LibreOffice：%s" % name, fill=(0, 0, 0),
                      font=font)
            sheet.paste(left, (gap, head))
            sheet.paste(right, (left.width + gap * 2, head))
            target = os.path.join(DOCS, "print-%s.png" % slug)
            sheet.save(target, optimize=True)
            print(target)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
