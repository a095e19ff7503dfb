#!/usr/bin/env bash
# Starts the built program under Wine, in the build folder's own prefix.
# With no display, a virtual one is made and a screenshot saved every few
# seconds to build/screen.png, so the window can be looked at.
set -euo pipefail
build=${1:-build}
exe="$build/QuendrixOmbrelo.exe"
# A prefix of its own: the tests register recorder programs in theirs.
export QUENDRIX_RUN_PREFIX="$(cd "$build" && pwd)/run-prefix"
if [ -n "${DISPLAY:-}" ]; then
    exec "$build/wine-run.sh" "$exe"
fi
echo "No DISPLAY: running in a virtual display; a screenshot goes to $build/screen.png every 3 s."
echo "Stop with Ctrl+C. (Or run 'Xvfb :5 & DISPLAY=:5 make run' and look with a VNC viewer of your own.)"
exec bash tools/with-display.sh bash -c '
    "$0/wine-run.sh" "$0/QuendrixOmbrelo.exe" & app=$!
    while kill -0 $app 2>/dev/null; do sleep 3; import -window root "$0/screen.png" 2>/dev/null || true; done
' "$build"
