// Re-scoring after a paper is corrected: a sitting is scored against a paper with a wrong
// character, the paper is corrected, and `keyin-tool rescore` must leave the rows and reports
// that a sitting scored against the corrected paper from the start leaves, under the same clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "db_helpers.h"
#include "platform/digest.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

constexpr char kPart1Time[] = "2026-12-07 09:00:00", kPart2Time[] = "2026-12-07 09:30:00";

// A seat of the sitting: its kind of run, and how many lines of each part it types. The first
// line of part 1 holds the character the paper gets wrong, so only seats typing it change.
struct Seat {
  const char *TestType, *UserID, *SeatNo;
  std::size_t lines_part1, first_line_part1;
};
const Seat kSeats[] = {
    {"3", "S100000001", "11", 4, 0},  // mock test, types the wrong character's line
    {"3", "S100000002", "12", 3, 1},  // mock test, starts at line 2: unaffected
    {"5", "S100000003", "13", 4, 0},  // exam
    {"4", "S100000004", "14", 2, 0},  // offline exam
};

std::vector<std::string> CorrectPart1() { return Sample("paper-test1.txt"); }
std::vector<std::string> WrongPart1() {
  std::vector<std::string> lines = CorrectPart1();
  const std::size_t at = lines[0].find("武陵人");
  lines[0].replace(at, std::string("武陵人").size(), "武林人");
  return lines;
}

class Rescore : public testing::Test {
 protected:
  // Scores every seat's two parts in `folder` against the paper it has, each run with its visual
  // report and the codes in it, which a replay must give again.
  static void SitTheTest(const ProgramFolder& folder) {
    for (const Seat& seat : kSeats) {
      RunArgs args = DefaultArgs(folder);
      args.TestType = seat.TestType;
      args.UserID = seat.UserID;
      args.SeatNo = seat.SeatNo;
      args.UseTime = "60";
      args.ScrPath = (folder.Scores() / seat.SeatNo).string() + "/";
      fs::create_directories(args.ScrPath);
      for (int part : {1, 2}) {
        std::vector<std::string> lines = Sample(part == 1 ? "paper-test1.txt" : "paper-test2.txt");
        const std::size_t first = part == 1 ? seat.first_line_part1 : 0;
        const std::size_t count = part == 1 ? seat.lines_part1 : 2;
        lines = std::vector<std::string>(lines.begin() + static_cast<long>(first),
                                         lines.begin() + static_cast<long>(first + count));
        WriteTypedAnswer(fs::path(args.ScrPath) / ("CTEST-" + std::to_string(part)), lines);
        args.TestPart = std::to_string(part);
        const ProcessResult run =
            folder.Scorer(args.Join(), part == 1 ? kPart1Time : kPart2Time,
                          {{"KEYIN_VISUAL_REPORT", "1"}, {"KEYIN_VISUAL_REPORT_METHOD", "倉頡"}});
        ASSERT_EQ(run.exit_status, 0) << run.err;
      }
    }
  }

  // Every result row of the folder, and every report (the visual ones too) and CSCR file by its
  // name under scores/.
  static std::string Rows(const ProgramFolder& folder) {
    return ExamAndMockRows(folder) + "\n" +
           Dump(*OpenKeyin(folder), "SELECT * FROM OfflineScore ORDER BY SessionSeatNo");
  }
  static std::string ExamAndMockRows(const ProgramFolder& folder) {
    return Dump(*OpenAnswers(folder), "SELECT * FROM Keyin ORDER BY UserID") + "\n" +
           Dump(*OpenKeyin(folder), "SELECT * FROM TestScore_Student ORDER BY Id");
  }
  static std::map<std::string, std::string> Reports(const ProgramFolder& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder.Scores())) {
      const std::string name = entry.path().filename().string();
      const bool report = name.starts_with("CTEST-") && Contains(name, ".");
      if (entry.is_regular_file() && (report || name.starts_with("CSCR"))) {
        files[fs::relative(entry.path(), folder.Scores()).string()] = ReadBytes(entry.path());
      }
    }
    return files;
  }

  ProcessResult Tool(const std::vector<std::string>& arguments) const {
    return wrong.Tool(arguments);
  }

  ProgramFolder wrong;  // scored against the paper with the wrong character, then corrected
  ProgramFolder right;  // scored against the correct paper from the start
};

