#!/usr/bin/env bash
# The system calls of an idle service outside its once-a-minute passes: strace counts them for 20 s
# between two passes, printed per minute. Usage: bench/idle_wakeups.sh [QXMOVER_BINARY]
set -euo pipefail
bin="$(realpath "${1:-build/default/qxmover}")"
window=20
dir="$(mktemp -d "${TMPDIR:-/tmp}/qxbench-XXXXXX")"
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$dir"
}
trap cleanup EXIT
mkdir -p "$dir/root/windows" "$dir/work/log" "$dir/run"
XDG_RUNTIME_DIR="$dir/run" "$bin" --root "$dir/root" --workdir "$dir/work" --headless 2>"$dir/err" &
pid=$!
# Start-up and the first pass (two seconds after the start) lie before the window; the window lies
# between seconds 3 and 3 + 20 + 32 of a minute, clear of the passes at second 0.
sleep 3
while :; do
  second=$((10#$(date +%S)))
  if [ "$second" -ge 3 ] && [ "$second" -le 35 ]; then break; fi
  sleep 1
done
timeout -s INT "$window" strace -c -f -p "$pid" -o "$dir/strace.txt" 2>/dev/null || true
calls=$(awk '$NF == "total" {print $4}' "$dir/strace.txt")
calls=${calls:-0}
per_minute=$((calls * 60 / window))
echo "idle service: $per_minute system calls a minute outside its minute passes ($calls in ${window} s;" \
  "goal fewer than 20; a 200 ms signal poll alone makes 300)"
