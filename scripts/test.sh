#!/usr/bin/env bash
# README command 2: set up, build, run every test under Wine, end with ctest's summary.
set -euo pipefail
here="$(dirname "$0")"
t0=$(date +%s)
"$here/setup.sh"
t1=$(date +%s)
"$here/build.sh"
"$here/fuzz.sh" --build
"$here/native.sh" --build
t2=$(date +%s)
echo "test: set-up $((t1 - t0)) s, build (with prefix) $((t2 - t1)) s"
exec "$here/ctest.sh" "$@"
