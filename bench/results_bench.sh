#!/usr/bin/env bash
# Times keyin-tool results on large stores: 100,000 mock-test rows exported to CSV, and the HTML
# class report of 10,000 rows (5,000 mock tests and 5,000 practice runs of 500 candidates, so
# every chart and the histories are drawn). Prints the median wall time of RUNS runs (default 5)
# and the sizes. Usage: bench/results_bench.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" >/dev/null
tool="$root/build/bin/keyin-tool"

work=$(mktemp -d /tmp/keyin-results-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Rows as the scorer stores them: names, session-and-seat, two parts, wrong words with a line
# break, the insertion time; made by the engine itself, since a scoring run per row would take
# the benchmark half an hour.
fill() { # program folder, mock rows, practice candidates (10 practice rows each)
  KEYIN_HOME="$1" "$tool" init-db >/dev/null
  sqlcipher "$1/Vorkeyin.mdb" "PRAGMA key = 'K4T7W2';" "PRAGMA kdf_iter = 4000;" "
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $2)
    INSERT INTO TestScore_Student
      SELECT printf('S%06d', i), '王小明' || (i % 97), (i % 40) || printf('%02d', i % 60),
             printf('P%03d', i % 50), 20 + i % 60, i % 9, 25 + i % 55, i % 7, 25 + i % 60, i % 7,
             '0.5', '繽紛其儼' || char(13, 10) || '淤', '天地玄黃', 'CHN',
             printf('2024/%02d/%02d %02d:%02d:00', 1 + i % 12, 1 + i % 28, i % 24, i % 60),
             'SEAT-' || (i % 60)
      FROM n;
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $3 * 10)
    INSERT INTO TempScore
      SELECT printf('P%05d', i / 10), '陳小美' || (i / 10), '甲班', printf('%02d', i / 10 % 60),
             '文章練習（單）', '5分0秒', '10分00秒', 0.5, printf('P%03d-%d', i % 10, 1 + i % 2),
             'CHN', 300, 290, 10, i % 8, 20 + i % 10 * 3 + i / 10 % 20, 
             printf('2024/03/%02d 10:00:00', 1 + i % 10), '天地' || char(13, 10) || '玄黃', 'PC'
      FROM n;" | grep -v '^ok$' || true
}

# Median wall time and median processor time (user and system) in milliseconds of running the
# command RUNS times; the second is what the machine's other work cannot inflate.
median_ms() {
  local wall=() cpu=() TIMEFORMAT='%R %U %S' real user system
  for _ in $(seq "$runs"); do
    read -r real user system < <({ time "$@" >/dev/null; } 2>&1)
    wall+=("$(awk -v r="$real" 'BEGIN { printf "%d", r * 1000 }')")
    cpu+=("$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%d", (u + s) * 1000 }')")
  done
  local median='{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'
  echo "$(printf '%s\n' "${wall[@]}" | sort -n | awk "$median") ms ($(printf '%s\n' "${cpu[@]}" |
    sort -n | awk "$median") ms processor)"
}

fill "$work/csv" 100000 0
fill "$work/html" 5000 500
csv_ms=$(KEYIN_HOME="$work/csv" median_ms "$tool" results --kind mock --format csv --output "$work/out.csv")
csv_rows=$(grep -c '^mock,' "$work/out.csv")
html_ms=$(KEYIN_HOME="$work/html" median_ms "$tool" results --format html --output "$work/out.html")
html_points=$(grep -o 'data-user=' "$work/out.html" | wc -l)

echo "| case | rows | median of $runs runs | target | output |"
echo "|---|---|---|---|---|"
echo "| CSV of 100,000 mock-test rows | $csv_rows | $csv_ms | < 1000 ms | $(($(stat -c %s "$work/out.csv") / 1024)) kB |"
echo "| HTML class report of 10,000 rows (5,000 mock, 5,000 practice) | $html_points | $html_ms | < 2000 ms | $(($(stat -c %s "$work/out.html") / 1024)) kB (< 5120 kB) |"
