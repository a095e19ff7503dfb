#!/usr/bin/env bash
# Times one build of an image button's region, per pixel and from runs, for
# the 65 x 57 and 70 x 25 buttons, under Wine in a private virtual display.
#   tools/bench_region.sh [build folder] [repetitions]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
reps=${2:-200}
cmake --build "$build" --target RegionBench >/dev/null
exec bash "$here/tools/with-display.sh" "$build/wine-run.sh" "$build/tests/imagebutton/RegionBench.exe" "$reps"
