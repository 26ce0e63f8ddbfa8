#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as $1, with extra CMake options after);
# KEYIN_TARGETS (blank-separated) builds only those targets.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shift || true
# Ninja for a new folder: it keeps both cores busy to the last link; a folder keeps its generator.
generator=()
[[ -f "$build/CMakeCache.txt" ]] || ! command -v ninja >/dev/null || generator=(-G Ninja)
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEYIN_WERROR=ON \
  "$@" >/dev/null
targets=()
for target in ${KEYIN_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
