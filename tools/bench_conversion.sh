#!/usr/bin/env bash
# Benchmark of the conversion engine under Wine.
#  1. One clip converted by the bare shipped tool and through the worker path,
#     on the same command line: the wall times and their ratio, and the CPU
#     time the application's own process spends per second of conversion.
#  2. Whole batches through the progress window, each against the bare tool
#     on the same command lines: 5 clips of 30 s, then 3 clips of 5 min. The
#     wall times and their ratio, the program's CPU time against the tool's,
#     the UI thread's longest stall, where the batch's time went, and a table
#     in Markdown.
#   tools/bench_conversion.sh [build folder] [clip seconds] [rounds]
# Rounds 0 leaves out the first part.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-60}
rounds=${3:-5}

cmake --build "$build" --target conversion_bench -j2 >/dev/null

work="$build/bench_conversion"
rm -rf "$work"
mkdir -p "$work/tool" "$work/out" "$work/program"
cp "$root/.deps/payload/ffmpeg.exe" "$work/tool/nnn.exe"
cp "$root/.deps/payload/pthreadGC2.dll" "$work/tool/"
source "$root/tools/media.sh"
if [ "$rounds" -gt 0 ]; then make_clip "$seconds" "$work/clip.mp4"; fi

# The batch sets: "name;goal;clip folder;output folder", separated by "|".
sets=""
add_set() {  # add_set <name> <goal> <count> <clip seconds>
    local folder="$work/batch $4 s" i
    mkdir -p "$folder/clips" "$folder/out"
    make_clip "$4" "$folder/clips/clip1.mp4"
    for i in $(seq 2 "$3"); do cp "$folder/clips/clip1.mp4" "$folder/clips/clip$i.mp4"; done
    sets+="${sets:+|}$1;$2;$(winpath "$folder/clips/");$(winpath "$folder/out/")"
}
add_set "5 x 30 s" 1.15 5 30
add_set "3 x 5 min" 1.03 3 300

export QUENDRIX_BENCH_TOOL_FOLDER="$(winpath "$work/tool/")"
export QUENDRIX_BENCH_CLIP="$(winpath "$work/clip.mp4")"
export QUENDRIX_BENCH_OUT="$(winpath "$work/out/")"
export QUENDRIX_BENCH_ROUNDS=$rounds
export QUENDRIX_BENCH_SETS="$sets"
export QUENDRIX_BENCH_PROGRAM="$(winpath "$work/program/")"

# The tools' CPU time: Wine gives no reliable times of other processes, and
# the tools are nobody's children to wait for, so the benchmark runs in a CPU
# accounting group of its own (where the system lets us make one); whatever
# it starts stays in it. The Wine server and its services are started before,
# outside the group, by a process that waits meanwhile, on the same display.
export QUENDRIX_BENCH_CPUACCT=""
accounting=/sys/fs/cgroup/cpuacct
group="$accounting/quendrix_bench_$$"
if [ -w "$accounting" ] && mkdir "$group" 2>/dev/null; then
    trap 'rmdir "$group" 2>/dev/null || true' EXIT
    QUENDRIX_BENCH_CPUACCT="$(winpath "$group/")"
else
    group=""
fi
run=(bash -c '
    build=$1 group=$2 work=$3
    if [ -n "$group" ]; then
        # A command prompt reading from a pipe that stays open until the end.
        mkfifo "$work/keeper"
        "$build/wine-run.sh" cmd <"$work/keeper" >/dev/null 2>&1 &
        exec 8>"$work/keeper"
        sleep 3
    fi
    status=0
    bash -c "[ -z \"\$0\" ] || echo \$\$ >\"\$0/cgroup.procs\"; exec \"\$@\"" "$group" \
        "$build/wine-run.sh" "$build/tests/conversion/conversion_bench.exe" || status=$?
    if [ -n "$group" ]; then exec 8>&-; wait; fi
    exit $status' _ "$build" "$group" "$work")
echo "clips: 640x360, H.264/AAC; worker path: $seconds s, $rounds rounds; batches: 5 x 30 s, 3 x 5 min"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
if [ -z "${DISPLAY:-}" ]; then run=(bash "$root/tools/with-display.sh" "${run[@]}"); fi
"${run[@]}"
