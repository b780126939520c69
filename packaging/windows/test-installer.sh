#!/usr/bin/env bash
# Round-trips the Windows installer silently under Wine, in the build tree's Wine prefix: installs it
# with /S /D=..., checks its files, its Uninstall entry and its start at log-on, runs the uninstaller
# with /S and checks that all of it has gone again. Run after scripts/windows-installer.sh (or with
# --build, which runs it first).
#   packaging/windows/test-installer.sh [--build]
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"
[ "${1:-}" = --build ] && bash scripts/windows-installer.sh
out=build/windows/installer
stage="$out/stage"
[ -d "$stage/library" ] || { echo "test-installer: $stage is missing; run scripts/windows-installer.sh" >&2; exit 1; }
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)"
export WINEPREFIX="${QX_WINEPREFIX:-$root/build/windows/wine}"
wine() { bash "$root/scripts/wine-run" "$@" </dev/null; }
fail() { echo "test-installer: FAILED: $*" >&2; exit 1; }
step() { echo "== $*"; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
setup="$out/qxmover-$version-setup.exe"
[ -f "$setup" ] || fail "$setup is missing"
[ -f "$stage/application/bin/qxmover.exe" ] || fail "the staged files hold no bin/qxmover.exe"
# The one program started at log-on: the window program where the build made it, else the service.
logon_program=qxmover.exe
[ -f "$stage/application/bin/qxmover-window.exe" ] && logon_program=qxmover-window.exe

# A directory of its own on C: of the prefix. Without blanks: Wine quotes an argument that has them,
# and NSIS takes /D= only unquoted.
dir_win='C:\qxtest\qxmover'
dir="$WINEPREFIX/drive_c/qxtest/qxmover"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\qxmover'
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp/qxmover.lnk"
rm -rf "$WINEPREFIX/drive_c/qxtest"
mkdir -p "$(dirname "$shortcut")"
rm -f "$shortcut"
wine reg delete "$uninstall_key" /f >/dev/null 2>&1 || true

staged_files() {  # every staged file, relative to the installation directory
  for component in library application development; do
    [ -d "$stage/$component" ] && (cd "$stage/$component" && find . -type f -printf '%P\n')
  done | LC_ALL=C sort
}

step "install silently into $dir_win"
wine "$setup" /S "/D=$dir_win" || fail "the installer exited with $?"
count=0
while IFS= read -r file; do
  [ -f "$dir/$file" ] || fail "$file is not installed"
  count=$((count + 1))
done < <(staged_files)
for file in bin/qxclass.dll lib/libqxclass.dll.a include/qxclass/CDatabase.h lib/cmake/QxClass/QxClassConfig.cmake \
            share/qxmover/qxmovedt.lng bin/qxmover.exe bin/$logon_program uninstall.exe; do
  [ -f "$dir/$file" ] || fail "$file is not installed"
done
[ ! -e "$dir/lib/tmpfiles.d" ] || fail "the Linux tmpfiles entry was installed"
wine reg query "$uninstall_key" /v UninstallString >"$work/uninstall.txt" 2>&1 || fail "no Uninstall entry"
grep -qF "$dir_win\\uninstall.exe" "$work/uninstall.txt" || fail "the Uninstall entry names $(cat "$work/uninstall.txt")"
wine reg query "$uninstall_key" /v DisplayVersion 2>&1 | grep -qF "$version" || fail "the Uninstall entry lacks the version"
[ -f "$shortcut" ] || fail "no start at log-on ($shortcut)"
grep -qaF "bin\\$logon_program" "$shortcut" || fail "the log-on shortcut does not start $logon_program"
startup="$(dirname "$shortcut")"
entries="$(find "$startup" -maxdepth 1 -iname 'qxmover*' | wc -l)"
[ "$entries" -eq 1 ] || fail "$entries start-at-log-on entries instead of one: $(ls "$startup")"
echo "$count files, the Uninstall entry and the log-on shortcut ($logon_program) are there"

step "uninstall silently"
wine "$dir_win\\uninstall.exe" /S || fail "the uninstaller exited with $?"
# The uninstaller runs from a copy in the temporary directory, so that it can delete itself: wait for it.
for _ in $(seq 1 300); do
  [ -e "$dir/uninstall.exe" ] || break
  sleep 0.1
done
[ ! -e "$dir/uninstall.exe" ] || fail "the uninstaller did not remove itself within 30 s"
for _ in $(seq 1 50); do
  [ -e "$dir" ] || break
  sleep 0.1
done
[ ! -e "$dir" ] || fail "left behind: $(cd "$dir" && find . -mindepth 1 -printf '%P ')"
[ ! -e "$shortcut" ] || fail "the log-on shortcut is still there"
if wine reg query "$uninstall_key" >/dev/null 2>&1; then fail "the Uninstall entry is still there"; fi
rm -rf "$WINEPREFIX/drive_c/qxtest"
echo "test-installer: passed ($count files installed and removed)"
