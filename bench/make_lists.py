#!/usr/bin/python3
"""Writes the readers benchmark's inputs: a 100,000-row examinee list as
.xls (python3-xlwt; two sheets, a BIFF8 sheet holds 65,536 rows) and as a
GB18030 .csv.   make_lists.py FOLDER"""
import datetime
import os
import sys

import xlwt

ROWS = 100000
SURNAMES = "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗"
GIVEN = ["伟", "芳", "娜", "秀英", "敏", "静", "丽", "强", "磊", "军", "子涵", "浩然"]
SCHOOLS = ["第一中学", "第二中学", "实验中学", "外国语学校", "育才中学", "城关中学"]


def row(i):
    return ["2024%06d" % i, SURNAMES[i % 20] + GIVEN[i % 12], "1101052008%02d%02d%04d" % (1 + i % 12, 1 + i % 28, i % 10000),
            SCHOOLS[i % 6], "%d班" % (1 + i % 12), 60 + (i * 37) % 41 + 0.5, datetime.date(2008, 1 + i % 12, 1 + i % 28)]


def main(folder):
    os.makedirs(folder, exist_ok=True)
    heads = ["考号", "姓名", "身份证号", "学校", "班级", "成绩", "生日"]
    book = xlwt.Workbook(encoding="utf-8")
    text = xlwt.easyxf(num_format_str="@")
    date = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    sheet = None
    r = 0
    for i in range(1, ROWS + 1):
        if sheet is None or r == 65536:
            sheet = book.add_sheet("考生%d" % (len(book._Workbook__worksheets) + 1))
            for c, h in enumerate(heads):
                sheet.write(0, c, h)
            r = 1
        v = row(i)
        sheet.write(r, 0, v[0], text)
        sheet.write(r, 1, v[1])
        sheet.write(r, 2, v[2], text)
        sheet.write(r, 3, v[3])
        sheet.write(r, 4, v[4])
        sheet.write(r, 5, v[5])
        sheet.write(r, 6, v[6], date)
        r += 1
        if r % 1000 == 0:
            sheet.flush_row_data()
    book.save(os.path.join(folder, "考生名单.xls"))
    with open(os.path.join(folder, "考生名单.csv"), "w", encoding="gb18030", newline="") as f:
        f.write(",".join(heads) + "\r\n")
        for i in range(1, ROWS + 1):
            v = row(i)
            f.write(",".join([v[0], v[1], v[2], v[3], v[4], "%g" % v[5], v[6].strftime("%Y-%m-%d")]) + "\r\n")


if __name__ == "__main__":
    main(sys.argv[1])
