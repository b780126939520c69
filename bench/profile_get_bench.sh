#!/usr/bin/env bash
# `qxmover profile get` of the last key of a 100,000-key profile file (3.9 MB) against an awk scan of
# the same section, run for run in the same loop; and the get's peak memory against the file's size.
# Usage: bench/profile_get_bench.sh [QXMOVER]
set -euo pipefail
qx=$(realpath "${1:-build/default/qxmover}")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/windows"
awk 'BEGIN { for (s = 0; s < 10; s++) { printf "[Section%d]\r\n", s
             for (k = 0; k < 10000; k++) printf "Key%d=value of key %d in section %d\r\n", k, k, s } }' \
  >"$dir/windows/big.ini"
size=$(stat -c %s "$dir/windows/big.ini")
get=("$qx" --root "$dir" --windir "$dir/windows" profile get big.ini Section9 Key9999)
scan=(awk -F= 'index($0, "[Section9]") == 1 { s = 1; next } /^\[/ { s = 0 } s && $1 == "Key9999" { print $2; exit }'
      "$dir/windows/big.ini")
[ "$("${get[@]}")" = "value of key 9999 in section 9" ] || { echo "profile get gave a wrong value" >&2; exit 1; }

now() { date +%s%N; }
runs=20 ours=0 peer=0
for round in 1 2 3; do
  t0=$(now); for ((i = 0; i < runs; i++)); do "${get[@]}" >/dev/null; done; t1=$(now)
  for ((i = 0; i < runs; i++)); do "${scan[@]}" >/dev/null; done; t2=$(now)
  # The best round of each, so that other load on the machine counts as little as possible.
  if [ "$round" = 1 ] || [ $((t1 - t0)) -lt "$ours" ]; then ours=$((t1 - t0)); fi
  if [ "$round" = 1 ] || [ $((t2 - t1)) -lt "$peer" ]; then peer=$((t2 - t1)); fi
done
peakKb=$(/usr/bin/time -f %M "${get[@]}" 2>&1 >/dev/null | tail -1)
printf '  profile get, 100,000-key file : %6.1f ms/run\n' "$(echo "$ours / $runs / 1000000" | bc -l)"
printf '  awk scan of the section       : %6.1f ms/run\n' "$(echo "$peer / $runs / 1000000" | bc -l)"
printf '  ratio get/awk: %.2f (goal: at most 1.5)\n' "$(echo "$ours / $peer" | bc -l)"
printf '  peak memory %d KiB for a %d KiB file: ratio %.2f (goal: at most 2)\n' "$peakKb" $((size / 1024)) \
  "$(echo "$peakKb * 1024 / $size" | bc -l)"
