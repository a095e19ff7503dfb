#!/usr/bin/env bash
# Times one build of an image button's region, per pixel and from runs, for
# the 65 x 57 and 70 x 25 buttons as drawn for 100, 150 and 200 %, under Wine
# in a private virtual display.
#   tools/bench_region.sh [build folder] [repetitions]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exec bash "$here/tools/wine-program.sh" "${1:-$here/build}" RegionBench tests/imagebutton/RegionBench.exe "${2:-200}"
