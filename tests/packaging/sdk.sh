#!/usr/bin/env bash
# The SDK as an application developer gets it: the ZIP made by CPack, unpacked; its
# contents and import libraries; its CMake package seen by GNU and MSVC consumers; the
# examples configured through find_package, built with the cross toolchain and run
# against the simulator (a hot-plug heard, a firmware update followed to its end).
#   sdk.sh <build dir> <llvm-nm>
set -euo pipefail
name=sdk
build="$(cd "$1" && pwd)"
nm="$2"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"
source_dir="$(cd "$here/../.." && pwd)"
run="$build/wine-run"
tunersim="$build/bin/tunersim.exe"

fresh_work sdk-test
say "packing and unpacking"
zip="$(pack ZIP)"
(cd "$work" && cmake -E tar xf "$zip")
sdk="$work/$(basename "$zip" .zip)"
[ -d "$sdk" ] || fail "the ZIP has no folder $(basename "$sdk")"

# Exactly these files besides the API reference: nothing of the apps, the simulator or
# the tests.
(cd "$sdk" && find . -type f ! -path './doc/html/*' | LC_ALL=C sort) >"$work/files"
LC_ALL=C sort >"$work/expected" <<'EOF'
./README.md
./bin/OmbrelApi.dll
./examples/CMakeLists.txt
./examples/ListTuners.cpp
./examples/ReceiveStream.cpp
./examples/UpdateFirmware.cpp
./include/OmbrelApi.h
./include/OmbrelStream.h
./lib/OmbrelApi.dll.a
./lib/OmbrelApi.lib
./lib/libOmbrelStream.a
./lib/cmake/OmbrelApi/OmbrelApiConfig.cmake
./lib/cmake/OmbrelApi/OmbrelApiConfigVersion.cmake
EOF
diff -u "$work/expected" "$work/files" || fail "the SDK's files differ"
for page in index.html OmbrelApi_8h.html OmbrelStream_8h.html; do
    [ -f "$sdk/doc/html/$page" ] || fail "API reference page $page missing"
done
grep -q 'OB_UpdateFirmware' "$sdk/doc/html/OmbrelApi_8h.html" || fail "the API reference lacks the exports"
grep -q 'OBS_StartStream' "$sdk/doc/html/OmbrelStream_8h.html" || fail "the API reference lacks the stream library"

# Each import library resolves every export of the header under its toolchain's name.
"$nm" "$sdk/lib/OmbrelApi.lib" >"$work/msvc.symbols"
"$nm" "$sdk/lib/OmbrelApi.dll.a" >"$work/gnu.symbols"
while read -r gnu msvc; do
    grep -qF " __imp_$msvc" "$work/msvc.symbols" || fail "OmbrelApi.lib lacks $msvc"
    grep -qF " __imp_$gnu" "$work/gnu.symbols" || fail "OmbrelApi.dll.a lacks $gnu"
done <"$build/library/msvc/ExportNames.txt"

say "the CMake package for GNU and MSVC consumers"
cmake -S "$here/sdk_probe" -B "$work/probe-gnu" -DCMAKE_PREFIX_PATH="$sdk" -DEXPECT_IMPLIB=OmbrelApi.dll.a -DEXPECT_STREAM=ON \
    >"$work/probe-gnu.log" 2>&1 || fail "GNU consumer: $(cat "$work/probe-gnu.log")"
cmake -S "$here/sdk_probe" -B "$work/probe-msvc" -DCMAKE_PREFIX_PATH="$sdk" -DEXPECT_IMPLIB=OmbrelApi.lib -DEXPECT_STREAM=OFF \
    -DCMAKE_CXX_SIMULATE_ID=MSVC >"$work/probe-msvc.log" 2>&1 || fail "MSVC consumer: $(cat "$work/probe-msvc.log")"

say "building the examples against the SDK"
cmake -S "$sdk/examples" -B "$work/examples" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64.cmake" -DCMAKE_PREFIX_PATH="$sdk" \
    -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >"$work/examples-configure.log" 2>&1 ||
    fail "configuring the examples: $(tail -20 "$work/examples-configure.log")"
