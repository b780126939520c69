#!/usr/bin/env bash
# A one-year rehearsal of the demo installation on the virtual clock (qxmover --headless with
# --clock-start/--clock-until): its wall-clock and CPU time, and, from `strace -c` over one simulated
# day, the stat calls that each once-a-minute pass makes.
# Usage: bench/rehearsal_bench.sh [QXMOVER]
set -euo pipefail
cd "$(dirname "$0")/.."
qx=$(realpath "${1:-build/default/qxmover}")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
bash demo/make-demo.sh "$dir/demo" >/dev/null
export TZ=Europe/Berlin PATH="$dir/demo/work/bin:$PATH"
run=("$qx" --root "$dir/demo/root" --workdir "$dir/demo/work" --headless)

/usr/bin/time -f '%e %U %S' -o "$dir/time" \
  "${run[@]}" --clock-start "2026-12-06 23:50" --clock-until "2027-12-06 23:50" >/dev/null 2>&1
read -r wall user sys <"$dir/time"
printf '  one-year rehearsal: %.1f s wall clock, %.1f s user, %.1f s system (goal: under 20 s)\n' \
  "$wall" "$user" "$sys"

# One quiet day (a Wednesday, nothing but the passes): 1,440 passes.
strace -f -c -o "$dir/strace" \
  "${run[@]}" --clock-start "2027-01-13 00:00" --clock-until "2027-01-14 00:00" >/dev/null 2>&1
stats=$(awk '$NF ~ /^(newfstatat|stat|lstat|fstatat64|statx)$/ { n += $4 } END { print n + 0 }' \
  "$dir/strace")
printf '  stat calls in one simulated day: %d, %.1f per once-a-minute pass (goal: one per profile file)\n' \
  "$stats" "$(echo "$stats / 1440" | bc -l)"
