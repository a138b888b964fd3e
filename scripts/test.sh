#!/usr/bin/env bash
# test.sh
# Installs what the machine lacks, builds the three configurations and runs
# every test: native (sanitized, with the fuzzers) and the x86_64 Windows
# build under Wine on a private X server. The i686 build is compiled and
# linked only. Run as root or as a user who may sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

scripts/bootstrap.sh
scripts/build.sh native win64 win32
ctest --test-dir build/native -j"$jobs" --output-on-failure
scripts/test-win64.sh build/win64
