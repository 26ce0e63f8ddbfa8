#!/usr/bin/env bash
# Mock-test second parts of 64 seats at once against a TestScore_Student of 200,000 rows, on the
# database files and on a PostgreSQL server (a throwaway cluster with the server's default
# durability). Each seat's first part is stored that day, so every second part looks it up among
# the 200,000 rows, updates it and writes its CSCR file. Prints the timings of keyin-seats-bench
# and how many second parts were stored.
#
# Usage: bench/lookup_bench.sh [SEATS] [ROUNDS] [ROWS] [files|server|both]
# SCORER=path times another build of keyin-scorer; WITHOUT_INDEXES=1 drops the index of
# TestScore_Student after init-db, as in a database made before it (a scorer that knows the index
# adds it back at its first run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seats=${1:-64}
rounds=${2:-5}
rows=${3:-200000}
stores=${4:-both}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" >/dev/null
bin="$root/build/bin"
scorer=${SCORER:-$bin/keyin-scorer}

home=$(mktemp -d /tmp/keyin-lookup-bench.XXXXXX)
server="$home/server"
trap '"$root/scripts/test-server.sh" stop "$server" >/dev/null; rm -rf "$home"' EXIT
export KEYIN_HOME="$home"
mkdir -p "$home/lib"
"$bin/keyin-tool" make-lib --part1 "$root/samples/paper-test1.txt" \
  --part2 "$root/samples/paper-test2.txt" "$home/lib/P001.LIB"
for ((seat = 0; seat < seats; seat++)); do
  mkdir -p "$home/scores-$seat"
  { printf '\xff\xfe'; sed 's/$/\r/' "$root/samples/typed-test2.txt" | iconv -f UTF-8 -t UTF-16LE; } \
    >"$home/scores-$seat/CTEST-2"
done

today=$(date +%Y/%m/%d)
# 20,000 candidates of 10 mock tests each on earlier days, then each seat's candidate: ten
# earlier sittings of the same paper on the same seat, and today's first part.
seed_sql="INSERT INTO TestScore_Student (Id, Stuname, TestNum, Tno, Score1, Err1, Score2, Err2,
    Score, Err, SubtractScore, ErWords1, Keyin, TestDay, LocalHostName)
  WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $rows)
  SELECT 'H' || (i % 20000), 'name', '2' || (i % 64), 'Q' || (i % 50), 40, 2, 42, 1, 42, 1, '0',
    '', 'CHN', '2024/05/' || (10 + i % 18) || ' 09:00:00', '' FROM n;
  INSERT INTO TestScore_Student (Id, Stuname, TestNum, Tno, Score1, Err1, SubtractScore, ErWords1,
    Keyin, TestDay, LocalHostName)
  WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < $seats * 11 - 1)
  SELECT 'S' || (i % $seats), 'name', '3' || (i % $seats), 'P001', 40, 2, '0', '', 'CHN',
    CASE WHEN i < $seats THEN '$today 08:00:00' ELSE '2025/01/' || (10 + i / $seats) || ' 08:00:00' END,
    '' FROM n;"
stored_sql="SELECT count(*) FROM TestScore_Student
  WHERE Tno = 'P001' AND TestDay LIKE '$today%' AND Score2 IS NOT NULL"

on_files() {
  sqlcipher "$home/Vorkeyin.mdb" "PRAGMA key = 'K4T7W2'; PRAGMA kdf_iter = 4000; $1" |
    grep -v '^ok$' || true
}
on_server() { psql -qAt "$KEYIN_DATABASE_URL" -c "$1"; }

bench() {  # $1: on_files or on_server
  rm -f "$home/Vorkeyin.mdb" && rm -rf "$home/drive_c"
  "$bin/keyin-tool" init-db --force >/dev/null
  "$1" "$seed_sql"
  [[ ${WITHOUT_INDEXES:-} != 1 ]] || "$1" "DROP INDEX TestScore_Student_Lookup"
  "$bin/keyin-seats-bench" "$scorer" "$home" "$seats" "$rounds" 3 2 || true
  echo "  second parts stored: $("$1" "$stored_sql") of $seats seats"
}

if [[ $stores != server ]]; then
  unset KEYIN_DATABASE_URL
  echo "files:  $(bench on_files)"
fi
if [[ $stores != files ]]; then
  "$root/scripts/test-server.sh" start "$server" --durable >/dev/null
  export KEYIN_DATABASE_URL
  KEYIN_DATABASE_URL=$(cat "$server/url")
  echo "server: $(bench on_server)"
fi
