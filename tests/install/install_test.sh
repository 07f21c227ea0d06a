#!/bin/sh
# Installs the build into a temporary folder and runs the installed command line there.
set -eu
build="$1"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cmake --install "$build" --prefix "$root/usr" >/dev/null
for f in bin/tidewell bin/tidewell-cli share/tidewell/demo-prefix/system.reg \
         share/tidewell/addons/addon-list.txt share/applications/tidewell.desktop \
         share/icons/hicolor/scalable/apps/tidewell.svg; do
    test -e "$root/usr/$f" || { echo "missing $f"; exit 1; }
done
# The URL cache helper lies beside the programs that run it.
if [ -e "$build/src/platform/wine/tidewell-urlcache.exe" ]; then
    test -e "$root/usr/bin/tidewell-urlcache.exe" || { echo "missing bin/tidewell-urlcache.exe"; exit 1; }
fi
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/tidewell.desktop"
fi
# The demo prefix is laid out from the installed data.
out=$(HOME="$root/home" XDG_DATA_HOME="$root/home/data" "$root/usr/bin/tidewell-cli" info)
echo "$out" | grep -q "^Prefix: *$root/home/data/tidewell/demo-prefix (demo)" || { echo "$out"; exit 1; }
echo "$out" | grep -q "Local Disk (C:)" || { echo "$out"; exit 1; }
echo "installed and ran from $root/usr"
