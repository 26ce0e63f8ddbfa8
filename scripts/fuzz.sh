#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ (or $FUZZ_BUILD), replays the
# inputs of fuzz/regressions/, then fuzzes each target for FUZZ_SECONDS (default 30) seconds on a
# copy of its seed corpus (the corpus in the repository does not grow). Exits non-zero when any
# target fails, printing the failing input; it is also kept under <build>/fuzz-findings/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-"$root/build-fuzz"}
seconds=${FUZZ_SECONDS:-30}

# The compiler and libFuzzer's runtime besides the project's own packages.
"$root/scripts/install-deps.sh" clang-14 libclang-rt-14-dev

targets=()
for source in "$root"/fuzz/*_fuzz.cpp; do
  name=$(basename "$source" _fuzz.cpp)
  targets+=("$name")
done

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DKEYIN_FUZZ=ON -DKEYIN_BENCHMARKS=OFF >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}" >"$work/build.log" 2>&1; then
  cat "$work/build.log"
  exit 1
fi
findings="$build/fuzz-findings"
rm -rf "$findings"
failed=()

# Prints an input that made a target fail, and keeps it where it outlives this run.
report_input() {
  local name=$1 input=$2
  mkdir -p "$findings/$name"
  cp "$input" "$findings/$name/"
  echo "---- reproducer for $name: $findings/$name/$(basename "$input")"
  echo "---- replay: $build/bin/fuzz_$name $findings/$name/$(basename "$input")"
  echo "---- input as base64:"
  base64 "$input"
}

for name in "${targets[@]}"; do
  binary="$build/bin/fuzz_$name"
  log="$work/$name.log"

  regressions=()
  if [[ -d "$root/fuzz/regressions/$name" ]]; then
    while IFS= read -r -d '' input; do regressions+=("$input"); done \
      < <(find "$root/fuzz/regressions/$name" -type f ! -name '.*' -print0 | sort -z)
  fi
  for input in "${regressions[@]}"; do
    if ! "$binary" "$input" >"$log" 2>&1; then
      echo "== $name: regression input fails: $input"
      tail -n 40 "$log"
      report_input "$name" "$input"
      failed+=("$name")
      continue 2
    fi
  done

  corpus="$work/$name/corpus"
  artifacts="$work/$name/artifacts/"
  mkdir -p "$corpus" "$artifacts"
  cp -R "$root/fuzz/corpus/$name/." "$corpus/"
  echo "== $name: ${#regressions[@]} regression inputs pass; fuzzing for ${seconds}s"
  if "$binary" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts" "$corpus" >"$log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$log" | tr '\n' ' '
    echo "corpus $(find "$corpus" -type f | wc -l) inputs"
  else
    echo "== $name: FAILED"
    grep -v -E '^#[0-9]+' "$log" | tail -n 60
    for input in "$artifacts"*; do
      [[ -f "$input" ]] && report_input "$name" "$input"
    done
    failed+=("$name")
  fi
done

if ((${#failed[@]} > 0)); then
  echo "fuzzing failed: ${failed[*]}"
  exit 1
fi
echo "fuzzing passed: ${targets[*]}"
