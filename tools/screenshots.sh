#!/usr/bin/env bash
# Takes the README's screenshots under Wine, in a virtual desktop of Wine's
# own (which draws the dialog frames), inside a private virtual display.
#   tools/screenshots.sh [build folder]
# The screenshots get a prefix of their own, made like make run's, with
# Wine's symbol font (Marlett) in its Fonts folder: the dialogs' title-bar
# buttons draw their glyphs from it, and without it they show a letter.
set -euo pipefail
build=${1:-build-x64}
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$here/docs"
export QUENDRIX_RUN_PREFIX="$here/$build/shot-prefix"
bash "$here/tools/with-display.sh" bash -c '
    build=$1; docs=$2
    # The prefix is made (or brought up to date) before the first window, so
    # that no screenshot catches the notice that the prefix is being updated.
    "$build/wine-run.sh" wineboot -u >/dev/null 2>&1
    WINEPREFIX="$QUENDRIX_RUN_PREFIX" wineserver -w
    for which in main progress prompt hint about; do
        "$build/wine-run.sh" explorer /desktop=shot,800x640 "$build/tests/showcase/Showcase.exe" "$which" &
        sleep 6
        import -window root -crop 800x640+0+0 -trim +repage "$docs/$which.png"
        WINEPREFIX="$QUENDRIX_RUN_PREFIX" wineserver -k 2>/dev/null || true
        wait 2>/dev/null || true
    done
' _ "$here/$build" "$here/docs"
echo "screenshots in docs/"
