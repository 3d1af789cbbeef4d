#!/usr/bin/env bash
# Runs every benchmark once and prints its figures with its peak memory.
#   bash bench/run.sh [BUILD_DIR]
# Needs a build of the bench programs and kelv, and scripts/setup.sh --bench
# (and --docs for LibreOffice in the PDF comparison).
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

peak() {  # runs a command under /usr/bin/time -v, prints its output and peak memory
  /usr/bin/time -v "$@" 2>"$work/time.txt"
  awk -F': ' '/Maximum resident set size/ {printf "  peak memory: %.0f MB\n", $2 / 1024}
              /Elapsed \(wall clock\)/ {print "  wall clock: " $2}' "$work/time.txt"
}

echo "== engine: 100,000 x 20 cells written, sorted, a 3x2 block pasted 100,000 times"
peak "$build/bin/engine_bench"

echo "== assignment: 100,000 examinees in 3,334 rooms, open + assign + save"
"$build/bin/assign_bench" make "$work/assign" >/dev/null
peak "$build/bin/assign_bench" run "$work/assign"
echo "== the same with a seed and classes kept apart"
peak "$build/bin/assign_bench" fair "$work/assign"

echo "== generation: seat labels with 5,000 photos and door lists for 100,000 examinees"
"$build/bin/generate_bench" make "$work/generate" >/dev/null
peak "$build/bin/generate_bench" run "$work/generate"

echo "== PDF: the 3,000-examinee demo workbook against LibreOffice; the 100,000 seat labels"
bash "$here/pdf_compare.sh" "$build" "$work/generate/数据/考试.xlsx"

echo "== .xlsx load and save against orcus-xlsx and libxlsxwriter"
bash "$here/xlsx_compare.sh" "$build"
