#!/usr/bin/env bash
# Saves a PNG of every dialog template of the Windows window, in English and in German (and French with
# --all-languages), as Wine draws them under Xvfb: builds qxdialogs-preview.exe with the windows preset
# and shows each dialog in a Wine desktop of its own. The running main dialog (qxwindow-demo.exe over an
# installation folder of its own, settings loaded, clock running) is taken as running-main.png, and each
# sub-dialog as it opens from its button there, filled by its form, as running-NAME.png.
#   scripts/win-dialogs-screenshots.sh [--all-languages] [--no-build] [DIR]
# Pictures are DIR/LANG/NAME.png (default DIR build/windows/screenshots). --no-build takes the programs
# as they were built last.
set -euo pipefail
cd "$(dirname "$0")/.."
languages=(en de)
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --all-languages) languages=(en de fr) ;;
    --no-build) build=0 ;;
    *) break ;;
  esac
  shift
done
out="${1:-build/windows/screenshots}"
if [ "$build" = 1 ]; then
  bash scripts/install-deps.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j2 --target qxdialogs-preview qxwindow-demo
fi
exe="$PWD/build/windows/bin/qxdialogs-preview.exe"
demo="$PWD/build/windows/bin/qxwindow-demo.exe"
[ -f "$exe" ] || { echo "win-dialogs-screenshots: $exe was not built" >&2; exit 1; }
export WINEPREFIX="$PWD/build/windows/wine"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d "$out/.work.XXXXXX")"

# Wine takes Linux paths as paths on drive Z:.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# An X server of our own, on the first free display number.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
display=":$(cat "$work/display")"
export QX_WINE_DISPLAY="$display"

bash scripts/wine-run "$exe" --list "$(winpath "$work/names")"
mapfile -t names < <(tr -d '\r' <"$work/names")
[ ${#names[@]} -gt 0 ] || { echo "win-dialogs-screenshots: the preview names no dialogs" >&2; exit 1; }

shoot() {  # name, language[, program and its options instead of the preview's]
  local rect="$work/rect" picture="$out/$2/$1.png" name="$1" language="$2"
  shift 2
  [ $# -gt 0 ] || set -- "$(winpath "$exe")" --dialog "$name"
  rm -f "$rect" "$rect.done"
  # A desktop of Wine's own draws the frames and title bars that a window manager would.
  bash scripts/wine-run explorer /desktop=qxshots,1280x1024 "$@" --lang "$language" \
    --rect-file "$(winpath "$rect")" >"$work/wine.log" 2>&1 &
  local wine=$!
  for _ in $(seq ${QX_SHOT_WAIT:-1200}); do [ -s "$rect" ] && break; sleep 0.1; done
  if [ ! -s "$rect" ]; then
    echo "win-dialogs-screenshots: $name ($language) was not shown; Wine said:" >&2
    cat "$work/wine.log" >&2
    kill "$wine" 2>/dev/null || true
    return 1
  fi
  read -r x y w h <"$rect"
  sleep 0.5
  import -display "$display" -window root -crop "${w}x${h}+${x}+${y}" +repage "$picture"
  touch "$rect.done"
  wait "$wine" || true
}

for language in "${languages[@]}"; do
  mkdir -p "$out/$language"
  for name in "${names[@]}"; do
    shoot "$name" "$language"
  done
  if [ -f "$demo" ]; then
    installation="$work/installation-$language"
    mkdir -p "$installation/windows" "$installation/qxt"
    # Settings with an entry in every list and texts in the code page, so that each dialog shows some.
    printf '%s\r\n' '[HDCheck]' 'Active=1' 'CheckDrives=C:,D:' $'PhoneNumber=M\344rz 0815' \
      '[StartMore]' 'Prog1=\qxt\backup.bat' 'Day1=8' 'Time1=22' 'Type1=0' 'WeekParameter1=1' \
      'Prog2=qxawdcall' 'Day2=0' 'Time2=6' 'Type2=1' \
      '[DeleteAddtionalLogs]' $'DelPath1=\\qxt\\M\344rz' 'DelExt1=*.tmp' 'DelAfterWeeks1=4' \
      '[MonitorAddtionalDrives]' 'Drive1=d:' 'Space1=85' 'StartAlarm1=' \
      '[JobDirWatcher]' 'CheckJob1=1' 'CheckDir1=\qxt\job' 'MoveFiles1=1' 'MoveDir1=\qxt\job\old' \
      '[Config]' 'MoveConferWavTo=\qxt\confarch' >"$installation/windows/qxmover.ini"
    printf '%s\r\n' '[WatchDog]' 'Active=1' 'NumberToDial=0815 4711' 'Intervall=1560' \
      'WarningMessage=No answer from the box' >"$installation/windows/qxalarm.ini"
    while read -r name buttons; do
      shoot "running-$name" "$language" "$(winpath "$demo")" --dir "$(winpath "$installation")" \
        ${buttons:+--open "$buttons"} </dev/null
    done <<'SHOTS'
main
task-list 1010
task-editor 1010,1301
task-parameters 1010,1301,1329
delete-list 1107
delete-editor 1107,1301
drive-list 1122
drive-editor 1122,1301
drive-select 1029
watchdog 1071
job-watcher 1070
conference 1085
test-delete 1085,1481
about 1009
SHOTS
  fi
done
echo "pictures in $out:"
for language in "${languages[@]}"; do echo "  $language: $(cd "$out/$language" && echo *.png)"; done
