#!/usr/bin/env bash
# The tray and the second start under a real window manager: Xvfb, openbox and trayer. Starts the
# windowed service on the installation below ROOT, then 20 times saves with Return and shows the
# dialog again by a double click on the tray icon, and 20 times by a second start; every show must
# show the dialog. Ends the service with SIGTERM, which must give exit code 0 within three seconds.
#   tray-cycles.sh QXMOVER ROOT WORKDIR     exit 0 passed, 1 failed, 77 tools missing
set -u
qx="$1" root="$2" work="$3"
for tool in Xvfb openbox trayer xdotool xwininfo; do
  command -v "$tool" >/dev/null || { echo "no $tool"; exit 77; }
done
title="Quillet statisticfile manager and disk monitor"
display=":$((100 + $$ % 400))"
export DISPLAY="$display"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; }
trap cleanup EXIT
Xvfb "$display" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 & pids+=($!)
sleep 0.5
trayer --edge top --align right --widthtype pixel --width 200 --height 32 >/dev/null 2>&1 & pids+=($!)
sleep 0.5
service_err="$work/service-stderr.txt"
"$qx" --root "$root" --workdir "$work" >/dev/null 2>"$service_err" & service=$!
pids+=("$service")

visible() { xdotool search --onlyvisible --name "$title" 2>/dev/null | head -1; }
until_() {  # condition, seconds: true when the condition holds within that time
  for _ in $(seq $(($2 * 10))); do eval "$1" && return 0; sleep 0.1; done
  return 1
}
until_ '[ -n "$(visible)" ]' 10 || { echo "the dialog never showed"; exit 1; }
# The start-up hide, then the tray icon: the small window of the service inside trayer's panel.
until_ '[ -z "$(visible)" ]' 10 || { echo "the dialog did not hide after the start"; exit 1; }
icon=$(xwininfo -root -tree | grep '("qxmover" "qxmover")' | grep -v "$title" | head -1)
read -r x y < <(echo "$icon" | grep -oE '\+[0-9]+\+[0-9]+$' | tr '+' ' ')
read -r w h < <(echo "$icon" | grep -oE ' [0-9]+x[0-9]+\+' | tr 'x+' '  ')
[ -n "${x:-}" ] || { echo "no tray icon"; exit 1; }
click() { xdotool mousemove $((x + w / 2)) $((y + h / 2)) click --repeat 2 --delay 60 1; }

misses=0
saveAndHide() {
  xdotool windowactivate --sync "$(visible)" key --clearmodifiers Return 2>/dev/null
  until_ '[ -z "$(visible)" ]' 3 || echo "Return did not save and hide"
}
click
until_ '[ -n "$(visible)" ]' 3 || { echo "the first double click showed nothing"; exit 1; }
for i in $(seq 20); do
  saveAndHide
  click
  until_ '[ -n "$(visible)" ]' 3 || { misses=$((misses + 1)); echo "tray double click $i: not shown"; click; sleep 1; }
done
for i in $(seq 20); do
  saveAndHide
  "$qx" --root "$root" --workdir "$work" >/dev/null 2>&1
  until_ '[ -n "$(visible)" ]' 4 || { misses=$((misses + 1)); echo "second start $i: not shown"; click; sleep 1; }
done
start=$(date +%s%N)
kill -TERM "$service"
wait "$service"
code=$?
took=$((($(date +%s%N) - start) / 1000000))
echo "tray and second-start misses: $misses of 40; SIGTERM: exit $code after $took ms"
[ "$code" -eq 0 ] || { echo "the service said:"; cat "$service_err"; }
[ "$misses" -eq 0 ] && [ "$code" -eq 0 ] && [ "$took" -lt 3000 ]
