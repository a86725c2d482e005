#!/usr/bin/env bash
# Reads the recordings that ombrel_process_tests left in FOLDER with ffprobe and ffmpeg,
# as its manifest says (file, kind, program, service name): "clear" and "descrambled"
# files hold one program with the service's name and decode without a single error,
# "scrambled" ones do not decode, "complete" ones are whole packets that ffprobe reads.
#
#   check_recordings.sh FOLDER
set -uo pipefail
folder="${1:?usage: check_recordings.sh FOLDER}"
manifest="$folder/manifest.txt"
[ -s "$manifest" ] || { echo "check_recordings: no manifest in $folder (ombrel_process_tests writes it)" >&2; exit 1; }
passed=0
failed=0
fail() { echo "FAILED: $*"; failed=$((failed + 1)); }
pass() { passed=$((passed + 1)); }

while IFS=$'\t' read -r file kind program name; do
    name="${name%$'\r'}"
    path="$folder/$file"
    [ -s "$path" ] || { fail "$file: missing or empty"; continue; }
    size=$(stat -c %s "$path")
    [ $((size % 188)) -eq 0 ] && pass || fail "$file: $size bytes, not whole 188-byte packets"
    probe="$(ffprobe -v error -show_entries program=program_id:program_tags=service_name -of compact=p=0:nk=0 "$path" 2>&1)"
    status=$?
    [ "$status" -eq 0 ] && pass || { fail "$file: ffprobe failed: $(head -c 400 <<<"$probe")"; continue; }
    [ "$kind" = complete ] && continue
    programs="$(grep -c '^program_id=' <<<"$probe")"
    [ "$programs" -eq 1 ] && pass || fail "$file: ffprobe sees $programs programs, not one: $probe"
    grep -qE "^program_id=$program(\||$)" <<<"$probe" && grep -qF "service_name=$name|" <<<"$probe" && pass ||
        fail "$file: the program is not $program named \"$name\": $probe"
    out="$(ffmpeg -nostdin -v error -i "$path" -f null - 2>&1)"
    status=$?
    case "$kind" in
    clear | descrambled)
        [ "$status" -eq 0 ] && [ -z "$out" ] && pass || fail "$file: does not decode cleanly: exit $status: $(head -c 400 <<<"$out")" ;;
    scrambled)
        [ "$status" -ne 0 ] || [ -n "$out" ] && pass || fail "$file: scrambled, yet decoded without a complaint" ;;
    *) fail "$file: unknown kind $kind" ;;
    esac
done <"$manifest"

echo "check_recordings: $passed checks passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
