#!/usr/bin/env bash
# bench/run.sh hive|scan [KEYS]: writes a synthetic prefix of KEYS keys (1,000,000 by default)
# and measures hive load and save (hive) or a full scan of every section (scan) on it.
# Run from the repository after scripts/build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
    hive | scan) ;;
    *) echo "usage: bench/run.sh hive|scan [KEYS]" >&2; exit 2 ;;
esac
keys=${2:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/bench/tidewell-make-synthetic-prefix "$work/prefix" "$keys"
build/bench/tidewell-$1-bench "$work/prefix"
