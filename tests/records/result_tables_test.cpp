#include "records/result_tables.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "records/schema.h"

namespace keyin {
namespace {

TEST(StoredNumber, EmptyReadsAsZeroAndOtherTextsMustBeNumbers) {
  EXPECT_EQ(StoredNumber(DbValue(), "Score1"), 0);
  EXPECT_EQ(StoredNumber(std::u16string(u""), "Score1"), 0);
  EXPECT_EQ(StoredNumber(std::u16string(u"  "), "Score1"), 0);
  EXPECT_EQ(StoredNumber(42.5, "Score1"), 42.5);
  EXPECT_EQ(StoredNumber(std::u16string(u" 42 "), "Score1"), 42);
  EXPECT_THROW(StoredNumber(std::u16string(u"42x"), "Err1"), RunFailure);
}

// The tables as installed, in a plain (unencrypted) file of the test's own.
class ResultTables : public testing::Test {
 protected:
  ResultTables() {
    path_ = std::filesystem::temp_directory_path() /
            ("keyin-result-tables-" + std::to_string(::getpid()) + ".db");
    std::filesystem::remove(path_);
    std::vector<std::string> schema = KeyinDatabaseSchema();
    for (const std::string& statement : AnswerDatabaseSchema()) schema.push_back(statement);
    db_ = CreateDatabase(path_.string(), "", schema);
  }
  ~ResultTables() override {
    db_.reset();
    std::filesystem::remove(path_);
  }

  std::filesystem::path path_;
  std::unique_ptr<DbConnection> db_;
};

TEST_F(ResultTables, ATestPartOtherThanOneOrTwoWritesNothing) {
  for (const char16_t* part : {u"3", u"01", u" 1", u""}) {
    RunParams params;
    params.TestPart = part;
    const TableInputs inputs{.params = params, .CharsPerMinute = 40, .ErrorRate = 2};
    ResultValues results;
    EXPECT_EQ(StoreKeyinRow(*db_, inputs, results), StoredPart::kNothing);
    EXPECT_EQ(StoreTestScoreStudentRow(*db_, inputs, results), StoredPart::kNothing);
    EXPECT_EQ(StoreOfflineScoreRow(*db_, inputs, results), StoredPart::kNothing);
    EXPECT_EQ(results.Test1Score, 0);
    EXPECT_EQ(results.Test2Score, 0);
  }
  for (const char* table : {"Keyin", "TestScore_Student", "OfflineScore"}) {
    EXPECT_EQ(db_->Query(std::string("SELECT * FROM ") + table).Count(), 0u) << table;
  }
}

TEST_F(ResultTables, AStoredFirstPartThatIsNoNumberFailsTheSecondPart) {
  db_->Execute("INSERT INTO OfflineScore(SessionSeatNo, Tno, Score1) VALUES('315', 'P001', 'x')");
  RunParams params;
  params.SessionNo = u"3";
  params.SeatNo = u"15";
  params.ExamPaperNo = u"P001";
  params.TestPart = u"2";
  ResultValues results;
  EXPECT_THROW(StoreOfflineScoreRow(*db_, TableInputs{.params = params}, results), RunFailure);
  EXPECT_EQ(db_->Query("SELECT * FROM OfflineScore WHERE Score2 IS NOT NULL").Count(), 0u);
}

}  // namespace
}  // namespace keyin
