#!/usr/bin/env python3
"""kelv.dll under Wine: registration, and courses of work played by VBScript.

    automation_test.py --wine LAUNCHER... register DLL
    automation_test.py --wine LAUNCHER... unregister DLL
    automation_test.py --wine LAUNCHER... play --kelv KELV PLAY.vbs SCENARIO.json...
    automation_test.py --wine LAUNCHER... script SCRIPT.vbs [ARG...]

register runs `regsvr32 DLL` and reads every key it must have written back
with `reg query`; unregister runs `regsvr32 /u DLL` and checks that every one
of them is gone. play turns each scenario into the steps play.vbs reads,
plays them with cscript on a copy of the scenario's workspace and compares
the saved sheets (`KELV dump`) with the scenario's expected dumps, and the
dialogs and setting failures with its expected transcript. script runs a
VBScript test that writes "ok ..." and "FAIL ..." lines to the result file
named by its last argument.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scenarios"))
from check_scenario import expected_dumps  # noqa: E402

LAUNCHER = []

CLASSES = {
    "kelv.torb": "{0DCE4881-DDD8-4DD2-BDA7-AEC3CBD3CB51}",
    "kelv.Application": "{24973E80-6951-4F44-B519-4F81054B263B}",
    "kelv.Form": "{BD7C0112-DDFF-4BFA-91B4-9BD98EB23E70}",
}
LIBID = "{BCEC03D3-7D84-4FEF-9F29-9B7D88D2D81F}"
IID_TORB = "{ED7C403D-E3E0-4761-B80F-8BA04DFD1939}"


def wine(args, timeout=600):
    return subprocess.run(LAUNCHER + args, capture_output=True, timeout=timeout)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def reg_query(key, value=None):
    """The value's data, "" for a key that exists without it, None when missing."""
    args = ["reg", "query", key] + (["/v", value] if value else [])
    r = wine(args)
    if r.returncode != 0:
        return None
    if not value:
        return ""
    for line in r.stdout.decode("utf-8", "replace").splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[0] == value and parts[1] == "REG_SZ":
            return parts[2].strip()
    return None


def expected_keys(dll):
    """Every key registration writes, with the values checked in it."""
    path = windows_path(dll)
    keys = []
    for progid, clsid in CLASSES.items():
        base = "HKCR\\CLSID\\" + clsid
        keys += [
            (base + "\\InprocServer32", None, path),
            (base + "\\InprocServer32", "ThreadingModel", "Apartment"),
            (base + "\\ProgID", None, progid + ".1"),
            (base + "\\VersionIndependentProgID", None, progid),
            ("HKCR\\" + progid + "\\CLSID", None, clsid),
            ("HKCR\\" + progid + "\\CurVer", None, progid + ".1"),
            ("HKCR\\" + progid + ".1\\CLSID", None, clsid),
        ]
    keys += [
        ("HKCR\\CLSID\\" + CLASSES["kelv.torb"] + "\\TypeLib", None, LIBID),
        ("HKCR\\TypeLib\\" + LIBID + "\\1.0\\0\\win64", None, path),
        ("HKCR\\Interface\\" + IID_TORB + "\\TypeLib", None, LIBID),
        ("HKCR\\Interface\\" + IID_TORB + "\\ProxyStubClsid32", None,
         "{00020424-0000-0000-C000-000000000046}"),
    ]
    return keys


def query(key, value):
    return reg_query(key, value or "(Default)") if value is None else reg_query(key, value)


def read_default(key):
    r = wine(["reg", "query", key, "/ve"])
    if r.returncode != 0:
        return None
    for line in r.stdout.decode("utf-8", "replace").splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[1] == "REG_SZ":
            return parts[2].strip()
    return ""


def register(dll):
    r = wine(["regsvr32", "/s", dll])
    if r.returncode != 0:
        print(f"regsvr32 exited with {r.returncode}")
        return 1
    ok = True
    for key, value, want in expected_keys(dll):
        got = read_default(key) if value is None else reg_query(key, value)
        if got is None or got.lower() != want.lower():
            print(f"{key} {value or '(default)'}: expected {want!r}, found {got!r}")
            ok = False
    return 0 if ok else 1


def unregister(dll):
    r = wine(["regsvr32", "/u", "/s", dll])
    if r.returncode != 0:
        print(f"regsvr32 /u exited with {r.returncode}")
        return 1
    ok = True
    roots = ["HKCR\\CLSID\\" + c for c in CLASSES.values()]
    roots += ["HKCR\\" + p for p in CLASSES] + ["HKCR\\" + p + ".1" for p in CLASSES]
    roots += ["HKCR\\TypeLib\\" + LIBID, "HKCR\\Interface\\" + IID_TORB]
    for key in roots:
        for hive in (key, key.replace("HKCR\\", "HKCU\\Software\\Classes\\"),
                     key.replace("HKCR\\", "HKLM\\Software\\Classes\\")):
            if wine(["reg", "query", hive]).returncode == 0:
                print(f"{hive} is still there after regsvr32 /u")
                ok = False
    return 0 if ok else 1


