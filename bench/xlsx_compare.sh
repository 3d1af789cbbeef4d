#!/usr/bin/env bash
# kelv's .xlsx load and save against orcus-xlsx and libxlsxwriter on the same
# 100,000 x 10 workbook, and kelv's peak memory while loading against the
# model's own size. Needs: scripts/setup.sh --bench (liborcus-bin,
# libxlsxwriter-dev, time) and a build with xlsx_bench.
#   bash bench/xlsx_compare.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
bench=$build/bin/xlsx_bench
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[[ -x $bench ]] || { echo "no $bench; build the xlsx_bench target first" >&2; exit 1; }

# The same rows as make_book() in xlsx_bench.cpp, written by libxlsxwriter.
cc -O2 -o "$work/lxw" "$here/lxw_write.c" -lxlsxwriter

# Best of three runs of a command; it prints "NAME: X s".
best() {
  local out best_s=""
  for _ in 1 2 3; do
    out=$("$@" | grep -E ': [0-9.]+ s' | head -1)
    local t=$(echo "$out" | sed -E 's/.*: ([0-9.]+) s.*/\1/')
    if [[ -z $best_s ]] || (( $(echo "$t < $best_s" | bc -l) )); then best_s=$t; fi
  done
  echo "$out" | sed -E "s/: [0-9.]+ s/: $best_s s/"
}
# orcus-xlsx with no output format only loads; it exits with status 1
# after loading in that mode, so the status is not checked.
orcus_load() {
  local s e
  s=$(date +%s.%N)
  orcus-xlsx -f none "$1" >/dev/null 2>&1 || true
  e=$(date +%s.%N)
  printf 'orcus-xlsx load%s: %.3f s\n' "$2" "$(echo "$e - $s" | bc -l)"
}

echo "== save (100,000 x 10), best of 3"
best "$bench" write "$work/kelv.xlsx"
best "$work/lxw" "$work/lxw.xlsx"
ls -l "$work/kelv.xlsx" "$work/lxw.xlsx" | awk '{print $9": "$5" bytes"}'

echo "== load, best of 3"
best "$bench" load "$work/kelv.xlsx"
best orcus_load "$work/kelv.xlsx" ""
# Both readers on libxlsxwriter's file as well, so neither side picks the file.
best "$bench" load "$work/lxw.xlsx" | sed 's/kelv load/kelv load (libxlsxwriter file)/'
best orcus_load "$work/lxw.xlsx" " (libxlsxwriter file)"

echo "== peak memory while loading"
/usr/bin/time -v "$bench" load "$work/kelv.xlsx" > "$work/load.txt" 2> "$work/time.txt"
peak_kb=$(awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}' "$work/time.txt")
model_mb=$(awk '/model size/ {print $3}' "$work/load.txt")
printf 'peak RSS: %.1f MB, model: %s MB, ratio %.2f (limit 3)\n' \
  "$(echo "$peak_kb / 1024" | bc -l)" "$model_mb" "$(echo "$peak_kb / 1024 / $model_mb" | bc -l)"
