#!/bin/sh
# Runs a Windows test program under Wine with the 64-bit loader, in a Wine prefix of the
# build (booted on first use): run-under-wine.sh PREFIX PROGRAM [ARGUMENTS...]
set -eu
prefix="$1"
shift
loader=""
for candidate in "$(command -v wine64 || true)" /usr/lib/wine/wine64 /usr/lib64/wine/wine64 \
                 /opt/wine-stable/bin/wine64; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
        loader="$candidate"
        break
    fi
done
if [ -z "$loader" ]; then
    echo "run-under-wine.sh: no 64-bit Wine loader (install wine64)" >&2
    exit 1
fi
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No dialogs offering Mono or Gecko, and no menu entries on the host.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}"
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    "$loader" wineboot -i >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || "$(dirname "$loader")/wineserver" -w
fi
"$loader" "$@"
status=$?
exit $status
