#!/usr/bin/env bash
# The main job on the bundled sample data: installs what is missing, builds, installs the
# databases into a demo program folder, and scores the sample typed answers of both test parts
# as a mock test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" >/dev/null

bin="$root/build/bin"
export KEYIN_HOME="$root/demo"
rm -rf "$KEYIN_HOME"
mkdir -p "$KEYIN_HOME"
"$bin/keyin-tool" init-db
"$bin/keyin-tool" make-lib --part1 "$root/samples/paper-part1.txt" \
  --part2 "$root/samples/paper-part2.txt" "$KEYIN_HOME/lib/P001.LIB"

scores="$KEYIN_HOME/scores"
mkdir -p "$scores"
# Typed answers are UTF-16LE with a byte-order mark and CR LF line ends, as the front end writes.
to_typed_answer() { { printf '\xff\xfe'; sed 's/$/\r/' "$1" | iconv -f UTF-8 -t UTF-16LE; } >"$2"; }
to_typed_answer "$root/samples/typed-part1.txt" "$scores/CTEST-1"
to_typed_answer "$root/samples/typed-part2.txt" "$scores/CTEST-2"

# ExamPlaceNo,ExamNo,ExamPaperNo,Field3,TestType,UserID,StuName,SessionNo,SeatNo,TestPart,
# TotTime,UseTime,SubtractScore,LibPath,ScrPath,ClassName
for part in 1 2; do
  "$bin/keyin-scorer" "A01,E01,P001,,3,S123456789,王小明,3,15,$part,600,300,0,$KEYIN_HOME/lib/,$scores/,甲班"
  echo "== test part $part: $scores/CTEST-$part.TOT"
  iconv -f UTF-16 -t UTF-8 "$scores/CTEST-$part.TOT" | tr -d '\r'
  echo "   listing: $scores/CTEST-$part.SCR"
done
