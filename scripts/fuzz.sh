#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz) natively with clang-14, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs each of them.
#
#   scripts/fuzz.sh [seconds] [target...]   run each target that long (default 60 s)
#   scripts/fuzz.sh --build                 only build
#
# Build tree: $OMBREL_FUZZ_BUILD (default build-fuzz/). Each run starts from the seeds
# in tests/fuzz/corpus/<target>/ and from what earlier runs kept in
# <build>/corpus/<target>/, where it adds what it finds new; an input that breaks a
# property or crashes is kept in <build>/findings/ and the script fails. One line per
# target: executions, executions per second, coverage and corpus size.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${OMBREL_FUZZ_BUILD:-$root/build-fuzz}"

if ! command -v clang++-14 >/dev/null; then
    echo "fuzz: clang++-14 is missing (scripts/setup.sh installs clang-14 and libclang-rt-14-dev)" >&2
    exit 2
fi
# One build at a time in the tree: scripts/test.sh may be building it in the background
# when the suite's test of it starts, which then waits here.
mkdir -p "$build"
exec 9>"$build/.build-lock"
flock 9
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root/tests/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
fi
cmake --build "$build" -- -j"$(nproc)" | grep -v '^\[' || true
[ -x "$build/bin/fuzz_seed_images" ] || { echo "fuzz: the build failed" >&2; exit 1; }
exec 9>&-
[ "${1:-}" = "--build" ] && exit 0

seconds="${1:-60}"
shift || true
case "$seconds" in ''|*[!0-9]*) echo "fuzz: seconds must be a number, not \"$seconds\"" >&2; exit 2 ;; esac
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets <"$build/targets.txt"

# Full-size images come from the project's own builder, not from the repository, so
# that they follow the format as it stands.
mkdir -p "$build/seeds/firmware_image"
"$build/bin/fuzz_seed_images" "$build/seeds/firmware_image"

mkdir -p "$build/logs" "$build/findings"
# One target's run; its line of the table goes to <logs>/<target>.line. Runs side by side
# with the others, one per core: each target still gets its seconds of a whole core.
run_target() {
    local target="$1" program="$build/bin/fuzz_$1"
    local corpora=("$build/corpus/$target")
    mkdir -p "${corpora[0]}"
    [ -d "$root/tests/fuzz/corpus/$target" ] && corpora+=("$root/tests/fuzz/corpus/$target")
    [ -d "$build/seeds/$target" ] && corpora+=("$build/seeds/$target")
    local log="$build/logs/$target.log" result=ok
    "$program" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" "${corpora[@]}" >"$log" 2>&1 || result=FAILED
    local runs rate cov corpus
    runs="$(awk '/^stat::number_of_executed_units/ {print $2}' "$log" || true)"
    rate="$(awk '/^stat::average_exec_per_sec/ {print $2}' "$log" || true)"
    cov="$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)"
    corpus="$(find "${corpora[0]}" -type f | wc -l)"
    {
        printf '%-16s %12s %10s %8s %8s  %s\n' "$target" "${runs:-?}" "${rate:-?}" "${cov:-?}" "$corpus" "$result"
        if [ "$result" != ok ]; then
            grep -E 'property broken|ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -8 | sed 's/^/    /'
        fi
    } >"$build/logs/$target.line"
}

for target in "${targets[@]}"; do
    [ -x "$build/bin/fuzz_$target" ] || { echo "fuzz: no target \"$target\" (see $build/targets.txt)" >&2; exit 2; }
    rm -f "$build/logs/$target.line"
done
jobs_at_once="$(nproc)"
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs_at_once" ]; do wait -n || true; done
    run_target "$target" &
done
wait
printf '%-16s %12s %10s %8s %8s  %s\n' target executions "exec/s" cov corpus result
failed=()
for target in "${targets[@]}"; do
    line="$build/logs/$target.line"
    if [ -f "$line" ]; then cat "$line"; else echo "$target: no result (the run did not finish)"; fi
    [ -f "$line" ] && head -1 "$line" | grep -q ' ok$' || failed+=("$target")
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: FAILED: ${failed[*]} (logs in $build/logs, inputs in $build/findings)"
    exit 1
fi
echo "fuzz: ${#targets[@]} targets, $seconds s each, no finding"
