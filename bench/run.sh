#!/usr/bin/env bash
# Builds the optimised preset and runs every benchmark; each prints its ratio against a peer tool
# measured in the same run (lower is better for us).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target qxmover profile_read_bench alarm_list_bench statistic_move_bench aged_delete_bench dbf_scan_bench table_write_bench
for b in profile_read_bench alarm_list_bench statistic_move_bench aged_delete_bench dbf_scan_bench table_write_bench; do
  echo "== $b"
  "build/default/bench/$b"
done
for s in profile_get_bench.sh rehearsal_bench.sh year_bench.sh idle_wakeups.sh; do
  echo "== ${s%.sh}"
  bash "bench/$s" build/default/qxmover
done
