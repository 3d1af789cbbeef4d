#!/usr/bin/python3
"""Writes the interop test workbooks of the xlsx tests.

  openpyxl_features.xlsx     made by openpyxl
  libreoffice_features.xlsx  the same workbook converted by LibreOffice
                             (soffice --headless --convert-to xlsx)
  chartsheet.xlsx            made by openpyxl: a chart sheet between two
                             worksheets, the last one active with a print area
  macro.xlsm                 prefixed.xlsx made macro-enabled, with a
                             (dummy) vbaProject.bin part
  fuzz_seeds/*.seed          parts of the files above for the reader's fuzz
                             target (first byte: which part they replace)
  prefixed.xlsx              hand-written XML: an "x:" prefix for the main
                             namespace, shared formulas, inline and rich
                             strings with phonetic runs, whitespace-only text,
                             a chart part and a custom part kept as written

Run from this folder: /usr/bin/python3 make_files.py
"""
import io
import os
import shutil
import subprocess
import tempfile
import zipfile

from openpyxl import Workbook
from openpyxl.comments import Comment
from openpyxl.drawing.image import Image
from openpyxl.formatting.rule import CellIsRule
from openpyxl.styles import Alignment, Border, Font, GradientFill, PatternFill, Protection, Side
from openpyxl.workbook.defined_name import DefinedName
from openpyxl.worksheet.datavalidation import DataValidation
from openpyxl.worksheet.pagebreak import Break
from PIL import Image as PILImage

HERE = os.path.dirname(os.path.abspath(__file__))


def png_bytes(color, size):
    buf = io.BytesIO()
    PILImage.new("RGB", size, color).save(buf, format="PNG")
    buf.seek(0)
    return buf


def make_openpyxl(path):
    wb = Workbook()
    ws = wb.active
    ws.title = "考生表"
    ws["A1"] = "姓名"
    ws["B1"] = "分数"
    ws["C1"] = "通过"
    ws["A2"] = "张三"
    ws["B2"] = 98.5
    ws["C2"] = True
    ws["A3"] = "李四"
    ws["B3"] = 0.1
    ws["C3"] = False
    ws["B4"] = "=SUM(B2:B3)"
    ws["A5"] = "  "
    ws["A6"] = 1e20
    ws["A7"] = -1.5e-10
    ws["A1"].font = Font(name="宋体", size=14, bold=True, italic=True, color="FFFF0000")
    ws["B1"].fill = PatternFill("solid", fgColor="FFFFFF00")
    ws["C1"].border = Border(left=Side("thin", color="FF0000FF"), bottom=Side("double"))
    ws["B2"].number_format = "0.00"
    ws["B3"].number_format = "0%"
    ws["A2"].alignment = Alignment(horizontal="center", vertical="top", wrap_text=True)
    ws["A3"].protection = Protection(locked=False, hidden=True)
    ws["C2"].font = Font(color="FF00B050", underline="single")
    ws["E5"] = "渐变"
    ws["E5"].fill = GradientFill(stop=("FFFF0000", "FF0000FF"))
    ws.merge_cells("D1:E2")
    ws["D1"] = "合并"
    ws.column_dimensions["A"].width = 20
    ws.column_dimensions["F"].hidden = True
    ws.row_dimensions[2].height = 30
    ws.row_dimensions[8].hidden = True
    ws.freeze_panes = "B2"
    ws.sheet_properties.tabColor = "FF00FF00"
    ws.page_setup.orientation = "landscape"
    ws.page_setup.paperSize = 9
    ws.page_setup.scale = 80
    ws.page_setup.horizontalDpi = 300
    ws.page_setup.verticalDpi = 300
    ws.page_margins.left = 0.5
    ws.page_margins.top = 1.0
    ws.print_options.horizontalCentered = True
    ws.oddFooter.center.text = "第 &P 页，共 &N 页"
    ws.row_breaks.append(Break(id=10))
    ws.row_breaks.append(Break(id=20))
    img = Image(png_bytes((200, 30, 30), (64, 48)))
    img.anchor = "B10"
    ws.add_image(img)
    img2 = Image(png_bytes((200, 30, 30), (64, 48)))
    img2.anchor = "D12"
    ws.add_image(img2)
    dv = DataValidation(type="list", formula1='"是,否"', allow_blank=True)
    ws.add_data_validation(dv)
    dv.add("C2:C20")
    ws.conditional_formatting.add(
        "B2:B20", CellIsRule(operator="lessThan", formula=["60"], fill=PatternFill("solid", fgColor="FFFFC7CE")))
    ws["A2"].comment = Comment("备注", "kelv")

    ws2 = wb.create_sheet("设置")
    ws2.sheet_state = "hidden"
    ws2["A1"] = 1
    ws2.page_setup.fitToWidth = 1
    ws2.page_setup.fitToHeight = 0
    ws2.sheet_properties.pageSetUpPr.fitToPage = True
    ws3 = wb.create_sheet("MBB")
    ws3.sheet_state = "veryHidden"
    ws3["B3"] = "模板"
    wb.defined_names.append(DefinedName("考生", attr_text="考生表!$A$1:$C$3"))
    wb.active = 0
    wb.save(path)


