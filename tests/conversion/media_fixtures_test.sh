#!/usr/bin/env bash
# The checks of media files on real files made by the native ffmpeg, run
# natively through tools/media_check.cpp: MP4 sources as cameras, downloads
# and QuickTime write them, plain and encrypted (Common Encryption), and AVI
# files as the tool writes them, with frames and with none.
#   media_fixtures_test.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$here/tools/media.sh"
source "$here/tests/support/expect.sh"

g++ -std=c++17 -O2 -I"$here" "$here/tools/media_check.cpp" "$here/conversion/AviFile.cpp" \
    "$here/conversion/Mp4Protection.cpp" -o "$work/media_check"
ff() { ffmpeg -nostdin -y -hide_banner -loglevel error "$@"; }
mp4() { "$work/media_check" mp4 "$work/$1"; }
avi() { "$work/media_check" avi "$work/$1"; }

# --- MP4 sources -------------------------------------------------------------
make_clip 1 "$work/plain.mp4"  # the movie after the media, as ffmpeg writes it
ff -i "$work/plain.mp4" -c copy -movflags +faststart "$work/faststart.mp4"
ff -i "$work/plain.mp4" -c copy -movflags frag_keyframe+empty_moov "$work/fragmented.mp4"
ff -i "$work/plain.mp4" -c copy -f 3gp "$work/clip.3gp"
# QuickTime's sound descriptions: AAC (version 1), 24-bit PCM (version 1
# with its own fields), 96 kHz PCM (version 2).
ff -i "$work/plain.mp4" -c copy -f mov "$work/aac.mov"
ff -i "$work/plain.mp4" -c:v copy -c:a pcm_s24le -f mov "$work/pcm24.mov"
ff -i "$work/plain.mp4" -c:v copy -c:a pcm_s16le -ar 96000 -f mov "$work/pcm96k.mov"
# An initialisation segment: the fragmented file's boxes up to its first
# fragment.
python3 - "$work/fragmented.mp4" "$work/init.mp4" <<'EOF'
import struct, sys
data = open(sys.argv[1], 'rb').read()
at, init = 0, b''
while at < len(data):
    size, kind = struct.unpack('>I4s', data[at:at + 8])
    if kind == b'moof':
        break
    init += data[at:at + size]
    at += size
open(sys.argv[2], 'wb').write(init)
EOF
key=(-encryption_scheme cenc-aes-ctr -encryption_key 76a6c65c5ea762046bd749a2e632ccbb
     -encryption_kid a7e61c373e219033c21091fa607bf3b8)
ff -i "$work/plain.mp4" -c copy "${key[@]}" "$work/encrypted.mp4"
ff -i "$work/plain.mp4" -vn -c copy "${key[@]}" "$work/encrypted.m4a"
ff -i "$work/plain.mp4" -c copy "${key[@]}" -f mov "$work/encrypted.mov"
ff -i "$work/plain.mp4" -c copy "${key[@]}" -movflags +faststart "$work/encrypted-faststart.mp4"
size=$(stat -c %s "$work/plain.mp4")
head -c $((size / 2)) "$work/plain.mp4" >"$work/cut.mp4"

for file in plain.mp4 faststart.mp4 fragmented.mp4 init.mp4 clip.3gp aac.mov pcm24.mov pcm96k.mov; do
    expect "$file is plain" same "$(mp4 "$file")" Plain
done
for file in encrypted.mp4 encrypted.m4a encrypted.mov encrypted-faststart.mp4; do
    expect "$file is protected" same "$(mp4 "$file")" Protected
done
expect "an MP4 cut short before its movie is left to the tool" same "$(mp4 cut.mp4)" Unknown

# --- AVI files as the tool writes them -----------------------------------------
mapfile -t switches < <(tool_switches)
ff -i "$work/plain.mp4" "${switches[@]}" "$work/clip.avi"
# A source cut before its first frame: the tool ends cleanly, and its file
# holds an empty movie list and an empty index.
ff -i "$work/plain.mp4" -t 0 "${switches[@]}" "$work/empty.avi"
# The frames are the streams' lengths in their headers: video frames (the
# repeated ones, written empty, included) and MP3 packets.
frames=$(($(ffprobe -v error -show_entries stream=nb_frames -of csv=p=0 "$work/clip.avi" | paste -sd+)))
expect "the clip's AVI is whole, with its frames" same "$(avi clip.avi)" "whole $frames"
expect "and it has frames" test "$frames" -gt 0
expect "the AVI of a source with no frame is whole, with none" same "$(avi empty.avi)" "whole 0"
size=$(stat -c %s "$work/clip.avi")
head -c $((size - 100)) "$work/clip.avi" >"$work/cut.avi"
expect "an AVI cut short is not whole" same "$(avi cut.avi)" "not whole"
expect "an MP4 is no AVI" same "$(avi plain.mp4)" "not whole"
expect "an AVI is no MP4 the walk follows" same "$(mp4 clip.avi)" Unknown

exit $failed
