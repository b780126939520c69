#!/usr/bin/env bash
# A year of the demo installation on the virtual clock (qxmover --headless with --clock-start and
# --clock-until), once as it comes and once with every monitor switched on: disk check, job watcher
# with a stalled job file, line watchdog and watchdog box, event watchdog, web trigger. Prints both
# times, their ratio, and the context switches of each run (from /usr/bin/time -v).
# Usage: bench/year_bench.sh [QXMOVER]
set -euo pipefail
cd "$(dirname "$0")/.."
qx=$(realpath "${1:-build/default/qxmover}")
# A memory file system where there is one: every profile write is synced, and a year holds tens of
# thousands of them, which would measure the disk instead of the service.
base=${YEAR_BENCH_DIR:-$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}
dir=$(mktemp -d "$base/qxyear-XXXXXX")
trap 'rm -rf "$dir"' EXIT
export TZ=Europe/Berlin

# Lays out the demo installation in $1, with every monitor on when $2 is "monitors".
layout() {
  bash demo/make-demo.sh "$1" >/dev/null
  [ "$2" = monitors ] || return 0
  local set=("$qx" --root "$1/root" profile set)
  "${set[@]}" qxmover.ini HDCheck Active 1
  "${set[@]}" qxmover.ini HDCheck CheckDrives C:
  # C: never has two thousand terabytes free: an alarm every morning.
  "${set[@]}" qxmover.ini HDCheck MinSpace 2147483647
  "${set[@]}" qxmover.ini HDCheck StartAlarmIfLow 1
  "${set[@]}" qxmover.ini HDCheck AlarmKey 12
  "${set[@]}" qxmover.ini JobDirWatcher CheckJob1 1
  "${set[@]}" qxmover.ini JobDirWatcher CheckDir1 '\qxt\jobs'
  "${set[@]}" qxmover.ini JobDirWatcher StartOnErrorType 1
  "${set[@]}" qxmover.ini JobDirWatcher StartOnErrorAlarm 15
  mkdir -p "$1/root/qxt/jobs"
  touch -d "2026-12-06 20:00" "$1/root/qxt/jobs/stuck.job"
  "${set[@]}" qxalarm.ini LineWatchDog WDogActive 1
  "${set[@]}" qxalarm.ini LineWatchDog MinuteInterval 1
  "${set[@]}" qxalarm.ini LineWatchDog NumberToDial 0301234
  "${set[@]}" qxalarm.ini LineWatchDog StartAlarm 50
  "${set[@]}" qxalarm.ini WatchDog Active 1
  "${set[@]}" qxalarm.ini WatchDog Intervall 60
  "${set[@]}" qxalarm.ini WatchDog NumberToDial 0800
  # Alarm 12 wants an event every 30 minutes. The stub script engine cannot record the alarm's start
  # in virtual time as the alarm server would, so a start recorded far ahead keeps the watchdog within
  # its repeat pause: it looks, and starts no alarm at every minute.
  "${set[@]}" qxawdog.ini Config ActiveWdogAlarms '12;'
  "${set[@]}" qxalog.ini LastAlarm 12 FFFFFFF0
  if /usr/bin/python3 -c 'import dbf' 2>/dev/null; then
    /usr/bin/python3 - "$1/root/db1/vm001.dbf" <<'PY'
import sys, dbf
table = dbf.Table(sys.argv[1])
table.open(dbf.READ_WRITE)
with table[12] as record:
    record.t33 = "QXAWDOG 30,60"
table.close()
PY
  fi
  mkdir -p "$1/root/qx_web/bin"
  printf 'rem web trigger\necho "qxphp.bat $*" >> "%s/work/started.txt"\n' "$1" >"$1/root/qx_web/bin/qxphp.bat"
}

# Runs a year in $1 and prints "<wall seconds> <context switches>".
year() {
  PATH="$1/work/bin:$PATH" /usr/bin/time -v -o "$1/time" \
    "$qx" --root "$1/root" --workdir "$1/work" --headless \
    --clock-start "2026-12-06 23:50" --clock-until "2027-12-06 23:50" >/dev/null 2>&1
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + t[i] }
              /Voluntary context switches/ { v = $2 } /Involuntary context switches/ { i = $2 }
              END { printf "%.2f %d\n", s, v + i }' "$1/time"
}

layout "$dir/plain" plain
layout "$dir/monitors" monitors
read -r plainTime plainSwitches < <(year "$dir/plain")
read -r monitorTime monitorSwitches < <(year "$dir/monitors")
started=$(wc -l <"$dir/monitors/work/started.txt")
printf '  one year, demo as it comes:   %6.1f s, %9d context switches\n' "$plainTime" "$plainSwitches"
printf '  one year, every monitor on:   %6.1f s, %9d context switches, %d sibling programs started\n' \
  "$monitorTime" "$monitorSwitches" "$started"
printf '  ratio every monitor / as it comes: %.1f; %.2f context switches per simulated minute (the clock\n' \
  "$(echo "$monitorTime / $plainTime" | bc -l)" "$(echo "$monitorSwitches / 525600" | bc -l)"
printf '  alone handed off about 11 before idle passes were skipped); most of the rest is the fork and\n'
printf '  exec of each started program\n'
