#!/usr/bin/env bash
# Stress runs against the real library, the simulator and Romflux, under Wine; prints
# their figures (handles by type, threads, filter objects, private memory at start,
# middle and end) and faults. Figures are printed, not judged; a run fails on a fault
# (a lost handle, a code outside the contract, a crash, a hang) or when its threads or
# filter objects do not return to their start.
#
#   scripts/stress.sh [cycles] [run...]
#     runs: control plug romflux control-ci ci control-remote remote stream (default: all)
#
# control is the plug storm without the library (the platform's own share); plug adds
# the library with 4 worker threads and a second process; romflux adds Romflux beside
# them. ci opens and closes Common Interface sessions from 4 threads in each of two
# processes while every module is inserted, made ready and removed each cycle; remote
# starts and stops remote-control readers the same way while each cycle presses a
# burst of keys on every tuner; control-ci and control-remote are their storms without
# the library. stream runs a simulated tuner's graph (Sample Grabber, Null Renderer) and
# stops it `cycles` times, then builds, runs and drops a fifth as many graphs with samples
# in flight (1000 and 200 by default). Build tree: $OMBREL_BUILD (default build/).
set -euo pipefail
here="$(dirname "$0")"
cycles="${1:-1000}"
shift || true
runs=("$@")
[ ${#runs[@]} -gt 0 ] || runs=(control plug romflux control-ci ci control-remote remote stream)
case "$cycles" in ''|*[!0-9]*) echo "stress: cycles must be a number, not \"$cycles\"" >&2; exit 2 ;; esac

"$here/build.sh" ombrel_stress ombrel_stress_control ombrel_stream_stress Romflux
source "$here/wine-env.sh"
wine_prefix_init null
wine_server_start
trap wine_server_stop EXIT

bin="$OMBREL_BUILD/bin"
log="$OMBREL_BUILD/stress"
mkdir -p "$log"
failed=()
for run in "${runs[@]}"; do
    case "$run" in
        control) program=ombrel_stress_control.exe; arguments=(control) ;;
        control-ci|control-remote) program=ombrel_stress_control.exe; arguments=(control --storm "${run#control-}") ;;
        plug|romflux|ci|remote) program=ombrel_stress.exe; arguments=("$run") ;;
        stream) program=ombrel_stream_stress.exe; arguments=(--builds $(( (cycles + 4) / 5 ))) ;;
        *) echo "stress: unknown run \"$run\" (control, plug, romflux, control-ci, ci, control-remote, remote, stream)" >&2; exit 2 ;;
    esac
    echo "stress: $run, $cycles cycles (wine $program ${arguments[*]} --cycles $cycles)"
    (cd "$bin" && wine "$program" "${arguments[@]}" --cycles "$cycles" </dev/null) | tr -d '\r' | tee "$log/$run.txt" | grep -v '^figure ' || true
    verdict="${arguments[0]}"
    [ "$run" = stream ] && verdict=stream
    grep -q "^stress $verdict: passed" "$log/$run.txt" || failed+=("$run")
done

echo
echo "stress: key handles per cycle (figure lines in $log/*.txt)"
for run in "${runs[@]}"; do
    awk -v run="$run" '$1 == "figure" && $4 == "handles_Key" {
        printf "  %-15s %-15s %8s -> %8s  %8s a cycle\n", run, $3, $5, $7, $8 }' "$log/$run.txt"
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "stress: FAILED: ${failed[*]}"
    exit 1
fi
echo "stress: all runs passed"
