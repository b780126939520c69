#!/usr/bin/env bash
# The build's cost in CPU seconds (user + sys of the build and every compiler it starts), which other
# load on the machine hardly changes, all measured in one run for the default preset:
#   cold       the committed HEAD built from nothing, ccache disabled (CCACHE_DISABLE=1), and its ratio
#              to the same build of BASE (default: the merge-base of HEAD and main);
#   incremental  rebuilds after touching src/platform/Profile.h and after touching one job's .cpp;
#   fresh clone  a new clone in another directory built with a warm cache, and its ratio to the cold build;
#   ci         (with --ci) the whole of .ci/run with a warm cache.
# Every build happens in temporary worktrees and clones, which are removed at the end. Heavy: run it
# alone (under the build lock where builds are shared).
#
#   bench/build_time.sh [--ci] [BASE]
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
with_ci=0
if [ "${1:-}" = --ci ]; then
  with_ci=1
  shift
fi
base=${1:-$(git merge-base HEAD main)}
head=$(git rev-parse HEAD)
base=$(git rev-parse "$base")
jobs=$(nproc)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/qx-buildtime-XXXXXX")
cleanup() {
  git -C "$repo" worktree remove --force "$tmp/base" >/dev/null 2>&1 || true
  git -C "$repo" worktree remove --force "$tmp/head" >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# cpu DIR [ENV...] -- COMMAND...: runs COMMAND in DIR and prints its CPU seconds (user + sys).
cpu() {
  local dir=$1
  shift
  local env=()
  while [ "$1" != -- ]; do
    env+=("$1")
    shift
  done
  shift
  (cd "$dir" && env "${env[@]}" /usr/bin/time -f '%U %S' -o "$tmp/time" "$@" >"$tmp/log" 2>&1) || {
    tail -30 "$tmp/log" >&2
    echo "failed in $dir: $*" >&2
    exit 1
  }
  awk '{printf "%.1f", $1 + $2}' "$tmp/time"
}
configure() { (cd "$1" && cmake --preset default >/dev/null); }
build() { cpu "$1" "${@:2}" -- cmake --build --preset default -j "$jobs"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a / b}'; }

echo "base $(git log -1 --format='%h %s' "$base" | cut -c1-70)"
echo "head $(git log -1 --format='%h %s' "$head" | cut -c1-70)"

git worktree add -q --detach "$tmp/base" "$base"
configure "$tmp/base"
base_cold=$(build "$tmp/base" CCACHE_DISABLE=1)
git worktree remove --force "$tmp/base"

git worktree add -q --detach "$tmp/head" "$head"
configure "$tmp/head"
cold=$(build "$tmp/head" CCACHE_DISABLE=1)
echo "cold build: $cold CPU s, base $base_cold CPU s, ratio $(ratio "$cold" "$base_cold") (goal <= 0.60)"

touch "$tmp/head/src/platform/Profile.h"
profile_h=$(build "$tmp/head" CCACHE_DISABLE=1)
touch "$tmp/head/src/jobs/DiskMonitor.cpp"
job_cpp=$(build "$tmp/head" CCACHE_DISABLE=1)
echo "incremental: after touching src/platform/Profile.h $profile_h CPU s," \
  "after touching src/jobs/DiskMonitor.cpp $job_cpp CPU s"

# The cache made warm for HEAD by a build through it (cheap when it already is), then a fresh clone in
# another directory built through it.
rm -rf "$tmp/head/build"
configure "$tmp/head"
build "$tmp/head" >/dev/null
git worktree remove --force "$tmp/head"
git clone -q --no-hardlinks "$repo" "$tmp/clone"
git -C "$tmp/clone" checkout -q --detach "$head"
configure "$tmp/clone"
ccache --zero-stats >/dev/null 2>&1 || true
warm=$(build "$tmp/clone")
hits=$(ccache --print-stats 2>/dev/null | awk -F'\t' '$1=="direct_cache_hit"||$1=="preprocessed_cache_hit"{h+=$2} $1=="cache_miss"{m+=$2} END{printf "%d hits, %d misses", h, m}')
echo "fresh clone, warm cache: $warm CPU s ($hits), ratio to cold $(ratio "$warm" "$cold") (goal <= 0.15)"

if [ "$with_ci" = 1 ]; then
  ci=$(cpu "$tmp/clone" -- bash .ci/run)
  echo "ci (.ci/run, warm cache): $ci CPU s"
fi
