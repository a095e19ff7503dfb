#!/usr/bin/env bash
# The progress window on a slow disk, under Wine: batches of the scripted
# stand-in tool through the progress window with the program's real windows
# (tests/conversion/FinishBench.cpp), on the disk as it is and with each flush
# and each rename of a finished file taking longer, as on a slow USB stick or
# a network share. Prints the UI thread's longest stall in each batch, as a
# probe that keeps asking the progress window for a reply sees it (goal
# <= 50 ms, whatever the disk takes).
#   tools/bench_finish.sh [build folder] [files] [delay ms] [rounds]
# The build folder defaults to the build that runs here (build-x64 or build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
case "$(bash "$root/tools/build-arch.sh")" in
x86_64) default_build="$root/build-x64" ;;
*) default_build="$root/build" ;;
esac
build=$(cd "${1:-$default_build}" && pwd)
files=${2:-3}
delay=${3:-2000}
rounds=${4:-2}

cmake --build "$build" --target conversion_finish_bench -j2 >/dev/null

echo "batches of $files files of the stand-in tool; flush and rename each $delay ms longer on the slow disk; $rounds rounds"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
run=("$build/wine-run.sh" "$build/tests/conversion/conversion_finish_bench.exe" "$files" "$delay" "$rounds")
if [ -z "${DISPLAY:-}" ]; then run=(bash "$root/tools/with-display.sh" "${run[@]}"); fi
status=0
"${run[@]}" || status=$?
echo "machine after: load $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
