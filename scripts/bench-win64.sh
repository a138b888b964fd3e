#!/usr/bin/env bash
# bench-win64.sh [BUILD_DIR [PROGRAM [ARGS...]]]
# Runs the x86_64 build's benchmarks under Wine with one wineserver: all of
# them (load_bench, grid_bench, soak_bench), or only PROGRAM with ARGS.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build/win64}
shift || true

# The grid benchmark opens windows: run everything on a private X server.
if [ -z "${RDZ_INSIDE_XVFB:-}" ]; then
    RDZ_INSIDE_XVFB=1 exec "$here/with-xvfb.sh" "$0" "$build" "$@"
fi
"$here/wine-prefix.sh" "$build"
. "$here/wine-env.sh" "$build"
"$RDZ_WINESERVER" -p
status=0
if [ $# -gt 0 ]; then
    program=$1
    shift
    "$here/wine-run.sh" "$build" "$build/bench/$program.exe" "$@" || status=$?
else
    for program in load_bench grid_bench soak_bench; do
        "$here/wine-run.sh" "$build" "$build/bench/$program.exe" || status=$?
    done
fi
"$RDZ_WINESERVER" -k 2>/dev/null || true
exit $status
