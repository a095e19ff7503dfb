#!/usr/bin/env bash
# The whole job from outside the built program: makes clips with the native
# ffmpeg, lets the test program operate QuendrixOmbrelo.exe as a user would,
# then checks the AVI files with ffprobe and keeps the screenshots as PNG.
#   conversion_test.sh <build folder> <test program>
# With QUENDRIX_TEST_DPI set (144, say), one batch runs at that display scale,
# in the Wine prefix made for it, and only its files are checked.
set -euo pipefail
build=$1 program=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tools/media.sh"
status=0
dpi=${QUENDRIX_TEST_DPI:-96}

work="$build/tests/e2e/conversion"
[ "$dpi" = 96 ] || work="$work-$dpi"
rm -rf "$work"
mkdir -p "$work/clips" "$work/out folder [1]" "$work/keyboard out" "$work/shots" "$work/short clips" \
    "$work/shared out" "$work/long clips" "$work/kill out" "$work/orphan out"
seconds=6
make_clip "$seconds" "$work/clips/holiday in rome.mp4"
# A current download: AV1 video.
make_av1_clip "$seconds" "$work/clips/Birthday.MP4"
check "Birthday.MP4" "video codec" "av1" \
    "$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "$work/clips/Birthday.MP4")"
make_clip "$seconds" "$work/clips/clip3.mp4"
# Two copies of the program convert these into one folder at once.
short_count=6 short_seconds=2
long_seconds=300
if [ "$dpi" = 96 ]; then
    for i in $(seq "$short_count"); do make_clip "$short_seconds" "$work/short clips/short$i.mp4"; done
    # A file long enough to be stopped halfway, and one to go on with.
    ffmpeg -nostdin -y -hide_banner -loglevel error \
        -f lavfi -i "testsrc=duration=$long_seconds:size=320x180:rate=25" \
        -f lavfi -i "sine=frequency=440:duration=$long_seconds:sample_rate=48000" \
        -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -ac 2 -shortest "$work/long clips/long.mp4"
    make_clip "$short_seconds" "$work/long clips/short.mp4"
fi

# Files from the wild beside a plain clip: only the clip converts, each of
# the others is named with its reason.
wild=(init\ segment timed\ text encrypted encrypted\ sound fairplay cut\ short)
if [ "$dpi" = 96 ]; then
    mkdir -p "$work/wild clips" "$work/wild out"
    make_clip "$short_seconds" "$work/wild clips/plain.mp4"
    for kind in "${wild[@]}"; do make_wild_file "$kind" "$work/wild clips/$kind.mp4"; done
    # Sound the converter cannot decode: Windows Media Audio in Matroska.
    ffmpeg -nostdin -y -hide_banner -loglevel error -f lavfi -i "testsrc=duration=2:size=320x240:rate=25" \
        -f lavfi -i "sine=duration=2" -c:v libx264 -pix_fmt yuv420p -c:a wmav2 -f matroska "$work/wild clips/wma sound.mp4"
    export QUENDRIX_E2E_WILD_CLIPS="$(winpath "$work/wild clips/")"
    export QUENDRIX_E2E_WILD_OUT="$(winpath "$work/wild out/")"
fi

export QUENDRIX_E2E_CLIPS="$(winpath "$work/clips/")"
export QUENDRIX_E2E_OUT="$(winpath "$work/out folder [1]/")"
export QUENDRIX_E2E_KEYS_OUT="$(winpath "$work/keyboard out/")"
export QUENDRIX_E2E_SHOTS="$(winpath "$work/shots/")"
export QUENDRIX_E2E_SHORT_CLIPS="$(winpath "$work/short clips/")"
export QUENDRIX_E2E_SHORT_COUNT="$short_count"
export QUENDRIX_E2E_SHARED_OUT="$(winpath "$work/shared out/")"
export QUENDRIX_E2E_LONG_CLIPS="$(winpath "$work/long clips/")"
export QUENDRIX_E2E_KILL_OUT="$(winpath "$work/kill out/")"
export QUENDRIX_E2E_ORPHAN_OUT="$(winpath "$work/orphan out/")"
if [ "$dpi" = 96 ]; then
    "$build/wine-run.sh" "$program" || status=$?
else
    "$build/wine-run.sh" "$program" --gtest_filter=Conversion.AUserConvertsClipsFromStartToFinish || status=$?
fi

for shot in "$work"/shots/*.bmp; do
    [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm "$shot"
done
echo "screenshots: $work/shots/"

for name in "holiday in rome.AVI" "Birthday.AVI" "clip3.AVI"; do
    check_avi "$work/out folder [1]/$name" "$seconds"
done
if [ "$dpi" != 96 ]; then
    check "out folder [1]" "files under a temporary name" "0" \
        "$(find "$work/out folder [1]" -iname '*temp_2953.avi' | wc -l)"
    exit $status
fi
# The same batch run with the keyboard alone.
for name in "holiday in rome.AVI" "clip3.AVI"; do
    check_avi "$work/keyboard out/$name" "$seconds"
done
# Both copies' outputs: each clip twice, the second under a "[1]" name.
for i in $(seq "$short_count"); do
    check_avi "$work/shared out/short$i.AVI" "$short_seconds"
    check_avi "$work/shared out/[1]short$i.AVI" "$short_seconds"
done
check "shared out" "files" "$((2 * short_count))" "$(find "$work/shared out" -type f | wc -l)"
# The stopped file left nothing; the next one converted.
check_avi "$work/kill out/short.AVI" "$short_seconds"
check "kill out" "files" "short.AVI" "$(ls "$work/kill out")"
# The program ended mid-file: no output of a finished look appears later.
sleep 2
check "orphan out" "AVI files" "0" "$(find "$work/orphan out" -type f -iname '*.AVI' ! -iname '*temp_2953.avi' | wc -l)"
# The files from the wild left nothing behind; the plain clip converted.
check "wild out" "files" "plain.AVI" "$(ls "$work/wild out")"
check_avi "$work/wild out/plain.AVI" "$short_seconds"
for folder in "out folder [1]" "keyboard out" "shared out" "kill out"; do
    check "$folder" "files under a temporary name" "0" "$(find "$work/$folder" -iname '*temp_2953.avi' | wc -l)"
done
exit $status
