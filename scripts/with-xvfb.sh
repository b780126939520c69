#!/usr/bin/env bash
# Runs a Windows program under Wine with an X display of its own (Xvfb), for the tests of the native
# window, which Wine can draw only on a display:
#   scripts/with-xvfb.sh PROGRAM.exe [ARGUMENTS...]
# Exit code 77 (a skip for ctest) when Xvfb is not installed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
command -v Xvfb >/dev/null || { echo "with-xvfb: Xvfb is not installed; the window's tests are skipped" >&2; exit 77; }
work="$(mktemp -d)"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
wm=
cleanup() {
  if [ -n "$wm" ]; then kill "$wm" 2>/dev/null || true; wait "$wm" 2>/dev/null || true; fi
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "with-xvfb: Xvfb did not start; the window's tests are skipped" >&2; exit 77; }
export QX_WINE_DISPLAY=":$(cat "$work/display")"
# A window manager, where installed: without one, Wine waits up to two seconds for every hide and
# minimise to be acknowledged, which nothing does.
if command -v openbox >/dev/null; then
  DISPLAY="$QX_WINE_DISPLAY" openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  for _ in $(seq 50); do DISPLAY="$QX_WINE_DISPLAY" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
fi
status=0
bash "$here/wine-run" "$@" || status=$?
exit "$status"