cmake --build "$work/examples" >"$work/examples-build.log" 2>&1 ||
    fail "building the examples: $(tail -20 "$work/examples-build.log")"
for f in ListTuners.exe UpdateFirmware.exe ReceiveStream.exe OmbrelApi.dll; do
    [ -f "$work/examples/$f" ] || fail "examples: $f missing"
done
cmp -s "$work/examples/OmbrelApi.dll" "$sdk/bin/OmbrelApi.dll" || fail "examples: not the SDK's DLL beside them"

# wait_for FILE TEXT: until the file holds the text (bounded).
wait_for() {
    for _ in $(seq 600); do
        grep -qF "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}
first=00c0ffee5d0000a1
second=00c0ffee5d0000a2
listener=""
cleanup() {
    if [ -n "$listener" ]; then kill "$listener" 2>/dev/null || true; fi
    "$run" "$tunersim" reset </dev/null >/dev/null 2>&1 || true
}
trap cleanup EXIT
"$run" "$tunersim" reset </dev/null >/dev/null
"$run" "$tunersim" plug --preset talvex-s2 --model wdm --id "$first" </dev/null >/dev/null

say "ListTuners: the list, then a hot-plug"
"$run" "$work/examples/ListTuners.exe" 1 </dev/null >"$work/list.txt" 2>&1 &
listener=$!
wait_for "$work/list.txt" "Waiting for 1 change" || fail "ListTuners did not start listening: $(cat "$work/list.txt")"
"$run" "$tunersim" plug --preset talvex-s2 --model wdm --id "$second" </dev/null >/dev/null
wait_for "$work/list.txt" "$(guid "$second")" || fail "ListTuners did not hear the hot-plug: $(cat "$work/list.txt")"
for _ in $(seq 300); do kill -0 "$listener" 2>/dev/null || break; sleep 0.1; done
wait "$listener" || fail "ListTuners failed: $(cat "$work/list.txt")"
listener=""
tr -d '\r' <"$work/list.txt" >"$work/list.clean"
sed -n '1,/^Waiting/p' "$work/list.clean" | grep -q "^1 tuner(s) attached" || fail "first list: $(cat "$work/list.clean")"
sed -n '/^The tuners changed/,$p' "$work/list.clean" >"$work/changed.txt"
grep -q "^2 tuner(s) attached" "$work/changed.txt" || fail "list after the change: $(cat "$work/list.clean")"
for id in "$first" "$second"; do
    grep -q "Talvex S2 *GUID $(guid "$id")  WDM" "$work/changed.txt" || fail "$id not listed: $(cat "$work/list.clean")"
done

say "UpdateFirmware: versions, a refused image, an update"
"$run" "$tunersim" remove "$second" </dev/null >/dev/null
"$run" "$tunersim" update-timing "$first" 1200 300 </dev/null >/dev/null
update() { "$run" "$work/examples/UpdateFirmware.exe" "$@" </dev/null 2>&1 | tr -d '\r'; }
out="$(update 0)" || fail "UpdateFirmware 0: $out"
grep -q "^Tuner: *Talvex S2$" <<<"$out" && grep -q "^Firmware: 1.3.0 build 44650 (hardware 1/0x34/4)$" <<<"$out" &&
    grep -q "^Driver: " <<<"$out" || fail "versions: $out"
head -c 1000 "$build/firmware/FW_013404.hex" >"$work/short.hex"
if out="$(update 0 "$work/short.hex")"; then fail "a short image was sent: $out"; fi
grep -q "is not a firmware image" <<<"$out" || fail "short image: $out"
if out="$(update 0 "$build/firmware/FW_013501.hex")"; then fail "an image for another tuner succeeded: $out"; fi
grep -q "the update failed: invalid hardware version" <<<"$out" || fail "image for another tuner: $out"
out="$(update 0 "$build/firmware/FW_013404.hex")" || fail "update: $out"
grep -q "Updating: 100 %" <<<"$out" && grep -q "^Firmware update succeeded$" <<<"$out" || fail "update: $out"
say "the SDK builds and its examples work"
