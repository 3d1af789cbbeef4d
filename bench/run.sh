#!/usr/bin/env bash
# Runs every benchmark once and prints its figures with its peak memory.
#   bash bench/run.sh [BUILD_DIR]
# Or compares two versions in one run: builds REF (a commit, branch or tag)
# side by side in build-before/ (its own work tree and build folder), then
# runs both on the same inputs, alternately, and prints before, after and
# the ratios, best of N runs (3 unless given):
#   bash bench/run.sh --before REF [--runs N] [BUILD_DIR]
# Needs a build of the bench programs and kelv, and scripts/setup.sh --bench
# (and --docs for LibreOffice in the PDF comparison).
set -euo pipefail
before="" runs=3
while [[ $# -gt 0 ]]; do
  case $1 in
    --before) before=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) break ;;
  esac
done
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
targets=(assign_bench generate_bench xlsx_bench engine_bench readers_bench)

if [[ -n $before ]]; then
  root=$(cd "$here/.." && pwd)
  side="$root/build-before"
  commit=$(git -C "$root" rev-parse --verify "$before^{commit}")
  if [[ -d $side/src ]]; then
    git -C "$side/src" checkout -q --detach "$commit"
  else
    mkdir -p "$side"
    git -C "$root" worktree add -q --detach "$side/src" "$commit"
  fi
  echo "== before: $before ($(git -C "$root" log -1 --format='%h %s' "$commit" | cut -c1-70))"
  cmake -S "$side/src" -B "$side/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$side/build" -j "$(nproc)" --target "${targets[@]}" >/dev/null
  echo "== after: the work tree, built in $build"
  cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" >/dev/null
  echo "== $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo)," \
       "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), load $(cut -d' ' -f1-3 /proc/loadavg)"
  exec python3 "$here/compare.py" "$side/build" "$build" --runs "$runs"
fi

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

echo "== 场次编排: 3,000 and 100,000 examinees, nine papers in eight 场次; the draft timetable for 10,000"
peak "$build/bin/sessions_bench" arrange 3000
peak "$build/bin/sessions_bench" arrange 100000
peak "$build/bin/sessions_bench" arrange 100000 mixed
peak "$build/bin/sessions_bench" suggest 10000

echo "== generation: seat labels with 5,000 photos and door lists for 100,000 examinees"
"$build/bin/generate_bench" make "$work/generate" >/dev/null
peak "$build/bin/generate_bench" run "$work/generate"

echo "== PDF: the 3,000-examinee demo workbook against LibreOffice; the 100,000 seat labels"
bash "$here/pdf_compare.sh" "$build" "$work/generate/数据/考试.xlsx"

echo "== reading a 100,000-row examinee list as .xls (python3-xlwt, two sheets) and GB18030 .csv"
/usr/bin/python3 "$here/make_lists.py" "$work/lists"
peak "$build/bin/readers_bench" load "$work/lists/考生名单.xls"
peak "$build/bin/readers_bench" load "$work/lists/考生名单.csv"

echo "== .xlsx load and save against orcus-xlsx and libxlsxwriter"
bash "$here/xlsx_compare.sh" "$build"
