#!/usr/bin/env bash
# The form on Windows, as a person sees it: the form's own course-of-work and
# print-preview tests, built for Windows, run under Wine with the Windows
# platform (a real window on an Xvfb screen) and write their screenshots;
# the Linux build runs the same tests. The workbooks both saved must be the
# same, cell for cell; the Windows screenshots go to docs/windows/.
#
#   scripts/windows-form-check.sh [WINDOWS_BUILD] [LINUX_BUILD]
#
# Needs the two builds (make windows, make build) and xvfb-run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
win=$(realpath "${1:-$here/build-windows}")
linux=$(realpath "${2:-$here/build}")
tests="CourseOfWork.FromStartUpToSavedTables:Printing.ThePreviewShowsTheGeneratedTablePageByPageWithZoom"
work=$(mktemp -d /tmp/kelv-form-check-XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "form-check: Linux"
(cd "$here/tests/form" && KELV_FORM_SCREENSHOTS=$work/linux-shots KELV_FORM_SAVED=$work/linux \
  "$linux/bin/test_form" --gtest_filter="$tests" >"$work/linux.log" 2>&1) || {
  cat "$work/linux.log"
  exit 1
}

echo "form-check: Windows, under Wine on an Xvfb screen"
winpath() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }
export WINEPREFIX=$win/wine WINEDEBUG=-all WINEARCH=win64 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
bash "$here/scripts/wine-run.sh" "$WINEPREFIX" cmd /c exit >/dev/null 2>&1 || true
(cd "$here/tests/form" && KELV_FORM_SCREENSHOTS=$(winpath "$work/windows-shots") \
  KELV_FORM_SAVED=$(winpath "$work/windows") \
  xvfb-run -a -s "-screen 0 1600x1000x24" wine "$win/bin/test_form.exe" -platform windows \
  --gtest_filter="$tests" >"$work/windows.log" 2>&1) || {
  cat "$work/windows.log"
  exit 1
}

KELV_HERE=$here /usr/bin/python3 - "$work/linux" "$work/windows" <<'PY'
import os, sys
sys.path.insert(0, os.path.join(os.environ.get("KELV_HERE", "."), "tests", "windows"))
from compare_demo import describe
a, b = sys.argv[1], sys.argv[2]
names = sorted(os.listdir(a))
if names != sorted(os.listdir(b)):
    sys.exit(f"saved workbooks differ: {names} and {sorted(os.listdir(b))}")
for name in names:
    da, db = describe(os.path.join(a, name)), describe(os.path.join(b, name))
    if da != db:
        diff = [f"  Linux:   {x}\n  Windows: {y}" for x, y in zip(da, db) if x != y]
        sys.exit(f"{name} differs:\n" + "\n".join(diff[:20]))
    print(f"form-check: {name} the same on both ({sum(1 for l in da if l.startswith('cell '))} cells)")
PY

mkdir -p "$here/docs/windows"
for f in "$work"/windows-shots/*.png; do cp "$f" "$here/docs/windows/"; done
echo "form-check: screenshots in docs/windows/: $(cd "$here/docs/windows" && ls *.png | tr '\n' ' ')"