def make_libreoffice(source, path):
    soffice = shutil.which("soffice")
    if not soffice:
        print("soffice not found; libreoffice_features.xlsx not made")
        return
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "in.xlsx")
        shutil.copy(source, src)
        out = os.path.join(tmp, "out")
        os.mkdir(out)
        subprocess.run([soffice, "--headless", f"-env:UserInstallation=file://{tmp}/profile",
                        "--convert-to", "xlsx", "--outdir", out, src],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180)
        shutil.copy(os.path.join(out, "in.xlsx"), path)


MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"


def make_prefixed(path):
    files = {
        "[Content_Types].xml": (
            '<?xml version="1.0" encoding="UTF-8"?>'
            '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            '<Default Extension="xml" ContentType="application/xml"/>'
            '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
            '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
            '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
            '<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
            '<Override PartName="/customXml/item1.xml" ContentType="application/xml"/>'
            '</Types>'),
        "_rels/.rels": (
            '<?xml version="1.0" encoding="UTF-8"?>'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>'
            '</Relationships>'),
        "xl/_rels/workbook.xml.rels": (
            '<?xml version="1.0" encoding="UTF-8"?>'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>'
            '<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>'
            '<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="/xl/styles.xml"/>'
            '<Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/customXml" Target="../customXml/item1.xml"/>'
            '</Relationships>'),
        "xl/workbook.xml": (
            f'<?xml version="1.0" encoding="UTF-8"?><x:workbook xmlns:x="{MAIN}" xmlns:r="{REL}">'
            '<x:bookViews><x:workbookView activeTab="0" tabRatio="750"/></x:bookViews>'
            '<x:sheets><x:sheet name="数据" sheetId="1" r:id="rId1"/></x:sheets></x:workbook>'),
        "xl/styles.xml": (
            f'<?xml version="1.0" encoding="UTF-8"?><x:styleSheet xmlns:x="{MAIN}">'
            '<x:numFmts count="1"><x:numFmt numFmtId="164" formatCode="0.000"/></x:numFmts>'
            '<x:fonts count="2"><x:font><x:sz val="11"/><x:name val="宋体"/><x:charset val="134"/></x:font>'
            '<x:font><x:b/><x:sz val="12"/><x:color theme="1" tint="-0.249977111117893"/><x:name val="黑体"/></x:font></x:fonts>'
            '<x:fills count="2"><x:fill><x:patternFill patternType="none"/></x:fill><x:fill><x:patternFill patternType="gray125"/></x:fill></x:fills>'
            '<x:borders count="1"><x:border><x:left/><x:right/><x:top/><x:bottom/><x:diagonal/></x:border></x:borders>'
            '<x:cellStyleXfs count="1"><x:xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></x:cellStyleXfs>'
            '<x:cellXfs count="3"><x:xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>'
            '<x:xf numFmtId="164" fontId="1" fillId="0" borderId="0" xfId="0" applyNumberFormat="1" applyFont="1"/>'
            '<x:xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></x:cellXfs>'
            '<x:cellStyles count="1"><x:cellStyle name="常规" xfId="0" builtinId="0"/></x:cellStyles>'
            '<x:dxfs count="1"><x:dxf><x:font><x:color rgb="FF9C0006"/></x:font></x:dxf></x:dxfs>'
            '</x:styleSheet>'),
        "xl/sharedStrings.xml": (
            f'<?xml version="1.0" encoding="UTF-8"?><x:sst xmlns:x="{MAIN}" count="3" uniqueCount="3">'
            '<x:si><x:t>考号</x:t></x:si>'
            '<x:si><x:r><x:rPr><x:b/></x:rPr><x:t>王</x:t></x:r><x:r><x:t xml:space="preserve"> 五</x:t></x:r>'
            '<x:rPh sb="0" eb="1"><x:t>ワン</x:t></x:rPh></x:si>'
            '<x:si><x:t xml:space="preserve">   </x:t></x:si>'
            '</x:sst>'),
        "xl/worksheets/sheet1.xml": (
            f'<?xml version="1.0" encoding="UTF-8"?><x:worksheet xmlns:x="{MAIN}" xmlns:r="{REL}" '
            'xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" '
            'xmlns:x14ac="http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac" mc:Ignorable="x14ac">'
            '<x:sheetPr codeName="Sheet1"><x:tabColor theme="4" tint="0.39997558519241921"/></x:sheetPr>'
            '<x:dimension ref="A1:D6"/>'
            '<x:sheetViews><x:sheetView tabSelected="1" topLeftCell="A2" workbookViewId="0" view="pageBreakPreview">'
            '<x:selection activeCell="C4" sqref="C4:D5 A1"/></x:sheetView></x:sheetViews>'
            '<x:sheetFormatPr defaultRowHeight="13.5" x14ac:dyDescent="0.15"/>'
            '<x:cols><x:col min="1" max="2" width="12.625" customWidth="1"/></x:cols>'
            '<x:sheetData>'
            '<x:row r="1" ht="20.25" customHeight="1"><x:c r="A1" t="s"><x:v>0</x:v></x:c><x:c r="B1" t="s"><x:v>1</x:v></x:c>'
            '<x:c r="C1" t="s"><x:v>2</x:v></x:c><x:c r="D1" t="inlineStr"><x:is><x:t xml:space="preserve"> </x:t></x:is></x:c></x:row>'
            '<x:row r="2"><x:c r="A2" s="1"><x:v>1.5</x:v></x:c><x:c r="B2"><x:f t="shared" ref="B2:B4" si="0">A2*2+$A$1</x:f><x:v>3</x:v></x:c>'
            '<x:c r="C2" t="inlineStr"><x:is><x:r><x:t>甲</x:t></x:r><x:r><x:t>乙</x:t></x:r></x:is></x:c>'
            '<x:c r="D2" t="e"><x:v>#N/A</x:v></x:c></x:row>'
            '<x:row r="3"><x:c r="A3"><x:v>2</x:v></x:c><x:c r="B3"><x:f t="shared" si="0"/><x:v>4</x:v></x:c>'
            '<x:c r="C3" t="str"><x:f>"a"&amp;"b"</x:f><x:v>ab</x:v></x:c><x:c r="D3" t="b"><x:v>1</x:v></x:c></x:row>'
            '<x:row r="4"><x:c r="A4" s="2" t="s"><x:v>0</x:v></x:c><x:c r="B4"><x:f t="shared" si="0"/><x:v>5</x:v></x:c></x:row>'
            '<x:row r="6"><x:c r="A6"><x:v>0.1</x:v></x:c><x:c r="B6"><x:v>1E+20</x:v></x:c></x:row>'
            '</x:sheetData>'
            '<x:conditionalFormatting sqref="A2:A6"><x:cfRule type="cellIs" dxfId="0" priority="1" operator="greaterThan">'
            '<x:formula>1</x:formula></x:cfRule></x:conditionalFormatting>'
            '<x:pageMargins left="0.75" right="0.75" top="1" bottom="1" header="0.5" footer="0.5"/>'
            '<x:pageSetup paperSize="9" orientation="portrait" blackAndWhite="1"/>'
            '<x:headerFooter><x:oddHeader>&amp;C考场</x:oddHeader></x:headerFooter>'
            '<x:rowBreaks count="1" manualBreakCount="1"><x:brk id="3" max="16383" man="1"/></x:rowBreaks>'
            '</x:worksheet>'),
        "customXml/item1.xml": '<?xml version="1.0"?><data xmlns="urn:kelv:test"><item>保留</item></data>',
    }
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in files.items():
            z.writestr(name, text.encode("utf-8"))


