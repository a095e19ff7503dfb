#!/usr/bin/env bash
# Benchmark of the conversion engine under Wine: one clip converted by the
# bare shipped tool and through the worker path, on the same command line.
# Reports the wall times and their ratio, and the CPU time the application's
# own process spends per second of conversion while it polls.
#   tools/bench_conversion.sh [build folder] [clip seconds] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-60}
rounds=${3:-5}

cmake --build "$build" --target conversion_bench -j2 >/dev/null

work="$build/bench_conversion"
rm -rf "$work"
mkdir -p "$work/tool" "$work/out"
cp "$root/.deps/payload/ffmpeg.exe" "$work/tool/nnn.exe"
cp "$root/.deps/payload/pthreadGC2.dll" "$work/tool/"
source "$root/tools/media.sh"
make_clip "$seconds" "$work/clip.mp4"

export QUENDRIX_BENCH_TOOL_FOLDER="$(winpath "$work/tool/")"
export QUENDRIX_BENCH_CLIP="$(winpath "$work/clip.mp4")"
export QUENDRIX_BENCH_OUT="$(winpath "$work/out/")"
export QUENDRIX_BENCH_ROUNDS=$rounds
echo "clip: $seconds s, 640x360, H.264/AAC; $rounds rounds"
run=("$build/wine-run.sh" "$build/tests/conversion/conversion_bench.exe")
if [ -z "${DISPLAY:-}" ]; then run=(bash "$root/tools/with-display.sh" "${run[@]}"); fi
"${run[@]}"
