#!/usr/bin/env bash
# Installs the Debian packages Tidewell needs to build, run and test (or the packages
# given as arguments); skips what is there.
set -euo pipefail

packages=(
    build-essential cmake ccache pkg-config
    qt6-base-dev libcurl4-openssl-dev libssl-dev liblnk-dev libbfio-dev
    libgtest-dev libgmock-dev
    libmimalloc-dev libyaml-cpp-dev nlohmann-json3-dev
    wine wine64 wine32:i386 nsis
    gcc-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix googletest
)
if [ $# -gt 0 ]; then
    packages=("$@")
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
# wine32 is an i386 package: 32-bit Windows programs need it, as Wine tells every user.
if [[ " ${missing[*]} " == *":i386 "* ]] &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
