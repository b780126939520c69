#!/usr/bin/env bash
# Rehearses the demo installation's week change on the virtual clock (as scripts/demo.sh does) twice:
# with build/default/qxmover on Linux and with build/windows/bin/qxmover.exe under Wine. Prints what each
# run left (the week directories, the activity log, the alive log, the commands started, the alarm
# report) and compares them; exits 1 on a difference. Only what the two systems legitimately spell
# otherwise is made alike before the comparison: the demo's own folder (a Unix path on Linux, the same
# folder through Wine's drive Z: with backslashes on Windows) and the line ends of the stand-ins' lines.
#   scripts/demo-compare.sh [--no-build]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
if [ "${1:-}" != --no-build ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default -j "$(nproc)" --target qxmover >/dev/null
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$(nproc)" --target qxmover >/dev/null
fi
linux_exe=build/default/qxmover
windows_exe=build/windows/bin/qxmover.exe
for exe in "$linux_exe" "$windows_exe"; do
  [ -x "$exe" ] || { echo "demo-compare: $exe is missing" >&2; exit 1; }
done
export TZ=Europe/Berlin
out=build/demo-compare
rm -rf "$out"
mkdir -p "$out"
start="2026-12-06 23:50" until="2026-12-07 01:05"

# What a run left, as one text. $1: the demo folder.
report() {
  local demo="$1"
  echo "== statistic-file directory (root/qxt/log)"
  (cd "$demo/root/qxt/log" && find . -type f | LC_ALL=C sort)
  echo "== conference recordings, archive, alarm recordings, trace logs"
  (cd "$demo/root" && find qxt/log/confwav qxt/confarchive dbv1 qxt/trace -type f | LC_ALL=C sort)
  # The service's threads share a minute (the report, the timed tasks and the conference job all at
  # midnight) in no set order: the lines are compared minute by minute, ordered within their minute.
  echo "== activity log (work/log/qxmover_*.log), ordered within each minute"
  for f in "$demo"/work/log/qxmover_*.log; do
    echo "-- ${f##*/}"
    LC_ALL=C sort -t, -k1,2 -k3 "$f"
  done
  echo "== alive log (work/log/qxlive.log)"
  cat "$demo/work/log/qxlive.log"
  echo "== commands started (work/started.txt), sorted"
  LC_ALL=C sort "$demo/work/started.txt" 2>/dev/null || echo "(none)"
  echo "== alarm report printed at midnight (root/qxt/log/qxareport.prt)"
  cat "$demo/root/qxt/log/qxareport.prt" 2>/dev/null || echo "(none)"
}

# A program the service started without waiting (the second deletion batch) may outlive it: its line in
# started.txt is awaited for as long as a process whose command line matches $1 (the run's working
# folder) runs, at most 60 s. Under Wine each Windows process is a process here, with its Windows
# command line.
await_children() {
  for _ in $(seq 600); do
    pgrep -f "$1" >/dev/null || return 0
    sleep 0.1
  done
}

# Linux: the demo as scripts/demo.sh runs it.
linux="$out/linux"
bash demo/make-demo.sh "$linux" >/dev/null
linux="$(cd "$linux" && pwd)"
PATH="$linux/work/bin:$PATH" "$linux_exe" --root "$linux/root" --workdir "$linux/work" --headless \
  --clock-start "$start" --clock-until "$until" >"$out/linux.out" 2>&1 ||
  { cat "$out/linux.out"; echo "demo-compare: the Linux run failed" >&2; exit 1; }
await_children "demo-compare/linux/work"

# Windows: the same installation; the stand-ins are a batch file for each batch program and a small
# program for each sibling program (qxe.exe and the rest), in the working directory, where the service
# looks first. Each appends its name and arguments to work\started.txt as the Linux stand-ins do.
windows="$out/windows"
bash demo/make-demo.sh "$windows" >/dev/null
windows="$(cd "$windows" && pwd)"
win_path() { printf 'Z:%s' "${1//\//\\}"; }
work_win="$(win_path "$windows/work")"
for b in qxmove2.bat qxdel2.bat qxmover.bat qxlogdel.bat cleanup.bat; do
  printf '@rem %s: demo stand-in\r\n@echo %s %%*>>"%s\\started.txt"\r\n' "$b" "$b" "$work_win" >"$windows/work/$b"
done
rm -rf "$windows/work/bin"
cat >"$out/stub.c" <<'C'
/* A sibling program's stand-in: appends "NAME ARGS..." (NAME without ".exe") to ..\started.txt
   beside the folder it lies in. */
#include <stdio.h>
#include <string.h>
#include <windows.h>
int main(int argc, char** argv) {
    char self[MAX_PATH], record[MAX_PATH + 16];
    DWORD n = GetModuleFileNameA(NULL, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    char* slash = strrchr(self, '\\');
    if (!slash) return 1;
    char* name = slash + 1;
    char* dot = strrchr(name, '.');
    if (dot) *dot = '\0';
    *slash = '\0';
    snprintf(record, sizeof record, "%s\\started.txt", self);
    FILE* f = fopen(record, "ab");
    if (!f) return 1;
    fputs(name, f);
    fputc(' ', f);
    for (int i = 1; i < argc; ++i) {
        if (i > 1) fputc(' ', f);
        fputs(argv[i], f);
    }
    fputc('\n', f);
    return fclose(f) == 0 ? 0 : 1;
}
C
x86_64-w64-mingw32-gcc -O2 -static -o "$out/stub.exe" "$out/stub.c"
for p in qxe qxtque qxsavebase lpstub; do
  cp "$out/stub.exe" "$windows/work/$p.exe"
done
QX_WINEPREFIX="${QX_WINEPREFIX:-$root/build/windows/wine}" timeout 120 bash scripts/wine-run "$windows_exe" \
  --root "$(win_path "$windows/root")" --workdir "$work_win" --headless \
  --clock-start "$start" --clock-until "$until" </dev/null >"$out/windows.out" 2>&1 ||
  { cat "$out/windows.out"; echo "demo-compare: the Windows run failed" >&2; exit 1; }
await_children "demo-compare.windows.work"

# The print program is handed the report's path as the installation spells it (\qxt\log.\...) on
# Windows, where that is a path of the drive; the Linux launcher hands it the file's own path. Under
# --root the Windows spelling names the drive's folder, not the demo's (a difference of --root only).
print_line='s|^lpstub .*qxareport[.]prt$|lpstub REPORT|'
report "$linux" | sed -e "s|$linux|DEMO|g" -e "$print_line" >"$out/linux.txt"
# The Windows spelling of the demo folder and of the paths below it, and CRLF of the batch stand-ins.
report "$windows" | sed -e 's/\r$//' -e "s|$(win_path "$windows" | sed 's/[\\]/\\\\/g')|DEMO|g" \
  -e '/DEMO/ s|\\|/|g' -e "$print_line" >"$out/windows.txt"
echo "======== Linux (build/default/qxmover)"
cat "$out/linux.txt"
echo "======== Windows under Wine (build/windows/bin/qxmover.exe)"
cat "$out/windows.txt"
echo "======== difference"
if diff -u "$out/linux.txt" "$out/windows.txt"; then
  echo "demo-compare: the same week directories, activity log and started commands on both systems"
else
  echo "demo-compare: the rehearsals differ" >&2
  exit 1
fi
