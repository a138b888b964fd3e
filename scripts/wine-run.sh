#!/usr/bin/env bash
# wine-run.sh BUILD_DIR PROGRAM [ARGS...]
# Runs a Windows program of the x86_64 build under Wine with the project's
# prefix; ctest calls it for every test executable.
set -uo pipefail
build=$1
shift
"$(dirname "$0")/wine-prefix.sh" "$build" || exit 1
. "$(dirname "$0")/wine-env.sh" "$build"
# Wine's background services, when a program starts them, inherit its output
# handles and live on: ctest would then wait on them forever. So the output
# goes through files that only this script passes on.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
"$RDZ_WINE" "$@" >"$out" 2>"$err" </dev/null
status=$?
cat "$out"
cat "$err" >&2
exit $status
