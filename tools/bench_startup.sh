#!/usr/bin/env bash
# Times the start-up step with the converter the program carries: the first
# start's install, the check of every later start, and a replacement, under
# Wine (tests/app/StartupBench.cpp).
#   tools/bench_startup.sh [build folder] [rounds]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exec bash "$here/tools/wine-program.sh" "${1:-$here/build-x64}" StartupBench tests/StartupBench.exe "${2:-9}"
