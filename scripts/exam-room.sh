#!/usr/bin/env bash
# The exam room on the bundled sample: installs what is missing, builds, prepares a demo program
# folder (databases, the sample paper as P001, a mock-test sitting for the small roster in
# samples/roster.csv) and starts keyin-server on loopback, printing the addresses of the candidate
# and proctor pages. Ctrl+C stops it. Each run starts afresh; --resume keeps the demo folder and
# resumes its sitting (drafts, deadlines and scores included).
#
#   PORT (default 8080)                     the loopback port
#   KEYIN_PROCTOR_PASSWORD (default: a new random one, printed)  the proctor's password
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" --server
# Only what the room runs, in scripts/demo.sh's folder and flags (the two share their build); a
# room of a few candidates is served in a moment by an unoptimised build too.
KEYIN_TARGETS="keyin-server keyin-scorer keyin-tool" "$root/scripts/build.sh" "$root/build-demo" \
  -DKEYIN_SERVER=ON -DKEYIN_TESTS=OFF -DKEYIN_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O0 -DNDEBUG" >/dev/null

bin="$root/build-demo/bin"
export KEYIN_HOME="$root/exam-room-demo"
if [[ "${1:-}" != "--resume" || ! -f "$KEYIN_HOME/Vorkeyin.mdb" ]]; then
  rm -rf "$KEYIN_HOME"
  mkdir -p "$KEYIN_HOME"
  "$bin/keyin-tool" init-db >/dev/null
  "$bin/keyin-tool" make-lib --part1 "$root/samples/paper-test1.txt" \
    --part2 "$root/samples/paper-test2.txt" "$KEYIN_HOME/lib/P001.LIB"
  cat >"$KEYIN_HOME/sitting.json" <<JSON
{"ExamPlaceNo": "A01", "ExamNo": "E01", "ExamPaperNo": "P001", "TestType": "3",
 "SessionNo": "3", "TotTime": 300, "SubtractScore": 0,
 "LibPath": "$KEYIN_HOME/lib/", "ScrPath": "$KEYIN_HOME/scores/", "ShowResults": true}
JSON
fi

# A password anyone could guess would open the demo's proctor pages to the whole loopback: a
# fresh one each run from the OpenSSL random generator.
export KEYIN_PROCTOR_PASSWORD=${KEYIN_PROCTOR_PASSWORD:-$(openssl rand -base64 12 | tr -d '/+=')}
echo "exam room: mock test of the sample paper P001, two parts of 5 minutes each"
echo "candidates sign in with S123456789, S223456789 or S323456789 (samples/roster.csv) and"
echo "their access code: sign in as the proctor and open 准考證 (the admission slips) to read them"
echo "proctor password: $KEYIN_PROCTOR_PASSWORD"
exec "$bin/keyin-server" --listen "127.0.0.1:${PORT:-8080}" \
  --sitting "$KEYIN_HOME/sitting.json" --roster "$root/samples/roster.csv"
