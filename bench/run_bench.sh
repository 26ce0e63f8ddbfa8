#!/usr/bin/env bash
# Reproduces the tables of bench/README.md: the scoring engine and the score report in memory,
# then whole scoring runs of every kind against the floor. Usage: bench/run_bench.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-30}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" >/dev/null
bin="$root/build/bin"

echo "## Scoring engine in memory"
"$bin/keyin-bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_filter='BM_Scoring' 2>/dev/null | grep -E '_median|Benchmark|---'

echo
echo "## The score report of one part in memory"
"$bin/keyin-report-bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  2>/dev/null | grep -E '_median|Benchmark|---'

home=$(mktemp -d /tmp/keyin-bench.XXXXXX)
trap 'rm -rf "$home"' EXIT
export KEYIN_HOME="$home"
"$bin/keyin-tool" init-db >/dev/null
"$bin/keyin-tool" make-lib --part1 "$root/samples/paper-test1.txt" \
  --part2 "$root/samples/paper-test2.txt" "$home/lib/P001.LIB"
mkdir -p "$home/scores"
for part in 1 2; do
  { printf '\xff\xfe'; sed 's/$/\r/' "$root/samples/typed-test$part.txt" | iconv -f UTF-8 -t UTF-16LE; } \
    >"$home/scores/CTEST-$part"
done

echo
echo "## Whole runs, process start to exit"
"$bin/keyin-process-bench" "$bin/keyin-scorer" "$bin/keyin-floor" "$home" "$runs"
