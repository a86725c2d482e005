#!/usr/bin/env bash
# Installs what the build and the tests need and is missing; says what it installs.
# Safe to run again: installed packages are left alone.
set -euo pipefail

# clang, lld and llvm: the library's MSVC names and import library; doxygen: the API
# reference; nsis: the installer; clang-14 and libclang-rt-14-dev: the native fuzz targets;
# ffmpeg, libdvbpsi-dev, tstools and dvb-tools: outside readers that check the streams;
# pkg-config finds libdvbpsi; libcli11-dev and nlohmann-json3-dev: command lines and JSON.
packages=(mingw-w64 g++ wine64 wine xvfb xauth x11-apps x11-utils imagemagick fonts-wine cmake ninja-build googletest
          clang lld llvm doxygen nsis clang-14 libclang-rt-14-dev
          ffmpeg libdvbpsi-dev tstools dvb-tools pkg-config libcli11-dev nlohmann-json3-dev)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present (${packages[*]})"
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# No recommends: wine's recommends would pull in the 32-bit world.
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
