#!/usr/bin/env bash
# Installs what is missing, builds with the given CMake preset (default: "default") and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
bash scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
if command -v ccache >/dev/null; then ccache --zero-stats >/dev/null; fi
cmake --build --preset "$preset" -j "$(nproc)"
if command -v ccache >/dev/null; then
  echo "ccache ($preset): $(ccache --print-stats | awk -F'\t' '$1=="direct_cache_hit"||$1=="preprocessed_cache_hit"{h+=$2} $1=="cache_miss"{m+=$2} END{printf "%d hits, %d misses", h, m}')"
fi
ctest --preset "$preset" -j "$(nproc)" --timeout 300
