#!/usr/bin/env bash
# Runs the readers' fuzz targets for a time budget each, one worker per core:
# the .xlsx reader from the test files and every input that once failed, and
# the .xls, delimited-text, HTML and XML-spreadsheet readers from the corpus
# folders the build seeded with their test files. Prints what was run:
# executions, coverage, and any input that crashed, hung or ran out of memory
# (kept in the target's corpus folder as crash-*, timeout-*, oom-*).
#   scripts/fuzz.sh BUILD   FUZZ_SECONDS (per target, default 600), FUZZ_JOBS (cores),
#                           FUZZ_TARGETS (default "xlsx xls text html xml")
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${FUZZ_SECONDS:-600}
jobs=${FUZZ_JOBS:-$(nproc)}
targets=${FUZZ_TARGETS:-xlsx xls text html xml}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for name in $targets; do
  target=$build/bin/fuzz_${name}_reader
  corpus=$build/fuzz_${name}_corpus
  logs=$build/fuzz_logs/$name
  [[ -x $target ]] || { echo "fuzz: $target is missing (clang++ with libFuzzer is needed)" >&2; exit 1; }
  mkdir -p "$corpus" "$logs"
  rm -f "$logs"/fuzz-*.log
  seeds=()
  if [[ $name == xlsx ]]; then
    seeds=("$root/tests/data/xlsx" "$root/tests/data/xlsx/fuzz_seeds" "$root/tests/data/xlsx/fuzz_regressions")
  fi
  echo "fuzz $name: $jobs worker(s) for ${seconds} s, corpus $corpus"
  (
    cd "$logs"
    "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=65536 \
      -print_final_stats=1 -jobs="$jobs" -workers="$jobs" \
      -artifact_prefix="$corpus/" "$corpus" "${seeds[@]}" >/dev/null 2>&1 || true
  )
  runs=0
  for log in "$logs"/fuzz-*.log; do
    n=$(grep -ao 'stat::number_of_executed_units: *[0-9]*' "$log" | awk '{print $2}' | tail -1)
    runs=$((runs + ${n:-0}))
  done
  cov=$(cat "$logs"/fuzz-*.log | grep -ao 'cov: [0-9]*' | awk '{print $2}' | sort -n | tail -1)
  features=$(cat "$logs"/fuzz-*.log | grep -ao 'ft: [0-9]*' | awk '{print $2}' | sort -n | tail -1)
  found=$(find "$corpus" -maxdepth 1 \( -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' -o -name 'leak-*' \) | wc -l)
  echo "fuzz $name: $runs executions, coverage $cov edges ($features features), corpus $(find "$corpus" -maxdepth 1 -type f | wc -l) inputs, findings $found"
  if [[ $found -gt 0 ]]; then
    find "$corpus" -maxdepth 1 \( -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' -o -name 'leak-*' \)
    echo "fuzz: copy each finding into tests/data/xlsx/fuzz_regressions (or tests/data/readers) under a name that says what it found" >&2
    status=1
  fi
done
exit $status
