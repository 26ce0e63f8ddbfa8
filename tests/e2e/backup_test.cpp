// keyin-tool backup while a room scores, and restore into an empty program folder: the copy is
// one state of each database, every log line has its row and every row its archived inputs, so
// the restored folder scores new runs and rescore replays its log. On the files, and on a
// PostgreSQL server with pg_dump and pg_restore beside the command.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "db_helpers.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

constexpr int kSeats = 16;

TEST(Backup, TakenWhileSixteenRunsScoreRestoresIntoAFolderThatScoresAndReplays) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  std::vector<RunArgs> seats;
  for (int i = 0; i < kSeats; ++i) {
    seats.push_back(SeatArgs(folder, std::to_string(10 + i), "3"));
    WriteTypedAnswer(fs::path(seats.back().ScrPath) / "CTEST-1", DistinctAnswer(i));
  }
  std::vector<pid_t> runs;
  for (int i = 0; i < kSeats; ++i) {
    runs.push_back(StartProgram(KEYIN_SCORER, {seats[static_cast<std::size_t>(i)].Join()},
                                folder.Environment(), "/dev/null", "/dev/null"));
  }
  // Taken once the first run has logged, while the others go on: on a slow machine all sixteen
  // may still be starting when the command would run, and a folder without a log has nothing to
  // replay.
  const fs::path log = folder.Root() / "log/runs.jsonl";
  for (int i = 0; i < 3000 && !(fs::exists(log) && fs::file_size(log) > 0); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const fs::path copy = folder.Root() / "backup";
  const ProcessResult backup = folder.Tool({"backup", copy.string()});
  for (pid_t run : runs) ASSERT_EQ(WaitForProgram(run), 0);
  ASSERT_EQ(backup.exit_status, 0) << backup.err;
  ASSERT_TRUE(fs::exists(copy / "backup.json"));
  EXPECT_EQ(folder.Tool({"backup", copy.string()}).exit_status, 2) << "never over a backup";

  // On a server the databases are pg_dump's, taken after the run log as the command takes its
  // copies, and pg_restore's into the restored folder's own server database.
  ProgramFolder restored(folder.OnServer());
  if (folder.OnServer()) {
    EXPECT_TRUE(Contains(backup.out, "pg_dump")) << backup.out;
    const std::string dump = (copy / "keyin.dump").string();
    const ProcessResult dumped =
        RunProgram("pg_dump", {"--format=custom", "--file", dump, *folder.DatabaseUrl()});
    ASSERT_EQ(dumped.exit_status, 0) << dumped.err;
    const ProcessResult put = RunProgram("pg_restore", {"--clean", "--if-exists", "--no-owner",
                                                        "--dbname", *restored.DatabaseUrl(), dump});
    ASSERT_EQ(put.exit_status, 0) << put.err;
  }
  for (const fs::directory_entry& made : fs::directory_iterator(restored.Root())) {
    fs::remove_all(made.path());  // restore goes into an empty folder
  }
  const ProcessResult restore = restored.Tool({"restore", copy.string()});
  ASSERT_EQ(restore.exit_status, 0) << restore.err << restore.out;
  EXPECT_EQ(restored.Tool({"restore", copy.string()}).exit_status, 2) << "never over a folder";

  // Every row the copy holds was logged with its inputs: the replay finds each, changes none.
  const std::size_t rows =
      OpenKeyin(restored)->Query("SELECT Id FROM TestScore_Student").All().size();
  const ProcessResult replay = restored.Tool({"rescore", "--dry-run"});
  EXPECT_EQ(replay.exit_status, 0) << replay.err << replay.out;
  EXPECT_TRUE(Contains(replay.out, "變更 0 筆")) << replay.out;
  EXPECT_TRUE(Contains(replay.out, "失敗 0 筆")) << replay.out;

  // A new run scores and stores in the restored folder, against the restored paper.
  RunArgs next = SeatArgs(restored, "99", "3");
  TypeExactly(next, 1, 3);
  const ProcessResult scored = restored.Scorer(next.Join());
  ASSERT_EQ(scored.exit_status, 0) << scored.err;
  EXPECT_EQ(OpenKeyin(restored)->Query("SELECT Id FROM TestScore_Student").All().size(), rows + 1);
}

}  // namespace
}  // namespace keyin::e2e
