#!/usr/bin/env bash
# The whole job from outside the built program: makes clips with the native
# ffmpeg, lets the test program operate QuendrixOmbrelo.exe as a user would,
# then checks the AVI files with ffprobe and keeps the screenshots as PNG.
#   conversion_test.sh <build folder> <test program>
set -euo pipefail
build=$1 program=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tools/media.sh"

work="$build/tests/e2e/conversion"
rm -rf "$work"
mkdir -p "$work/clips" "$work/out folder [1]" "$work/shots"
seconds=6
make_clip "$seconds" "$work/clips/holiday in rome.mp4"
make_clip "$seconds" "$work/clips/Birthday.MP4"
make_clip "$seconds" "$work/clips/clip3.mp4"

export QUENDRIX_E2E_CLIPS="$(winpath "$work/clips/")"
export QUENDRIX_E2E_OUT="$(winpath "$work/out folder [1]/")"
export QUENDRIX_E2E_SHOTS="$(winpath "$work/shots/")"
"$build/wine-run.sh" "$program"

for shot in "$work"/shots/*.bmp; do
    [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm "$shot"
done
echo "screenshots: $work/shots/"

status=0
check() {  # check <file> <what> <expected> <actual>
    if [ "$3" != "$4" ]; then
        echo "FAIL $1: $2 is '$4', expected '$3'" >&2
        status=1
    fi
}
for name in "holiday in rome.AVI" "Birthday.AVI" "clip3.AVI"; do
    file="$work/out folder [1]/$name"
    if [ ! -s "$file" ]; then echo "FAIL $name: missing" >&2; status=1; continue; fi
    probe() { ffprobe -v error -of default=noprint_wrappers=1:nokey=1 "$@" "$file"; }
    check "$name" "container" "avi" "$(probe -show_entries format=format_name)"
    check "$name" "video codec" "mpeg4" "$(probe -select_streams v:0 -show_entries stream=codec_name)"
    tag=$(probe -select_streams v:0 -show_entries stream=codec_tag_string)
    check "$name" "video tag" "divx" "${tag,,}"
    check "$name" "audio codec" "mp3" "$(probe -select_streams a:0 -show_entries stream=codec_name)"
    check "$name" "audio channels" "2" "$(probe -select_streams a:0 -show_entries stream=channels)"
    check "$name" "audio rate" "44100" "$(probe -select_streams a:0 -show_entries stream=sample_rate)"
    duration=$(probe -show_entries format=duration)
    check "$name" "whole seconds" "$seconds" "${duration%%.*}"
    echo "$name: avi, mpeg4 '$tag', mp3, ${duration} s"
done
leftovers=$(find "$work/out folder [1]" -iname '*temp_2953.avi' | wc -l)
check "output folder" "files under a temporary name" "0" "$leftovers"
exit $status
