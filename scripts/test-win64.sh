#!/usr/bin/env bash
# test-win64.sh [BUILD_DIR] [ctest arguments...]
# Runs the x86_64 build's tests under Wine on a private X server (Xvfb), with
# one wineserver kept alive for the whole run so every test program starts fast.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build/win64}
shift || true

if [ -z "${RDZ_INSIDE_XVFB:-}" ]; then
    RDZ_INSIDE_XVFB=1 exec "$here/with-xvfb.sh" "$0" "$build" "$@"
fi

"$here/wine-prefix.sh" "$build"
. "$here/wine-env.sh" "$build"
"$RDZ_WINESERVER" -k 2>/dev/null || true
"$RDZ_WINESERVER" -p
# Start the prefix's services now, away from ctest's output pipes.
"$RDZ_WINE" wineboot </dev/null >/dev/null 2>&1 || true

status=0
ctest --test-dir "$build" -j2 --output-on-failure "$@" || status=$?
"$RDZ_WINESERVER" -k 2>/dev/null || true
exit $status
