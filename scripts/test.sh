#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs every test through ctest: once in
# a normal build, once under AddressSanitizer and UndefinedBehaviorSanitizer (all but the browser
# tests and the PostgreSQL runs), where any report fails the test that caused it; both builds replay every fuzz target's seeds and regressions.
# With FUZZ_SECONDS set, every fuzz target then runs that long (scripts/fuzz.sh).
# The test builds carry line tables only (-g1): enough for every stack trace, and the builds take
# a third less time than with full debug information. The sanitizer build is not optimised: it
# builds in little more than half the time of -O1 and its tests take a tenth longer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/install-deps.sh"

echo "== build and test"
"$root/scripts/build.sh" "$root/build" -DKEYIN_SERVER=ON -DKEYIN_TESTS=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
ctest --test-dir "$root/build" --output-on-failure -j"$jobs"

echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" "$root/build-sanitize" -DKEYIN_SANITIZE=ON -DKEYIN_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O0 -g1 -DNDEBUG"
# Two groups run in the normal build only, to keep the whole command under 30 minutes on two
# cores: the browser tests (label "browser"; Chromium's time is most of theirs, and every server
# path they reach is reached under the sanitizers by the HTTP tests) and the second run of the
# end-to-end tests against PostgreSQL (label "database-server"; their first run, on the files,
# takes every path of the system's own code but the PostgreSQL store).
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-sanitize" --output-on-failure -j"$jobs" \
  --label-exclude "browser|database-server"

if [[ -n "${FUZZ_SECONDS:-}" ]]; then
  echo "== fuzz every target for $FUZZ_SECONDS seconds"
  "$root/scripts/fuzz.sh"
fi
