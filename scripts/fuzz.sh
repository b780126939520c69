#!/usr/bin/env bash
# Builds the libFuzzer targets (CMake preset "fuzz": clang, AddressSanitizer + UBSan) and runs each for
# SECONDS (default 30), one job each, at most JOBS at a time (default: the number of processors).
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
# Each run starts from the seed corpus in fuzz/corpus/TARGET, which also holds every input that once
# made a target fail, so those run again at every start; what a run discovers goes to
# build/fuzz/corpus/TARGET and stays out of the repository. A crash, a leak, a timeout or a memory
# blow-up fails the script; the input that did it is kept in build/fuzz/artifacts/TARGET/ and named in
# the output (add it to fuzz/corpus/TARGET once the fault is mended).
# The build waits for the lock file $QX_BUILD_LOCK (default /tmp/qx-build.lock) where flock exists, so
# that it never runs beside another build of this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(dbf_table_fuzz dbf_print_fuzz profile_fuzz report_index_fuzz pipe_inbox_fuzz dbf_command_line_fuzz)
fi
jobs="${JOBS:-$(nproc)}"
build=build/fuzz

locked() {
  if command -v flock >/dev/null; then flock "${QX_BUILD_LOCK:-/tmp/qx-build.lock}" "$@"; else "$@"; fi
}
locked cmake --preset fuzz >/dev/null
locked cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# One target: its log goes to build/fuzz/logs/TARGET.log, libFuzzer's exit code to TARGET.status.
run_one() {
  local target="$1"
  local seeds="fuzz/corpus/$target" found="$build/corpus/$target" artifacts="$build/artifacts/$target"
  mkdir -p "$seeds" "$found" "$artifacts"
  local status=0
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$found" "$seeds" >"$logs/$target.log" 2>&1 ||
    status=$?
  echo "$status" >"$logs/$target.status"
}

logs="$build/logs"
rm -rf "$logs"
mkdir -p "$logs"
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_one "$target" &
done
wait

failed=()
for target in "${targets[@]}"; do
  status="$(cat "$logs/$target.status" 2>/dev/null || echo missing)"
  if [ "$status" = 0 ]; then
    runs="$(grep -m1 -o 'number_of_executed_units: *[0-9]*' "$logs/$target.log" | grep -o '[0-9]*$' || true)"
    echo "fuzz: $target: ${runs:-?} runs in ${seconds} s, no finding"
    continue
  fi
  failed+=("$target")
  echo "fuzz: $target FAILED (exit $status); the end of $logs/$target.log:" >&2
  tail -n 40 "$logs/$target.log" >&2
  for input in "$build/artifacts/$target"/*; do
    if [ -e "$input" ]; then echo "fuzz: $target: kept input $input" >&2; fi
  done
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
