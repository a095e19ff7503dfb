#!/usr/bin/env bash
# The converter alone under Wine: the tool the program carried before
# (FFmpeg 5.1 from Debian 12's source packages, built by the build script of
# that time into .deps/bench/) against the tool tools/setup.sh builds now
# (FFmpeg 7.1 from Debian 13's), bare, on the same clips and the program's
# command line, in turns (older, shipped, shipped, older), on 5 clips of 30 s
# and 3 clips of 5 min; then the sizes. Needs no build of the program, so it
# also runs where only Wine's 64-bit loader does (x86_64: the same tools for
# 64-bit Windows). tools/bench_conversion.sh measures the program's batch
# and its first start besides.
#   tools/bench_converter.sh [i686|x86_64]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-i686}
case "$arch" in
i686) deps="$root/.deps" loader=/usr/lib/wine/wine prefix_arch=win32 ;;
x86_64) deps="$root/.deps/x86_64" loader=/usr/lib/wine/wine64 prefix_arch=win64 ;;
*) echo "usage: bench_converter.sh [i686|x86_64]" >&2; exit 2 ;;
esac
new_tool="$deps/converter/ffmpeg.exe"
[ -s "$new_tool" ] || { echo "no $new_tool: bash tools/build_converter.sh --arch $arch build $deps/converter" >&2; exit 1; }

# The older tool: the build script of the last release built from Debian 12,
# run with apt seeing Debian 12's source entries alone (lists of its own), so
# that it takes Debian 12's packages as it did then.
old_commit=99257c4
old_cache="$root/.deps/bench/old-tool-$arch"
if [ ! -s "$old_cache/ffmpeg.exe" ]; then
    tmp=$(mktemp -d)
    mkdir -p "$tmp/parts" "$tmp/lists/partial" "$old_cache"
    for f in /etc/apt/sources.list.d/*.sources; do
        case "$f" in *quendrix-trixie*) ;; *) cp "$f" "$tmp/parts/" ;; esac
    done
    mkdir -p "$tmp/cache/archives/partial"
    printf 'Dir::Etc::SourceParts "%s/parts";\nDir::State::Lists "%s/lists";\nDir::Cache "%s/cache";\n' "$tmp" "$tmp" "$tmp" >"$tmp/apt.conf"
    export APT_CONFIG="$tmp/apt.conf"
    apt-get update -q >/dev/null
    git -C "$root" show "$old_commit:tools/build_converter.sh" >"$tmp/build_converter.sh"
    echo "building the older converter for $arch (FFmpeg 5.1 from Debian 12's sources): 10 to 20 minutes" >&2
    bash "$tmp/build_converter.sh" --arch "$arch" build "$tmp/out" >&2
    unset APT_CONFIG
    cp "$tmp/out/versions" "$old_cache/versions"
    cp "$tmp/out/ffmpeg.exe" "$old_cache/ffmpeg.exe.part"
    mv "$old_cache/ffmpeg.exe.part" "$old_cache/ffmpeg.exe"
    rm -rf "$tmp"
fi

work="$root/.deps/bench/run-$arch"
rm -rf "$work/old" "$work/new" "$work/out"
mkdir -p "$work/old" "$work/new" "$work/out"
cp "$old_cache/ffmpeg.exe" "$work/old/nnn.exe"
cp "$new_tool" "$work/new/nnn.exe"
source "$root/tools/media.sh"
for seconds in 30 300; do
    [ -s "$work/clip$seconds.mp4" ] || make_clip "$seconds" "$work/clip$seconds.mp4"
done

export WINEPREFIX="$work/prefix" WINEARCH=$prefix_arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || { "$loader" wineboot -i >/dev/null 2>&1; wineserver -w; }
trap 'wineserver -k 2>/dev/null || true' EXIT

mapfile -t switches < <(tool_switches)
run_set() {  # run_set <tool folder> <clip> <count>: seconds for the set
    time_tool "$loader" "$1/nnn.exe" "$2" "$work/out/temp.avi" "$3"
}

echo "tools, $arch: bare, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); switches: ${switches[*]}"
echo "older: $(paste -sd' ' "$old_cache/versions"); shipped: $(paste -sd' ' "$deps/converter/versions")"
rows=""
for set in "5 x 30 s;30;5" "3 x 5 min;300;3"; do
    IFS=';' read -r name seconds count <<<"$set"
    o1=$(run_set "$work/old" "$work/clip$seconds.mp4" "$count")
    n1=$(run_set "$work/new" "$work/clip$seconds.mp4" "$count")
    n2=$(run_set "$work/new" "$work/clip$seconds.mp4" "$count")
    o2=$(run_set "$work/old" "$work/clip$seconds.mp4" "$count")
    echo "$name: older $o1 s, $o2 s; shipped $n1 s, $n2 s"
    rows+=$(awk -v n="$name" -v a="$o1" -v b="$o2" -v c="$n1" -v d="$n2" 'BEGIN {
        old = (a + b) / 2; new = (c + d) / 2; r = new / old
        verdict = n != "3 x 5 min" ? "" : r <= 0.9 ? "met" : "**missed** by " sprintf("%.1f", (r - 0.9) * 100) " points"
        printf "| %s, bare, total | %.2f s | %.2f s | %.3f %s |\n", n, old, new, r, verdict }')$'\n'
done
mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.2f MB", b / 1048576 }'; }
echo
echo "| $arch | FFmpeg 5.1 tool | shipped tool | shipped / older (goal <= 0.90 on 3 x 5 min) |"
echo "|---|---|---|---|"
printf '%s' "$rows"
echo "| converter size | $(mb "$work/old/nnn.exe") | $(mb "$work/new/nnn.exe") | |"
