#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs every test through ctest: once in
# a normal build, once under AddressSanitizer and UndefinedBehaviorSanitizer, where any report
# fails the test that caused it. Then every fuzz target runs for FUZZ_SECONDS (default 30).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/install-deps.sh"

echo "== build and test"
"$root/scripts/build.sh" "$root/build"
ctest --test-dir "$root/build" --output-on-failure -j"$jobs"

echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" "$root/build-sanitize" -DKEYIN_SANITIZE=ON -DKEYIN_BENCHMARKS=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-sanitize" --output-on-failure -j"$jobs"

echo "== fuzz every target for ${FUZZ_SECONDS:-30} seconds"
"$root/scripts/fuzz.sh"
