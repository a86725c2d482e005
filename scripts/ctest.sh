#!/usr/bin/env bash
# Runs ctest in $OMBREL_BUILD (default: build/); arguments go to ctest (for example
# -R library). The tests spend most of their time waiting on Wine, so they run in
# $OMBREL_TEST_LANES lanes at once (default 2; 1 runs them one after the other). Each lane
# has a Wine prefix and one persistent wineserver of its own, so that tests in different
# lanes share no simulator state, registry or window station; lane 0 is the build's
# prefix, the others fresh copies of it. ctest gives each Wine test a lane
# (ombrel_tests_take_a_prefix) and scripts/wine-env.sh runs it in that lane's prefix.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wine_prefix_init null
lanes="${OMBREL_TEST_LANES:-2}"
# A prefix the caller chose is one prefix: its tests run one after the other.
[ "$OMBREL_WINEPREFIX" = "$(wine_lane_prefix 0)" ] || lanes=1
case "$lanes" in '' | *[!0-9]* | 0) echo "ctest: OMBREL_TEST_LANES must be 1 or more" >&2; exit 2 ;; esac

prefixes=("$WINEPREFIX")
wine_server_stop  # the prefix is copied whole, with no server writing to it
for ((lane = 1; lane < lanes; lane++)); do
    copy="$(wine_lane_prefix "$lane")"
    rm -rf "$copy"
    cp -a "$WINEPREFIX" "$copy"
    prefixes+=("$copy")
done
# The lanes as ctest hands them out: one test at a time in each.
lane_list="$OMBREL_BUILD/wine-lanes.json"
{
    printf '{"version": {"major": 1, "minor": 0}, "local": [{"wineprefix": ['
    for ((lane = 0; lane < lanes; lane++)); do
        printf '%s{"id": "%d", "slots": 1}' "$([ "$lane" = 0 ] || echo ', ')" "$lane"
    done
    printf ']}]}\n'
} >"$lane_list"

stop_servers() {
    for prefix in "${prefixes[@]}"; do WINEPREFIX="$prefix" wine_server_stop; done
}
trap stop_servers EXIT
for prefix in "${prefixes[@]}"; do WINEPREFIX="$prefix" wine_server_start; done

cd "$OMBREL_BUILD"
export OMBREL_TEST_IN_LANES=1
ctest --output-on-failure -j"$lanes" --resource-spec-file "$lane_list" "$@"
