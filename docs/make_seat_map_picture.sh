#!/bin/bash
# Draws docs/seat-map.png: the first page of the sample workspace's seat
# maps (the template 座位表), as kelv prints it.
#
#   bash docs/make_seat_map_picture.sh build/bin/kelv
#
# Plays `kelv demo` (the sample workspace, examinees arranged in random order
# with schools kept apart, every template generated), prints the sheet 座位表
# of its data workbook with `kelv pdf` and renders page 1 with pdftoppm.
set -euo pipefail
kelv=$(realpath "${1:-build/bin/kelv}")
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$kelv" demo "$work/ws" --seed 36 > /dev/null
"$kelv" pdf "$work/ws/数据/期末考试.xlsx" 座位表 -o "$work/maps.pdf" > /dev/null
pdftoppm -f 1 -l 1 -r 72 -png "$work/maps.pdf" "$work/page"
cp "$work"/page-*1.png "$here/seat-map.png"
echo "wrote $here/seat-map.png"
