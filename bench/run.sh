#!/usr/bin/env bash
# bench/run.sh hive|scan [KEYS]: writes a synthetic prefix of KEYS keys (1,000,000 by default)
# and measures hive load and save (hive) or a full scan of every section (scan) on it.
# bench/run.sh export [KEYS]: the whole registry exported (reg export and a full backup) on the
# synthetic prefix, then on a fresh Wine prefix against Wine's own regedit /E.
# bench/run.sh junk [FILES]: writes a prefix of FILES files (200,000 by default) in a tenth as
# many folders and times the junk scan against find(1) with the same patterns.
# bench/run.sh prefixes [N]: lays out a home with N prefixes (100 by default) across Steam,
# Lutris, Bottles, Heroic and PlayOnLinux and times their listing.
# Run from the repository after scripts/build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
    hive | scan | export | junk | prefixes) ;;
    *) echo "usage: bench/run.sh hive|scan|export [KEYS] | junk [FILES] | prefixes [N]" >&2; exit 2 ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$1" = prefixes ]; then
    build/bench/tidewell-prefixes-bench "$work" "${2:-100}"
    exit
fi
if [ "$1" = junk ]; then
    build/bench/tidewell-junk-bench "$work/prefix" "${2:-200000}"
    exit
fi
keys=${2:-1000000}
build/bench/tidewell-make-synthetic-prefix "$work/prefix" "$keys"
build/bench/tidewell-$1-bench "$work/prefix"
if [ "$1" = export ] && command -v wine > /dev/null; then
    # A fresh prefix: Wine's regedit /E against tidewell-cli reg export of the same registry.
    export WINEPREFIX="$work/fresh" WINEDEBUG=-all
    wineboot -i > /dev/null 2>&1
    wineserver -w
    seconds() { local start=$(date +%s.%N); "$@" > /dev/null 2>&1; echo "$(date +%s.%N) - $start" | bc; }
    wine_time=$(seconds sh -c 'wine regedit /E "$WINEPREFIX/wine.reg"; wineserver -w')
    ours_time=$(seconds build/src/cli/tidewell-cli --prefix "$WINEPREFIX" reg export "$WINEPREFIX/ours.reg")
    printf 'fresh prefix:     regedit /E %.2f s, tidewell-cli reg export %.3f s: %.0f x faster (%s bytes, %s bytes)\n' \
        "$wine_time" "$ours_time" "$(echo "$wine_time / $ours_time" | bc -l)" \
        "$(stat -c %s "$WINEPREFIX/wine.reg")" "$(stat -c %s "$WINEPREFIX/ours.reg")"
fi
