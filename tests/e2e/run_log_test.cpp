// The run log and the answer archive as a front end and a script see them: every run leaves one
// whole JSON line, failed runs too; a run that could not be traced stores nothing. (Runs at once,
// and rows traced to their archived answers: kill_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>

#include "db_helpers.h"
#include "harness.h"
#include "run_log_helpers.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

// A run that could not be traced stores no row: it fails with one clear line before the store
// is opened. CI runs as root, which may write anywhere: only a path that cannot be a file
// stops it.
TEST(RunLog, RunThatCannotBeTracedStoresNothing) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  RunArgs args = DefaultArgs(folder);
  args.TestType = "5";
  WriteTypedAnswer(folder.Scores() / "CTEST-1", Sample("typed-test1.txt"));
  WriteBytes(folder.Root() / "not-a-folder", "");
  fs::create_directories(folder.Root() / "a-folder");
  const struct {
    const char* name;
    std::string log;      // KEYIN_RUN_LOG
    bool archive_a_file;  // <program folder>/archive is a regular file
    const char* reason;
  } cases[] = {
      {"log in a file", (folder.Root() / "not-a-folder/runs.jsonl").string(), false,
       "keyin-scorer: cannot write the run log, nothing was stored: "},
      {"log a folder", (folder.Root() / "a-folder").string(), false,
       "keyin-scorer: cannot write the run log, nothing was stored: "},
      {"archive a file", "", true,
       "keyin-scorer: cannot keep the inputs in the archive, nothing was stored: "},
  };
  const auto rows = [&] { return Dump(*OpenAnswers(folder), "SELECT count(*) FROM Keyin"); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.archive_a_file) {
      fs::remove_all(folder.Root() / "archive");
      WriteBytes(folder.Root() / "archive", "");
    }
    const ProcessResult run = folder.Scorer(args.Join(), std::nullopt, {{"KEYIN_RUN_LOG", c.log}});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_TRUE(run.err.starts_with(c.reason)) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one line says why";
    EXPECT_EQ(rows(), "0");
    // The log is opened before anything is kept: a run that cannot log keeps no input either.
    if (!c.archive_a_file) {
      EXPECT_FALSE(fs::exists(folder.Root() / "archive"));
    }
    if (c.archive_a_file) fs::remove(folder.Root() / "archive");
  }
  // A log that can be written tells why the run failed that could not archive.
  const std::vector<json> lines = LogLines(DefaultRunLog(folder));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].value("exit", -1), 1);
  EXPECT_TRUE(Contains(lines[0].value("failure", ""), "cannot keep the inputs in the archive"));
  // Given a log and an archive, the same run stores its row.
  EXPECT_EQ(folder.Scorer(args.Join()).exit_status, 0);
  EXPECT_EQ(rows(), "1");
}

TEST(RunLog, FailedRunsAreLoggedWithTheirExitStatus) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  RunArgs wrong_part = DefaultArgs(folder), no_answer = DefaultArgs(folder);
  wrong_part.TestPart = "3";
  const struct {
    const char* name;
    std::string arguments;
    int exit_status;
    const char* failure;
  } cases[] = {
      {"wrong argument count", "A01,E01,甲班", 2, "expected 16 comma-separated run parameters"},
      {"wrong test part", wrong_part.Join(), 1, "TestPart must be 1 or 2"},
      {"no typed answer", no_answer.Join(), 1, "scores/CTEST-1"},
  };
  std::size_t logged = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(folder.Scorer(c.arguments, "2024-03-05 09:07:02").exit_status, c.exit_status);
    const std::vector<json> lines = LogLines(DefaultRunLog(folder));
    ASSERT_EQ(lines.size(), ++logged);
    const json& line = lines.back();
    EXPECT_EQ(line.value("program", ""), "keyin-scorer");
    EXPECT_EQ(line.value("time", ""), "2024/03/05 09:07:02");
    EXPECT_EQ(line.value("arguments", ""), c.arguments);
    EXPECT_EQ(line.value("exit", -1), c.exit_status);
    EXPECT_TRUE(Contains(line.value("failure", ""), c.failure)) << line.dump();
    // A run that scored nothing has no scores and no archived answer.
    EXPECT_FALSE(line.contains("speed") || line.contains("error_rate") || line.contains("answer"))
        << line.dump();
  }
}