TEST_F(Rescore, MatchesAFreshScoringOfTheCorrectedPaperAndChangesNothingMoreWhenRepeated) {
  wrong.InstallPaper("P001", WrongPart1(), Sample("paper-test2.txt"));
  right.InstallPaper("P001", CorrectPart1(), Sample("paper-test2.txt"));
  SitTheTest(wrong);
  SitTheTest(right);
  ASSERT_NE(Rows(wrong), Rows(right));

  fs::remove(wrong.Lib() / "P001.LIB");
  wrong.InstallPaper("P001", CorrectPart1(), Sample("paper-test2.txt"));
  const std::string rows_before = Rows(wrong);
  const auto reports_before = Reports(wrong);
  const std::string log_before = ReadBytes(wrong.Root() / "log/runs.jsonl");

  // A dry run lists every part of the sitting and marks exactly the changed ones: the part 1 of
  // each seat that typed the corrected line; it writes nothing.
  const ProcessResult dry = Tool({"rescore", "--dry-run", "--paper", "P001"});
  ASSERT_EQ(dry.exit_status, 0) << dry.err;
  EXPECT_EQ(Rows(wrong), rows_before);
  EXPECT_EQ(Reports(wrong), reports_before);
  EXPECT_EQ(ReadBytes(wrong.Root() / "log/runs.jsonl"), log_before);
  std::vector<std::string> changed;
  std::size_t listed = 0;
  std::istringstream out(dry.out);
  for (std::string line; std::getline(out, line);) {
    if (!line.starts_with("2026/12/07")) continue;
    ++listed;
    if (Contains(line, "變更"))
      changed.push_back(line.substr(line.find("S1000"), 10) + "-" +
                        (Contains(line, "09:00:00") ? "1" : "2"));
  }
  EXPECT_EQ(listed, 2 * std::size(kSeats));
  EXPECT_EQ(changed, (std::vector<std::string>{"S100000001-1", "S100000003-1", "S100000004-1"}))
      << dry.out;

  const ProcessResult rescore = Tool({"rescore", "--paper", "P001"});
  ASSERT_EQ(rescore.exit_status, 0) << rescore.err << rescore.out;
  EXPECT_EQ(Rows(wrong), Rows(right));
  EXPECT_EQ(Reports(wrong), Reports(right));

  const ProcessResult again = Tool({"rescore", "--paper", "P001"});
  ASSERT_EQ(again.exit_status, 0) << again.err;
  EXPECT_TRUE(Contains(again.out, "變更 0 筆")) << again.out;
  EXPECT_EQ(Rows(wrong), Rows(right));
  EXPECT_EQ(Reports(wrong), Reports(right));
}

// A seat's folder reused by the next candidate keeps that candidate's reports: the replayed run's
// reports go to a folder of its own under --reports, or nowhere. A run whose archived answer is
// gone fails alone; the others are replayed.
TEST_F(Rescore, ReportsOfAReusedFolderGoElsewhereAndARunWithoutItsAnswerFailsAlone) {
  wrong.InstallPaper("P001", WrongPart1(), Sample("paper-test2.txt"));
  SitTheTest(wrong);
  const fs::path reused = wrong.Scores() / "11";
  WriteTypedAnswer(reused / "CTEST-1", {"另一位考生"});
  WriteBytes(reused / "CTEST-1.SCR", "the next candidate's report");
  const std::string lost = Sha256Hex(ReadBytes(wrong.Scores() / "12" / "CTEST-1"));
  fs::remove(wrong.Root() / "archive" / lost);

  const ProcessResult nowhere = Tool({"rescore", "--dry-run"});
  EXPECT_EQ(nowhere.exit_status, 1);
  EXPECT_TRUE(Contains(nowhere.out, "失敗 1 筆")) << nowhere.out;

  const fs::path elsewhere = wrong.Root() / "rescored";
  const ProcessResult rescore = Tool({"rescore", "--reports", elsewhere.string()});
  EXPECT_EQ(rescore.exit_status, 1) << rescore.out;
  EXPECT_TRUE(Contains(rescore.out, "重新評分：8 筆，變更 0 筆，相同 7 筆，失敗 1 筆"))
      << rescore.out;
  EXPECT_EQ(ReadBytes(reused / "CTEST-1.SCR"), "the next candidate's report");
  std::vector<fs::path> moved;
  for (const auto& entry : fs::recursive_directory_iterator(elsewhere)) {
    if (entry.is_regular_file()) moved.push_back(entry.path().filename());
  }
  std::sort(moved.begin(), moved.end());
  EXPECT_EQ(moved, (std::vector<fs::path>{"CTEST-1.CHK", "CTEST-1.SCR", "CTEST-1.TOT",
                                          "CTEST-1.html", "CTEST-1.json"}));
}

