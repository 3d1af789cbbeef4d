#!/usr/bin/python3
"""Writes the reader fixtures with other programs and dumps them with xlrd.

    /usr/bin/python3 tests/data/readers/make_fixtures.py

Needs python3-xlwt, python3-xlrd, python3-openpyxl and LibreOffice
(scripts/setup.sh --docs). The files and the dumps are checked in; the
tests never run this.

- xlwt.xls: python3-xlwt; Chinese text, dates, merged cells, widths, a
  shared-string table long enough to be split over CONTINUE records.
- calc.xls: an .xlsx with formulas (openpyxl) saved as .xls by LibreOffice,
  which stores every formula's result.
- calc.html: the same workbook as LibreOffice's HTML.
- web-export.xls: an XML spreadsheet of 2003 as web systems send it
  (LibreOffice here cannot write one without its XSLT filters).
- encrypted.xls: xlwt.xls with its WRITEACCESS record turned into FILEPASS.
- truncated.xls, loop.xls: a stream cut short, a FAT chain looping on itself.
- examinees-*.csv / .txt: one table in GB18030, UTF-8 with and without the
  mark, and UTF-16LE tab-separated text.
- *.xlrd.json: what xlrd reads from each .xls: every non-empty cell with its
  type (text, number, date, bool, error) and value, dates as ISO text.
"""
import datetime
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

import openpyxl
import xlrd
import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))


def write_xlwt(path):
    book = xlwt.Workbook(encoding="utf-8")
    date = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    stamp = xlwt.easyxf(num_format_str="yyyy-mm-dd hh:mm")
    money = xlwt.easyxf(num_format_str="#,##0.00")
    text = xlwt.easyxf(num_format_str="@")
    s = book.add_sheet("考生")
    heads = ["考号", "姓名", "身份证号", "学校", "班级", "生日", "成绩", "到校"]
    for c, h in enumerate(heads):
        s.write(0, c, h)
    schools = ["第一中学", "实验学校", "育才中学"]
    for i in range(1, 41):
        s.write(i, 0, "2024%06d" % i, text)
        s.write(i, 1, "学生%d号" % i)
        s.write(i, 2, "11010520%02d0101%04d" % (i % 10, i), text)
        s.write(i, 3, schools[i % 3])
        s.write(i, 4, i % 5 + 1)
        s.write(i, 5, datetime.date(2008, 1 + i % 12, 1 + i % 28), date)
        s.write(i, 6, 60 + i * 0.75, money)
        s.write(i, 7, datetime.datetime(2024, 9, 1, 7, 30 + i % 30), stamp)
    s.write(41, 0, True)
    s.write(41, 1, -12345678)
    s.write(41, 2, 1.5e-7)
    s.write_merge(43, 44, 0, 3, "合并的单元格：考场安排说明")
    s.write_merge(45, 45, 4, 6, "横向合并")
    s.col(0).width = 256 * 14
    s.col(2).width = 256 * 22
    s.row(43).height_mismatch = True
    s.row(43).height = 600
    # Long enough that the shared strings run over several CONTINUE records,
    # with Chinese strings split between them.
    t = book.add_sheet("长文本")
    for i in range(150):
        t.write(i, 0, "第%d行：" % i + "考试座位安排与监考说明" * (1 + i % 7))
        t.write(i, 1, "line %d" % i)
        t.write(i, 2, i * 3)
    e = book.add_sheet("空表")
    del e
    book.save(path)


