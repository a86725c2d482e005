#!/usr/bin/env bash
# Reads the channel files that ombrel_process_tests' scans left in FOLDER with Linux's
# dvb-format-convert (Debian dvb-tools): each must parse, and convert to as many
# channels as the manifest says the sky holds for that family.
#
#   check_scan_channels.sh FOLDER
set -uo pipefail
folder="${1:?usage: check_scan_channels.sh FOLDER}"
manifest="$folder/manifest.txt"
[ -s "$manifest" ] || { echo "check_scan_channels: no scans in $folder (ombrel_process_tests makes them)" >&2; exit 1; }
command -v dvb-format-convert >/dev/null || { echo "check_scan_channels: dvb-format-convert missing (Debian dvb-tools)" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
while IFS=$'\t' read -r file expected; do
    expected="${expected%$'\r'}"
    path="$folder/$file"
    # DVBv5 to DVBv5: the reader parses every entry and writes back the ones it took.
    if ! log="$(dvb-format-convert -I DVBV5 -O DVBV5 "$path" "$work/$file" 2>&1)"; then
        echo "FAILED: $file: dvb-format-convert refused it: $log"
        failed=$((failed + 1))
        continue
    fi
    got="$(grep -c '^\[' "$work/$file")"
    if [ "$got" = "$expected" ]; then
        passed=$((passed + 1))
    else
        echo "FAILED: $file: dvb-format-convert read $got channels, the sky holds $expected"
        failed=$((failed + 1))
    fi
done <"$manifest"
echo "check_scan_channels: $passed files passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
