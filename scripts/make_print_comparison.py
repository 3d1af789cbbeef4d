#!/usr/bin/python3
"""Side-by-side pictures of kelv's and LibreOffice's printed pages.

Makes the demo's data workbook (300 examinees) and a hand-made workbook
(openpyxl: default and narrow columns, wrapped long words, headings and
grid lines, the usual Chinese fonts), prints both to PDF with `kelv pdf`
and with LibreOffice, and renders from both files (pdftoppm, 60 dpi) the
first two pages of each of the five sample tables and every page of the
hand-made workbook into docs/print/NAME.png, kelv on the left.

    scripts/setup.sh --docs
    /usr/bin/python3 scripts/make_print_comparison.py build/bin/kelv
"""
import os
import shutil
import subprocess
import sys
import tempfile

import openpyxl
from openpyxl.styles import Alignment, Border, Font, Side
from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DOCS = os.path.join(ROOT, "docs", "print")
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


def words(pdf):
    text = subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True,
                          check=True).stdout
    return [set(page.split()) for page in text.split("\f")]


def same_page(mine, page, theirs):
    """The page of `theirs` whose words are most like those of `mine`'s
    page (LibreOffice may print a sheet on more pages, shifting the rest)."""
    a = words(mine)[page - 1]
    pages = words(theirs)
    best = max(range(len(pages)),
               key=lambda i: len(a & pages[i]) / max(1, len(a | pages[i])))
    return best + 1


def hand_made(path):
    """A workbook of the cases the sample tables do not show."""
    wb = openpyxl.Workbook()
    thin = Side(style="thin")
    box = Border(left=thin, right=thin, top=thin, bottom=thin)

    ws = wb.active
    ws.title = "默认列宽"
    ws.print_options.gridLines = True
    ws.print_options.headings = True
    ws.append(["考号", "姓名", "成绩", "学校名称很长的一格", "备注"])
    for i in range(1, 21):
        ws.append([2024010000 + i, "学生%02d" % i, 60 + i * 1.5, "第一中学", "left-aligned"])
    ws.page_setup.paperSize = 9

    ws = wb.create_sheet("窄列")
    for col, width in zip("ABCDEFGH", (1, 2, 3, 4, 5, 6, 8.43, 12)):
        ws.column_dimensions[col].width = width
    for r in range(1, 6):
        for c in range(1, 9):
            cell = ws.cell(r, c, r * 10 ** (c - 1) if r % 2 else "文字%d" % c)
            cell.border = box
    ws.page_setup.paperSize = 9

    ws = wb.create_sheet("换行与字体")
    ws.column_dimensions["A"].width = 14
    ws.column_dimensions["B"].width = 30
    wrap = Alignment(wrap_text=True, vertical="top")
    rows = [
        ("长单词", "D:/照片/2024010001-missing-photo.jpg"),
        ("英文", "antidisestablishmentarianism floccinaucinihilipilification"),
        ("中文", "考生须持准考证和身份证按时进入考场，对号入座。"),
    ]
    for i, (label, text) in enumerate(rows, start=1):
        ws.cell(i, 1, label).border = box
        cell = ws.cell(i, 2, text)
        cell.alignment = wrap
        cell.border = box
        ws.column_dimensions["C"].width = 6
        narrow = ws.cell(i, 3, text)
        narrow.alignment = wrap
        narrow.border = box
        ws.row_dimensions[i].height = 60
    for i, name in enumerate(["宋体", "仿宋", "楷体", "黑体", "微软雅黑", "Calibri"], start=5):
        ws.cell(i, 1, name).font = Font(name=name, size=12)
        ws.cell(i, 2, "%s：考场安排 left-aligned 2024" % name).font = Font(name=name, size=12)
    ws.page_setup.paperSize = 9
    wb.save(path)


def side_by_side(left, right, title, target, font):
    gap, head = 24, 34
    sheet = Image.new("RGB", (left.width + right.width + gap * 3,
                              max(left.height, right.height) + head + gap), (200, 200, 200))
    draw = ImageDraw.Draw(sheet)
    draw.text((gap, 8), "kelv：%s" % title, fill=(0, 0, 0), font=font)
    draw.text((left.width + gap * 2, 8), "LibreOffice：%s" % title, fill=(0, 0, 0), font=font)
    sheet.paste(left, (gap, head))
    sheet.paste(right, (left.width + gap * 2, head))
    sheet = sheet.quantize(colors=64)
    sheet.save(target, optimize=True)
    print(target)


def both_pdfs(kelv, book, work, tag):
    mine = os.path.join(work, tag + "-kelv.pdf")
    subprocess.run([kelv, "pdf", book, "-o", mine], check=True, stdout=subprocess.DEVNULL)
    profile = "file://" + os.path.join(work, "profile")
    out = os.path.join(work, tag + "-lo")
    subprocess.run(["soffice", "-env:UserInstallation=" + profile, "--headless",
                    "--convert-to", "pdf", "--outdir", out, book],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return mine, os.path.join(out, os.path.splitext(os.path.basename(book))[0] + ".pdf")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_print_comparison.py PATH/TO/kelv")
    kelv = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="kelv-print-docs-")
    os.makedirs(DOCS, exist_ok=True)
    try:
        font = ImageFont.truetype(
            subprocess.run(["fc-match", "-f", "%{file}", "WenQuanYi Micro Hei"],
                           capture_output=True, text=True, check=True).stdout, 18)
        demo = os.path.join(work, "demo")
        subprocess.run([kelv, "demo", demo, "--examinees", "300"], check=True,
                       stdout=subprocess.DEVNULL)
        mine, theirs = both_pdfs(kelv, os.path.join(demo, "数据", "期末考试.xlsx"), work, "demo")
        pages = first_pages(os.path.join(ROOT, "tests", "print", "data", "page-plan-300.txt"))
        for name, slug in TABLES:
            for k in (0, 1):
                if name == "考场汇总" and k == 1:
                    continue  # one page
                page = pages[name] + k
                left = render(mine, page, os.path.join(work, "k-%s-%d" % (slug, k)))
                right = render(theirs, same_page(mine, page, theirs),
                               os.path.join(work, "l-%s-%d" % (slug, k)))
                side_by_side(left, right, "%s 第 %d 页" % (name, k + 1),
                             os.path.join(DOCS, "%s-%d.png" % (slug, k + 1)), font)
        made = os.path.join(work, "手工表.xlsx")
        hand_made(made)
        mine, theirs = both_pdfs(kelv, made, work, "hand")
        for page, (title, slug) in enumerate([("默认列宽、表头与网格线", "default-widths"),
                                              ("窄列", "narrow-columns"),
                                              ("换行与字体", "wrap-and-fonts")], start=1):
            left = render(mine, page, os.path.join(work, "k-" + slug))
            right = render(theirs, page, os.path.join(work, "l-" + slug))
            side_by_side(left, right, title, os.path.join(DOCS, slug + ".png"), font)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