// A front end may name the run: its id is the log line's. An id that is not one (which are not:
// run_id_test.cpp) fails the run before anything is opened, with one line saying why; its log
// line gets an id of its own.
TEST(RunLog, TheCallersRunIdNamesTheRunOrTheRunFails) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  RunArgs args = DefaultArgs(folder);
  args.TestType = "5";
  WriteTypedAnswer(folder.Scores() / "CTEST-1", Sample("typed-test1.txt"));
  const struct {
    const char* name;
    std::optional<std::string> id;
    bool taken;
  } cases[] = {
      {"an id of the front end", "room1:seat-15.part_1", true},
      {"none: one is made", std::nullopt, true},
      {"empty", "", false},
      {"a slash", "../15", false},
  };
  std::size_t logged = 0, stored = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult run = folder.Scorer(args.Join(), std::nullopt, {{"KEYIN_RUN_ID", c.id}});
    const std::vector<json> lines = LogLines(DefaultRunLog(folder));
    ASSERT_EQ(lines.size(), ++logged);
    const std::string id = lines.back().value("id", "");
    if (c.taken) {
      EXPECT_EQ(run.exit_status, 0) << run.err;
      EXPECT_EQ(id, c.id.value_or(id));
      EXPECT_TRUE(id.size() > 16) << id;
      ++stored;
    } else {
      EXPECT_EQ(run.exit_status, 1);
      EXPECT_EQ(
          run.err,
          "keyin-scorer: KEYIN_RUN_ID must be 1 to 64 letters, digits, \"-\", \"_\", \".\" or "
          "\":\"; nothing was stored\n");
      EXPECT_NE(id, *c.id);
      EXPECT_EQ(lines.back().value("failure", ""), run.err.substr(14, run.err.size() - 15));
    }
    EXPECT_EQ(Dump(*OpenAnswers(folder), "SELECT count(*) FROM Keyin"), std::to_string(stored > 0));
  }
}

// The log, the summary report and the stored row give one speed and one error rate.
TEST(RunLog, LoggedScoresAreTheReportedAndStoredOnes) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  std::vector<std::string> typed = Sample("paper-test1.txt");
  typed.resize(6);
  typed[1] = "緣溪行，忘路之遠";                    // two characters missing
  typed[3] = "中無雜樹，芳草鮮美，落英繽紛。錯字";  // two extra
  const struct {
    const char* TestType;
    std::unique_ptr<DbConnection> (*open)(const ProgramFolder&);
    const char* table;
  } cases[] = {{"5", OpenAnswers, "Keyin"}, {"3", OpenKeyin, "TestScore_Student"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    RunArgs args = DefaultArgs(folder);
    args.TestType = c.TestType;
    args.UseTime = "60";
    WriteTypedAnswer(folder.Scores() / "CTEST-1", typed);
    ASSERT_EQ(folder.Scorer(args.Join()).exit_status, 0);
    const std::string summary = ReadReport(folder.Scores() / "CTEST-1.TOT");
    int speed = -1, errors = -1, total = -1, rate = -1;
    ASSERT_EQ(
        std::sscanf(summary.c_str(), "CTEST-1 S=%d E=%d/%d=%d%%", &speed, &errors, &total, &rate),
        4)
        << summary;
    EXPECT_GT(rate, 0) << summary;
    const json line = LogLines(DefaultRunLog(folder)).back();
    EXPECT_EQ(line.value("speed", -1.0), speed);
    EXPECT_EQ(line.value("error_rate", -1.0), rate);
    EXPECT_EQ(Dump(*c.open(folder), std::string("SELECT Score1, Err1 FROM ") + c.table),
              std::to_string(speed) + " " + std::to_string(rate));
    std::set<std::string> reports;
    for (const std::string report : {"SCR", "TOT", "CHK"}) {
      reports.insert((folder.Scores() / ("CTEST-1." + report)).string());
    }
    EXPECT_EQ(line["reports"].get<std::set<std::string>>(), reports);
  }
}

}  // namespace
}  // namespace keyin::e2e
