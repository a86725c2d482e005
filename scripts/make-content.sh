#!/usr/bin/env bash
# Makes the content clips of the simulated transport streams with ffmpeg: every clip that
# simulator/content/clips.txt lists, as simulator/content/<clip>.<type>. The clips are
# committed; run this again only when the list changes (the native tests check that the
# list holds exactly what the sky names and that every clip parses).
#
#   scripts/make-content.sh [clip...]   make the named clips (default: all of them)
#
# Every clip loops after 1.92 s, a whole number of frames of each kind (48 video frames
# at 25 fps, 80 MPEG-1 Layer II frames of 1152 samples, 60 AC-3 frames of 1536 samples at
# 48 kHz), so that a service's audio and video loops stay aligned for ever.
#  - Video, 352x288: colour bars in a hue of their own, a moving square and the
#    service's name; closed GOPs of 12 frames without B-frames (decode order = display order),
#    each starting with a sequence header (MPEG-2) or SPS, PPS and an IDR picture
#    (H.264, with access unit delimiters and the timing information in the SPS).
#  - Audio, stereo 48 kHz: a steady tone of the listed frequency, a whole number of
#    periods per loop.
# The name is drawn with DejaVu Sans (Debian's fonts-dejavu-core); without that font or
# ffmpeg's drawtext filter the pictures keep only their colour and the script says so.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
content="$root/simulator/content"
manifest="$content/clips.txt"

readonly video_frames=48 mp2_frames=80 ac3_frames=60
readonly font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

command -v ffmpeg >/dev/null || { echo "make-content: ffmpeg is missing (apt-get install ffmpeg)" >&2; exit 2; }
captions=yes
if [ ! -f "$font" ]; then
    echo "make-content: $font is missing (fonts-dejavu-core): pictures without the service's name" >&2
    captions=no
elif ! grep -q ' drawtext ' <<<"$(ffmpeg -hide_banner -filters 2>/dev/null)"; then
    echo "make-content: ffmpeg has no drawtext filter: pictures without the service's name" >&2
    captions=no
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

encode() {  # encode <output> <ffmpeg arguments...>: writes the clip only when ffmpeg succeeds
    local output="$1"
    shift
    ffmpeg -nostdin -hide_banner -v error -y "$@" "$work/clip" || { echo "make-content: ffmpeg failed for $output" >&2; exit 1; }
    mv "$work/clip" "$output"
}

video() {  # video <clip> <type> <index> <caption>
    local clip="$1" type="$2" index="$3" caption="$4"
    # Colour bars in a hue of their own per video clip (services differ even without
    # captions), a square that crosses the picture once per loop, the service's name.
    local filter="smptebars=size=352x288:rate=25,hue=h=$((index * 47 % 360)),format=yuv420p"
    if [ "$captions" = yes ]; then
        printf '%s' "$caption" >"$work/caption.txt"
        printf '\u25A0' >"$work/mark.txt"
        filter+=",drawtext=fontfile=$font:textfile=$work/mark.txt:fontsize=40:fontcolor=white"
        filter+=":x='(w-text_w)*mod(n\\,$video_frames)/$((video_frames - 1))':y=140"
        filter+=",drawtext=fontfile=$font:textfile=$work/caption.txt:fontsize=34:fontcolor=white"
        filter+=":box=1:boxcolor=black@0.7:boxborderw=10:x=(w-text_w)/2:y=h-text_h-36"
    fi
    local codec
    case "$type" in
    m2v) codec=(-c:v mpeg2video -g 12 -bf 0 -flags +cgop -sc_threshold 1000000000 -b:v 320k -maxrate 640k -bufsize 640k -f mpeg2video) ;;
    h264) codec=(-c:v libx264 -profile:v main -preset medium -b:v 240k -maxrate 480k -bufsize 480k
                 -x264-params "keyint=12:min-keyint=12:scenecut=0:bframes=0:open-gop=0:aud=1:repeat-headers=1"
                 -bsf:v filter_units=remove_types=6 -f h264) ;;
    esac
    encode "$content/$clip.$type" -fflags +bitexact -f lavfi -i "$filter" -frames:v "$video_frames" \
        -threads 1 -flags:v +bitexact "${codec[@]}"
}

audio() {  # audio <clip> <type> <tone>
    local clip="$1" type="$2" tone="$3"
    local codec
    case "$type" in
    mp2) codec=(-c:a mp2 -b:a 128k -frames:a "$mp2_frames" -f mp2) ;;
    ac3) codec=(-c:a ac3 -b:a 128k -frames:a "$ac3_frames" -f ac3) ;;
    esac
    # A little more tone than a loop: the encoders' frames are cut from its start.
    encode "$content/$clip.$type" -fflags +bitexact -f lavfi -i "sine=frequency=$tone:sample_rate=48000:duration=3" \
        -ac 2 -flags:a +bitexact "${codec[@]}"
}

wanted=("$@")
is_wanted() {
    [ ${#wanted[@]} -eq 0 ] && return 0
    local w
    for w in "${wanted[@]}"; do [ "$w" = "$1" ] && return 0; done
    return 1
}

made=0 index=0
while read -r clip type tone caption; do
    case "$clip" in ''|'#'*) continue ;; esac
    case "$type" in
    m2v|h264) index=$((index + 1)); is_wanted "$clip" || continue; video "$clip" "$type" "$index" "$caption" ;;
    mp2|ac3) is_wanted "$clip" || continue; audio "$clip" "$type" "$tone" ;;
    *) echo "make-content: $manifest: unknown type \"$type\" of $clip" >&2; exit 2 ;;
    esac
    made=$((made + 1))
    echo "$clip.$type"
done <"$manifest"
[ "$made" -gt 0 ] || { echo "make-content: no clip of that name in $manifest" >&2; exit 2; }
echo "make-content: $made clips, $(du -ch "$content"/*.m2v "$content"/*.h264 "$content"/*.mp2 "$content"/*.ac3 2>/dev/null | tail -1 | cut -f1) in $content"
