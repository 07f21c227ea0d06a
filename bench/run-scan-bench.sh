#!/usr/bin/env bash
# Generates a synthetic prefix of KEYS keys (1,000,000 by default) and times a full scan of
# every built section on it. Run from the repository after scripts/build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
keys=${1:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/bench/tidewell-make-synthetic-prefix "$work/prefix" "$keys"
build/bench/tidewell-scan-bench "$work/prefix"
