#!/usr/bin/env python3
"""Writes docs/cli/COMMAND.md for every subcommand of kelv from its --help.

    scripts/make_cli_docs.py build/bin/kelv            # rewrite the pages
    scripts/make_cli_docs.py build/bin/kelv --check    # exit 1 naming every page that differs

A page is a title, the text a person wrote about the command (kept as it is
when the page is rewritten: everything between the title and the line
"## 帮助"), and the command's --help in a code block. The test
`cli.docs_match_help` runs the check, so a page never drifts from the
command it describes.
"""
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
PAGES = ROOT / "docs" / "cli"
HELP_HEADING = "## 帮助"


def run(kelv, args):
    out = subprocess.run(kelv + args + ["--help"], capture_output=True, text=True, check=True)
    return out.stdout.replace("\r\n", "\n").rstrip() + "\n"


def subcommands(kelv):
    text = run(kelv, [])
    names, listing = [], False
    for line in text.splitlines():
        if not line.strip():
            listing = False
            continue
        if not line.startswith(" "):
            listing = line.rstrip(":：") in ("Subcommands", "子命令")
            continue
        if listing:
            names.append(line.split()[0])
    return text, names


def page(title, written, help_text):
    written = written.strip() + "\n\n" if written.strip() else ""
    return f"# {title}\n\n{written}{HELP_HEADING}\n\n```text\n{help_text}```\n"


def written_part(path):
    if not path.exists():
        return ""
    text = path.read_text(encoding="utf-8")
    body = text.split("\n", 1)[1] if "\n" in text else ""
    return body.split(HELP_HEADING, 1)[0]


def main():
    args = [a for a in sys.argv[1:] if a != "--check"]
    check = "--check" in sys.argv[1:]
    if not args:
        print(__doc__)
        return 2
    kelv = args
    top, names = subcommands(kelv)
    wanted = {"README.md": ("kelv", top)}
    for name in names:
        wanted[f"{name}.md"] = (f"kelv {name}", run(kelv, [name]))
    wrong = []
    for file, (title, help_text) in wanted.items():
        path = PAGES / file
        expected = page(title, written_part(path), help_text)
        if check:
            if not path.exists() or path.read_text(encoding="utf-8") != expected:
                wrong.append(file)
        else:
            PAGES.mkdir(parents=True, exist_ok=True)
            path.write_text(expected, encoding="utf-8")
    stray = sorted(p.name for p in PAGES.glob("*.md") if p.name not in wanted) if PAGES.exists() else []
    for file in wrong:
        print(f"docs/cli/{file} differs from the command's --help "
              f"(scripts/make_cli_docs.py {' '.join(kelv)} rewrites it)")
    for file in stray:
        print(f"docs/cli/{file} describes no subcommand of kelv")
    return 1 if wrong or stray else 0


if __name__ == "__main__":
    sys.exit(main())
