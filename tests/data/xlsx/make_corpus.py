#!/usr/bin/python3
"""Writes the hand-made workbooks in corpus/: each holds one thing real-world
files do that a load and save must keep, or one small defect a reader must
open past and report.

  beta-namespace.xlsx     every part in the pre-release 2006 namespace
  empty-inline.xlsx       <c t="inlineStr"/> cells with no string (blank)
                          beside an inline string that is really empty
  active-chart.xlsx       chartsheet.xlsx with the chart sheet the active tab
  panes.xlsx              a split (not frozen) pane, and frozen panes whose
                          scrolling pane is scrolled down and right
  tall-row.xlsx           a row 500 points high, beyond what an application
                          lets a user set
  damaged.xlsx            a shared-string index past the end and a row
                          numbered 0
  broken-rels.xlsx        _rels/.rels that is not XML
  not-finite.xlsx         numbers written as nan, INF and -inf

Run from this folder: /usr/bin/python3 make_corpus.py
"""
import os
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus")

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
BETA = "http://schemas.microsoft.com/office/excel/2006/2"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"
TYPES = "http://schemas.openxmlformats.org/package/2006/content-types"
SHEET_TYPE = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"


def content_types(sheets, strings=True):
    over = [f'<Override PartName="/xl/workbook.xml" ContentType="application/'
            f'vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>']
    for i in range(1, sheets + 1):
        over.append(f'<Override PartName="/xl/worksheets/sheet{i}.xml" ContentType="{SHEET_TYPE}"/>')
    if strings:
        over.append('<Override PartName="/xl/sharedStrings.xml" ContentType="application/'
                    'vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>')
    return (f'<Types xmlns="{TYPES}"><Default Extension="rels" ContentType="application/'
            f'vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" '
            f'ContentType="application/xml"/>{"".join(over)}</Types>')


def package_rels():
    return (f'<Relationships xmlns="{PKG}"><Relationship Id="rId1" Type="{REL}/officeDocument" '
            f'Target="xl/workbook.xml"/></Relationships>')


def workbook_rels(sheets, strings=True):
    rels = [f'<Relationship Id="rId{i}" Type="{REL}/worksheet" Target="worksheets/sheet{i}.xml"/>'
            for i in range(1, sheets + 1)]
    if strings:
        rels.append(f'<Relationship Id="rId{sheets + 1}" Type="{REL}/sharedStrings" '
                    f'Target="sharedStrings.xml"/>')
    return f'<Relationships xmlns="{PKG}">{"".join(rels)}</Relationships>'


def workbook(names, ns=MAIN):
    sheets = "".join(f'<sheet name="{n}" sheetId="{i}" r:id="rId{i}"/>'
                     for i, n in enumerate(names, start=1))
    return f'<workbook xmlns="{ns}" xmlns:r="{REL}"><sheets>{sheets}</sheets></workbook>'


def worksheet(data, ns=MAIN, views="", after=""):
    return f'<worksheet xmlns="{ns}" xmlns:r="{REL}">{views}<sheetData>{data}</sheetData>{after}</worksheet>'


def strings(items, ns=MAIN):
    si = "".join(f"<si><t>{s}</t></si>" for s in items)
    return f'<sst xmlns="{ns}" count="{len(items)}" uniqueCount="{len(items)}">{si}</sst>'


def simple(name, sheets, shared, parts=None):
    """A package of worksheets (name -> sheet XML) and shared strings."""
    p = {
        "[Content_Types].xml": content_types(len(sheets), shared is not None),
        "_rels/.rels": package_rels(),
        "xl/_rels/workbook.xml.rels": workbook_rels(len(sheets), shared is not None),
        "xl/workbook.xml": workbook([n for n, _ in sheets]),
    }
    for i, (_, xml) in enumerate(sheets, start=1):
        p[f"xl/worksheets/sheet{i}.xml"] = xml
    if shared is not None:
        p["xl/sharedStrings.xml"] = shared
    p.update(parts or {})
    write(name, p)


def write(name, parts):
    with zipfile.ZipFile(os.path.join(OUT, name), "w", zipfile.ZIP_DEFLATED) as z:
        for part, text in parts.items():
            z.writestr(part, text)


