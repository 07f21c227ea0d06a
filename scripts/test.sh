#!/usr/bin/env bash
# Installs what is missing, builds Tidewell for Linux and Windows and runs every test (GUI
# tests offscreen, the Windows build's under Wine), after a short fuzzing run of the hive
# reader and the .reg parser (TIDEWELL_FUZZ_SECONDS per target, 60 by default; 0 skips it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
scripts/build-windows.sh >/dev/null
fuzz_seconds="${TIDEWELL_FUZZ_SECONDS:-60}"
if [ "$fuzz_seconds" -gt 0 ]; then
    scripts/fuzz.sh "$fuzz_seconds"
fi
export QT_QPA_PLATFORM=offscreen
# Many tests wait for Wine or for programs they started: one job more than processors.
ctest --test-dir build --output-on-failure -j"$(($(nproc) + 1))" "$@"
ctest --test-dir build-windows --output-on-failure -j"$(nproc)" "$@"
