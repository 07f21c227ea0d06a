#!/usr/bin/env bash
# bench/run.sh hive|scan [KEYS]: writes a synthetic prefix of KEYS keys (1,000,000 by default)
# and measures hive load and save (hive) or a full scan of every section (scan) on it.
# bench/run.sh junk [FILES]: writes a prefix of FILES files (200,000 by default) in a tenth as
# many folders and times the junk scan against find(1) with the same patterns.
# Run from the repository after scripts/build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
    hive | scan | junk) ;;
    *) echo "usage: bench/run.sh hive|scan [KEYS] | junk [FILES]" >&2; exit 2 ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$1" = junk ]; then
    build/bench/tidewell-junk-bench "$work/prefix" "${2:-200000}"
    exit
fi
keys=${2:-1000000}
build/bench/tidewell-make-synthetic-prefix "$work/prefix" "$keys"
build/bench/tidewell-$1-bench "$work/prefix"
