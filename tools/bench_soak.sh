#!/usr/bin/env bash
# Soak of the conversion engine under Wine: one batch of many short clips
# (150 one-second clips unless told) through the progress window with the
# program's real windows and the shipped tool. Prints the time per file in
# the batch against the bare tool on the same command lines, the program's
# memory, handles, GDI and USER objects after a 3-file warm-up batch and
# after the long batch, and what the flush of a finished file and its
# write-through rename cost against a plain rename.
#   tools/bench_soak.sh <arch: x86_64 or i686> [build folder] [files] [clip seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:?arch: x86_64 or i686}
case "$arch" in
    x86_64) deps="$root/.deps/x86_64" default_build="$root/build-x64" ;;
    i686) deps="$root/.deps" default_build="$root/build" ;;
    *) echo "arch: x86_64 or i686" >&2; exit 2 ;;
esac
build=$(cd "${2:-$default_build}" && pwd)
files=${3:-150}
seconds=${4:-1}

cmake --build "$build" --target conversion_soak -j2 >/dev/null

work="$build/bench_soak"
rm -rf "$work"
mkdir -p "$work/tool" "$work/clips" "$work/out" "$work/program"
cp "$deps/converter/ffmpeg.exe" "$work/tool/nnn.exe"
source "$root/tools/media.sh"
make_clip "$seconds" "$work/clips/clip1.mp4"
for i in $(seq 2 "$files"); do cp "$work/clips/clip1.mp4" "$work/clips/clip$i.mp4"; done

export QUENDRIX_SOAK_TOOL_FOLDER="$(winpath "$work/tool/")"
export QUENDRIX_SOAK_CLIPS="$(winpath "$work/clips/")"
export QUENDRIX_SOAK_OUT="$(winpath "$work/out/")"
export QUENDRIX_SOAK_PROGRAM="$(winpath "$work/program/")"
export QUENDRIX_SOAK_COUNT=$files
export QUENDRIX_SOAK_BARE=10
echo "soak: $files clips of $seconds s (640x360, H.264/AAC), $arch build, converter $deps/converter/ffmpeg.exe"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
run=("$build/wine-run.sh" "$build/tests/conversion/conversion_soak.exe")
if [ -z "${DISPLAY:-}" ]; then run=(bash "$root/tools/with-display.sh" "${run[@]}"); fi
status=0
"${run[@]}" || status=$?
echo "load afterwards: $(cut -d' ' -f1-3 /proc/loadavg)"
rm -rf "$work/clips" "$work/out"
exit $status
