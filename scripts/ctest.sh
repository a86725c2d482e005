#!/usr/bin/env bash
# Runs ctest in $OMBREL_BUILD (default: build/) with one persistent wineserver for the
# whole run; arguments go to ctest (for example -R library).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wine_prefix_init null
wine_server_start
trap wine_server_stop EXIT
cd "$OMBREL_BUILD"
# The tests share one prefix, one registry and the simulator's state, so they run one
# after the other.
ctest --output-on-failure "$@"
