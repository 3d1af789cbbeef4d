#!/usr/bin/python3
"""Writes the examinee lists the form's tests bring into a new workspace, the
way schools' programs export them.

新生名单.csv: "CSV UTF-8" as a spreadsheet program saves it (byte order
mark, CRLF line ends), 65 examinees of two schools.
转学名单.csv: the same kind of file with 身份证号 kept as a number, so that
the program wrote it in scientific notation and the last digits are gone.
"""
import csv
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
SURNAMES = "王李张刘陈杨赵黄周吴徐孙胡朱高林何郭马罗"
GIVEN = "伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平"


def people(count):
    for i in range(count):
        school = "第一中学" if i % 3 else "实验中学"
        name = SURNAMES[i % len(SURNAMES)] + GIVEN[(i * 7) % len(GIVEN)] + GIVEN[(i * 3) % len(GIVEN)]
        yield ["G3201%02d%06d" % (1 + i % 2, 100000 + i), name, "男女"[i % 2], school,
               "%d班" % (1 + i % 4)]


def write(name, heading, rows):
    with open(HERE / name, "w", encoding="utf-8-sig", newline="") as f:
        out = csv.writer(f, lineterminator="\r\n")
        out.writerow(heading)
        out.writerows(rows)


write("新生名单.csv", ["学籍号", "姓名", "性别", "学校", "班级"], people(65))
write("转学名单.csv", ["姓名", "身份证号", "学校", "班级"],
      [[p[1], "%.5E" % (110105200801011234 + i), p[3], p[4]]
       for i, p in enumerate(people(4))])
