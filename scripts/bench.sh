#!/usr/bin/env bash
# bench.sh: builds what the benchmarks need, runs every benchmark once and
# prints the README's benchmark table: each figure next to the reference
# measured in the same run, and the command that reproduces it. The full
# output of each program stays in build/bench/. Takes about 20 minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
scripts/build.sh native -- wire_bench server_bench calendar-server-plain seed-schedules
scripts/build.sh win64 -- load_bench grid_bench soak_bench

out=build/bench
mkdir -p "$out"
: >"$out/rows.md"
status=0
loads="$(cut -d' ' -f1 /proc/loadavg)"

# run NAME COMMAND...: runs one benchmark program, keeps its output and
# collects its table rows with the command appended.
run() {
    local name=$1
    shift
    echo "== $*"
    "$@" 2>&1 | tee "$out/$name.txt" || status=1
    tr -d '\r' <"$out/$name.txt" | grep '^| ' | sed "s#\$# \`$*\` |#" >>"$out/rows.md" || true
    loads="$loads $(cut -d' ' -f1 /proc/loadavg)"
}

run wire build/native/bench/wire_bench --benchmark_color=false
run server build/native/bench/server/server_bench --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true --benchmark_color=false
run load scripts/bench-win64.sh build/win64 load_bench
run grid scripts/bench-win64.sh build/win64 grid_bench
run soak scripts/bench-win64.sh build/win64 soak_bench

echo
echo "$(nproc) cores; load average (1 min) at the start and after each program: $loads"
echo
echo "| measure | figure | reference, same run | ratio | goal | command |"
echo "|---|---|---|---|---|---|"
cat "$out/rows.md"
exit $status
