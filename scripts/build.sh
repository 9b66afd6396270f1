#!/usr/bin/env bash
# Configures and builds the project in BUILD_DIR (default: build/ beside the sources).
# Arguments, if any, are the targets to build (default: everything).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" "${targets[@]}"
