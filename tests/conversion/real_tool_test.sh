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
[ -d "$work/closed" ] && chmod 755 "$work/closed"
rm -rf "$work"
mkdir -p "$work/tool folder [1]" "$work/clips/dir with blanks [x]" "$work/out" \
         "$work/batch/dir with blanks [2] (b)" "$work/batch out [z]"
cp "$tool" "$work/tool folder [1]/nnn.exe"
cp "$runtime" "$work/tool folder [1]/pthreadGC2.dll"

source "$(dirname "$0")/../../tools/media.sh"
make_clip "$seconds" "$work/clips/clip.mp4"
cp "$work/clips/clip.mp4" "$work/clips/dir with blanks [x]/my clip (1) [b].mp4"
for i in 0 1; do make_clip "${batch_seconds[$i]}" "$work/batch/${batch_clips[$i]}"; done

# Bad inputs: a text file renamed ".mp4", a zero-byte file, an MP4 cut in
# half (its index, written at its end, is gone), an MP4 without its index;
# and what the native ffmpeg says of each, with the converter's switches,
# in <case>.txt with its exit code in <case>.code. Two more of its outputs:
# an output disk that is full (/dev/full), and an output folder the tool may
# not write (ffmpeg run by another user, where the system allows it).
bad="$work/bad" said="$work/said"
mkdir -p "$bad" "$said"
make_clip 3 "$bad/whole.mp4"
for i in $(seq 100); do echo "My notes for the holiday, not a video."; done > "$bad/notes.mp4"
: > "$bad/empty.mp4"
head -c $(( $(stat -c %s "$bad/whole.mp4") / 2 )) "$bad/whole.mp4" > "$bad/truncated.mp4"
python3 - "$bad/whole.mp4" "$bad/no index.mp4" <<'PY'
import sys
data, out, at = open(sys.argv[1], "rb").read(), b"", 0
while at < len(data):  # every top-level box but "moov"
    size = int.from_bytes(data[at:at + 4], "big")
    if data[at + 4:at + 8] != b"moov":
        out += data[at:at + size]
    at += size
open(sys.argv[2], "wb").write(out)
PY
switches=(-vcodec mpeg4 -vtag divx -qscale 6 -b 320000 -acodec mp3 -ac 2 -ar 44100 -ab 128000 -f avi)
say() {  # say <case> <ffmpeg arguments...>: what the native ffmpeg prints
    local name=$1; shift
    set +e
    ffmpeg -nostdin -hide_banner "$@" > "$said/$name.txt" 2>&1
    echo $? > "$said/$name.code"
    set -e
}
for name in notes empty truncated "no index"; do
    say "$name" -i "$bad/$name.mp4" "${switches[@]}" -y "$work/out/temp_2953.avi"
done
say "disk full" -i "$bad/whole.mp4" "${switches[@]}" -y /dev/full
mkdir -p "$work/closed"
chmod 555 "$work/closed"
if runuser -u nobody -- true 2>/dev/null; then
    set +e
    runuser -u nobody -- ffmpeg -nostdin -hide_banner -f lavfi -i testsrc=duration=1 "${switches[@]}" \
        -y "$work/closed/temp_2953.avi" > "$said/denied.txt" 2>&1
    echo $? > "$said/denied.code"
    set -e
fi

export QUENDRIX_REAL_BAD="$(winpath "$bad/")"
export QUENDRIX_REAL_SAID="$(winpath "$said/")"
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
