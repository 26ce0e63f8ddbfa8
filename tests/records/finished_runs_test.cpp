#include "records/finished_runs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "records/results_query.h"

namespace keyin {
namespace {

namespace fs = std::filesystem;

constexpr DateTime kRunTime = {2026, 12, 7, 9, 0, 0}, kStoredAt = {2026, 12, 7, 9, 0, 1};

// A program folder whose databases were made before the table of finished runs.
class FinishedRunsTest : public testing::Test {
 protected:
  FinishedRunsTest()
      : folder_(fs::temp_directory_path() / ("keyin-finished-runs-" + std::to_string(getpid()))) {
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "drive_c/ANS.VOR");
    ::unsetenv("KEYIN_DRIVE_C");
    ::unsetenv("KEYIN_DATABASE_URL");
    CreateDatabase((folder_ / "Vorkeyin.mdb").string(), "K4T7W2", {"CREATE TABLE TempScore (id)"});
    CreateDatabase((folder_ / "drive_c/ANS.VOR/ANS.mdb").string(), "5820",
                   {"CREATE TABLE Keyin (UserID)"});
  }
  ~FinishedRunsTest() override { fs::remove_all(folder_); }

  std::unique_ptr<DbConnection> Store(RunKind kind) const {
    return OpenStoreOfRun(folder_.string(), kind);
  }
  bool Stored(RunKind kind, std::string_view id) const {
    return RunWasStored(folder_.string(), kind, id);
  }

  fs::path folder_;
};

TEST_F(FinishedRunsTest, ARecordedIdIsFoundInTheDatabaseOfItsKindOnly) {
  EXPECT_FALSE(Stored(RunKind::kExam, "exam-1")) << "no table yet: nothing recorded";
  const FinishedRun exam = {"exam-1", "keyin-scorer", kRunTime, kStoredAt};
  {
    const std::unique_ptr<DbConnection> db = Store(RunKind::kExam);
    AddFinishedRunsWhenMissing(*db);
    AddFinishedRunsWhenMissing(*db);  // found the second time
    DbTransaction transaction(*db);
    RecordFinishedRun(*db, exam);
    transaction.Commit();
  }
  EXPECT_TRUE(Stored(RunKind::kExam, "exam-1"));
  EXPECT_EQ(FindFinishedRun(*Store(RunKind::kExam), "exam-1"), exam);
  EXPECT_FALSE(Stored(RunKind::kMockTest, "exam-1")) << "the keyin-statistics database";
  EXPECT_FALSE(Stored(RunKind::kExam, "exam-2"));
  EXPECT_FALSE(Stored(RunKind::kExam, "EXAM-1")) << "ids are compared as they are";
}

// The second run of an id fails inside its transaction, which then stores nothing of it.
TEST_F(FinishedRunsTest, AnIdIsRecordedOnce) {
  const std::unique_ptr<DbConnection> db = Store(RunKind::kKeyinRecordTest);
  AddFinishedRunsWhenMissing(*db);
  RecordFinishedRun(*db, {"part-1", "keyin-scorer", kRunTime, kStoredAt});
  {
    DbTransaction transaction(*db);
    db->Execute("INSERT INTO TempScore VALUES ('second run')");
    try {
      RecordFinishedRun(*db, {"part-1", "keyin-scorer", kStoredAt, kStoredAt});
      ADD_FAILURE() << "recorded twice";
    } catch (const RunAlreadyStored& refused) {
      EXPECT_STREQ(refused.what(),
                   "run id \"part-1\" was stored already (keyin-scorer, 2026/12/07 09:00:00): "
                   "nothing was stored");
    }
  }
  EXPECT_TRUE(db->Query("SELECT * FROM TempScore").AtEnd());
  // The index refuses a second row of the id even from a writer that did not look first.
  EXPECT_THROW(db->Execute("INSERT INTO FinishedRuns (RunId) VALUES ('part-1')"), DatabaseError);
}

TEST_F(FinishedRunsTest, AMissingDatabaseCannotTell) {
  fs::remove(folder_ / "drive_c/ANS.VOR/ANS.mdb");
  EXPECT_THROW(Stored(RunKind::kExam, "exam-1"), ResultsStoreMissing);
  EXPECT_FALSE(Stored(RunKind::kMockTest, "exam-1"));
}

}  // namespace
}  // namespace keyin
