#!/usr/bin/env bash
# Installs what is missing, builds with the given CMake preset (default: "default") and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
bash scripts/install-deps.sh
if [ "$preset" = windows ]; then
  # The tests run under Wine in the build tree's prefix; one wineserver kept for the whole run makes
  # each test's start cost a fraction of a second (scripts/wine-run).
  export WINEPREFIX="${QX_WINEPREFIX:-$PWD/build/windows/wine}"
  # A new prefix takes a while to make: made here, before the tests are listed against a time limit.
  # scripts/wine-run makes it and starts the one server (which holds none of our output); it is ended
  # when this script ends.
  trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true' EXIT
  mkdir -p build
  if ! bash scripts/wine-run wineboot </dev/null >build/wine-prefix.log 2>&1; then
    echo "test.sh: Wine could not make or start its prefix $WINEPREFIX:" >&2
    cat build/wine-prefix.log >&2
    exit 1
  fi
fi
started=$(date +%s)
cmake --preset "$preset" >/dev/null
if command -v ccache >/dev/null; then ccache --zero-stats >/dev/null; fi
cmake --build --preset "$preset" -j "$(nproc)"
if command -v ccache >/dev/null; then
  echo "ccache ($preset): $(ccache --print-stats | awk -F'\t' '$1=="direct_cache_hit"||$1=="preprocessed_cache_hit"{h+=$2} $1=="cache_miss"{m+=$2} END{printf "%d hits, %d misses", h, m}')"
fi
built=$(date +%s)
ctest --preset "$preset" -j "$(nproc)" --timeout 300
echo "$preset: build $((built - started)) s, tests $(($(date +%s) - built)) s"
