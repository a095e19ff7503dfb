#!/usr/bin/env bash
# Times the walk that tells a protected MP4 source (conversion/Mp4Protection.h)
# on a file of 2 GB whose movie comes after its media, as cameras and
# ffmpeg write it: the walk must seek past the media, never read it. The
# file is sparse (its media never written), its movie that of a short clip
# made by the native ffmpeg, plain and then encrypted. Each walk opens the
# file, walks it and closes it, as the program does; the files' headers are
# in the system's cache after the first walk. The goal is 5 ms a walk.
#   tools/bench_mp4_walk.sh [walks]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
walks=${1:-2000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$here/tools/media.sh"

g++ -std=c++17 -O2 -I"$here" "$here/tools/media_check.cpp" "$here/conversion/AviFile.cpp" \
    "$here/conversion/Mp4Protection.cpp" -o "$work/media_check"
make_clip 2 "$work/clip.mp4"
ffmpeg -nostdin -y -hide_banner -loglevel error -i "$work/clip.mp4" -c copy -encryption_scheme cenc-aes-ctr \
    -encryption_key 76a6c65c5ea762046bd749a2e632ccbb -encryption_kid a7e61c373e219033c21091fa607bf3b8 \
    "$work/encrypted.mp4"

# large <clip> <file>: the clip's file type box, 2 GB of media (a box with a
# 64-bit size, left unwritten), the clip's movie box. (The movie's chunk
# offsets still point into the clip's media: the walk does not read them.)
large() {
    python3 - "$1" "$2" <<'EOF'
import struct, sys
data = open(sys.argv[1], 'rb').read()
boxes, at = {}, 0
while at < len(data):
    size, kind = struct.unpack('>I4s', data[at:at + 8])
    if size == 1:
        size = struct.unpack('>Q', data[at + 8:at + 16])[0]
    boxes.setdefault(kind, data[at:at + size])
    at += size
media = 2 << 30
with open(sys.argv[2], 'wb') as out:
    out.write(boxes[b'ftyp'])
    out.write(struct.pack('>I4sQ', 1, b'mdat', media))
    out.seek(media - 16, 1)
    out.write(boxes[b'moov'])
EOF
}
large "$work/clip.mp4" "$work/plain.mp4"
large "$work/encrypted.mp4" "$work/protected.mp4"
for file in plain protected; do
    echo "$file: $(stat -c %s "$work/$file.mp4") bytes, $(du -k "$work/$file.mp4" | cut -f1) KB on disk"
    (cd "$work" && ./media_check bench "$file.mp4" "$walks")
done
