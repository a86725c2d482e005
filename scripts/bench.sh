#!/usr/bin/env bash
# Builds the rescan benchmark and runs it under Wine: prints the time of a library
# rescan and of the baseline scan for 8, 32 and 64 simulated tuners, and their ratio.
# Build tree: $OMBREL_BUILD (default build/).
set -euo pipefail
here="$(dirname "$0")"
"$here/build.sh" bench_rescan
source "$here/wine-env.sh"
wine_server_start
trap wine_server_stop EXIT
wine "$OMBREL_BUILD/bin/bench_rescan.exe" </dev/null
