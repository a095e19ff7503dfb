#!/usr/bin/env bash
# Takes the README's screenshots under Wine, in a virtual desktop of Wine's
# own (which draws the dialog frames), inside a private virtual display.
#   tools/screenshots.sh [build folder]
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$here/docs"
bash "$here/tools/with-display.sh" bash -c '
    build=$1; docs=$2
    for which in main progress prompt hint about; do
        "$build/wine-run.sh" explorer /desktop=shot,800x640 "$build/tests/showcase/Showcase.exe" "$which" &
        sleep 6
        import -window root -crop 800x640+0+0 -trim +repage "$docs/$which.png"
        WINEPREFIX="$build/wineprefix" wineserver -k 2>/dev/null || true
        wait 2>/dev/null || true
    done
' _ "$here/$build" "$here/docs"
echo "screenshots in docs/"
