#!/usr/bin/env bash
# The main job on the bundled sample data: installs what is missing, builds, installs the
# databases into a demo program folder, and scores the sample typed answers of both test parts
# as a mock test and as an exam, then shows the stored rows and the CSCR score file, and writes
# the score report page of each sample answer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" --demo
# Only the two executables it runs, unoptimised (a third of the build time of -O2; the sample
# scores in a moment either way), in a folder of its own: build/ stays the tests'.
KEYIN_TARGETS="keyin-scorer keyin-tool" "$root/scripts/build.sh" "$root/build-demo" \
  -DKEYIN_SERVER=OFF -DKEYIN_TESTS=OFF -DKEYIN_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O0 -DNDEBUG" >/dev/null

bin="$root/build-demo/bin"
export KEYIN_HOME="$root/demo"
rm -rf "$KEYIN_HOME"
mkdir -p "$KEYIN_HOME"
"$bin/keyin-tool" init-db
"$bin/keyin-tool" make-lib --part1 "$root/samples/paper-test1.txt" \
  --part2 "$root/samples/paper-test2.txt" "$KEYIN_HOME/lib/P001.LIB"

scores="$KEYIN_HOME/scores"
mkdir -p "$scores"
# Typed answers are UTF-16LE with a byte-order mark and CR LF line ends, as the front end writes.
to_typed_answer() { { printf '\xff\xfe'; sed 's/$/\r/' "$1" | iconv -f UTF-8 -t UTF-16LE; } >"$2"; }
to_typed_answer "$root/samples/typed-test1.txt" "$scores/CTEST-1"
to_typed_answer "$root/samples/typed-test2.txt" "$scores/CTEST-2"

# ExamPlaceNo,ExamNo,ExamPaperNo,Field3,TestType,UserID,StuName,SessionNo,SeatNo,TestPart,
# TotTime,UseTime,SubtractScore,LibPath,ScrPath,ClassName
run_args() { # TestType TestPart
  echo "A01,E01,P001,,$1,S123456789,王小明,3,15,$2,600,300,0,$KEYIN_HOME/lib/,$scores/,甲班"
}
score() { # TestType TestPart
  "$bin/keyin-scorer" "$(run_args "$1" "$2")"
}
utf8() { iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r'; }
query() { # database password sql
  sqlcipher -header -column "$1" "PRAGMA key = '$2';" "PRAGMA kdf_iter = 4000;" "$3" | grep -v '^ok$'
}

echo "== mock test (TestType 3), both parts"
for part in 1 2; do
  score 3 "$part"
  echo "-- CTEST-$part.TOT (listing: $scores/CTEST-$part.SCR)"
  utf8 "$scores/CTEST-$part.TOT"
done
echo "-- CSCR0315"
utf8 "$scores/CSCR0315"
echo "-- TestScore_Student in Vorkeyin.mdb"
query "$KEYIN_HOME/Vorkeyin.mdb" K4T7W2 \
  "SELECT Id, Stuname, TestNum, Tno, Score1, Err1, Score2, Err2, Score, Err, TestDay FROM TestScore_Student;"

echo
echo "== exam (TestType 5), both parts"
score 5 1
score 5 2
echo "-- Keyin in drive_c/ANS.VOR/ANS.mdb"
query "$KEYIN_HOME/drive_c/ANS.VOR/ANS.mdb" 5820 "SELECT * FROM Keyin;"

echo
echo "== score reports of the sample answers (keyin-tool report), to open in a browser"
mkdir -p "$KEYIN_HOME/reports"
for part in 1 2; do
  page="$KEYIN_HOME/reports/CTEST-$part.html"
  "$bin/keyin-tool" report --output "$page" "$(run_args 3 "$part")"
  echo "report: $page"
done
