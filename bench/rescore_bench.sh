#!/usr/bin/env bash
# Re-scoring 1,000 logged runs in one keyin-tool process: 500 mock-test candidates, both parts,
# each with an answer of its own, scored by keyin-scorer (their log lines, archive and rows);
# then one character of the paper is corrected and `keyin-tool rescore` replays all of them,
# reports and stored rows included. Prints the wall time of the replay, on the database files
# and, with "server", on a PostgreSQL server.
#
# Usage: bench/rescore_bench.sh [CANDIDATES] [files|server|both]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
candidates=${1:-500}
stores=${2:-both}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" >/dev/null
bin="$root/build/bin"

work=$(mktemp -d /tmp/keyin-rescore-bench.XXXXXX)
trap '"$root/scripts/test-server.sh" stop "$work/server" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
typed() { { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; }; }

bench_store() { # store
  local home="$work/$1"
  export KEYIN_HOME="$home"
  mkdir -p "$home/lib"
  if [[ $1 == server ]]; then
    "$root/scripts/test-server.sh" start "$work/server" --durable >/dev/null
    export KEYIN_DATABASE_URL
    KEYIN_DATABASE_URL=$(cat "$work/server/url")
  else
    unset KEYIN_DATABASE_URL
  fi
  "$bin/keyin-tool" init-db >/dev/null
  sed 's/武陵人/武林人/' "$root/samples/paper-test1.txt" >"$home/part1.txt"
  "$bin/keyin-tool" make-lib --part1 "$home/part1.txt" --part2 "$root/samples/paper-test2.txt" \
    "$home/lib/P001.LIB"
  local start=$SECONDS
  for ((c = 0; c < candidates; c++)); do
    local scores="$home/scores/$c"
    mkdir -p "$scores"
    # Each candidate types its number first: an answer of its own.
    { echo "$c"; cat "$root/samples/typed-test1.txt"; } | typed >"$scores/CTEST-1"
    { echo "$c"; cat "$root/samples/typed-test2.txt"; } | typed >"$scores/CTEST-2"
    for part in 1 2; do
      "$bin/keyin-scorer" "A01,E01,P001,,3,S$c,考生$c,1,$c,$part,600,300,0,$home/lib/,$scores/,甲班"
    done
  done
  echo "$1: scored $((2 * candidates)) runs in $((SECONDS - start)) s"
  rm "$home/lib/P001.LIB"
  "$bin/keyin-tool" make-lib --part1 "$root/samples/paper-test1.txt" \
    --part2 "$root/samples/paper-test2.txt" "$home/lib/P001.LIB"
  /usr/bin/time -f "$1: rescore of $((2 * candidates)) runs: %e s wall, %U s user, %S s system, %M kB" \
    "$bin/keyin-tool" rescore --paper P001 | tail -1
}

[[ $stores == server ]] || bench_store files
[[ $stores == files ]] || bench_store server
