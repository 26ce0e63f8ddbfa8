#!/usr/bin/env bash
# Load benchmark of keyin-server: a program folder with the sample paper, a mock-test sitting (so
# every part stores a row) of SEATS seats, the server on loopback, and build/bin/keyin-server-load
# driving it. Prints the figures of bench/README.md.
#
#   bench/run_server_load.sh [SEATS] [files|server] [driver options ...]
#
# SEATS defaults to 60; "server" keeps the results on a throwaway PostgreSQL cluster that pays
# for its commits as a real one does (scripts/test-server.sh --durable). Driver options:
# --typing-seconds S --burst-seconds S --slow-clients N. WORKERS sets the server's --workers;
# ROOMS (default 1) splits the seats into that many rooms, one sitting each, on the one server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-"$root/build"}
seats=${1:-60}
store=${2:-files}
shift $(($# < 2 ? $# : 2))
"$root/scripts/build.sh" "$build" >/dev/null
bin="$build/bin"

work=$(mktemp -d)
server_pid=""
cleanup() {
  if [[ -n "$server_pid" ]]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  if [[ "$store" == server ]]; then "$root/scripts/test-server.sh" stop "$work/pg" || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

export KEYIN_HOME="$work"
if [[ "$store" == server ]]; then
  "$root/scripts/test-server.sh" start "$work/pg" --durable
  export KEYIN_DATABASE_URL
  KEYIN_DATABASE_URL=$(cat "$work/pg/url")
fi
"$bin/keyin-tool" init-db >/dev/null
"$bin/keyin-tool" make-lib --part1 "$root/samples/paper-test1.txt" \
  --part2 "$root/samples/paper-test2.txt" "$work/lib/P001.LIB"
rooms=${ROOMS:-1}
sittings=()
for room in $(seq 1 "$rooms"); do
  {
    echo "UserID,StuName,ClassName,SeatNo"
    for seat in $(seq "$room" "$rooms" "$seats"); do
      printf 'L%04d,考生%d,甲班,%d\n' "$seat" "$seat" "$seat"
    done
  } >"$work/roster-$room.csv"
  cat >"$work/sitting-$room.json" <<JSON
{"ExamPlaceNo":"A01","ExamNo":"E01","ExamPaperNo":"P001","TestType":"3","SessionNo":"$room",
 "Room":"R$room","TotTime":600,"SubtractScore":0,"LibPath":"$work/lib/","ScrPath":"$work/scores/",
 "ShowResults":true}
JSON
  sittings+=(--sitting "$work/sitting-$room.json" --roster "$work/roster-$room.csv")
done

export KEYIN_PROCTOR_PASSWORD=load-bench
workers=()
[[ -n "${WORKERS:-}" ]] && workers=(--workers "$WORKERS")
"$bin/keyin-server" --listen 127.0.0.1:0 "${sittings[@]}" \
  "${workers[@]}" >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 1 100); do
  port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/$|\1|p' "$work/server.out" | head -n 1)
  [[ -n "$port" ]] && break
  sleep 0.1
done
[[ -n "${port:-}" ]] || { cat "$work/server.err"; exit 1; }

echo "store: $store, seats: $seats, rooms: $rooms"
"$bin/keyin-server-load" --port "$port" --password "$KEYIN_PROCTOR_PASSWORD" --seats "$seats" "$@"
# Every part scored once: one keyin record line per typed line, written once per part.
lines1=$(wc -l <"$work/ExamScr/Ctest-1.any")
lines2=$(wc -l <"$work/ExamScr/Ctest-2.any")
echo "keyin record lines: $lines1 (part 1), $lines2 (part 2)"
