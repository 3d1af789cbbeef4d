#!/usr/bin/env python3
"""Every include arrow in src/ points down the layers.

    front ends    app/
    component     bridge/   (torb, dispatch, start-up)
                  data/ arrange/ generate/ templates/ help/   (the handlers)
                  component/   (the state and helpers every handler shares)
    host          host/
    engine        spreadsheet/ xlsx/ readers/
    print         print/   (the page model and painter over the engine's model)
    codes         codes/   (bar codes and QR codes: encoding, placement, pictures;
                            used by the generator and the painter, uses nothing)

A folder may include itself and the folders listed for it below; anything
else is a wrong-way arrow, printed with its file and line.
"""
import pathlib
import re
import sys

HANDLERS = {"data", "arrange", "generate", "templates", "help"}
ALLOWED = {
    "host": set(),
    "codes": set(),
    "component": {"host"},
    "bridge": {"host", "component"} | HANDLERS,
    "spreadsheet": {"host"},
    "xlsx": {"host", "spreadsheet"},
    "readers": {"host", "spreadsheet", "xlsx"},
    "print": {"host", "spreadsheet", "codes"},
    "automation": {"host", "component", "bridge", "spreadsheet", "xlsx", "readers"} | HANDLERS,
    "app": None,  # the top: may include anything
}
for h in HANDLERS:
    ALLOWED[h] = {"host", "component", "codes"} | HANDLERS

# Arrows on their way out, each by file and folder: the page model reads
# print areas and titles with the .xlsx layer's cell references until the
# engine's own A1 module takes them over.
PENDING = {("print/page_layout.cpp", "xlsx")}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')


def wrong_way(src: pathlib.Path) -> list:
    """The includes of the tree under src that point the wrong way."""
    wrong = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in {".h", ".cpp"}:
            continue
        folder = path.relative_to(src).parts[0]
        allowed = ALLOWED.get(folder, set())
        if allowed is None:
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            m = INCLUDE.match(line)
            if not m or m.group(1) == folder or m.group(1) in allowed:
                continue
            if (path.relative_to(src).as_posix(), m.group(1)) in PENDING:
                continue
            wrong.append(f"{path.relative_to(src)}:{number}: {folder}/ includes {m.group(1)}/")
    return wrong


def main() -> int:
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
    wrong = wrong_way(src)
    for w in wrong:
        print(w)
    print(f"{len(wrong)} include(s) pointing the wrong way")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
