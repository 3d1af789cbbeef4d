#!/usr/bin/env bash
# Runs a Windows program under Wine in its own prefix, with no display and
# no Wine diagnostics:  scripts/wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# The prefix is created on first use (quietly; once, however many tests
# start at the same moment). The exit code is the program's.
set -euo pipefail
prefix=$(realpath -m "$1")
shift
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64
# Wine turns the arguments into the wide command line by the locale's
# character set: UTF-8, whatever the caller's locale.
export LC_ALL=C.UTF-8
# No window may open: no display, and neither the .NET nor the HTML
# installers Wine would offer when a prefix is created.
unset DISPLAY WAYLAND_DISPLAY
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [[ ! -f $prefix/.kelv-ready ]]; then
  mkdir -p "$prefix"
  (
    flock 9
    if [[ ! -f $prefix/.kelv-ready ]]; then
      wineboot --init >/dev/null 2>&1
      wineserver --wait
      touch "$prefix/.kelv-ready"
    fi
  ) 9>"$prefix.lock"
fi
# Windows' own faces (SimSun, Microsoft YaHei, ...) are not in a Wine prefix:
# Debian's Chinese and metric-compatible Latin fonts go into its font folder,
# so programs find the same faces as on Linux.
fonts=$prefix/drive_c/windows/Fonts
if [[ -d $fonts && ! -e $fonts/wqy-microhei.ttc ]]; then
  for f in /usr/share/fonts/truetype/{wqy,arphic,liberation2,crosextra}/*.tt[fc]; do
    [[ -e $f ]] && ln -sf "$f" "$fonts/"
  done
fi
exec wine "$@"