def make_chartsheet(path):
    from openpyxl.chart import BarChart, Reference
    wb = Workbook()
    ws = wb.active
    ws.title = "数据"
    for i in range(1, 6):
        ws.append([f"考场{i}", i * 10])
    chart = BarChart()
    chart.add_data(Reference(ws, min_col=2, min_row=1, max_row=5))
    cs = wb.create_chartsheet("图表")
    cs.add_chart(chart)
    last = wb.create_sheet("汇总")
    last["A1"] = "合计"
    last.print_area = "A1:B2"
    wb.active = 2
    wb.save(path)


def make_macro(source, path):
    with zipfile.ZipFile(source) as src, zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as out:
        for item in src.infolist():
            data = src.read(item.filename)
            if item.filename == "[Content_Types].xml":
                data = data.replace(b"spreadsheetml.sheet.main+xml", b"").replace(
                    b"application/vnd.openxmlformats-officedocument.\"",
                    b"application/vnd.ms-excel.sheet.macroEnabled.main+xml\"")
                data = data.replace(
                    b"</Types>",
                    b'<Default Extension="bin" ContentType="application/vnd.ms-office.vbaProject"/></Types>')
            if item.filename == "xl/_rels/workbook.xml.rels":
                data = data.replace(
                    b"</Relationships>",
                    b'<Relationship Id="rId9" Type="http://schemas.microsoft.com/office/2006/relationships/'
                    b'vbaProject" Target="vbaProject.bin"/></Relationships>')
            out.writestr(item.filename, data)
        out.writestr("xl/vbaProject.bin", bytes(range(256)) * 8)


def make_fuzz_seeds(folder):
    os.makedirs(folder, exist_ok=True)
    seeds = [("sheet", 0, "prefixed.xlsx", "xl/worksheets/sheet1.xml"),
             ("strings", 1, "prefixed.xlsx", "xl/sharedStrings.xml"),
             ("styles", 2, "prefixed.xlsx", "xl/styles.xml"),
             ("workbook", 3, "prefixed.xlsx", "xl/workbook.xml"),
             ("drawing", 4, "openpyxl_features.xlsx", "xl/drawings/drawing1.xml")]
    for name, selector, source, part in seeds:
        with zipfile.ZipFile(source) as z, open(os.path.join(folder, name + ".seed"), "wb") as out:
            out.write(bytes([selector]) + z.read(part))


if __name__ == "__main__":
    os.chdir(HERE)
    make_openpyxl("openpyxl_features.xlsx")
    make_libreoffice("openpyxl_features.xlsx", "libreoffice_features.xlsx")
    make_prefixed("prefixed.xlsx")
    make_macro("prefixed.xlsx", "macro.xlsm")
    make_chartsheet("chartsheet.xlsx")
    make_fuzz_seeds("fuzz_seeds")
