#!/usr/bin/env bash
# Installs what is missing, builds, lays out the demo installation in build/demo and rehearses the
# week change on a virtual clock: Sunday 6 December 2026 23:50 to Monday 7 December 01:05. Then shows
# what the service did: its activity log, the commands it started and the statistic-file directory.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target qxmover
demo=build/demo
bash demo/make-demo.sh "$demo"
export TZ=Europe/Berlin PATH="$PWD/$demo/work/bin:$PATH"
qx=(build/default/qxmover --root "$demo/root" --workdir "$demo/work")

echo "== qxmover --headless, virtual clock 2026-12-06 23:50 .. 2026-12-07 01:05"
"${qx[@]}" --headless --clock-start "2026-12-06 23:50" --clock-until "2026-12-07 01:05"
echo "== activity log (work/log/qxmover_*.log)"
cat "$demo"/work/log/qxmover_*.log
echo "== alive log (work/log/qxlive.log)"
cat "$demo/work/log/qxlive.log"
echo "== commands started (work/started.txt)"
cat "$demo/work/started.txt" 2>/dev/null || echo "(none)"
echo "== statistic-file directory (root/qxt/log)"
(cd "$demo/root/qxt/log" && find . -type f | sort)
echo "== alarm report printed at midnight (root/qxt/log/qxareport.prt)"
cat "$demo/root/qxt/log/qxareport.prt" 2>/dev/null || echo "(none)"
echo "== conference recordings, archive, alarm recordings, trace logs"
(cd "$demo/root" && find qxt/log/confwav qxt/confarchive dbv1 qxt/trace -type f | sort)
echo "== alarm key list (qxmover alarms)"
"${qx[@]}" alarms || true
