#!/usr/bin/env bash
# Configures and builds into $OMBREL_BUILD (default: build/). Arguments name targets
# to build (default: all). The build runs the firmware image generator under Wine, so
# the prefix is made first.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

wine_prefix_init "${OMBREL_WINE_DRIVER:-null}"

if [ ! -f "$OMBREL_BUILD/build.ninja" ]; then
    cmake -S "$OMBREL_ROOT" -B "$OMBREL_BUILD" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$OMBREL_ROOT/cmake/mingw-w64.cmake" >/dev/null
fi
if [ $# -gt 0 ]; then
    cmake --build "$OMBREL_BUILD" --target "$@" -- -j"$(nproc)"
else
    cmake --build "$OMBREL_BUILD" -- -j"$(nproc)"
fi
