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
mkdir -p "$work/clips" "$work/out folder [1]" "$work/keyboard out" "$work/shots"
seconds=6
make_clip "$seconds" "$work/clips/holiday in rome.mp4"
make_clip "$seconds" "$work/clips/Birthday.MP4"
make_clip "$seconds" "$work/clips/clip3.mp4"

export QUENDRIX_E2E_CLIPS="$(winpath "$work/clips/")"
export QUENDRIX_E2E_OUT="$(winpath "$work/out folder [1]/")"
export QUENDRIX_E2E_KEYS_OUT="$(winpath "$work/keyboard out/")"
export QUENDRIX_E2E_SHOTS="$(winpath "$work/shots/")"
"$build/wine-run.sh" "$program"

for shot in "$work"/shots/*.bmp; do
    [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm "$shot"
done
echo "screenshots: $work/shots/"

status=0
for name in "holiday in rome.AVI" "Birthday.AVI" "clip3.AVI"; do
    check_avi "$work/out folder [1]/$name" "$seconds"
done
# The same batch run with the keyboard alone.
for name in "holiday in rome.AVI" "clip3.AVI"; do
    check_avi "$work/keyboard out/$name" "$seconds"
done
leftovers=$(find "$work/out folder [1]" "$work/keyboard out" -iname '*temp_2953.avi' | wc -l)
check "output folder" "files under a temporary name" "0" "$leftovers"
exit $status
