"""Building blocks of the scenario workspaces, shared by the groups' scripts.

The host workbook is put together from 开始, the settings sheet DTB (hidden;
catalogue headings in row 1, one catalogue row per template from row 2 in
columns D.., exam settings in BI2:BJ4), the base sheet MBB (very hidden) and
template sheets; a data workbook holds 考场表 and 考生表. Everything is
written by openpyxl, so the scenarios read files that kelv did not write.
"""
import os
import shutil

from openpyxl import Workbook

WORKSPACES = os.path.dirname(os.path.abspath(__file__))

# Row 1 of DTB by column: the catalogue (E..M) and the page setup (U..AC).
CATALOGUE_HEADINGS = dict(enumerate(
    ["模板名称", "行数", "列数", "行距", "列距", "排序列", "换页列", "横排", "数据源"], start=5))
PAGE_SETUP_HEADINGS = dict(enumerate(
    ["左页脚", "中页脚", "右页脚", "上边距", "下边距", "方向", "纸张", "缩放", "打印质量"], start=21))

ROOM_HEADINGS = ["考场", "场人", "考室", "监考甲", "监考乙", "首考号", "尾考号"]


def workspace(name):
    """A fresh, empty workspace folder under workspaces/."""
    folder = os.path.join(WORKSPACES, name)
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    return folder


def save(wb, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    wb.save(path)


def touch(path, text="x"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def host_workbook(start_text="考务编排"):
    """A workbook whose only sheet is 开始 (with `start_text` in A1 unless None)."""
    wb = Workbook()
    wb.active.title = "开始"
    if start_text is not None:
        wb.active["A1"] = start_text
    return wb


def exam(start="0001", cycle="30", random_order=False, per_room=False):
    """Consistent exam settings: start number and seat cycle as text, then
    the two option pairs (order: in turn / at random; cycle: across the
    exam / per room)."""
    return {(2, 61): start, (2, 62): cycle,
            (3, 61): not random_order, (4, 61): random_order,
            (3, 62): not per_room, (4, 62): per_room}


def settings_sheet(wb, rows=(), exam_cells=None, headings=CATALOGUE_HEADINGS):
    """DTB, hidden: "数据表" in A1, `headings` by column in row 1, catalogue
    rows from row 2 starting in column D (None leaves a cell empty), and
    exam settings by (row, column); texts among those are formatted "@"."""
    dtb = wb.create_sheet("DTB")
    dtb.sheet_state = "hidden"
    dtb["A1"] = "数据表"
    for column, heading in headings.items():
        dtb.cell(row=1, column=column, value=heading)
    for r, row in enumerate(rows, start=2):
        for k, value in enumerate(row):
            if value is not None:
                dtb.cell(row=r, column=4 + k, value=value)
    for (r, c), value in (exam_cells or {}).items():
        cell = dtb.cell(row=r, column=c, value=value)
        if isinstance(value, str):
            cell.number_format = "@"
    return dtb


def base_sheet(wb, cells=None):
    """MBB, very hidden, holding `cells` ({"A1": value, ...})."""
    mbb = wb.create_sheet("MBB")
    mbb.sheet_state = "veryHidden"
    for ref, value in (cells or {}).items():
        mbb[ref] = value
    return mbb


def template_sheet(wb, name):
    """A template sheet with its design caption in A1."""
    ws = wb.create_sheet(name)
    ws["A1"] = f"<{name} 模板设计>"
    return ws


def data_workbook(rooms, examinees, examinee_headings, room_headings=ROOM_HEADINGS,
                  sheets=("考场表", "考生表")):
    """考场表 and 考生表 (those of them named in `sheets`), each a heading row
    and then its rows; a workbook with neither holds an empty Sheet1."""
    wb = Workbook()
    wb.remove(wb.active)
    if "考场表" in sheets:
        ws = wb.create_sheet("考场表")
        ws.append(room_headings)
        for room in rooms:
            ws.append(list(room))
    if "考生表" in sheets:
        ws = wb.create_sheet("考生表")
        ws.append(examinee_headings)
        for row in examinees:
            ws.append(list(row))
    if not wb.sheetnames:
        wb.create_sheet("Sheet1")
    return wb
