#include "startup/usage.h"

namespace keyin {

bool AsksForUsage(std::string_view argument_text) {
  return argument_text == "--help" || argument_text == "-h" || argument_text == "--version";
}

std::string_view UsageText() {
  return R"(Usage: keyin-scorer "RUN PARAMETERS"

Scores one finished part of a typing test: matches the typed answer against the test paper,
writes the reports ScrPath/CTEST-<part>.SCR, .TOT and .CHK, and stores the result where the kind
of run keeps one. A test front end starts it once per finished part, with the sixteen run
parameters as one argument, separated by commas:

   0 ExamPlaceNo    exam place
   1 ExamNo         exam number
   2 ExamPaperNo    the test paper: LibPath/<ExamPaperNo>.LIB, or lib/<ExamPaperNo>.cus of the
                    program folder for a custom-text practice
   3 Field3         not read
   4 TestType       the kind of run, read as a number: 0 custom-text practice, 1 and 2
                    article practice, 3 mock test, 4 offline exam, 5 exam, 7 a test kept in
                    its reports only; any other number fails after its reports
   5 UserID         the test-taker's identity number
   6 StuName        the test-taker's name
   7 SessionNo      test session
   8 SeatNo         seat
   9 TestPart       1 or 2: the typed answer is ScrPath/CTEST-1 or ScrPath/CTEST-2
                    (UTF-16LE with a byte-order mark; UTF-16BE and UTF-8 with theirs too)
  10 TotTime        seconds allowed
  11 UseTime        seconds used
  12 SubtractScore  deduction per error (0 stands for 0.5)
  13 LibPath        folder of the test papers, ending in / or \
  14 ScrPath        folder of the typed answer and the reports, ending in / or \
  15 ClassName      the test-taker's class

Where the files go: the program folder is $KEYIN_HOME, or else the folder of this program. Its
Vorkeyin.mdb keeps practice records (TempScore), mock tests (TestScore_Student) and offline
exams (OfflineScore); exams go to C:\ANS.VOR\ANS.mdb (Keyin). A drive X: stands for
$KEYIN_DRIVE_X, or else <program folder>/drive_x. After a mock test's or an offline exam's second
part the score file ScrPath/CSCR<session><seat> is written. keyin-tool init-db installs both
databases.

The environment may name the run and ask for more: KEYIN_RUN_ID (1 to 64 letters, digits, -,
_, . and :) is the run's id in the run log and among the finished runs; a run whose id is
already stored stores nothing and fails. KEYIN_VISUAL_REPORT=1 also writes the score report of
the part, ScrPath/CTEST-<part>.html and .json, as keyin-tool report makes it;
KEYIN_VISUAL_REPORT_METHOD=倉頡 (or another method of the list) gives it the codes of that method.

Exit status: 0 done; 2 not sixteen run parameters; 3 a database file missing; 1 any other
failure, with one line "keyin-scorer: ..." on standard error.
)";
}

}  // namespace keyin
