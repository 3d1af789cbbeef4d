#!/usr/bin/env bash
# PDF output. The demo's data workbook with 3,000 examinees (seven sheets,
# photos on two of them) to PDF by kelv and by LibreOffice in the same run,
# and, when given, a seat-label sheet of the generation benchmark (100,000
# labels) by kelv alone, with time and peak memory. LibreOffice is skipped
# when it is not installed (scripts/setup.sh --docs).
#   bash bench/pdf_compare.sh [BUILD_DIR] [GENERATED_WORKBOOK]
set -euo pipefail
build=${1:-build}
labels=${2:-}
kelv=$build/bin/kelv
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[[ -x $kelv ]] || { echo "no $kelv; build the kelv target first" >&2; exit 1; }

# Runs a command under /usr/bin/time; leaves "wall_seconds peak_MB
# processor_seconds" in $measured.
measure() {
  /usr/bin/time -f "%e %M %U %S" -o "$work/time.txt" "$@" >/dev/null 2>&1
  measured=$(awk '{printf "%.2f %.0f %.2f", $1, $2 / 1024, $3 + $4}' "$work/time.txt")
}
pages() { pdfinfo "$1" | awk '/^Pages:/ {print $2}'; }

"$kelv" demo "$work/demo" --examinees 3000 >/dev/null
book="$work/demo/数据/期末考试.xlsx"
measure "$kelv" pdf "$book" -o "$work/kelv.pdf"
read -r kelv_s kelv_mb kelv_cpu <<<"$measured"
echo "kelv pdf, 3,000-examinee demo workbook: $(pages "$work/kelv.pdf") pages in ${kelv_s} s (processor ${kelv_cpu} s), peak ${kelv_mb} MB"

if command -v soffice >/dev/null; then
  profile="file://$work/lo-profile"
  # A first conversion sets up LibreOffice's profile, which is not measured.
  printf 'a\n' >"$work/warm.csv"
  soffice -env:UserInstallation="$profile" --headless --convert-to pdf --outdir "$work" \
    "$work/warm.csv" >/dev/null 2>&1
  measure soffice -env:UserInstallation="$profile" --headless --convert-to pdf \
    --outdir "$work/lo" "$book"
  read -r lo_s lo_mb lo_cpu <<<"$measured"
  echo "LibreOffice, the same workbook: $(pages "$work/lo/期末考试.pdf") pages in ${lo_s} s (processor ${lo_cpu} s), peak ${lo_mb} MB"
  awk -v k="$kelv_s" -v l="$lo_s" 'BEGIN {printf "kelv takes %.1f %% of LibreOffice'"'"'s time (1/%.0f)\n", 100 * k / l, l / k}'
else
  echo "LibreOffice not installed (scripts/setup.sh --docs): no comparison"
fi

if [[ -n $labels ]]; then
  measure "$kelv" pdf "$labels" 桌贴 -o "$work/labels.pdf"
  read -r s mb cpu <<<"$measured"
  echo "kelv pdf, 100,000 seat labels: $(pages "$work/labels.pdf") pages, $(du -m "$work/labels.pdf" | cut -f1) MB, in ${s} s (processor ${cpu} s), peak ${mb} MB"
fi
