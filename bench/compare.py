#!/usr/bin/env python3
"""Before and after in one run: every benchmark of two builds on the same
inputs, run alternately, best of N, with the ratios and the comparison with
libxlsxwriter and orcus-xlsx.

    python3 bench/compare.py BEFORE_BUILD AFTER_BUILD [--runs N] [--work DIR]

bench/run.sh --before REF builds the before side and calls this. Times are
the best of the runs (the least disturbed by other work on the machine);
peak memory is the highest of the runs; sizes are of the files written.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def run(cmd, cwd=None, check=True):
    """Runs cmd under /usr/bin/time; returns (stdout, peak MB). With check
    false a failing status is accepted (engine_bench fails past its targets
    but still prints its figures)."""
    with tempfile.NamedTemporaryFile("r", suffix=".time") as t:
        p = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", t.name] + cmd, cwd=cwd,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if p.returncode != 0 and check:
            sys.exit("failed: %s\n%s%s" % (" ".join(cmd), p.stdout, p.stderr))
        peak_kb = int(t.read().split()[-1])
    return p.stdout, peak_kb / 1024.0


def figure(text, pattern):
    m = re.search(pattern, text)
    if not m:
        sys.exit("no figure %r in:\n%s" % (pattern, text))
    return float(m.group(1))


class Table:
    def __init__(self):
        self.best = {}  # (side, name) -> value
        self.order = []
        self.kinds = {}

    def add(self, side, name, value, kind="s"):
        key = (side, name)
        if name not in self.kinds:
            self.kinds[name] = kind
            self.order.append(name)
        old = self.best.get(key)
        if old is None:
            self.best[key] = value
        elif kind == "s":
            self.best[key] = min(old, value)
        else:  # memory and sizes: the highest seen
            self.best[key] = max(old, value)

    def get(self, side, name):
        return self.best.get((side, name))


def fmt(v, kind):
    if v is None:
        return "-"
    if kind == "s":
        return "%.3f s" % v
    if kind == "MB":
        return "%.0f MB" % v
    return "%.2f MB" % (v / 1048576.0)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("before")
    ap.add_argument("after")
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--work")
    a = ap.parse_args()
    work = a.work or tempfile.mkdtemp(prefix="kelv-bench-")
    builds = {"before": os.path.abspath(a.before), "after": os.path.abspath(a.after)}
    tab = Table()

    def exe(side, name):
        return os.path.join(builds[side], "bin", name)

    # One set of inputs, made by the after build, for both sides.
    print("making the inputs in %s" % work, flush=True)
    assign_dir = os.path.join(work, "assign")
    gen_dir = os.path.join(work, "generate")
    gen_pristine = os.path.join(work, "generate-data.xlsx")
    run([exe("after", "assign_bench"), "make", assign_dir])
    run([exe("after", "generate_bench"), "make", gen_dir])
    gen_data = os.path.join(gen_dir, "数据", "考试.xlsx")
    shutil.copyfile(gen_data, gen_pristine)
    lxw = os.path.join(work, "lxw_write")
    have_lxw = subprocess.run(["cc", "-O2", "-o", lxw, os.path.join(HERE, "lxw_write.c"),
                               "-lxlsxwriter"], stderr=subprocess.DEVNULL).returncode == 0
    have_orcus = shutil.which("orcus-xlsx") is not None
    if not (have_lxw and have_orcus):
        print("libxlsxwriter or orcus-xlsx missing (scripts/setup.sh --bench): no peer figures")

    for i in range(a.runs):
        sides = ["before", "after"] if i % 2 == 0 else ["after", "before"]
        print("run %d of %d" % (i + 1, a.runs), flush=True)
        for side in sides:
            out, peak = run([exe(side, "assign_bench"), "run", assign_dir])
            for k in ("open", "assign", "save", "total"):
                tab.add(side, "assignment: " + k, figure(out, r"\n?%s +([0-9.]+) s" % k))
            tab.add(side, "assignment: peak memory", peak, "MB")
            tab.add(side, "assignment: file written",
                    os.path.getsize(os.path.join(assign_dir, "数据", "考试-已排.xlsx")), "B")

            shutil.copyfile(gen_pristine, gen_data)
            out, peak = run([exe(side, "generate_bench"), "run", gen_dir])
            for k, label in (("open data", "open"), ("door list", "door lists"),
                             ("seat labels", "seat labels"), ("save", "save"),
                             ("total", "total")):
                tab.add(side, "generation: " + label, figure(out, r"%s ([0-9.]+) s" % k))
            tab.add(side, "generation: peak memory", peak, "MB")
            tab.add(side, "generation: file written", os.path.getsize(gen_data), "B")

            xfile = os.path.join(work, side + ".xlsx")
            out, peak = run([exe(side, "xlsx_bench"), "write", xfile])
            tab.add(side, "100,000 x 10: save", figure(out, r"kelv save: ([0-9.]+) s"))
            tab.add(side, "100,000 x 10: save peak memory", peak, "MB")
            tab.add(side, "100,000 x 10: file written", os.path.getsize(xfile), "B")
            out, peak = run([exe(side, "xlsx_bench"), "load", xfile])
            tab.add(side, "100,000 x 10: load", figure(out, r"kelv load: ([0-9.]+) s"))
            tab.add(side, "100,000 x 10: load peak memory", peak, "MB")
        if have_lxw:
            lfile = os.path.join(work, "lxw.xlsx")
            out, _ = run([lxw, lfile])
            tab.add("peer", "libxlsxwriter save", figure(out, r"save: ([0-9.]+) s"))
            tab.add("peer", "libxlsxwriter file", os.path.getsize(lfile), "B")
        if have_orcus:
            for side in sides:
                f = os.path.join(work, side + ".xlsx")
                # orcus-xlsx -f none only loads; it exits with status 1 then.
                t = subprocess.run(["/usr/bin/time", "-f", "%e", "orcus-xlsx", "-f", "none", f],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
                tab.add("peer", "orcus-xlsx load of the %s file" % side,
                        float(t.stderr.strip().split()[-1]))

    for side in ("before", "after"):
        out, peak = run([exe(side, "engine_bench")], check=False)
        tab.add(side, "engine: write 100,000 x 20", figure(out, r"write .*: ([0-9.]+) s"))
        tab.add(side, "engine: sort", figure(out, r"sort .*: ([0-9.]+) s"))
        tab.add(side, "engine: paste 100,000 blocks", figure(out, r"paste .*: ([0-9.]+) s"))
        tab.add(side, "engine: peak memory", peak, "MB")

    print()
    print("%-40s %12s %12s %7s" % ("benchmark (best of %d)" % a.runs, "before", "after",
                                   "after/before"))
    for name in tab.order:
        kind = tab.kinds[name]
        b, f = tab.get("before", name), tab.get("after", name)
        if b is None and f is None:
            continue
        ratio = "%.2f" % (f / b) if b and f is not None else ""
        print("%-40s %12s %12s %7s" % (name, fmt(b, kind), fmt(f, kind), ratio))
    ratios = []
    lxw_s = tab.get("peer", "libxlsxwriter save")
    if lxw_s:
        print("%-40s %12s" % ("libxlsxwriter save", fmt(lxw_s, "s")))
        for side in ("before", "after"):
            ratios.append("kelv %s save / libxlsxwriter save: %.2f" %
                          (side, tab.get(side, "100,000 x 10: save") / lxw_s))
    for side in ("before", "after"):
        o = tab.get("peer", "orcus-xlsx load of the %s file" % side)
        if o:
            print("%-40s %12s" % ("orcus-xlsx load of the %s file" % side, fmt(o, "s")))
            ratios.append("kelv %s load / orcus-xlsx load of the same file: %.2f" %
                          (side, tab.get(side, "100,000 x 10: load") / o))
    print()
    for r in ratios:
        print(r)
    if not a.work:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
