#!/usr/bin/env bash
# Builds tidewell-cli.exe for 64-bit Windows with Debian's mingw-w64 into build-windows/
# (installing what is missing), with its tests, and packs the program with its data into
# build-windows/tidewell-cli-windows-x86_64.zip. The last line printed is the path of
# tidewell-cli.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh g++-mingw-w64-x86-64-posix googletest ccache cmake wine wine64
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-windows -j2 >&2
cmake --build build-windows --target tidewell_windows_zip >&2
echo "$PWD/build-windows/src/cli/tidewell-cli.exe"
