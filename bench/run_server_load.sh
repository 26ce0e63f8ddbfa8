#!/usr/bin/env bash
# Load benchmark of keyin-server: a program folder with the sample paper, a sitting of 60 seats
# (mock test, so every part stores a row), the server on loopback, and build/bin/keyin-server-load
# driving it. Prints the figures of bench/README.md. Options go to the driver
# (--seats N --typing-seconds S --burst-seconds S).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-"$root/build"}
"$root/scripts/build.sh" "$build" >/dev/null
bin="$build/bin"

work=$(mktemp -d)
server_pid=""
cleanup() {
  if [[ -n "$server_pid" ]]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

export KEYIN_HOME="$work"
"$bin/keyin-tool" init-db >/dev/null
"$bin/keyin-tool" make-lib --part1 "$root/samples/paper-test1.txt" \
  --part2 "$root/samples/paper-test2.txt" "$work/lib/P001.LIB"
{
  echo "UserID,StuName,ClassName,SeatNo"
  for seat in $(seq 1 60); do printf 'L%04d,考生%d,甲班,%d\n' "$seat" "$seat" "$seat"; done
} >"$work/roster.csv"
cat >"$work/sitting.json" <<JSON
{"ExamPlaceNo":"A01","ExamNo":"E01","ExamPaperNo":"P001","TestType":"3","SessionNo":"9",
 "TotTime":600,"SubtractScore":0,"LibPath":"$work/lib/","ScrPath":"$work/scores/","ShowResults":true}
JSON

export KEYIN_PROCTOR_PASSWORD=load-bench
"$bin/keyin-server" --listen 127.0.0.1:0 --sitting "$work/sitting.json" --roster "$work/roster.csv" \
  >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 1 100); do
  port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/$|\1|p' "$work/server.out" | head -n 1)
  [[ -n "$port" ]] && break
  sleep 0.1
done
[[ -n "${port:-}" ]] || { cat "$work/server.err"; exit 1; }

"$bin/keyin-server-load" --port "$port" --password "$KEYIN_PROCTOR_PASSWORD" "$@"
# Every part scored once: one keyin record line per typed line, written once per part.
echo "keyin record lines: $(wc -l <"$work/ExamScr/Ctest-1.any") (part 1), $(wc -l <"$work/ExamScr/Ctest-2.any") (part 2)"
