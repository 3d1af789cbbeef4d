#!/usr/bin/python3
"""Checks, with openpyxl, a file kelv wrote from openpyxl_features.xlsx.
Exit status 0 when everything reads as the source had it."""
import sys

from openpyxl import load_workbook

path = sys.argv[1]
wb = load_workbook(path)
problems = []


def check(what, got, want):
    if got != want:
        problems.append(f"{what}: {got!r} != {want!r}")


ws = wb["考生表"]
check("sheets", wb.sheetnames, ["考生表", "设置", "MBB"])
check("hidden", wb["设置"].sheet_state, "hidden")
check("very hidden", wb["MBB"].sheet_state, "veryHidden")
check("A1", ws["A1"].value, "姓名")
check("B2", ws["B2"].value, 98.5)
check("C2", ws["C2"].value, True)
check("B3", ws["B3"].value, 0.1)
check("A5", ws["A5"].value, "  ")
check("A6", ws["A6"].value, 1e20)
check("B4", ws["B4"].value, "=SUM(B2:B3)")
check("A1 font", (ws["A1"].font.name, ws["A1"].font.sz, ws["A1"].font.b, ws["A1"].font.i),
      ("宋体", 14, True, True))
check("A1 colour", ws["A1"].font.color.rgb, "FFFF0000")
check("B1 fill", (ws["B1"].fill.fill_type, ws["B1"].fill.fgColor.rgb), ("solid", "FFFFFF00"))
check("C1 border", (ws["C1"].border.left.style, ws["C1"].border.bottom.style), ("thin", "double"))
check("B2 format", ws["B2"].number_format, "0.00")
check("A2 alignment", (ws["A2"].alignment.horizontal, ws["A2"].alignment.wrap_text), ("center", True))
check("merges", [str(r) for r in ws.merged_cells.ranges], ["D1:E2"])
check("width A", ws.column_dimensions["A"].width, 20)
check("hidden F", ws.column_dimensions["F"].hidden, True)
check("height 2", ws.row_dimensions[2].height, 30)
check("hidden 8", ws.row_dimensions[8].hidden, True)
check("freeze", ws.freeze_panes, "B2")
check("tab colour", ws.sheet_properties.tabColor.rgb, "FF00FF00")
check("orientation", ws.page_setup.orientation, "landscape")
check("paper", str(ws.page_setup.paperSize), "9")
check("scale", str(ws.page_setup.scale), "80")
check("margins", (ws.page_margins.left, ws.page_margins.top), (0.5, 1.0))
check("centred", ws.print_options.horizontalCentered, True)
check("footer", ws.oddFooter.center.text, "第 &P 页，共 &N 页")
check("breaks", [b.id for b in ws.row_breaks.brk], [10, 20])
check("pictures", len(ws._images), 2)
check("picture places", sorted((i.anchor._from.col, i.anchor._from.row) for i in ws._images),
      [(1, 9), (3, 11)])
check("validations", len(ws.data_validations.dataValidation), 1)
check("conditional formats", len(ws.conditional_formatting), 1)
check("comment", ws["A2"].comment.text if ws["A2"].comment else None, "备注")
check("name", wb.defined_names["考生"].attr_text, "考生表!$A$1:$C$3")
check("fit", wb["设置"].sheet_properties.pageSetUpPr.fitToPage, True)

for p in problems:
    print("openpyxl read-back:", p)
sys.exit(1 if problems else 0)
