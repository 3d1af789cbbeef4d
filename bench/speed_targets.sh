#!/usr/bin/env bash
# The province-scale figures, before and after in one run, best of N
# (alternating before and after on copies of the same inputs):
#   - 100,000 seat labels with a Code 128 each against the same labels with
#     the exam number as text (generate_bench make DIR codes | text)
#   - 1,000,000 examinees open + assign + save (assign_bench make DIR 1000000),
#     and the saved workbook opened again (assign_bench reopen DIR)
#   - 100,000 examinees open + assign + save against the openpyxl script
#     (assign_openpyxl.py, once: it takes minutes)
#   - kelv pdf of the 100,000 seat labels with codes, and of the plain
#     labels (generate_bench make DIR: text and 5,000 photos)
#
#   bash bench/speed_targets.sh BEFORE_BUILD AFTER_BUILD [RUNS] [WORK_DIR]
#
# Each line: the program, the build, wall seconds, processor seconds and
# peak memory in MB, from /usr/bin/time. The inputs are made by the after
# build's bench programs; each build works on its own copy.
set -euo pipefail
before=$1 after=$2 runs=${3:-3} work=${4:-$(mktemp -d)}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
echo "== $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo)," \
     "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%Y-%m-%d %H:%M UTC')"

measure() {  # LABEL COMMAND...: one line of wall, processor and peak memory
  local label=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >"$work/out.txt" 2>&1 || {
    echo "$label: failed"; tail -5 "$work/out.txt"; return 0; }
  awk -v l="$label" '{printf "%-28s wall %6.2f s  processor %6.2f s  peak %5.0f MB\n", l, $1, $2 + $3, $4 / 1024}' \
    "$work/time.txt"
}

make_inputs() {
  local b=$after/bin
  [[ -d $work/gcodes ]] || "$b/generate_bench" make "$work/gcodes" codes >/dev/null
  [[ -d $work/gtext ]] || "$b/generate_bench" make "$work/gtext" text >/dev/null
  [[ -d $work/gplain ]] || "$b/generate_bench" make "$work/gplain" >/dev/null
  [[ -f $work/gplain/.generated ]] || { "$b/generate_bench" run "$work/gplain" >/dev/null && touch "$work/gplain/.generated"; }
  [[ -d $work/a100k ]] || "$b/assign_bench" make "$work/a100k" >/dev/null
  [[ -d $work/a1m ]] || "$b/assign_bench" make "$work/a1m" 1000000 >/dev/null
  for side in before after; do
    for d in a100k a1m; do
      [[ -d $work/$side-$d ]] || cp -r "$work/$d" "$work/$side-$d"
    done
  done
}

make_inputs
for ((i = 1; i <= runs; ++i)); do
  echo "-- round $i"
  for side in before after; do
    b=$([[ $side == before ]] && echo "$before" || echo "$after")/bin
    # Generation saves into its input: each run starts from a fresh copy.
    for d in gcodes gtext; do
      rm -rf "${work:?}/$side-$d"
      cp -r "$work/$d" "$work/$side-$d"
    done
    measure "$side generate codes" "$b/generate_bench" run "$work/$side-gcodes"
    measure "$side generate text" "$b/generate_bench" run "$work/$side-gtext"
    measure "$side assign 1,000,000" "$b/assign_bench" run "$work/$side-a1m"
    # What was saved must open again (an older build may lack the mode).
    if [[ $side == after ]]; then
      measure "$side reopen 1,000,000" "$b/assign_bench" reopen "$work/$side-a1m"
    fi
    measure "$side assign 100,000" "$b/assign_bench" run "$work/$side-a100k"
    measure "$side pdf codes labels" "$b/kelv" pdf "$work/$side-gcodes/数据/考试.xlsx" 桌贴 \
      -o "$work/$side-labels.pdf"
    measure "$side pdf plain labels" "$b/kelv" pdf "$work/gplain/数据/考试.xlsx" 桌贴 \
      -o "$work/$side-plain.pdf"
  done
done
if [[ ${OPENPYXL:-1} == 1 ]]; then
  measure "openpyxl assign 100,000" /usr/bin/python3 "$here/assign_openpyxl.py" "$work/a100k"
fi
pdfinfo "$work/after-labels.pdf" | awk '/^Pages:/ {print "after pdf pages: " $2}'