def write_calc_source(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "成绩"
    ws.append(["姓名", "语文", "数学", "总分", "评语", "及格", "日期", "比率"])
    rows = [("张三", 88, 92), ("李四", 75, 58), ("王五", 100, 99), ("赵六", 0, 61)]
    for r, (name, a, b) in enumerate(rows, start=2):
        ws.cell(r, 1, name)
        ws.cell(r, 2, a)
        ws.cell(r, 3, b)
        ws.cell(r, 4, "=B%d+C%d" % (r, r))
        ws.cell(r, 5, '=IF(D%d>=150,"优秀","一般")' % r)
        ws.cell(r, 6, "=AND(B%d>=60,C%d>=60)" % (r, r))
        ws.cell(r, 7, "=DATE(2024,%d,%d)" % (r, r * 3)).number_format = "yyyy-mm-dd"
        ws.cell(r, 8, "=B%d/C%d" % (r, r))
    ws.cell(6, 1, "错误")
    ws.cell(6, 2, "=1/0")
    ws.cell(6, 3, '=""')
    ws.cell(6, 4, "=SUM(D2:D5)")
    ws.cell(7, 1, "0012345")
    ws.merge_cells("A9:C10")
    ws.cell(9, 1, "合并说明")
    ws.column_dimensions["A"].width = 16
    s2 = wb.create_sheet("第二页")
    for i in range(1, 30):
        s2.cell(i, 1, i)
        s2.cell(i, 2, "=A%d*A%d" % (i, i))
        s2.cell(i, 3, "=TEXT(A%d,\"000\")" % i)
    wb.save(path)


def soffice(args, cwd):
    subprocess.run(["soffice", "--headless", "--norestore"] + args, cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)


def dump(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    out = {"sheets": []}
    for sh in book.sheets():
        cells = []
        for r in range(sh.nrows):
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                t = cell.ctype
                if t in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                if t == xlrd.XL_CELL_TEXT:
                    cells.append([r + 1, c + 1, "text", cell.value])
                elif t == xlrd.XL_CELL_NUMBER:
                    cells.append([r + 1, c + 1, "number", cell.value])
                elif t == xlrd.XL_CELL_DATE:
                    y, mo, d, h, mi, s = xlrd.xldate_as_tuple(cell.value, book.datemode)
                    cells.append([r + 1, c + 1, "date",
                                  "%04d-%02d-%02dT%02d:%02d:%02d" % (y, mo, d, h, mi, s)])
                elif t == xlrd.XL_CELL_BOOLEAN:
                    cells.append([r + 1, c + 1, "bool", bool(cell.value)])
                elif t == xlrd.XL_CELL_ERROR:
                    cells.append([r + 1, c + 1, "error", xlrd.error_text_from_code[cell.value]])
        merges = [[r1 + 1, c1 + 1, r2, c2] for (r1, r2, c1, c2) in sh.merged_cells]
        out["sheets"].append({"name": sh.name, "cells": cells, "merges": sorted(merges)})
    with open(path + ".xlrd.json", "w", encoding="utf-8") as f:
        json.dump(out, f, ensure_ascii=False, indent=0)
        f.write("\n")


def stream_record_offset(data, record_type):
    """Offset in the file of the first record of a type in a small xlwt file
    whose Workbook stream lies in consecutive regular sectors."""
    i = data.find(struct.pack("<HH", 0x0809, 16))
    while i + 4 <= len(data):
        t, n = struct.unpack_from("<HH", data, i)
        if t == record_type:
            return i
        i += 4 + n
    raise ValueError("record not found")


def damage(src):
    data = bytearray(open(src, "rb").read())
    # FILEPASS in place of WRITEACCESS (0x005C), same length.
    enc = bytearray(data)
    at = stream_record_offset(bytes(enc), 0x005C)
    struct.pack_into("<H", enc, at, 0x002F)
    open(os.path.join(HERE, "encrypted.xls"), "wb").write(enc)
    # A FAT whose first entry points at itself.
    loop = bytearray(data)
    fat_sector = struct.unpack_from("<I", loop, 0x4C)[0]
    fat_at = (fat_sector + 1) * 512
    first_dir = struct.unpack_from("<I", loop, 0x30)[0]
    struct.pack_into("<I", loop, fat_at + 4 * first_dir, first_dir)
    open(os.path.join(HERE, "loop.xls"), "wb").write(loop)
    # The file cut after its directory: the Workbook stream ends early.
    open(os.path.join(HERE, "truncated.xls"), "wb").write(data[: len(data) * 2 // 3])


def write_spreadsheet_xml(path):
    xml = """<?xml version="1.0" encoding="UTF-8"?>
<?mso-application progid="Excel.Sheet"?>
<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet"
 xmlns:o="urn:schemas-microsoft-com:office:office"
 xmlns:x="urn:schemas-microsoft-com:office:excel"
 xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet"
 xmlns:html="http://www.w3.org/TR/REC-html40">
 <Styles>
  <Style ss:ID="Default" ss:Name="Normal"><Alignment ss:Vertical="Center"/></Style>
  <Style ss:ID="d"><NumberFormat ss:Format="yyyy\-mm\-dd"/></Style>
  <Style ss:ID="t"><NumberFormat ss:Format="@"/></Style>
 </Styles>
 <Worksheet ss:Name="考生名单">
  <Table ss:ExpandedColumnCount="5" ss:ExpandedRowCount="5">
   <Column ss:Width="90"/><Column ss:Index="3" ss:Width="150"/>
   <Row><Cell><Data ss:Type="String">考号</Data></Cell><Cell><Data ss:Type="String">姓名</Data></Cell><Cell><Data ss:Type="String">身份证号</Data></Cell><Cell><Data ss:Type="String">生日</Data></Cell><Cell><Data ss:Type="String">成绩</Data></Cell></Row>
   <Row><Cell ss:StyleID="t"><Data ss:Type="String">0024010001</Data></Cell><Cell><Data ss:Type="String">张三</Data></Cell><Cell ss:StyleID="t"><Data ss:Type="String">110105200801011234</Data></Cell><Cell ss:StyleID="d"><Data ss:Type="DateTime">2008-01-01T00:00:00.000</Data></Cell><Cell><Data ss:Type="Number">95.5</Data></Cell></Row>
   <Row ss:Height="30"><Cell ss:StyleID="t"><Data ss:Type="String">0024010002</Data></Cell><Cell><Data ss:Type="String">李&amp;四</Data></Cell><Cell ss:Index="4" ss:StyleID="d"><Data ss:Type="DateTime">2008-02-29T00:00:00.000</Data></Cell><Cell><Data ss:Type="Boolean">1</Data></Cell></Row>
   <Row ss:Index="5"><Cell ss:MergeAcross="2"><Data ss:Type="String">合并的说明</Data></Cell><Cell ss:Index="5"><Data ss:Type="Error">#DIV/0!</Data></Cell></Row>
  </Table>
 </Worksheet>
 <Worksheet ss:Name="Sheet2"><Table/></Worksheet>
</Workbook>
"""
    with open(path, "w", encoding="utf-8") as f:
        f.write(xml)


def write_csv():
    rows = [
        ["考号", "姓名", "身份证号", "电话", "学校", "成绩", "备注"],
        ["2024010001", "张三", "110105200801011234", "13800138000", "第一中学", "95.5", ""],
        ["2024010002", "李四", "11010520080202123X", "013912345678", "实验学校", "88", "转学生"],
        ["0024010003", "王五", "110105200803031236", "13700137000", "育才中学", "1,234",
         "备注含逗号, 引号\"和\n换行"],
        ["2024010004", "赵六", "110105200804041238", "", "第一中学", "-7", "2024-01-05"],
    ]

    def quote(v, sep):
        if any(ch in v for ch in (sep, '"', "\n")):
            return '"' + v.replace('"', '""') + '"'
        return v

    def text(sep):
        return "\r\n".join(sep.join(quote(v, sep) for v in r) for r in rows) + "\r\n"

    with open(os.path.join(HERE, "examinees-gb18030.csv"), "wb") as f:
        f.write(text(",").encode("gb18030"))
    with open(os.path.join(HERE, "examinees-utf8.csv"), "wb") as f:
        f.write(text(",").encode("utf-8"))
    with open(os.path.join(HERE, "examinees-utf8-bom.csv"), "wb") as f:
        f.write(b"\xef\xbb\xbf" + text(";").encode("utf-8"))
    with open(os.path.join(HERE, "examinees-utf16.txt"), "wb") as f:
        f.write(b"\xff\xfe" + text("\t").encode("utf-16-le"))


def main():
    write_xlwt(os.path.join(HERE, "xlwt.xls"))
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "calc.xlsx")
        write_calc_source(src)
        soffice(["--convert-to", "xls:MS Excel 97", "--outdir", tmp, src], tmp)
        soffice(["--convert-to", "html:HTML (StarCalc)", "--outdir", tmp, src], tmp)
        for ext in ("xls", "html"):
            shutil.copy(os.path.join(tmp, "calc." + ext), os.path.join(HERE, "calc." + ext))
    write_spreadsheet_xml(os.path.join(HERE, "web-export.xls"))
    for name in ("xlwt.xls", "calc.xls"):
        dump(os.path.join(HERE, name))
    damage(os.path.join(HERE, "xlwt.xls"))
    write_csv()
    return 0


if __name__ == "__main__":
    sys.exit(main())
