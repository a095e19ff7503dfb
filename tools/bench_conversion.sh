#!/usr/bin/env bash
# Benchmark of the built program under Wine, end to end: the program is
# started and operated from outside (tests/e2e/Bench.cpp), as a user would,
# on batches of 5 clips of 30 s and 3 clips of 5 min made here with the native
# ffmpeg. For each batch, against the bare tool run back to back on the same
# command lines (in turns: bare, program, program with the stall probe, bare):
#  - the batch's wall time (goals <= 1.05 and <= 1.02);
#  - the program's own CPU time against the tools' (goal <= 1 %);
#  - the UI thread's longest stall, as a probe that keeps asking the
#    program's window for a reply sees it (goal <= 50 ms);
#  - the program's peak working set against notepad's in the same prefix
#    (goal <= 1.5 times);
# then the same batches through the floor (tests/e2e/BatchFloor.cpp): the
# least any program does for a batch (a window, each tool started with its
# output on a pipe and read to its end, the final box), its CPU against the
# tools', and how much the program spends beyond it; then, for information, the shipped tool under Wine against Debian's native
# ffmpeg on the same clips and switches, and the idle program's CPU time.
# Prints Markdown tables.
#   tools/bench_conversion.sh <i686|x86_64> [build folder] [rounds]
# The program measured is the release build of that kind (build-release-x64
# or build-release-x86, made here as make dist makes it); the build folder,
# which holds the driver and the Wine prefix, defaults to build-x64 for
# x86_64 and build for i686; the kind must be the build's. Each set runs `rounds` times (default 2) bare
# and through the program, in turns.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-}
case "$arch" in
i686) default_build="$root/build" ;;
x86_64) default_build="$root/build-x64" ;;
*) echo "usage: bench_conversion.sh <i686|x86_64> [build folder]" >&2; exit 2 ;;
esac
build=$(cd "${2:-$default_build}" && pwd)
rounds=${3:-2}
grep -q "mingw-$arch" "$build/CMakeCache.txt" 2>/dev/null \
    || { echo "$build is not a build of kind $arch" >&2; exit 2; }

cmake --build "$build" --target e2e_bench -j2 >/dev/null

# The program measured is the release build that make dist ships, not the
# test build (whose debug information Wine would read into memory).
case "$arch" in
i686) release="$root/build-release-x86" toolchain=mingw-i686 ;;
x86_64) release="$root/build-release-x64" toolchain=mingw-x86_64 ;;
esac
if [ ! -f "$release/build.ninja" ]; then
    cmake -S "$root" -B "$release" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$release" --target QuendrixOmbrelo -j2 >/dev/null

work="$build/bench_conversion"
rm -rf "$work"
mkdir -p "$work/out"
source "$root/tools/media.sh"

# The batch sets: "name;goal;clip seconds;clip folder;output folder", "|"
# between; one output folder for all, the program's.
sets=""
add_set() {  # add_set <name> <goal> <count> <clip seconds>
    local folder="$work/batch $4 s" i
    mkdir -p "$folder/clips"
    make_clip "$4" "$folder/clips/clip1.mp4"
    for i in $(seq 2 "$3"); do cp "$folder/clips/clip1.mp4" "$folder/clips/clip$i.mp4"; done
    sets+="${sets:+|}$1;$2;$4;$(winpath "$folder/clips/");$(winpath "$work/out/")"
}
add_set "5 x 30 s" 1.05 5 30
add_set "3 x 5 min" 1.02 3 300
export QUENDRIX_BENCH_SETS="$sets"
export QUENDRIX_BENCH_WORK="$(winpath "$work/")"
export QUENDRIX_BENCH_ROUNDS=$rounds
export QUENDRIX_BENCH_PROGRAM="$(winpath "$release/QuendrixOmbrelo.exe")"

# The tools' CPU time: the tools are nobody's children to wait for under
# Wine, so the benchmark runs in a CPU accounting group of its own (where the
# system lets us make one); whatever it starts stays in it. The Wine server
# and its services are started before, outside the group, by a process that
# waits meanwhile, on the same display.
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
    # A desktop session gives its X programs a resource database (its xrdb
    # sets the root window'"'"'s RESOURCE_MANAGER, with Xft.dpi among others); a
    # bare virtual display has none, and then Xlib looks for ~/.Xdefaults on
    # disk again at every font selection of Wine'"'"'s X driver, which would
    # count here as the program'"'"'s own time. A display without one gets a
    # desktop'"'"'s, held by a client that stays connected (the server forgets
    # it when its last client leaves).
    if xprop -root RESOURCE_MANAGER 2>/dev/null | grep -q "not found"; then
        xprop -root -spy >/dev/null 2>&1 &
        resources=$!
        sleep 0.5
        xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	96"
    fi
    # A command prompt reading from a pipe that stays open until the end.
    mkfifo "$work/keeper"
    "$build/wine-run.sh" cmd <"$work/keeper" >/dev/null 2>&1 &
    exec 8>"$work/keeper"
    sleep 3
    status=0
    bash -c "[ -z \"\$0\" ] || echo \$\$ >\"\$0/cgroup.procs\"; exec \"\$@\"" "$group" \
        "$build/wine-run.sh" "$build/tests/e2e_bench.exe" || status=$?
    # The command prompt ends on its own word only, not at the end of its input.
    echo exit >&8
    exec 8>&-
    if [ -n "${resources:-}" ]; then
        xprop -root -remove RESOURCE_MANAGER 2>/dev/null || true
        kill "$resources" 2>/dev/null || true
    fi
    wait
    WINEPREFIX="$build/wineprefix" wineserver -w
    exit $status' _ "$build" "$group" "$work")
if [ -z "${DISPLAY:-}" ]; then run=(bash "$root/tools/with-display.sh" "${run[@]}"); fi

echo "kind: $arch; program: $release/QuendrixOmbrelo.exe (release); driver: $build"
echo "clips: 640x360, H.264/AAC, 25 fps; batches: 5 x 30 s, 3 x 5 min"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo
status=0
"${run[@]}" | tee "$work/program.txt" || status=$?
echo "machine after: load $(cut -d' ' -f1-3 /proc/loadavg)"

# For information: the shipped tool under Wine (bare, per file, from the runs
# above) against Debian's ffmpeg on the same clip and switches.
mapfile -t switches < <(tool_switches)
now() { date +%s.%N; }
echo
echo "| clip | shipped tool under Wine | Debian's ffmpeg $(ffmpeg -version | sed -n '1s/ffmpeg version \([^ ]*\).*/\1/p'), native | Wine / native |"
echo "|---|---|---|---|"
for seconds in 30 300; do
    name=$([ "$seconds" = 30 ] && echo "5 x 30 s" || echo "3 x 5 min")
    wine_time=$(sed -n "s/^bare per file;$name;//p" "$work/program.txt" | tail -n1)
    [ -n "$wine_time" ] || continue
    runs=$([ "$seconds" = 30 ] && echo 5 || echo 3)
    start=$(now)
    for _ in $(seq "$runs"); do
        ffmpeg -nostdin -loglevel error -i "$work/batch $seconds s/clips/clip1.mp4" "${switches[@]}" -y "$work/native.avi"
    done
    native=$(awk -v s="$start" -v e="$(now)" -v n="$runs" 'BEGIN { printf "%.3f", (e - s) / n }')
    rm -f "$work/native.avi"
    awk -v c="$seconds s" -v w="$wine_time" -v n="$native" \
        'BEGIN { printf "| %s | %.2f s | %.2f s | %.2f |\n", c, w, n, w / n }'
done
exit $status
