#!/usr/bin/env bash
# Builds the natively tested units (tests/native) with the build machine's compiler and
# runs their tests; arguments go to the test program (for example --gtest_filter=...).
#
#   scripts/native.sh [gtest arguments]   build, then run
#   scripts/native.sh --build             only build
#
# Build tree: $OMBREL_NATIVE_BUILD (default build-native/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${OMBREL_NATIVE_BUILD:-$root/build-native}"
# One build at a time in the tree: scripts/test.sh may be building it in the background
# when the suite's test of it starts, which then waits here.
mkdir -p "$build"
exec 9>"$build/.build-lock"
flock 9
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root/tests/native" -B "$build" -G Ninja >/dev/null
fi
# A failed build must not leave an earlier program to run in its place.
status=0
cmake --build "$build" -- -j"$(nproc)" | { grep -v '^\[' || true; } || status=$?
[ "$status" -eq 0 ] && [ -x "$build/bin/native_units" ] || { echo "native: the build failed" >&2; exit 1; }
exec 9>&-
[ "${1:-}" = "--build" ] && exit 0
exec "$build/bin/native_units" "$@"