// A run that failed is replayed only when it stored its result all the same, as the table of
// finished runs tells: one that failed at its CSCR file is; a rerun under an id already stored,
// and a run of no kind, are not, since replaying them would store a result nobody stored. Each
// replay records its own id.
TEST_F(Rescore, AFailedRunIsReplayedOnlyWhenItStoredItsResult) {
  wrong.InstallPaper("P001", WrongPart1(), Sample("paper-test2.txt"));
  SitTheTest(wrong);
  RunArgs args = DefaultArgs(wrong);
  args.UserID = "S100000009";
  args.SeatNo = "19";
  args.UseTime = "60";
  args.ScrPath = (wrong.Scores() / "19").string() + "/";
  fs::create_directories(fs::path(args.ScrPath) / "CSCR0319");  // the CSCR file cannot be written
  WriteTypedAnswer(fs::path(args.ScrPath) / "CTEST-1", Sample("paper-test1.txt"));
  WriteTypedAnswer(fs::path(args.ScrPath) / "CTEST-2", Sample("paper-test2.txt"));
  const auto score = [&](const char* part, const char* TestType, const char* id, const char* time) {
    args.TestPart = part;
    args.TestType = TestType;
    return wrong.Scorer(args.Join(), time, {{"KEYIN_RUN_ID", id}}).exit_status;
  };
  ASSERT_EQ(score("1", "3", "seat-19-part-1", "2026-12-07 10:00:00"), 0);
  // Refused, stored already: replayed, it would add a row of its own time.
  EXPECT_EQ(score("1", "3", "seat-19-part-1", "2026-12-07 10:01:00"), 1);
  // Stored all the same, then failed at its CSCR file.
  EXPECT_EQ(score("2", "3", "seat-19-part-2", "2026-12-07 10:30:00"), 1);
  EXPECT_EQ(score("2", "6", "seat-19-no-kind", "2026-12-07 10:31:00"), 1);
  const std::string rows = Rows(wrong);

  const ProcessResult dry = Tool({"rescore", "--dry-run"});
  ASSERT_EQ(dry.exit_status, 0) << dry.err << dry.out;
  EXPECT_TRUE(Contains(dry.out, "試算（未寫入任何檔案或資料）：10 筆")) << dry.out;
  const ProcessResult rescore = Tool({"rescore"});
  EXPECT_EQ(rescore.exit_status, 1) << rescore.err << rescore.out;
  EXPECT_TRUE(Contains(rescore.out, "重新評分：10 筆，變更 0 筆，相同 9 筆，失敗 1 筆"))
      << rescore.out << " (the CSCR file still cannot be written)";
  EXPECT_EQ(Rows(wrong), rows) << "the same paper: the same rows, and no row added";
  // Exams record theirs in the answer database; on a server both are one.
  const std::string replays =
      "SELECT count(*) FROM FinishedRuns WHERE Program = 'keyin-tool rescore'";
  const int recorded = std::stoi(Dump(*OpenKeyin(wrong), replays)) +
                       (wrong.OnServer() ? 0 : std::stoi(Dump(*OpenAnswers(wrong), replays)));
  EXPECT_EQ(recorded, 10) << "the replay that failed at its CSCR file stored its row too";
}

}  // namespace
}  // namespace keyin::e2e
