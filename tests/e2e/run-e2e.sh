#!/usr/bin/env bash
# run-e2e.sh BUILD_DIR TEST_PROGRAM OUT_DIR [gtest arguments...]
# Runs the end-to-end test program in a Wine virtual desktop of the build's
# prefix. The desktop hands back no exit code, so the program's XML report
# decides: at least one test ran and none failed.
set -uo pipefail
build=$1 program=$2 out=$3
shift 3
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
"$scripts/wine-prefix.sh" "$build" || exit 1
. "$scripts/wine-env.sh" "$build"

mkdir -p "$out"
report=$out/e2e-report.xml
rm -rf "$report" "$out/shots"
winreport="Z:$(echo "$report" | tr / '\\')"
# Output through files, as in wine-run.sh: Wine's services must not hold
# ctest's pipes.
"$RDZ_WINE" explorer /desktop=RendezE2E,1280x1024 "$program" --gtest_brief=1 \
    --gtest_output="xml:$winreport" "$@" >"$out/e2e.out" 2>"$out/e2e.err" </dev/null
cat "$out/e2e.out"
grep -v '^[0-9a-f]*:fixme:' "$out/e2e.err" >&2
echo "screenshots: $out/shots"
[ -f "$report" ] || { echo "run-e2e.sh: the test program wrote no report" >&2; exit 1; }
grep -Eq '<testsuites tests="[1-9][0-9]*" failures="0" disabled="[0-9]+" errors="0"' "$report"
