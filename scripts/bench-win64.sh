#!/usr/bin/env bash
# bench-win64.sh [BUILD_DIR]
# Runs the x86_64 build's benchmarks under Wine with one wineserver.
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
"$here/wine-run.sh" "$build" "$build/bench/load_bench.exe" || status=$?
"$here/wine-run.sh" "$build" "$build/bench/grid_bench.exe" || status=$?
"$RDZ_WINESERVER" -k 2>/dev/null || true
exit $status
