#!/usr/bin/env bash
# build.sh PRESET... [-- TARGET...]
# Configures and builds the named presets (native, win64, win32),
# every target or only the TARGETs given after "--". Expects the packages
# of bootstrap.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

presets=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    presets+=("$1")
    shift
done
[ $# -gt 0 ] && shift
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done

# ccache, when the machine has it, keeps rebuilds cheap.
if command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
    export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
fi

for preset in "${presets[@]}"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs" "${targets[@]}"
done
