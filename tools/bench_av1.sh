#!/usr/bin/env bash
# How much longer the converter takes for AV1 than for H.264: one 1080p clip
# of 30 s (a moving test picture with film grain and a tone), made by the
# native ffmpeg once in H.264 and once in AV1 at the same bit rate, converted
# bare under Wine with the program's command line by the tool tools/setup.sh
# builds, in turns (H.264, AV1, AV1, H.264). The goal: AV1 takes at most 1.3
# times as long. Runs where only Wine's 64-bit loader does, with x86_64.
#   tools/bench_av1.sh [i686|x86_64]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-i686}
case "$arch" in
i686) deps="$root/.deps" loader=/usr/lib/wine/wine prefix_arch=win32 ;;
x86_64) deps="$root/.deps/x86_64" loader=/usr/lib/wine/wine64 prefix_arch=win64 ;;
*) echo "usage: bench_av1.sh [i686|x86_64]" >&2; exit 2 ;;
esac
tool="$deps/converter/ffmpeg.exe"
[ -s "$tool" ] || { echo "no $tool: bash tools/build_converter.sh --arch $arch build $deps/converter" >&2; exit 1; }

work="$root/.deps/bench/av1-$arch"
mkdir -p "$work/clips"
rm -rf "$work/out" && mkdir -p "$work/out"
cp "$tool" "$work/nnn.exe"
seconds=30 rate=4M
source "$root/tools/media.sh"
make_1080p() {  # make_1080p <path> <video encoding arguments...>
    local path=$1
    shift
    [ -s "$path" ] && return
    SVT_LOG=1 ffmpeg -nostdin -y -hide_banner -loglevel error \
        -f lavfi -i "testsrc2=duration=$seconds:size=1920x1080:rate=30,noise=alls=12:allf=t" \
        -f lavfi -i "sine=frequency=440:duration=$seconds:sample_rate=48000" \
        "$@" -b:v "$rate" -pix_fmt yuv420p -c:a aac -ac 2 -shortest -f mp4 "$path.part"
    mv "$path.part" "$path"
}
make_1080p "$work/clips/h264.mp4" -c:v libx264 -preset medium
make_1080p "$work/clips/av1.mp4" -c:v libsvtav1 -preset 8

export WINEPREFIX="$work/prefix" WINEARCH=$prefix_arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || { "$loader" wineboot -i >/dev/null 2>&1; wineserver -w; }
trap 'wineserver -k 2>/dev/null || true' EXIT

run() {  # run <clip>: seconds for one conversion
    time_tool "$loader" "$work/nnn.exe" "$1" "$work/out/temp.avi" 1
}

describe() {
    ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height,bit_rate \
        -of csv=p=0 "$1" | tr ',' ' '
}
echo "tool $arch, bare: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg) at the start"
echo "clips of $seconds s: H.264 $(describe "$work/clips/h264.mp4"); AV1 $(describe "$work/clips/av1.mp4")"
h1=$(run "$work/clips/h264.mp4")
a1=$(run "$work/clips/av1.mp4")
a2=$(run "$work/clips/av1.mp4")
h2=$(run "$work/clips/h264.mp4")
echo "H.264: $h1 s, $h2 s; AV1: $a1 s, $a2 s; load $(cut -d' ' -f1-3 /proc/loadavg) at the end"
awk -v a="$h1" -v b="$h2" -v c="$a1" -v d="$a2" 'BEGIN {
    h = (a + b) / 2; v = (c + d) / 2; r = v / h
    printf "| 1080p, %s s | H.264 %.2f s | AV1 %.2f s | AV1 / H.264 %.3f (goal <= 1.30: %s) |\n",
        '"$seconds"', h, v, r, r <= 1.3 ? "met" : "**missed**" }'
