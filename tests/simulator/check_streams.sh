#!/usr/bin/env bash
# Reads the captures that simulator_stream_test left in FOLDER with ffprobe and ffmpeg:
# each multiplex's programs with the SDT's service and provider names, every clear
# service decoded without a single error, the scrambled ones refused until descrambled.
#
#   check_streams.sh FOLDER
set -uo pipefail
folder="${1:?usage: check_streams.sh FOLDER}"
manifest="$folder/manifest.txt"
[ -s "$manifest" ] || { echo "check_streams: no captures in $folder (simulator_stream_test makes them)" >&2; exit 1; }
passed=0
failed=0
fail() { echo "FAILED: $*"; failed=$((failed + 1)); }
pass() { passed=$((passed + 1)); }

# Decodes one program; prints what ffmpeg printed (nothing when all went well).
decode() { ffmpeg -nostdin -v error -i "$1" -map "0:p:$2" -f null - 2>&1; echo "exit $?"; }

while IFS=$'\t' read -r file quality standard services; do
    path="$folder/$file"
    programs="$(ffprobe -v error -show_entries program=program_id:program_tags=service_name,service_provider \
                -of compact=p=0:nk=0 "$path" 2>&1)"
    IFS=$'\t' read -r -a entries <<<"$services"
    for entry in "${entries[@]}"; do
        IFS='|' read -r sid state name provider <<<"$entry"
        line="$(grep -E "^program_id=$sid(\||$)" <<<"$programs")"
        if [ -z "$line" ]; then fail "$file: ffprobe lists no program $sid"; continue; fi
        if [ "$standard" = dvb ]; then
            grep -qF "service_name=$name" <<<"$line" || { fail "$file: program $sid is not named \"$name\": $line"; continue; }
            grep -qF "service_provider=$provider" <<<"$line" || { fail "$file: program $sid provider is not \"$provider\": $line"; continue; }
        fi
        out="$(decode "$path" "$sid")"
        if [ "$state" = clear ] && [ "$quality" = clean ]; then
            [ "$out" = "exit 0" ] && pass || fail "$file: program $sid ($name) does not decode cleanly: $(head -c 400 <<<"$out")"
        elif [ "$state" = scrambled ]; then
            [ "$out" != "exit 0" ] && pass || fail "$file: scrambled program $sid ($name) decoded without a complaint"
        else
            # A weak multiplex: transport errors may show, but ffmpeg must read the program.
            grep -q "^exit 0$" <<<"$out" && pass || fail "$file: program $sid ($name) unreadable: $(head -c 400 <<<"$out")"
        fi
    done
    pass
done <"$manifest"

# The descrambled captures are checked too: a missing list is a failure, never a skip.
[ -s "$folder/descrambled.txt" ] || fail "no list of descrambled captures in $folder (simulator_stream_test makes it)"
[ -f "$folder/descrambled.txt" ] && while IFS=$'\t' read -r file sid; do
    out="$(decode "$folder/$file" "$sid")"
    [ "$out" = "exit 0" ] && pass || fail "$file: descrambled program $sid does not decode cleanly: $(head -c 400 <<<"$out")"
done <"$folder/descrambled.txt"

echo "check_streams: $passed checks passed, $failed failed"
[ "$failed" -eq 0 ]
