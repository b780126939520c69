#!/usr/bin/env bash
# Builds the Debian packages qxmover, libqxclassN and libqxclass-dev into build/package/.
# Install them with: sudo apt-get install ./build/package/*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset package >/dev/null
cmake --build --preset package -j "$(nproc)"
(cd build/package && cpack -G DEB)
ls build/package/*.deb
