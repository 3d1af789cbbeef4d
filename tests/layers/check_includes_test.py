#!/usr/bin/env python3
"""The include check's rules on small made-up trees: print/ may include the
engine but not the .xlsx layer."""
import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import check_includes  # noqa: E402


def tree(files: dict) -> tempfile.TemporaryDirectory:
    folder = tempfile.TemporaryDirectory()
    for name, text in files.items():
        path = pathlib.Path(folder.name, name)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text, encoding="utf-8")
    return folder


class PrintRules(unittest.TestCase):
    def test_print_includes_the_engine_and_codes(self):
        with tree({"print/page.cpp": '#include "spreadsheet/geometry.h"\n#include "codes/symbol.h"\n'
                   '#include "print/page.h"\n'}) as src:
            self.assertEqual(check_includes.wrong_way(pathlib.Path(src)), [])

    def test_print_including_the_xlsx_layer_is_refused(self):
        with tree({"print/page.cpp": '#include <string>\n#include "xlsx/cell_ref.h"\n',
                   "print/qt/painter.h": '#  include "xlsx/package.h"\n'}) as src:
            self.assertEqual(check_includes.wrong_way(pathlib.Path(src)), [
                "print/page.cpp:2: print/ includes xlsx/",
                "print/qt/painter.h:1: print/ includes xlsx/"])


if __name__ == "__main__":
    unittest.main()
