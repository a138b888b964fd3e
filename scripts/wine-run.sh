#!/usr/bin/env bash
# wine-run.sh BUILD_DIR PROGRAM [ARGS...]
# Runs a Windows test program of the x86_64 build under Wine with the
# project's prefix; ctest calls it for every test executable.
set -euo pipefail
build=$1
shift
"$(dirname "$0")/wine-prefix.sh" "$build"
. "$(dirname "$0")/wine-env.sh" "$build"
exec "$RDZ_WINE" "$@"
