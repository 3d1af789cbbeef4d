#!/usr/bin/env bash
# The pictures of kelv-form in this folder, taken as a person sees the
# window: on an X server in memory (Xvfb) with a window manager (openbox),
# driven with xdotool, captured with ImageMagick's import. Needs
# scripts/setup.sh --docs and a build in build/.
#   docs/form/make_screenshots.sh [BUILD_DIR [view|start]]
# Writes, for 1024x600 and 1920x1080: view-WxH.png (the sheet view with a
# widened column and the cell line), help-WxH.png (the user guide),
# first-start-WxH.png (the start dialog of a new user) and
# new-workspace-WxH.png (a workspace made in an empty folder with a list
# brought in and its rooms made).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
which=${2:-all}
kelv=$build/bin/kelv
form=$build/bin/kelv-form
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
# The form's remembered size and last workspace stay out of the user's own
# settings.
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

shoot() {  # SIZE DISPLAY
  local size=$1 display=$2
  rm -rf "$work/ws" "$XDG_CONFIG_HOME"
  "$kelv" sample "$work/ws/考务示例" >/dev/null
  Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp &
  local xvfb=$!
  sleep 1
  DISPLAY=:$display openbox &
  local wm=$!
  sleep 1
  DISPLAY=:$display "$form" "$work/ws/考务示例" &
  local app=$!
  sleep 4
  export DISPLAY=:$display
  local w height
  w=$(xdotool search --name "kelv 考务 — " | head -1)
  height=$(xdotool getwindowgeometry "$w" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
  # Open the data workbook, arrange, show the examinee sheet.
  xdotool mousemove --window "$w" 59 93 click 1
  sleep 2
  xdotool mousemove --window "$w" 321 $((height - 87)) click 1
  sleep 3
  xdotool mousemove --window "$w" 545 $((height - 36)) click 1
  sleep 1
  # Widen column B (姓名) by dragging its heading's edge, then pick a cell.
  xdotool mousemove --window "$w" 678 59 sleep 0.3 mousedown 1 sleep 0.2 \
    mousemove --window "$w" 720 59 sleep 0.2 mousemove --window "$w" 760 59 sleep 0.2 mouseup 1
  sleep 0.5
  xdotool mousemove --window "$w" 700 135 click 1
  sleep 0.3
  xdotool mousemove --window "$w" 702 136
  sleep 2
  import -window root "$here/view-$size.png"
  # The user guide, from F1, found at its words on the window ("F1").
  xdotool key F1
  sleep 2
  xdotool type F1
  xdotool key Return
  sleep 1
  import -window root "$here/help-$size.png"
  kill $app $wm $xvfb
  wait $app $wm $xvfb 2>/dev/null || true
}

# A new user: the start dialog, 新建工作区… into an empty folder, the list
# tests/form/data/新生名单.csv, 30 a room. The file dialogs take a typed path.
start() {  # SIZE DISPLAY
  local size=$1 display=$2
  rm -rf "$work/new" "$XDG_CONFIG_HOME" "$work/home"
  mkdir -p "$work/new/新学期" "$work/home/Documents"
  Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp &
  local xvfb=$!
  sleep 1
  DISPLAY=:$display openbox &
  local wm=$!
  sleep 1
  HOME=$work/home DISPLAY=:$display "$form" &
  local app=$!
  sleep 4
  export DISPLAY=:$display
  import -window root "$here/first-start-$size.png"
  # The start dialog's buttons, from the default one: Tab to 新建工作区….
  local box
  box=$(xdotool search --name "^kelv 考务$" | tail -1)
  xdotool windowactivate --sync "$box" key Tab Tab space
  sleep 2
  xdotool type --delay 40 "$work/new/新学期"
  sleep 1
  xdotool key Return
  sleep 2
  xdotool type --delay 40 "$here/../../tests/form/data/新生名单.csv"
  sleep 1
  xdotool key Return
  sleep 2
  xdotool key Return
  sleep 2
  import -window root "$here/new-workspace-$size.png"
  kill $app $wm $xvfb
  wait $app $wm $xvfb 2>/dev/null || true
}

if [ "$which" != start ]; then
  shoot 1024x600 93
  shoot 1920x1080 94
fi
if [ "$which" != view ]; then
  start 1024x600 95
  start 1920x1080 96
fi
