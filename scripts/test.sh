#!/usr/bin/env bash
# README command 2: set up, build, run every test under Wine, end with ctest's summary.
set -euo pipefail
here="$(dirname "$0")"
root="$(cd "$here/.." && pwd)"
t0=$(date +%s)
"$here/setup.sh"
t1=$(date +%s)
"$here/build.sh"
t2=$(date +%s)
echo "test: set-up $((t1 - t0)) s, build (with prefix) $((t2 - t1)) s"
# The Wine tests leave the cores mostly idle: the native projects (fuzz targets, natively
# tested units) build meanwhile, at low priority so that they take only what the tests
# leave. Their two tests come last in the suite and wait for these builds (a lock in each
# script); a build that fails shows in its test.
native_log="$root/build/native-builds.log"
mkdir -p "$root/build"
(nice -n 19 "$here/fuzz.sh" --build && nice -n 19 "$here/native.sh" --build) >"$native_log" 2>&1 &
builder=$!
status=0
"$here/ctest.sh" "$@" || status=$?
# Not left running when the suite was cut to some tests.
wait "$builder" || echo "test: the native builds failed (see $native_log)"
exit "$status"
