#!/usr/bin/env bash
# The MSVC-built client (MsvcClient.cpp) against a simulated box: it must import every
# export under its MSVC name, start (the loader resolves each import in OmbrelApi.dll)
# and pass its checks: device information, a satellite tune, remote-control keys, a
# Common Interface session and CA PMTs.
#   msvc_client.sh <build dir> <llvm-readobj>
set -euo pipefail
build="$1"
readobj="$2"
run="$build/wine-run"
bin="$build/bin"
client="$bin/msvc_client.exe"
id=00c0ffee5d000001
driver=MSVC-client-7

fail() { echo "msvc_client: $*" >&2; exit 1; }

# Imports: one per export of the header, each under its MSVC name, none under a GNU name.
names="$build/library/msvc/ExportNames.txt"
imports="$("$readobj" --coff-imports "$client" | sed -n 's/^ *Symbol: \(.*\) ([0-9]*)$/\1/p')"
while read -r gnu msvc; do
    grep -qxF "$msvc" <<<"$imports" || fail "does not import $msvc (for $gnu)"
done <"$names"
if grep -q '^_Z' <<<"$imports"; then fail "imports GNU-decorated names"; fi
if "$readobj" --coff-imports "$client" | grep -qi 'msvcr\|ucrt\|vcruntime\|api-ms-win-crt'; then
    fail "depends on a C runtime"
fi

remove() { "$run" "$bin/tunersim.exe" remove "$id" </dev/null >/dev/null 2>&1 || true; }
remove
trap remove EXIT
"$run" "$bin/tunersim.exe" plug --preset talvex-s2 --model wdm --id "$id" --driver "$driver" </dev/null >/dev/null
# Two remote-control keys, queued by the driver until the client's reader reads them.
"$run" "$bin/tunersim.exe" press "$id" 0x1234 0x0a0b </dev/null >/dev/null
# A ready module in the Common Interface slot.
"$run" "$bin/tunersim.exe" ci-ready "$id" </dev/null >/dev/null
"$run" "$client" "$id" "$driver" </dev/null

# What the module received through the MSVC names: the session's open command, the short
# form's PMT (list management 3, command 1: descramble service 0x0101), then the long
# form's with the arguments it was given (5, 4: service 0x0102 not selected).
module="$("$run" "$bin/tunersim.exe" ci-show "$id" </dev/null | tr -d '\r')"
expect() { grep -qxF "$1" <<<"$module" || fail "the module did not receive: $1 (it shows: $module)"; }
expect "open commands: 1"
expect "CA PMTs: 2, last: list management 5, command 4, 12 PMT bytes, program 258"
expect "descrambling: service 257"
echo "msvc_client: the module received both CA PMTs"
