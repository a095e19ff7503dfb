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
#  0. Before both: the older tool the program used to carry (FFmpeg 4.1 from
#     the npm package @ffmpeg-installer/win32-ia32, fetched here with npm
#     into .deps/bench/, with its threads DLL) and the shipped tool, bare, on
#     the same batch sets and command lines; the first start's install step
#     from the older payload and from the shipped one; the sizes of the
#     converter, the program and the release files. Tables in Markdown.
#   tools/bench_conversion.sh [build folder] [clip seconds] [rounds]
# Rounds 0 leaves out the first part.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-60}
rounds=${3:-5}

cmake --build "$build" --target conversion_bench QuendrixOmbrelo -j2 >/dev/null

work="$build/bench_conversion"
rm -rf "$work"
mkdir -p "$work/tool" "$work/old tool" "$work/out" "$work/program"
cp "$root/.deps/converter/ffmpeg.exe" "$work/tool/nnn.exe"

# The older tool, fetched once into a cache of its own.
old_cache="$root/.deps/bench/old-tool"
if [ ! -s "$old_cache/ffmpeg.exe" ]; then
    command -v npm >/dev/null || { echo "the benchmark needs npm (Debian package npm) for the older tool" >&2; exit 1; }
    mkdir -p "$old_cache"
    tmp=$(mktemp -d)
    (cd "$tmp" && npm pack --silent @ffmpeg-installer/win32-ia32 >/dev/null && tar xzf ./*.tgz)
    cp "$tmp/package/ffmpeg.exe" "$old_cache/ffmpeg.exe.part"
    mv "$old_cache/ffmpeg.exe.part" "$old_cache/ffmpeg.exe"
    rm -rf "$tmp"
fi
old_dll=$(ls /usr/i686-w64-mingw32/lib/libwinpthread-1.dll 2>/dev/null || find /usr -name libwinpthread-1.dll -path '*i686*' | head -n1)
cp "$old_cache/ffmpeg.exe" "$work/old tool/nnn.exe"
cp "$old_dll" "$work/old tool/pthreadGC2.dll"
# The older payload as the program carried it (resources 1 and 2), in a
# module of resources alone; the shipped one is the built program.
printf '1 RCDATA "%s"\n2 RCDATA "%s"\n' "$work/old tool/nnn.exe" "$work/old tool/pthreadGC2.dll" >"$work/old_payload.rc"
i686-w64-mingw32-windres "$work/old_payload.rc" -O coff -o "$work/old_payload.o"
i686-w64-mingw32-gcc -shared -nostdlib -Wl,--entry=0 -o "$work/old_payload.dll" "$work/old_payload.o" 2>/dev/null

# The sizes of what ships: the converter, the program as released (stripped)
# and the release files made from it.
i686-w64-mingw32-strip -o "$work/QuendrixOmbrelo.exe" "$build/QuendrixOmbrelo.exe"
bash "$root/tools/package.sh" "$work/QuendrixOmbrelo.exe" "$work/dist" >/dev/null
size_row() {  # size_row <what> <file> <goal in MB, or -> [the older one]
    local bytes mb goal="-"
    bytes=$(stat -c %s "$2")
    mb=$(awk -v b="$bytes" 'BEGIN { printf "%.2f", b / 1048576 }')
    [ "$3" = - ] || goal="<= $3 MB $(awk -v b="$bytes" -v g="$3" \
        'BEGIN { print (b <= g * 1048576) ? "met" : "**missed** by " sprintf("%.2f", b / 1048576 - g) " MB" }')"
    printf '| %s | %s | %s MB (%d bytes) | %s |\n' "$1" "${4:-}" "$mb" "$bytes" "$goal"
}
old_sizes=$(awk -v a="$(stat -c %s "$old_cache/ffmpeg.exe")" -v d="$(stat -c %s "$old_dll")" \
    'BEGIN { printf "%.2f MB + %.2f MB DLL", a / 1048576, d / 1048576 }')
sizes=$(printf '| size | older | shipped | goal |\n|---|---|---|---|\n'
    size_row "converter (nnn.exe)" "$work/tool/nnn.exe" 10 "$old_sizes"
    size_row "program, stripped" "$work/QuendrixOmbrelo.exe" 14
    size_row "installer" "$work/dist/QuendrixOmbrelo-1.0-setup.exe" 8
    size_row "zip" "$work/dist/QuendrixOmbrelo-1.0.zip" -)
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
export QUENDRIX_BENCH_OLD_TOOL_FOLDER="$(winpath "$work/old tool/")"
export QUENDRIX_BENCH_OLD_PAYLOAD="$(winpath "$work/old_payload.dll")"
export QUENDRIX_BENCH_NEW_PAYLOAD="$(winpath "$work/QuendrixOmbrelo.exe")"
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
echo
echo "$sizes"
echo
status=0
"${run[@]}" || status=$?
exit $status
