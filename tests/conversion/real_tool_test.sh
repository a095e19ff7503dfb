#!/usr/bin/env bash
# Converts clips with the shipped tool under Wine (through the runner, the
# worker, and a whole batch driven by the progress window), then checks what
# came out with the native ffprobe.
#   real_tool_test.sh <build folder> <test program> <ffmpeg.exe> <pthreadGC2.dll>
set -euo pipefail
build=$1 program=$2 tool=$3 runtime=$4

work="$build/tests/conversion/real_tool"
seconds=60
# The batch: two short clips of their own lengths, one of them in a folder
# with blanks and brackets, into an output folder of its own.
batch_seconds=(5 8)
batch_clips=("short.mp4" "dir with blanks [2] (b)/my short [c].mp4")
batch_outputs=("short.AVI" "my short [c].AVI")
rm -rf "$work"
mkdir -p "$work/tool folder [1]" "$work/clips/dir with blanks [x]" "$work/out" \
         "$work/batch/dir with blanks [2] (b)" "$work/batch out [z]"
cp "$tool" "$work/tool folder [1]/nnn.exe"
cp "$runtime" "$work/tool folder [1]/pthreadGC2.dll"

source "$(dirname "$0")/../../tools/media.sh"
make_clip "$seconds" "$work/clips/clip.mp4"
cp "$work/clips/clip.mp4" "$work/clips/dir with blanks [x]/my clip (1) [b].mp4"
for i in 0 1; do make_clip "${batch_seconds[$i]}" "$work/batch/${batch_clips[$i]}"; done

export QUENDRIX_REAL_TOOL_FOLDER="$(winpath "$work/tool folder [1]/")"
export QUENDRIX_REAL_CLIPS="$(winpath "$work/clips/")"
export QUENDRIX_REAL_OUT="$(winpath "$work/out/")"
export QUENDRIX_REAL_CLIP_SECONDS=$seconds
export QUENDRIX_REAL_BATCH_FIRST="$(winpath "$work/batch/${batch_clips[0]}")"
export QUENDRIX_REAL_BATCH_SECOND="$(winpath "$work/batch/${batch_clips[1]}")"
export QUENDRIX_REAL_BATCH_OUT="$(winpath "$work/batch out [z]/")"
"$build/wine-run.sh" "$program"

status=0
for name in clip.AVI blanks.AVI quoted.AVI; do
    check_avi "$work/out/$name" "$seconds"
done
# The batch's folder holds its two files under their final names, and
# nothing else.
expected=$(printf '%s\n' "${batch_outputs[@]}" | sort | paste -sd '|')
actual=$(ls -1 "$work/batch out [z]" | sort | paste -sd '|')
check "batch out [z]" "the files" "$expected" "$actual"
for i in 0 1; do
    check_avi "$work/batch out [z]/${batch_outputs[$i]}" "${batch_seconds[$i]}"
done
exit $status
