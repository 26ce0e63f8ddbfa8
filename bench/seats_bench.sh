#!/usr/bin/env bash
# Whole scoring runs of 64 seats at once, on the database files and on a PostgreSQL server (a
# throwaway cluster with the server's default durability: every commit reaches the disk).
# Usage: bench/seats_bench.sh [SEATS] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seats=${1:-64}
rounds=${2:-5}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" >/dev/null
bin="$root/build/bin"

home=$(mktemp -d /tmp/keyin-seats-bench.XXXXXX)
server="$home/server"
trap '"$root/scripts/test-server.sh" stop "$server" >/dev/null; rm -rf "$home"' EXIT
export KEYIN_HOME="$home"
unset KEYIN_DATABASE_URL
"$bin/keyin-tool" init-db >/dev/null
"$bin/keyin-tool" make-lib --part1 "$root/samples/paper-test1.txt" \
  --part2 "$root/samples/paper-test2.txt" "$home/lib/P001.LIB"
for ((seat = 0; seat < seats; seat++)); do
  mkdir -p "$home/scores-$seat"
  for part in 1 2; do
    { printf '\xff\xfe'; sed 's/$/\r/' "$root/samples/typed-test$part.txt" | iconv -f UTF-8 -t UTF-16LE; } \
      >"$home/scores-$seat/CTEST-$part"
  done
done

echo "files:  $("$bin/keyin-seats-bench" "$bin/keyin-scorer" "$home" "$seats" "$rounds")"

"$root/scripts/test-server.sh" start "$server" --durable >/dev/null
admin=$(cat "$server/url")
KEYIN_DATABASE_URL="$admin" "$bin/keyin-tool" init-db >/dev/null
export KEYIN_DATABASE_URL="$admin"
echo "server: $("$bin/keyin-seats-bench" "$bin/keyin-scorer" "$home" "$seats" "$rounds")"
