#!/usr/bin/env bash
# Makes the Windows installer from a staged installation:
#   packaging/windows/pack.sh STAGE OUTFILE VERSION
# STAGE holds one install prefix per component: library/ (qxclass.dll), development/ (import library,
# headers, CMake and pkg-config packages) and application/ (the language files, bin/qxmover.exe and,
# where the build makes it, bin/qxmover-window.exe). The lists of files that the installer writes and the
# uninstaller removes are made here from what is staged.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
[ $# -eq 3 ] || { echo "usage: pack.sh STAGE OUTFILE VERSION" >&2; exit 2; }
stage="$(cd "$1" && pwd)"
outfile="$2"
version="$3"
case "$outfile" in /*) ;; *) outfile="$PWD/$outfile" ;; esac
command -v makensis >/dev/null || { echo "pack.sh: makensis is missing (Debian package nsis)" >&2; exit 1; }

nsis_path() {  # a staged relative path as NSIS writes it: backslashes, `$` doubled
  local p="${1//\//\\}"
  printf '%s' "${p//\$/\$\$}"
}

files="$(mktemp --suffix=.nsh)"
trap 'rm -f "$files"' EXIT
{
  echo "; Made by packaging/windows/pack.sh from $stage"
  for component in library application development; do
    macro="QxInstall${component^}"
    echo "!macro $macro"
    if [ -d "$stage/$component" ]; then
      # Links are not followed: a staged link would install what it points at under its own name.
      while IFS= read -r dir; do
        names="$(find "$stage/$component/$dir" -mindepth 1 -maxdepth 1 -type f -printf '%f\n' | LC_ALL=C sort)"
        [ -n "$names" ] || continue
        echo "  SetOutPath \"\$INSTDIR\\$(nsis_path "$dir")\""
        while IFS= read -r file; do
          echo "  File \"$stage/$component/$dir/$file\""
        done <<<"$names"
      done < <(cd "$stage/$component" && find . -mindepth 1 -type d -printf '%P\n' | LC_ALL=C sort)
      if find "$stage/$component" -mindepth 1 -maxdepth 1 -type f | grep -q .; then
        echo "pack.sh: files at the top of $stage/$component are not expected" >&2
        exit 1
      fi
    fi
    echo "!macroend"
  done
  echo "!macro QxUninstallFiles"
  for component in library application development; do
    [ -d "$stage/$component" ] || continue
    (cd "$stage/$component" && find . -type f -printf '%P\n') | LC_ALL=C sort | while IFS= read -r file; do
      echo "  Delete \"\$INSTDIR\\$(nsis_path "$file")\""
    done
  done
  # Deepest directories first; RMDir without /r leaves a directory that still holds something.
  for component in library application development; do
    [ -d "$stage/$component" ] || continue
    (cd "$stage/$component" && find . -mindepth 1 -type d -printf '%P\n')
  done | LC_ALL=C sort -ru | while IFS= read -r dir; do
    echo "  RMDir \"\$INSTDIR\\$(nsis_path "$dir")\""
  done
  echo "!macroend"
} >"$files"

defines=(-DQX_VERSION="$version" -DQX_OUTFILE="$outfile" -DQX_FILES="$files")
[ -f "$stage/application/bin/qxmover.exe" ] && defines+=(-DQX_SERVICE)
[ -f "$stage/application/bin/qxmover-window.exe" ] && defines+=(-DQX_WINDOW)
mkdir -p "$(dirname "$outfile")"
makensis -V2 -WX "${defines[@]}" "$here/qxmover.nsi"
echo "pack.sh: $outfile"
