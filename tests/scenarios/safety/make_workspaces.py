#!/usr/bin/python3
"""Writes the workspace of the safety scenarios: "changed-elsewhere".

Run from anywhere: /usr/bin/python3 tests/scenarios/safety/make_workspaces.py

changed-elsewhere/
  the "basic" workspace (考务.xlsx, 数据/初一.xlsx, 帮助.doc), plus
  外部/初一.xlsx   the same data workbook as another program saved it after
                  the user corrected a name (学生3 -> 学生叁); the
                  scenarios copy it over 数据/初一.xlsx while kelv has that
                  file open, as a person fixing the list in another
                  spreadsheet program would
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "workspaces"))

from openpyxl import load_workbook  # noqa: E402
from make_workspaces import basic  # noqa: E402
from wslib import WORKSPACES, save  # noqa: E402

if __name__ == "__main__":
    basic("changed-elsewhere", with_help=True)
    folder = os.path.join(WORKSPACES, "changed-elsewhere")
    wb = load_workbook(os.path.join(folder, "数据", "初一.xlsx"))
    ws = wb["考生表"]
    for row in ws.iter_rows(min_row=2):
        if row[0].value == "学生3":
            row[0].value = "学生叁"
    save(wb, os.path.join(folder, "外部", "初一.xlsx"))
