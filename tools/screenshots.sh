#!/usr/bin/env bash
# Takes the README's screenshots under Wine, in a virtual desktop of Wine's
# own (which draws the dialog frames), inside a private virtual display.
#   tools/screenshots.sh [build folder] [DPI]
# The screenshots get a prefix of their own, made like make run's, with
# Wine's symbol font (Marlett) in its Fonts folder: the dialogs' title-bar
# buttons draw their glyphs from it, and without it they show a letter.
# With a DPI other than 96 (144: 150 %), the prefix is one of its own with
# the screen's LogPixels set to it, and only the main window is taken, as
# docs/main-<percent>.png.
set -euo pipefail
build=${1:-build-x64}
dpi=${2:-96}
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$here/docs"
export QUENDRIX_RUN_PREFIX="$here/$build/shot-prefix"
[ "$dpi" = 96 ] || QUENDRIX_RUN_PREFIX="$QUENDRIX_RUN_PREFIX-$dpi"
bash "$here/tools/with-display.sh" bash -c '
    build=$1; docs=$2; dpi=$3
    # The prefix is made (or brought up to date) before the first window, so
    # that no screenshot catches the notice that the prefix is being updated.
    "$build/wine-run.sh" wineboot -u >/dev/null 2>&1
    WINEPREFIX="$QUENDRIX_RUN_PREFIX" wineserver -w
    if [ "$dpi" != 96 ]; then
        "$build/wine-run.sh" reg add "HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts" \
            /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    fi
    # The server reads LogPixels when it starts: the next program starts a new one.
    WINEPREFIX="$QUENDRIX_RUN_PREFIX" wineserver -w
    shots="main progress prompt hint about" size=800x640
    # At a larger scale: the main window alone, on a desktop as large as the
    # virtual display allows.
    [ "$dpi" = 96 ] || { shots=main; size=1280x1024; }
    for which in $shots; do
        "$build/wine-run.sh" explorer /desktop=shot,$size "$build/tests/showcase/Showcase.exe" "$which" &
        sleep $((dpi == 96 ? 6 : 10))
        name=$which
        [ "$dpi" = 96 ] || name=$which-$((dpi * 100 / 96))
        import -window root -crop $size+0+0 -trim +repage "$docs/$name.png"
        WINEPREFIX="$QUENDRIX_RUN_PREFIX" wineserver -k 2>/dev/null || true
        wait 2>/dev/null || true
    done
' _ "$here/$build" "$here/docs" "$dpi"
echo "screenshots in docs/"
