#!/usr/bin/env bash
# An AVI over 1 GB as the native ffmpeg writes it (raw video, so that it is
# made in seconds): the test program finds it whole, cuts it where its second
# RIFF begins, and finds it no longer whole. The file is removed afterwards.
#   large_avi_test.sh <build folder> <test program>
set -euo pipefail
build=$1 program=$2

work="$build/tests/conversion/large_avi"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../tools/media.sh"

# 2500 frames of 640x480 in 4:2:0 are 1.15 GB: two RIFFs.
file="$work/large.avi"
ffmpeg -nostdin -y -hide_banner -loglevel error -f lavfi -i "testsrc=size=640x480:rate=25" \
    -frames:v 2500 -c:v rawvideo -pix_fmt yuv420p -f avi "$file"
ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "$file" | grep -qx rawvideo
echo "made $(stat -c %s "$file") bytes"
QUENDRIX_LARGE_AVI="$(winpath "$file")" "$build/wine-run.sh" "$program" \
    --gtest_filter='AviFileTest.RealFileOverOneGigabyteCutAtARiffBoundary'
echo "cut to $(stat -c %s "$file") bytes"
