#!/usr/bin/env bash
# Converts clips with the shipped tool through the runner and the worker under
# Wine, then checks what came out with the native ffprobe.
#   real_tool_test.sh <build folder> <test program> <ffmpeg.exe> <pthreadGC2.dll>
set -euo pipefail
build=$1 program=$2 tool=$3 runtime=$4

work="$build/tests/conversion/real_tool"
seconds=60
rm -rf "$work"
mkdir -p "$work/tool folder [1]" "$work/clips/dir with blanks [x]" "$work/out"
cp "$tool" "$work/tool folder [1]/nnn.exe"
cp "$runtime" "$work/tool folder [1]/pthreadGC2.dll"

source "$(dirname "$0")/../../tools/media.sh"
make_clip "$seconds" "$work/clips/clip.mp4"
cp "$work/clips/clip.mp4" "$work/clips/dir with blanks [x]/my clip (1) [b].mp4"

export QUENDRIX_REAL_TOOL_FOLDER="$(winpath "$work/tool folder [1]/")"
export QUENDRIX_REAL_CLIPS="$(winpath "$work/clips/")"
export QUENDRIX_REAL_OUT="$(winpath "$work/out/")"
export QUENDRIX_REAL_CLIP_SECONDS=$seconds
"$build/wine-run.sh" "$program"

status=0
check() {  # check <file> <what> <expected> <actual>
    if [ "$3" != "$4" ]; then
        echo "FAIL $1: $2 is '$4', expected '$3'" >&2
        status=1
    fi
}
for name in clip.AVI blanks.AVI quoted.AVI; do
    file="$work/out/$name"
    if [ ! -s "$file" ]; then echo "FAIL $name: missing" >&2; status=1; continue; fi
    probe() { ffprobe -v error -of default=noprint_wrappers=1:nokey=1 "$@" "$file"; }
    check "$name" "container" "avi" "$(probe -show_entries format=format_name)"
    check "$name" "video codec" "mpeg4" "$(probe -select_streams v:0 -show_entries stream=codec_name)"
    check "$name" "video tag" "0x78766964" "$(probe -select_streams v:0 -show_entries stream=codec_tag)"
    tag=$(probe -select_streams v:0 -show_entries stream=codec_tag_string)
    check "$name" "video tag text" "divx" "${tag,,}"
    check "$name" "audio codec" "mp3" "$(probe -select_streams a:0 -show_entries stream=codec_name)"
    check "$name" "audio channels" "2" "$(probe -select_streams a:0 -show_entries stream=channels)"
    check "$name" "audio rate" "44100" "$(probe -select_streams a:0 -show_entries stream=sample_rate)"
    duration=$(probe -show_entries format=duration)
    check "$name" "whole seconds" "$seconds" "${duration%%.*}"
    echo "$name: avi, mpeg4 '$tag', mp3 2 ch 44100 Hz, ${duration} s"
done
exit $status
