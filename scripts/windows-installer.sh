#!/usr/bin/env bash
# Builds the Windows installer: the windows preset (mingw-w64), installed component by component into
# build/windows/installer/stage, packed with NSIS into build/windows/installer/qxmover-VERSION-setup.exe.
# The installer holds qxmover.exe, qxmover-window.exe where the build makes it, and a start at log-on.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)"

build=build/windows
out="$build/installer"
stage="$out/stage"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
[ -n "$version" ] || { echo "windows-installer: no project version in $build/CMakeCache.txt" >&2; exit 1; }
rm -rf "$stage"
# One prefix per component, so that the installer can offer them apart.
for pair in library:qxclass development:qxclass-dev application:application; do
  cmake --install "$build" --prefix "$stage/${pair%%:*}" --component "${pair#*:}" >/dev/null
done
# The application's files, as the installer's test expects them.
for file in bin/qxmover.exe share/qxmover/qxmovedt.lng; do
  [ -f "$stage/application/$file" ] || { echo "windows-installer: the build installed no $file" >&2; exit 1; }
done
# The executables and the DLL as they are shipped: without their debug information.
find "$stage" -type f \( -name '*.exe' -o -name '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
bash packaging/windows/pack.sh "$stage" "$out/qxmover-$version-setup.exe" "$version"