def read_utf16(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-16")


# --- Courses of work --------------------------------------------------------------

def names_control(scenario, name):
    return any(name in json.dumps(step, ensure_ascii=False) for step in scenario["steps"])


def host_workbook(workspace, scenario):
    if scenario.get("host"):
        return os.path.join(workspace, scenario["host"])
    books = [n for n in os.listdir(workspace)
             if n.lower().endswith((".xlsx", ".xlsm")) and not n.startswith(("~$", "."))]
    if len(books) != 1:
        raise SystemExit(f"{workspace}: no single host workbook")
    return os.path.join(workspace, books[0])


def steps_of(scenario, workspace):
    """The scenario as the tab-separated lines play.vbs reads."""
    lines = [["open", windows_path(host_workbook(workspace, scenario))]]
    if "seed" in scenario:
        lines.append(["seed", str(scenario["seed"])])
    # The form with the seating controls also has the seat-map ones
    # (ChbZuoWei, ChbABJuan), as kelv's own runner gives it.
    if any(names_control(scenario, c) for c in ("TxtZhongZi", "CmbFenKai", "ChbZuoWei",
                                                 "ChbABJuan")):
        lines.append(["seating", "true"])
    else:
        lines.append(["stored-seating", "DTB", "5", "61", "62"])
    if scenario.get("initialize", True):
        lines.append(["click", "UserFormInitialize"])
    for step in scenario["steps"]:
        kind, arg = next(iter(step.items()))
        if kind == "set":
            for name, value in arg.items():
                if value is None:
                    lines.append(["set", name, "null", ""])
                elif isinstance(value, bool):
                    lines.append(["set", name, "b", "true" if value else "false"])
                elif isinstance(value, (int, float)):
                    lines.append(["set", name, "n", repr(value)])
                else:
                    lines.append(["set", name, "s", value])
        elif kind == "select":
            for name, item in arg.items():
                if isinstance(item, int):
                    lines.append(["select-index", name, str(item)])
                else:
                    lines.append(["select", name, item])
        elif kind == "page":
            lines.append(["page", "1" if arg == "Page1" else "0"])
        elif kind == "answer":
            for a in arg:
                lines.append(["cancel"] if a is None else ["answer", a])
        elif kind == "click":
            lines.append(["click", arg])
        elif kind == "change":
            lines.append(["change", arg])
        elif kind == "save":
            for which in arg:
                lines.append(["save-" + which])
    return "".join("\t".join(line) + "\r\n" for line in lines)


def expected_events(expected_jsonl, workspace):
    """Dialogs and setting failures of the expected transcript."""
    out = []
    with open(expected_jsonl, encoding="utf-8") as f:
        for line in f:
            r = json.loads(line)
            if r["kind"] in ("message", "input"):
                out.append(("dialog", r["kind"], r.get("title", ""), r.get("text", r.get("prompt", ""))))
            elif r["kind"] == "document":
                out.append(("dialog", "document", "", r["path"]))
            elif r["kind"] == "failure":
                out.append(("failure", r["control"], str(r["number"]), r["source"],
                            host_text_of(r["number"], r["description"])))
    return out


def host_text_of(number, description):
    """The host's own text of a setting failure. kelv's front ends name the
    number box that holds no number (“每页行数”须是数字…) where the form a
    script drives gives the host's bare 类型不匹配."""
    if str(number) == "13" and "须是数字" in description:
        return "类型不匹配"
    return description


def played_events(result, workspace):
    """The same from play.vbs's result, with paths inside the workspace made
    relative to it, as the transcript writes them."""
    prefix = re.escape(windows_path(workspace) + "\\")

    def text_of(t):
        t = t.replace("|LF|", "\n")
        return re.sub(prefix + r"([^”“：\s]*)", lambda m: m.group(1).replace("\\", "/"), t)

    out = []
    for line in result.splitlines():
        f = line.split("\t")
        if f[0] == "dialog" and f[1] in ("message", "input", "document"):
            out.append(("dialog", f[1], f[2] if f[1] != "document" else "", text_of(f[3])))
        elif f[0] == "failure":
            out.append(("failure", f[1], f[2], f[3], text_of(f[4])))
    return out


# Titles of the questions kelv's own front ends ask around a save (the
# session's guard); a script cannot be asked, so its Workbook.Save decides by
# itself (it refuses a file changed elsewhere and saves a converted list as
# the .xlsx beside it).
SESSION_QUESTIONS = {"文件已在别处修改", "另存为 .xlsx"}


def front_end_only(scenario, expected_jsonl):
    """Why a scenario is kelv's front ends' own and no script can play it, or
    None: another program changing a file is no step of a form, and the
    session's questions are not the object model's."""
    if any(next(iter(step)) == "external" for step in scenario["steps"]):
        return "another program changes a file"
    with open(expected_jsonl, encoding="utf-8") as f:
        for line in f:
            r = json.loads(line)
            if r["kind"] == "message" and r.get("title") in SESSION_QUESTIONS:
                return f"the session asks “{r['title']}”"
    return None


def play(kelv, script, scenario_path):
    """True or False for a course of work played, None for one only kelv's
    front ends play."""
    with open(scenario_path, encoding="utf-8") as f:
        scenario = json.load(f)
    base = scenario_path[: -len(".json")]
    label = os.path.relpath(scenario_path, os.path.dirname(os.path.dirname(scenario_path)))
    why = front_end_only(scenario, base + ".expected.jsonl")
    if why:
        print(f"{label}: played by kelv's front ends only ({why})")
        return None
    source = os.path.normpath(os.path.join(os.path.dirname(scenario_path), scenario["workspace"]))
    played = tempfile.mkdtemp(prefix="kelv-automation-")
    try:
        workspace = os.path.join(played, "工作区")
        shutil.copytree(source, workspace)
        steps = os.path.join(played, "steps.txt")
        with open(steps, "wb") as f:
            f.write(b"\xff\xfe" + steps_of(scenario, workspace).encode("utf-16-le"))
        result_path = os.path.join(played, "result.txt")
        r = wine(["cscript", "//nologo", windows_path(script), windows_path(steps),
                  windows_path(result_path)])
        if not os.path.exists(result_path):
            print(f"{label}: cscript wrote no result (exit {r.returncode})")
            return False
        result = read_utf16(result_path)
        ok = True
        for line in result.splitlines():
            if line.startswith("error\t"):
                print(f"{label}: {line}")
                ok = False
        if not result.rstrip().endswith("done"):
            print(f"{label}: the script stopped early:\n{result}")
            ok = False
        want = expected_events(base + ".expected.jsonl", workspace)
        got = played_events(result, workspace)
        if want != got:
            print(f"{label}: dialogs and failures differ\n  expected {want}\n  played   {got}")
            ok = False
        for book, sheet, expected_path in expected_dumps(base + ".expected"):
            d = subprocess.run([kelv, "dump", os.path.join(workspace, book), sheet],
                               capture_output=True, text=True, encoding="utf-8")
            with open(expected_path, encoding="utf-8") as f:
                expected = f.read()
            if d.returncode != 0 or d.stdout != expected:
                print(f"{label}: {book} {sheet} differs from the expected dump")
                ok = False
        print(f"{label}: {'ok' if ok else 'FAILED'}")
        return ok
    finally:
        if os.environ.get("KELV_KEEP_TEMP") == "1":
            print(f"played in {played}")
        else:
            shutil.rmtree(played, ignore_errors=True)


def script(path, args):
    played = tempfile.mkdtemp(prefix="kelv-automation-")
    try:
        result_path = os.path.join(played, "result.txt")
        wine(["cscript", "//nologo", windows_path(path)] + args + [windows_path(result_path)])
        if not os.path.exists(result_path):
            print("the script wrote no result")
            return 1
        result = read_utf16(result_path)
        sys.stdout.write(result)
        lines = result.splitlines()
        if not lines or lines[-1] != "done" or any(not l.startswith("ok") for l in lines[:-1]):
            return 1
        return 0
    finally:
        shutil.rmtree(played, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", action="append", default=[])
    parser.add_argument("--kelv")
    parser.add_argument("command")
    parser.add_argument("args", nargs="+")
    args = parser.parse_args()
    LAUNCHER.extend(args.wine)
    if args.command == "register":
        return register(args.args[0])
    if args.command == "unregister":
        return unregister(args.args[0])
    if args.command == "play":
        results = [play(args.kelv, args.args[0], s) for s in args.args[1:]]
        played = [r for r in results if r is not None]
        print(f"{sum(played)} of {len(played)} courses of work matched"
              f" ({len(results) - len(played)} for kelv's front ends only)")
        if not played:
            return 77  # nothing here a script can play: shown as skipped
        return 0 if all(played) else 1
    if args.command == "script":
        converted = [windows_path(a) if os.path.exists(a) else a for a in args.args[1:]]
        return script(args.args[0], converted)
    return 2


if __name__ == "__main__":
    sys.exit(main())
