#!/usr/bin/env bash
# Decodes with ffmpeg every service that stream_end_to_end_test listed in FOLDER's
# manifest (file, service id): the files that the stream library and its example wrote
# must decode without a single error.
#
#   check_sink_captures.sh FOLDER
set -uo pipefail
folder="${1:?usage: check_sink_captures.sh FOLDER}"
manifest="$folder/manifest.txt"
[ -s "$manifest" ] || { echo "check_sink_captures: no manifest in $folder (stream_end_to_end_test writes it)" >&2; exit 1; }
passed=0
failed=0
while IFS=$'\t' read -r file sid; do
    sid="${sid%$'\r'}"
    out="$(ffmpeg -nostdin -v error -i "$folder/$file" -map "0:p:$sid" -f null - 2>&1)"
    status=$?
    if [ "$status" -eq 0 ] && [ -z "$out" ]; then
        passed=$((passed + 1))
    else
        echo "FAILED: $file: program $sid: exit $status: $(head -c 400 <<<"$out")"
        failed=$((failed + 1))
    fi
done <"$manifest"
echo "check_sink_captures: $passed programs decoded cleanly, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
