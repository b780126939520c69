#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and benchmarking qxmover needs.
# Idempotent: packages already present are left alone. Runs as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  clang-format
  # the settings dialog and tray (Qt 6 Widgets), its offscreen tests and the screenshot script
  qt6-base-dev libgl-dev xvfb xauth
  # a window manager, a tray and a pointer for the window's show and tray tests under Xvfb
  openbox trayer xdotool x11-utils
  # peers for the table tests and benchmarks
  shapelib python3 python3-dbf python3-dbfread gdal-bin
  # peers and meters of the profile, rehearsal and idle benchmarks
  mawk bc time strace
  # the Debian packages: man page, package checks
  help2man lintian fakeroot dpkg-dev
  # fuzzing the parsers
  clang libclang-rt-14-dev
  # the Windows build, its tests under Wine, its COM-port test and its installer
  g++-mingw-w64-x86-64-posix wine64 socat nsis
  # the screenshots of the Windows dialogs under Wine and Xvfb
  imagemagick
  # checks the metrics file
  prometheus
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
