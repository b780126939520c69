#!/bin/sh
# Installs the library's components of the build tree into a scratch prefix, then builds and runs a program outside the tree
# against it: once through find_package(QxClass), once through pkg-config.
# Usage: check-installed.sh BUILD_DIR CONSUMER_SOURCE_DIR WORK_DIR CXX "CXXFLAGS"
set -eu
build=$1 source=$2 work=$3 cxx=$4 flags=${5:-}

rm -rf "$work"
mkdir -p "$work/pipes"
export QXCLASS_PIPE_DIR="$work/pipes"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" --component qxclass >"$work/install.log"
cmake --install "$build" --prefix "$prefix" --component qxclass-dev >>"$work/install.log"

# Each public header stands on its own.
for header in CDatabase.h CDosFile.h CNamedPipe.h CPipeService.h CCommPort.h PlainClasses.h; do
  echo "#include <qxclass/$header>" | "$cxx" -std=c++20 $flags -fsyntax-only -x c++ - -I"$prefix/include" ||
    { echo "header $header does not compile on its own"; exit 1; }
done
# The soname link is installed beside the library.
soname=$(objdump -p "$build/src/lib/libqxclass.so" | awk '/SONAME/ {print $2}')
ls "$prefix"/lib*/"$soname" "$prefix"/lib/tmpfiles.d/qxclass.conf >/dev/null

cmake -S "$source" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$flags" >"$work/configure.log"
cmake --build "$work/cmake" >"$work/build.log"
"$work/cmake/ping"

pcdir=$(dirname "$(ls "$prefix"/lib*/pkgconfig/qxclass.pc)")
export PKG_CONFIG_PATH="$pcdir"
libdir=$(pkg-config --variable=libdir qxclass)
# shellcheck disable=SC2046,SC2086
"$cxx" -std=c++20 $flags "$source/main.cpp" -o "$work/ping-pc" $(pkg-config --cflags --libs qxclass) \
  -Wl,-rpath,"$libdir"
"$work/ping-pc"
