#!/usr/bin/env bash
# The SDK as an application developer gets it: the ZIP made by CPack, unpacked; its
# contents and import libraries; its CMake package seen by GNU and MSVC consumers, refused
# to a build for Linux, found through OmbrelApi_DIR by a toolchain that keeps packages in
# its root; the examples configured by the README's own build line with the SDK's
# toolchain file, built and run against the simulator (the tuners and what they receive,
# a hot-plug heard, a firmware update followed to its end).
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
./cmake/mingw-w64.cmake
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
toolchain="$sdk/cmake/mingw-w64.cmake"
cmake -S "$here/sdk_probe" -B "$work/probe-gnu" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$sdk" \
    -DEXPECT_IMPLIB=OmbrelApi.dll.a -DEXPECT_STREAM=ON >"$work/probe-gnu.log" 2>&1 || fail "GNU consumer: $(cat "$work/probe-gnu.log")"
cmake -S "$here/sdk_probe" -B "$work/probe-msvc" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_PREFIX_PATH="$sdk" \
    -DEXPECT_IMPLIB=OmbrelApi.lib -DEXPECT_STREAM=OFF -DCMAKE_CXX_SIMULATE_ID=MSVC >"$work/probe-msvc.log" 2>&1 ||
    fail "MSVC consumer: $(cat "$work/probe-msvc.log")"

say "a build for Linux is refused at find_package, saying why"
if cmake -S "$here/sdk_probe" -B "$work/probe-linux" -DCMAKE_PREFIX_PATH="$sdk" -DEXPECT_IMPLIB=OmbrelApi.dll.a -DEXPECT_STREAM=ON \
    >"$work/probe-linux.log" 2>&1; then
    fail "a Linux consumer accepted the SDK: $(cat "$work/probe-linux.log")"
fi
grep -q "OmbrelApi is a Windows library, but this build targets \"Linux\"" "$work/probe-linux.log" &&
    grep -q "cmake/mingw-w64.cmake" "$work/probe-linux.log" || fail "Linux consumer: $(cat "$work/probe-linux.log")"

say "a toolchain that finds packages only in its root: OmbrelApi_DIR, as the README says"
sed 's/CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH/CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY/' "$toolchain" >"$work/only.cmake"
grep -q "MODE_PACKAGE ONLY" "$work/only.cmake" || fail "the SDK's toolchain file sets no package mode"
if cmake -S "$here/sdk_probe" -B "$work/probe-only-prefix" -DCMAKE_TOOLCHAIN_FILE="$work/only.cmake" \
    -DCMAKE_PREFIX_PATH="$sdk" -DEXPECT_IMPLIB=OmbrelApi.dll.a -DEXPECT_STREAM=ON >"$work/probe-only-prefix.log" 2>&1; then
    fail "CMAKE_PREFIX_PATH found the SDK through a root-only toolchain: the README's advice would be moot"
fi
grep -qF -- "-DOmbrelApi_DIR=<SDK folder>/lib/cmake/OmbrelApi" "$sdk/README.md" || fail "the README does not name OmbrelApi_DIR"
cmake -S "$here/sdk_probe" -B "$work/probe-only-dir" -DCMAKE_TOOLCHAIN_FILE="$work/only.cmake" \
    -DOmbrelApi_DIR="$sdk/lib/cmake/OmbrelApi" -DEXPECT_IMPLIB=OmbrelApi.dll.a -DEXPECT_STREAM=ON >"$work/probe-only-dir.log" 2>&1 ||
    fail "OmbrelApi_DIR with a root-only toolchain: $(cat "$work/probe-only-dir.log")"

say "building the examples by the README's build line"
# The README's line for MinGW-w64 as it stands, run in the SDK's folder, with only the
# generator and warnings added.
readme_line="$(grep -m1 -F 'cmake -S examples -B build -DCMAKE_TOOLCHAIN_FILE=' "$sdk/README.md" | sed 's/^ *//')"
[ -n "$readme_line" ] || fail "the README has no build line with a toolchain file"
readme_line="${readme_line//<SDK folder>/$sdk}"
examples="$sdk/build"
(cd "$sdk" && eval "$readme_line -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS='-Wall -Wextra -Werror'") \
    >"$work/examples-configure.log" 2>&1 || fail "configuring the examples: $(tail -20 "$work/examples-configure.log")"
cmake --build "$examples" >"$work/examples-build.log" 2>&1 ||
    fail "building the examples: $(tail -20 "$work/examples-build.log")"
for f in ListTuners.exe UpdateFirmware.exe ReceiveStream.exe OmbrelApi.dll; do
    [ -f "$examples/$f" ] || fail "examples: $f missing"
done
cmp -s "$examples/OmbrelApi.dll" "$sdk/bin/OmbrelApi.dll" || fail "examples: not the SDK's DLL beside them"

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
"$run" "$examples/ListTuners.exe" 1 </dev/null >"$work/list.txt" 2>&1 &
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
    grep -q "Talvex S2 *GUID $(guid "$id")  WDM  receives satellite, Common Interface slot$" "$work/changed.txt" ||
        fail "$id not listed: $(cat "$work/list.clean")"
done

say "UpdateFirmware: versions, a refused image, an update"
"$run" "$tunersim" remove "$second" </dev/null >/dev/null
"$run" "$tunersim" update-timing "$first" 1200 300 </dev/null >/dev/null
update() { "$run" "$examples/UpdateFirmware.exe" "$@" </dev/null 2>&1 | tr -d '\r'; }
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
