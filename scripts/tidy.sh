#!/usr/bin/env bash
# clang-tidy over the project's own sources with the committed
# configuration (.clang-tidy at the top, naming rules beside the folders
# they govern):  scripts/tidy.sh BUILD [WINDOWS_BUILD]
# BUILD is a configured Linux build (its compile_commands.json). With
# WINDOWS_BUILD, a configured MinGW build, src/automation/ (Windows only) is
# checked too with that build's compile commands. Any finding fails the run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "$1")
jobs=${JOBS:-$(nproc)}
tidy=$(command -v run-clang-tidy || command -v run-clang-tidy-14)
[[ -f $build/compile_commands.json ]] || {
  echo "tidy: $build/compile_commands.json is missing: configure the build first" >&2
  exit 2
}

out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
# Files under src/, as the build compiles them; generated files stay out.
"$tidy" -quiet -j "$jobs" -p "$build" "^$here/src/" >"$out" 2>&1 || status=$?
if [[ $# -ge 2 && -f $2/compile_commands.json ]]; then
  win=$(realpath "$2")
  # The MinGW C++ library and Windows headers the cross compiler uses, for
  # clang to parse Windows code with; GCC's own intrinsic headers stay out
  # (clang brings its own), and so do GCC-only warning options.
  gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
  extra=(-extra-arg=--target=x86_64-w64-mingw32 -extra-arg=-Wno-unknown-warning-option)
  for dir in "$gcc_dir/include/c++" "$gcc_dir/include/c++/x86_64-w64-mingw32" \
    "$gcc_dir/include/c++/backward" /usr/x86_64-w64-mingw32/include; do
    extra+=(-extra-arg=-isystem"$dir")
  done
  "$tidy" -quiet -j "$jobs" -p "$win" "${extra[@]}" \
    "^$here/src/automation/" >>"$out" 2>&1 || status=$?
fi
# Findings are lines "file:line:col: warning|error: ... [check]".
findings=$(sed 's/\x1b\[[0-9;]*m//g' "$out" | grep -E '^/.*:[0-9]+:[0-9]+: (warning|error):' |
  sort -u || true)
if [[ -n $findings ]]; then
  echo "$findings"
  echo "tidy: $(echo "$findings" | wc -l) findings" >&2
  exit 1
fi
if [[ $status -ne 0 ]]; then
  cat "$out" >&2
  exit "$status"
fi
echo "tidy: no findings"
