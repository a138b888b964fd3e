#!/usr/bin/env bash
# run-fuzzer.sh FUZZER CORPUS_DIR SEED_DIR SECONDS
# Replays every kept crash input as a regression check, then fuzzes for a
# bounded time. Any crash or sanitizer report fails the run.
set -euo pipefail
fuzzer=$1 corpus=$2 seeds=$3 seconds=$4
mkdir -p "$corpus"
if [ -d "$seeds" ]; then
    # Seeds and former crash inputs are replayed first, one by one.
    inputs=("$seeds"/*)
    if [ -e "${inputs[0]}" ]; then
        "$fuzzer" -runs=0 "${inputs[@]}"
        cp -n "${inputs[@]}" "$corpus"/ 2>/dev/null || true
    fi
fi
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$corpus/../" -print_final_stats=1 "$corpus"
