#!/usr/bin/env bash
# Builds the benchmarks and runs them under Wine, each timing the real code against a
# baseline measured in the same run (interleaved, repeated; medians with their range
# and the ratios). Arguments choose benchmarks (default: all):
#   rescan   a library rescan against the discovery floor, 8/32/64 tuners
#   open     opening a handle at 8/32/64 tuners, WDM and BDA, against binding the same
#            filters; a device call against the raw property get; a simulator request
#            against one hold of its state lock
#   startup  Romflux's start-up against a minimal dialog program, with and without the
#            discovery floor, 8/32/64 tuners; working set and private memory
#   hotplug  a second program's 0x403 latency with and without Romflux, 32 tuners
#   handles  the handle probe: handles by type per step, with and without the library
#   stream   making the largest multiplex's stream against copying its bytes, natively
#            and under Wine
#   pins     four tuners streaming their largest multiplexes through their pins at once
#            for 30 s: delivered rate against nominal, continuity losses, latency, CPU
#   scan     ombrel's channel scan of each family against its floor (settle per tune, one
#            repetition of each table) and against a Linux tool's fixed table waits
# Build tree: $OMBREL_BUILD (default build/).
set -euo pipefail
here="$(dirname "$0")"
all=(rescan open startup hotplug handles stream pins scan)
chosen=("$@")
[ ${#chosen[@]} -gt 0 ] || chosen=("${all[@]}")

targets=()
for name in "${chosen[@]}"; do
    case "$name" in
        rescan) targets+=(bench_rescan) ;;
        open) targets+=(bench_open) ;;
        startup) targets+=(bench_startup) ;;
        hotplug) targets+=(bench_hotplug) ;;
        handles) targets+=(handle_probe) ;;
        stream) targets+=(bench_stream) ;;
        pins) targets+=(bench_pins) ;;
        scan) targets+=(bench_scan) ;;
        *) echo "bench: unknown benchmark '$name' (one of: ${all[*]})" >&2; exit 2 ;;
    esac
done
"$here/build.sh" "${targets[@]}"
source "$here/wine-env.sh"
wine_server_start
trap wine_server_stop EXIT
for name in "${chosen[@]}"; do
    echo "== $name"
    case "$name" in
        rescan) wine "$OMBREL_BUILD/bin/bench_rescan.exe" </dev/null ;;
        open) wine "$OMBREL_BUILD/bin/bench_open.exe" </dev/null ;;
        startup) wine "$OMBREL_BUILD/bin/bench_startup.exe" </dev/null ;;
        hotplug) wine "$OMBREL_BUILD/bin/bench_hotplug.exe" </dev/null ;;
        handles) wine "$OMBREL_BUILD/bin/handle_probe.exe" 8 20 </dev/null ;;
        pins) wine "$OMBREL_BUILD/bin/bench_pins.exe" 30 </dev/null ;;
        scan) wine "$OMBREL_BUILD/bin/bench_scan.exe" 3 </dev/null ;;
        stream)
            "$here/native.sh" --build
            echo "-- native"
            "${OMBREL_NATIVE_BUILD:-$OMBREL_ROOT/build-native}/bin/bench_stream" "$OMBREL_ROOT/simulator/content"
            echo "-- under Wine"
            wine "$OMBREL_BUILD/bin/bench_stream.exe" "$(winepath -w "$OMBREL_ROOT/simulator/content")" </dev/null ;;
    esac
    echo
done
