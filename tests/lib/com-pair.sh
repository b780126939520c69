#!/usr/bin/env bash
# com-pair.sh start|stop DIR: joins COM7 and COM8 of the tests' Wine prefix by a pty pair (socat), for
# the serial port tests of the windows preset. Without socat nothing is set up and those tests skip.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
action="$1"
dir="$2"
export WINEPREFIX="${QX_WINEPREFIX:-$here/build/windows/wine}"
mkdir -p "$dir"
case "$action" in
start)
  command -v socat >/dev/null || { echo "socat missing: the serial port pair is not made"; exit 0; }
  [ -f "$dir/socat.pid" ] && kill "$(cat "$dir/socat.pid")" 2>/dev/null || true
  rm -f "$dir/ttyA" "$dir/ttyB"
  socat pty,raw,echo=0,link="$dir/ttyA" pty,raw,echo=0,link="$dir/ttyB" </dev/null >/dev/null 2>&1 &
  echo $! >"$dir/socat.pid"
  for _ in $(seq 100); do
    [ -e "$dir/ttyA" ] && [ -e "$dir/ttyB" ] && break
    sleep 0.05
  done
  [ -e "$dir/ttyA" ] && [ -e "$dir/ttyB" ] || { echo "socat made no pty pair"; exit 1; }
  # Wine finds its serial ports as links in dosdevices, which it makes from HKLM\Software\Wine\Ports.
  "$here/scripts/wine-run" reg add 'HKLM\Software\Wine\Ports' /v COM7 /d "$dir/ttyA" /f >/dev/null 2>&1 || true
  "$here/scripts/wine-run" reg add 'HKLM\Software\Wine\Ports' /v COM8 /d "$dir/ttyB" /f >/dev/null 2>&1 || true
  mkdir -p "$WINEPREFIX/dosdevices"
  ln -sfn "$dir/ttyA" "$WINEPREFIX/dosdevices/com7"
  ln -sfn "$dir/ttyB" "$WINEPREFIX/dosdevices/com8"
  ;;
stop)
  [ -f "$dir/socat.pid" ] && kill "$(cat "$dir/socat.pid")" 2>/dev/null || true
  rm -f "$dir/socat.pid" "$WINEPREFIX/dosdevices/com7" "$WINEPREFIX/dosdevices/com8"
  ;;
esac
