#!/usr/bin/env python3
"""Every include arrow in src/ points down the layers.

    front ends    app/
    component     bridge/   (torb, dispatch, start-up)
                  data/ arrange/ generate/ templates/ help/   (the handlers; none
                               uses another: what two of them need is below)
                  sheets/      (the layouts of the sheets the handlers share and
                               the look-ups on them)
                  component/   (the state and helpers every handler shares)
    host          host/
    engine        spreadsheet/ xlsx/ readers/
    print         print/   (the page model and painter over the engine's model)
    codes         codes/   (bar codes and QR codes: encoding, placement, pictures;
                            used by the generator and the painter, uses nothing)
    the exam      sessions/ invigilation/   (场次编排 and 监考安排: kelv's own work on
                            data workbooks, beside the handlers and through host/ like
                            them, never including one; invigilation reads what
                            sessions writes)

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
    "sheets": {"host", "component"},
    "bridge": {"host", "component", "sheets"} | HANDLERS,
    "spreadsheet": {"host"},
    "xlsx": {"host", "spreadsheet"},
    "readers": {"host", "spreadsheet", "xlsx"},
    "print": {"host", "spreadsheet", "codes"},
    "automation": {"host", "component", "sheets", "bridge", "spreadsheet", "xlsx", "readers"}
    | HANDLERS,
    "app": None,  # the top: may include anything
}
for h in HANDLERS:
    ALLOWED[h] = {"host", "component", "sheets", "codes"}  # never another handler
ALLOWED["sessions"] = {"host", "sheets"}
# Single headers a folder may take from a folder it otherwise may not: kelv.dll
# saves scripts' workbooks by the workspace's file-safety rules.
ALLOWED_FILES = {"automation": {"app/core/script_saves.h"}}
ALLOWED["invigilation"] = {"host", "sheets", "sessions"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')
MAY_INCLUDE = re.compile(r"^May include: (.*)$", re.M)


def readme_allows(text):
    """The folders a README's "May include:" line names: folder/ names, "the
    handlers" for the handler folders, "nothing of the project", or
    "anything" (None)."""
    m = MAY_INCLUDE.search(text)
    if not m:
        return "no line \"May include: ...\""
    line = m.group(1)
    if line.startswith("anything"):
        return None
    named = set(re.findall(r"([a-z_]+)/", line))
    if "the handlers" in line:
        named |= HANDLERS
    return named


def check_readmes(src):
    """Every folder of src/ says in its README.md what it holds and what it
    may include, and says the same as ALLOWED."""
    wrong = []
    for folder in sorted(p for p in src.iterdir() if p.is_dir()):
        name = folder.name
        readme = folder / "README.md"
        if name not in ALLOWED:
            wrong.append(f"{name}/: a folder the layer check does not place")
            continue
        if not readme.exists():
            wrong.append(f"{name}/README.md: missing (what the folder holds, what it may include)")
            continue
        said = readme_allows(readme.read_text(encoding="utf-8"))
        if isinstance(said, str):
            wrong.append(f"{name}/README.md: {said}")
        elif said != ALLOWED[name]:
            shown = lambda s: "anything" if s is None else ", ".join(sorted(s)) or "nothing"
            wrong.append(f"{name}/README.md: says it may include {shown(said)}; "
                         f"the layer check allows {shown(ALLOWED[name])}")
    return wrong


def main() -> int:
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
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
            if m and line.split('"')[1] in ALLOWED_FILES.get(folder, set()):
                continue
            if m and m.group(1) != folder and m.group(1) not in allowed:
                wrong.append(f"{path.relative_to(src)}:{number}: {folder}/ includes {m.group(1)}/")
    for w in wrong:
        print(w)
    print(f"{len(wrong)} include(s) pointing the wrong way")
    readmes = check_readmes(src)
    for w in readmes:
        print(w)
    return 1 if wrong or readmes else 0


if __name__ == "__main__":
    sys.exit(main())
