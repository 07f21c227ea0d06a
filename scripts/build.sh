#!/usr/bin/env bash
# Configures and builds Tidewell in build/ (two jobs, ccache when present).
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache hits for any clone of the repository, wherever it lies.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
# Debug information names no build folder ccache must tell apart: a clone elsewhere hits too.
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
# The window library's precompiled Qt headers are cached too.
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2
