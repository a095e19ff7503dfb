#!/usr/bin/env bash
# Times one build of an image button's region, per pixel and from runs, for
# the 65 x 57 and 70 x 25 buttons as drawn for 100, 150 and 200 %, under Wine
# in a private virtual display.
#   tools/bench_region.sh [build folder] [repetitions]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
reps=${2:-200}
cmake --build "$build" --target RegionBench >/dev/null
# Wine's own processes end before the display does.
exec bash "$here/tools/with-display.sh" bash -c '
    "$1/wine-run.sh" "$1/tests/imagebutton/RegionBench.exe" "$2"; rc=$?
    WINEPREFIX="$1/wineprefix" wineserver -w
    exit $rc' _ "$build" "$reps"
