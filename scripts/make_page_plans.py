#!/usr/bin/python3
"""Makes the page plans kelv's page model is checked against.

For the demo's data workbook at 300 and 3,000 examinees, LibreOffice Calc
(headless, through its UNO interface) lays out every sheet for printing; the
plan records, sheet by sheet in tab order, how many pages it prints and the
first row and column of each page. The plans are checked in under
tests/print/data/, so the tests do not need LibreOffice.

    scripts/setup.sh --docs      # LibreOffice, python3-uno
    /usr/bin/python3 scripts/make_page_plans.py build/bin/kelv

Run with Debian's python3 (/usr/bin/python3), which has the uno module.
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "tests", "print", "data")
COUNTS = (300, 3000)


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Office:
    """A headless LibreOffice with its own profile, reached over a socket."""

    def __init__(self, work):
        self.port = free_port()
        profile = uno.systemPathToFileUrl(os.path.join(work, "profile"))
        self.proc = subprocess.Popen(
            ["soffice", "--headless", "--invisible", "--norestore", "--nologo",
             "-env:UserInstallation=" + profile,
             "--accept=socket,host=127.0.0.1,port=%d;urp;" % self.port],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        url = "uno:socket,host=127.0.0.1,port=%d;urp;StarOffice.ComponentContext" % self.port
        for _ in range(240):
            try:
                ctx = resolver.resolve(url)
                break
            except Exception:
                time.sleep(0.5)
        else:
            self.proc.kill()
            sys.exit("LibreOffice did not start")
        self.desktop = ctx.ServiceManager.createInstanceWithContext(
            "com.sun.star.frame.Desktop", ctx)

    def plan(self, path):
        """[(sheet, [(first_row, first_col), ...]), ...] in tab order."""
        doc = self.desktop.loadComponentFromURL(
            uno.systemPathToFileUrl(path), "_blank", 0, (prop("Hidden", True),))
        plans = []
        options = (prop("IsPrinter", True),)
        for i in range(doc.Sheets.Count):
            sheet = doc.Sheets.getByIndex(i)
            if not sheet.IsVisible:
                continue
            pages = []
            for page in range(doc.getRendererCount(sheet, options)):
                props = {p.Name: p.Value for p in doc.getRenderer(page, sheet, options)}
                r = props["SourceRange"]
                pages.append((r.StartRow + 1, r.StartColumn + 1))
            plans.append((sheet.Name, pages))
        doc.close(True)
        return plans

    def close(self):
        try:
            self.desktop.terminate()
        except Exception:
            pass
        try:
            self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_page_plans.py PATH/TO/kelv")
    kelv = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="kelv-page-plans-")
    office = Office(work)
    try:
        for count in COUNTS:
            folder = os.path.join(work, "demo-%d" % count)
            subprocess.run([kelv, "demo", folder, "--examinees", str(count)], check=True,
                           stdout=subprocess.DEVNULL)
            book = os.path.join(folder, "数据", "期末考试.xlsx")
            plans = office.plan(book)
            target = os.path.join(OUT, "page-plan-%d.txt" % count)
            with open(target, "w", encoding="utf-8") as f:
                f.write("# LibreOffice's pages for the demo's data workbook, %d examinees\n" % count)
                f.write("# (kelv demo DIR --examinees %d; scripts/make_page_plans.py).\n" % count)
                f.write("# Per sheet in tab order: name, page count, then each page's first\n")
                f.write("# row:column.\n")
                for name, pages in plans:
                    f.write("%s\t%d\t%s\n" % (name, len(pages),
                                              " ".join("%d:%d" % p for p in pages)))
            print("%s: %s" % (target, ", ".join("%s %d" % (n, len(p)) for n, p in plans)))
    finally:
        office.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
