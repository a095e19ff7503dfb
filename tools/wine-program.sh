#!/usr/bin/env bash
# Builds one test program of a build and runs it under Wine in a private
# virtual display, in the build's prefix; Wine's own processes end before
# the display does. For the benchmark programs.
#   tools/wine-program.sh <build folder> <target> <program, in the build folder> [arguments...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
target=$2 program=$3
shift 3
cmake --build "$build" --target "$target" >/dev/null
exec bash "$here/tools/with-display.sh" bash -c '
    build=$1 program=$2
    shift 2
    "$build/wine-run.sh" "$build/$program" "$@"; rc=$?
    WINEPREFIX="$build/wineprefix" wineserver -w
    exit $rc' _ "$build" "$program" "$@"
