#!/usr/bin/env bash
# Runs the .xlsx reader's fuzz target for a time budget, one worker per core,
# starting from the test files and every input that once failed, and prints
# what was run: executions, coverage, and any input that crashed, hung or
# ran out of memory (kept in the corpus folder as crash-*, timeout-*, oom-*).
#   scripts/fuzz.sh BUILD        FUZZ_SECONDS (default 600), FUZZ_JOBS (cores)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${FUZZ_SECONDS:-600}
jobs=${FUZZ_JOBS:-$(nproc)}
root=$(cd "$(dirname "$0")/.." && pwd)
target=$build/bin/fuzz_xlsx_reader
corpus=$build/fuzz_xlsx_corpus
logs=$build/fuzz_logs
[[ -x $target ]] || { echo "fuzz: $target is missing (clang++ with libFuzzer is needed)" >&2; exit 1; }
mkdir -p "$corpus" "$logs"
rm -f "$logs"/fuzz-*.log
echo "fuzz: $jobs worker(s) for ${seconds} s, corpus $corpus"
cd "$logs"
set +e
"$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=65536 \
  -print_final_stats=1 -jobs="$jobs" -workers="$jobs" \
  -artifact_prefix="$corpus/" "$corpus" "$root/tests/data/xlsx" \
  "$root/tests/data/xlsx/fuzz_seeds" "$root/tests/data/xlsx/fuzz_regressions" >/dev/null 2>&1
set -e
runs=0
for log in fuzz-*.log; do
  n=$(grep -ao 'stat::number_of_executed_units: *[0-9]*' "$log" | awk '{print $2}' | tail -1)
  runs=$((runs + ${n:-0}))
done
cov=$(cat fuzz-*.log | grep -ao 'cov: [0-9]*' | awk '{print $2}' | sort -n | tail -1)
features=$(cat fuzz-*.log | grep -ao 'ft: [0-9]*' | awk '{print $2}' | sort -n | tail -1)
found=$(find "$corpus" -maxdepth 1 \( -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' -o -name 'leak-*' \) | wc -l)
echo "fuzz: $runs executions, coverage $cov edges ($features features), corpus $(find "$corpus" -maxdepth 1 -type f | wc -l) inputs, findings $found"
if [[ $found -gt 0 ]]; then
  find "$corpus" -maxdepth 1 \( -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' -o -name 'leak-*' \)
  echo "fuzz: copy each finding into tests/data/xlsx/fuzz_regressions under a name that says what it found" >&2
  exit 1
fi
