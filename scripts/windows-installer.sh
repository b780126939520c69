#!/usr/bin/env bash
# Builds the Windows installer: the windows preset (mingw-w64), installed component by component into
# build/windows/installer/stage, packed with NSIS into build/windows/installer/qxmover-VERSION-setup.exe.
# The installer holds qxmover.exe (with a start at log-on) once the service builds for Windows.
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
# The language files belong to the application; where the build does not install them yet (the
# service does not build for Windows), they are taken from the sources.
if ! ls "$stage"/application/share/qxmover/*.lng >/dev/null 2>&1; then
  mkdir -p "$stage/application/share/qxmover"
  cp lang/*.lng "$stage/application/share/qxmover/"
fi
# The executables and the DLL as they are shipped: without their debug information.
find "$stage" -type f \( -name '*.exe' -o -name '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
bash packaging/windows/pack.sh "$stage" "$out/qxmover-$version-setup.exe" "$version"
