#!/usr/bin/env bash
# Checks C++ files against the repository's .clang-format and names every
# file that differs. With FORMAT_BASE=REF only the files changed since REF
# are checked (a developer's branch); without it every tracked file is.
#   bash scripts/check_format.sh
#   FORMAT_BASE=main bash scripts/check_format.sh
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is missing: apt-get install clang-format" >&2; exit 2; }

if [[ -n "${FORMAT_BASE:-}" ]]; then
  mapfile -t files < <(git diff --name-only --diff-filter=ACMR "$FORMAT_BASE" -- '*.cpp' '*.h')
else
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
fi

bad=0
for f in "${files[@]}"; do
  [[ -f "$f" ]] || continue
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f"
    bad=$((bad + 1))
  fi
done
echo "clang-format: ${#files[@]} file(s) checked, $bad not formatted"
[[ $bad -eq 0 ]]
