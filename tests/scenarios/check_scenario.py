#!/usr/bin/python3
"""Plays one scenario with `kelv run` and compares what came out.

    check_scenario.py --kelv PATH/TO/kelv [--launcher PROGRAM ...] GROUP/NAME.json

Each --launcher word goes before kelv on its command line (the Windows
build runs kelv.exe through scripts/wine-run.sh PREFIX).

The scenario's "workspace" (a folder, relative to the scenario file) is
copied to a fresh temporary folder and played there, so the checked-in
workspace never changes. Then:

  - the transcript is compared with GROUP/NAME.expected.jsonl;
  - every GROUP/NAME.expected/BOOK/SHEET.txt is compared with
    `kelv dump WORKSPACE/BOOK SHEET` of the played workspace (BOOK is the
    workbook's path inside the workspace, e.g. 数据/考试.xlsx).

A mismatch prints a unified diff and exits 1. The played folder is removed
in every case, unless KELV_KEEP_TEMP=1 keeps it (and names it) for a look at
a failure. With KELV_UPDATE_GOLDEN=1 the expected files are rewritten from what
came out instead (a dump is written only where its .txt file already exists).
"""
import argparse
import difflib
import json
import os
import shutil
import subprocess
import sys
import tempfile


LAUNCHER = []


def read_text(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def write_text(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def compare(label, expected_path, actual, update):
    """True when the file at expected_path holds exactly `actual`."""
    if update:
        write_text(expected_path, actual)
        print(f"updated {expected_path}")
        return True
    if not os.path.exists(expected_path):
        print(f"{label}: {expected_path} is missing (KELV_UPDATE_GOLDEN=1 writes it)")
        return False
    expected = read_text(expected_path)
    if expected == actual:
        return True
    diff = difflib.unified_diff(expected.splitlines(keepends=True), actual.splitlines(keepends=True),
                                fromfile=expected_path, tofile=f"{label} (this run)")
    sys.stdout.writelines(diff)
    print()
    return False


def run(command):
    return subprocess.run(LAUNCHER + command, capture_output=True, text=True, encoding="utf-8", timeout=280)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kelv", required=True)
    parser.add_argument("--launcher", action="append", default=[])
    parser.add_argument("--run-arg", action="append", default=[],
                        help="an extra argument of `kelv run` (--through-automation)")
    parser.add_argument("scenario")
    args = parser.parse_args()
    LAUNCHER.extend(args.launcher)
    update = os.environ.get("KELV_UPDATE_GOLDEN") == "1"

    scenario_path = os.path.abspath(args.scenario)
    with open(scenario_path, encoding="utf-8") as f:
        scenario = json.load(f)
    if not isinstance(scenario, dict) or not isinstance(scenario.get("workspace"), str):
        print(f"{scenario_path}: the scenario must name its \"workspace\" folder")
        return 1
    source = os.path.normpath(os.path.join(os.path.dirname(scenario_path), scenario["workspace"]))
    if not os.path.isdir(source):
        print(f"{scenario_path}: workspace {source} does not exist")
        return 1

    played = tempfile.mkdtemp(prefix="kelv-scenario-")
    try:
        return play(args.kelv, scenario_path, source, played, update, args.run_arg)
    finally:
        if os.environ.get("KELV_KEEP_TEMP") == "1":
            print(f"played in {played}")
        else:
            shutil.rmtree(played, ignore_errors=True)


def expected_dumps(dumps):
    """The sheets a scenario's folder of expected dumps names, in order:
    (workbook path within the workspace, sheet name, path of the dump)."""
    if not os.path.isdir(dumps):
        return
    for folder, _, files in sorted(os.walk(dumps)):
        for file in sorted(files):
            if file.endswith(".txt"):
                yield os.path.relpath(folder, dumps), file[: -len(".txt")], os.path.join(folder, file)


def play(kelv, scenario_path, source, played, update, run_args=()):
    """Plays the scenario in the folder `played`; 0 when everything matched."""
    base = scenario_path[: -len(".json")]
    workspace = os.path.join(played, "workspace")
    shutil.copytree(source, workspace)
    transcript = os.path.join(played, "transcript.jsonl")

    result = run([kelv, "run", workspace, scenario_path, "--transcript", transcript, *run_args])
    if result.returncode != 0:
        print(f"kelv run exited with {result.returncode}")
        sys.stdout.write(result.stderr)
        return 1

    ok = compare("transcript", base + ".expected.jsonl", read_text(transcript), update)

    for book, sheet, expected in expected_dumps(base + ".expected"):
        label = f"{book} {sheet}"
        dumped = run([kelv, "dump", os.path.join(workspace, book), sheet])
        if dumped.returncode != 0:
            print(f"{label}: kelv dump exited with {dumped.returncode}")
            sys.stdout.write(dumped.stderr)
            ok = False
            continue
        ok = compare(label, expected, dumped.stdout, update) and ok

    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