def beta_namespace():
    data = ('<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1"><v>2</v></c></row>'
            '<row r="2"><c r="A2" t="s"><v>1</v></c><c r="B2" s="1"><v>3.5</v></c></row>')
    styles = (f'<styleSheet xmlns="{BETA}"><fonts count="2"><font><sz val="11"/><name val="Arial"/>'
              '</font><font><b/><sz val="11"/><name val="Arial"/></font></fonts><fills count="2">'
              '<fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/>'
              '</fill></fills><borders count="1"><border><left/><right/><top/><bottom/><diagonal/>'
              '</border></borders><cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" '
              'borderId="0"/></cellStyleXfs><cellXfs count="2"><xf numFmtId="0" fontId="0" fillId="0" '
              'borderId="0" xfId="0"/><xf numFmtId="0" fontId="1" fillId="0" borderId="0" xfId="0" '
              'applyFont="1"/></cellXfs></styleSheet>')
    p = {
        "[Content_Types].xml": content_types(1).replace(
            "</Types>", '<Override PartName="/xl/styles.xml" ContentType="application/'
            'vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/></Types>'),
        "_rels/.rels": package_rels(),
        "xl/_rels/workbook.xml.rels": workbook_rels(1).replace(
            "</Relationships>", f'<Relationship Id="rId9" Type="{REL}/styles" '
            'Target="styles.xml"/></Relationships>'),
        "xl/workbook.xml": workbook(["考生"], BETA),
        "xl/worksheets/sheet1.xml": worksheet(data, BETA),
        "xl/sharedStrings.xml": strings(["姓名", "张三"], BETA),
        "xl/styles.xml": styles,
    }
    write("beta-namespace.xlsx", p)


def empty_inline():
    data = ('<row r="1"><c r="A1" t="inlineStr"><is><t>考号</t></is></c><c r="B1" t="inlineStr"/>'
            '<c r="C1" t="inlineStr"><is><t>姓名</t></is></c></row>'
            '<row r="2"><c r="A2" t="inlineStr"></c><c r="B2" t="inlineStr"><is><t></t></is></c></row>')
    simple("empty-inline.xlsx", [("表", worksheet(data))], None)


def active_chart():
    with zipfile.ZipFile(os.path.join(HERE, "chartsheet.xlsx")) as src:
        parts = {n: src.read(n) for n in src.namelist()}
    wb = parts["xl/workbook.xml"].decode()
    parts["xl/workbook.xml"] = wb.replace('activeTab="2"', 'activeTab="1"')
    write("active-chart.xlsx", parts)


def panes():
    data = '<row r="1"><c r="A1"><v>1</v></c></row>'
    split = ('<sheetViews><sheetView workbookViewId="0"><pane xSplit="2400" ySplit="1800" '
             'topLeftCell="D8" activePane="bottomRight"/><selection pane="topRight"/>'
             '<selection pane="bottomLeft"/><selection pane="bottomRight" activeCell="E9" '
             'sqref="E9"/></sheetView></sheetViews>')
    frozen = ('<sheetViews><sheetView workbookViewId="0"><pane xSplit="1" ySplit="2" '
              'topLeftCell="C40" activePane="bottomRight" state="frozen"/><selection '
              'pane="bottomRight" activeCell="C41" sqref="C41"/></sheetView></sheetViews>')
    simple("panes.xlsx", [("拆分", worksheet(data, views=split)),
                          ("冻结", worksheet(data, views=frozen))], None)


def tall_row():
    data = ('<row r="1" ht="20" customHeight="1"><c r="A1"><v>1</v></c></row>'
            '<row r="2" ht="500" customHeight="1"><c r="A2"><v>2</v></c></row>')
    simple("tall-row.xlsx", [("高行", worksheet(data))], None)


def damaged():
    data = ('<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>7</v></c></row>'
            '<row r="0"><c r="A0"><v>5</v></c><c><v>6</v></c></row>'
            '<row r="4"><c r="A4" t="s"><v>-1</v></c><c r="B4"><v>8</v></c></row>')
    simple("damaged.xlsx", [("损坏", worksheet(data))], strings(["考号"]))


def not_finite():
    data = ('<row r="1"><c r="A1"><v>nan</v></c><c r="B1"><v>INF</v></c><c r="C1"><v>3.5</v></c></row>'
            '<row r="2"><c r="A2"><v>-inf</v></c></row>')
    simple("not-finite.xlsx", [("数值", worksheet(data))], None)


def broken_rels():
    core = ('<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/'
            'metadata/core-properties" xmlns:dc="http://purl.org/dc/elements/1.1/">'
            '<dc:creator>教务处</dc:creator></cp:coreProperties>')
    simple("broken-rels.xlsx", [("表", worksheet('<row r="1"><c r="A1"><v>1</v></c></row>'))],
           None, {"_rels/.rels": "<Relationships><Relationship Id=", "docProps/core.xml": core})


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    beta_namespace()
    empty_inline()
    active_chart()
    panes()
    tall_row()
    damaged()
    broken_rels()
    not_finite()
