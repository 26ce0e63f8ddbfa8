#include "platform/database.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace keyin {
namespace {

namespace fs = std::filesystem;

constexpr char kPassword[] = "K4T7W2";

DbValue Text(std::u16string text) { return DbValue(std::move(text)); }

class DatabaseTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(mkdtemp(folder_.data()), nullptr);
    database_ = CreateDatabase(path_ = folder_ + "/Vorkeyin.mdb", kPassword,
                               {"CREATE TABLE Scores(Name TEXT, Score NUMERIC, TestDay TEXT)"});
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string folder_ = (fs::temp_directory_path() / "keyin-database-XXXXXX").string();
  std::string path_;
  std::unique_ptr<DbConnection> database_;
};

TEST_F(DatabaseTest, OpensOnlyWithItsPasswordAndCreatesNoFile) {
  EXPECT_NO_THROW(OpenDatabase(path_, kPassword)->Query("SELECT * FROM Scores"));
  const std::string text = folder_ + "/notes.mdb", plain = folder_ + "/plain.mdb",
                    missing = folder_ + "/ANS.mdb";
  std::ofstream(text) << "this is not a database, only some text long enough to matter\n";
  CreateDatabase(plain, "", {"CREATE TABLE t(x)"});
  for (const char* password : {"5820", "", "k4t7w2"}) {
    EXPECT_THROW(OpenDatabase(path_, password), DatabaseError) << '"' << password << '"';
  }
  for (const std::string& path : {text, plain, missing}) {
    EXPECT_THROW(OpenDatabase(path, kPassword), DatabaseError) << path;
  }
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_THROW(CreateDatabase(text, kPassword, {}), DatabaseError);  // would lose what it holds
  EXPECT_GT(fs::file_size(text), 0u);
}

// Values are bound, never pasted into the statement; a second statement is refused.
TEST_F(DatabaseTest, BoundValuesComeBackUnchanged) {
  const char* const sql = "SELECT *, CAST(Score AS TEXT) AS t FROM Scores WHERE Name = ?";
  for (const std::u16string name : {u"O'Brien", u"'); DROP TABLE Scores; --", u"", u"\U00020BB7"}) {
    database_->Execute("INSERT INTO Scores VALUES(?, ?, ?)", {Text(name), 42.0, DbValue()});
    const DbRow row = database_->Query(sql, {Text(name)}).First();
    EXPECT_EQ(row["name"], Text(name));  // column names ignore case
    EXPECT_EQ(row["SCORE"], DbValue(42.0));
    EXPECT_EQ(row["t"], Text(u"42"));  // stored whole, not as 42.0
    EXPECT_TRUE(IsEmpty(row["TestDay"]));
    EXPECT_THROW(row["Err1"], DatabaseError);
  }
  // The stored bytes: a supplementary character is one four-byte form, and bytes that are no
  // UTF-8 read as one U+FFFD each.
  EXPECT_EQ(
      database_->Query("SELECT hex(Name) AS h FROM Scores WHERE Name = ?", {Text(u"\U00020BB7")})
          .First()["h"],
      Text(u"F0A0AEB7"));
  EXPECT_EQ(database_->Query("SELECT CAST(X'C0AF' AS TEXT) AS t").First()["t"],
            Text(u"\uFFFD\uFFFD"));
  EXPECT_THROW(database_->Execute("INSERT INTO Scores(Name) VALUES(?)"), DatabaseError);
  EXPECT_THROW(database_->Execute("DELETE FROM Scores; DROP TABLE Scores"), DatabaseError);
}

TEST_F(DatabaseTest, FailedTransactionKeepsTheOldRow) {
  database_->Execute("INSERT INTO Scores(Name) VALUES('old')");
  EXPECT_THROW(
      {
        DbTransaction transaction(*database_);
        database_->Execute("DELETE FROM Scores");
        database_->Execute("INSERT INTO Scores(Name, Missing) VALUES('new', 2)");
        transaction.Commit();
      },
      DatabaseError);
  EXPECT_EQ(database_->Query("SELECT group_concat(Name) AS n FROM Scores").First()["n"],
            Text(u"old"));
}

// A transaction within another is a savepoint: its failure undoes its own statements only, and
// what it commits is kept only when the one around it commits.
TEST_F(DatabaseTest, TransactionWithinAnotherStandsOrFallsWithIt) {
  const auto names = [&] {
    return database_->Query("SELECT group_concat(Name) AS n FROM Scores").First()["n"];
  };
  {
    DbTransaction outer(*database_);
    database_->Execute("INSERT INTO Scores(Name) VALUES('a')");
    EXPECT_THROW(
        {
          DbTransaction inner(*database_);
          database_->Execute("INSERT INTO Scores(Name) VALUES('b')");
          database_->Execute("INSERT INTO Scores(Missing) VALUES(1)");
          inner.Commit();
        },
        DatabaseError);
    {
      DbTransaction inner(*database_);
      database_->Execute("INSERT INTO Scores(Name) VALUES('c')");
      inner.Commit();
    }
    outer.Commit();
  }
  EXPECT_EQ(names(), Text(u"a,c"));
  {
    DbTransaction outer(*database_);
    DbTransaction inner(*database_);
    database_->Execute("DELETE FROM Scores");
    inner.Commit();
  }  // the outer one rolls back, and the inner one's delete with it
  EXPECT_EQ(names(), Text(u"a,c"));
  // The connection is outside any transaction again: a new one begins afresh.
  DbTransaction again(*database_);
  database_->Execute("DELETE FROM Scores");
  again.Commit();
  EXPECT_TRUE(database_->Query("SELECT Name FROM Scores").AtEnd());
}

TEST_F(DatabaseTest, FormatFindsRowsByStoredTime) {
  database_->Execute(
      "INSERT INTO Scores(Name, TestDay) VALUES ('a', '2024/03/05 09:07:02'), "
      "('b', '2024/03/06 09:07:02'), ('c', NULL)");
  const DbRows rows = database_->Query(
      "SELECT Name FROM Scores WHERE Format(TestDay, 'yyyy/MM/dd') = ? "
      "AND Format(TestDay, 'yyyy/MM/dd H:m:s') = ?",
      {Text(u"2024/03/05"), Text(u"2024/03/05 9:7:2")});
  ASSERT_EQ(rows.Count(), 1u);
  EXPECT_EQ(rows.First()["Name"], Text(u"a"));
  EXPECT_TRUE(IsEmpty(database_->Query("SELECT Format(NULL, 'yyyy') AS n").First()["n"]));
}

TEST_F(DatabaseTest, SecondWriterWaitsForTheFirst) {
  auto first = OpenDatabase(path_, kPassword), second = OpenDatabase(path_, kPassword);
  first->Begin();
  first->Execute("INSERT INTO Scores(Name) VALUES('first')");
  std::thread committer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    first->Commit();
  });
  EXPECT_NO_THROW(second->Execute("INSERT INTO Scores(Name) VALUES('second')"));
  committer.join();
  EXPECT_EQ(second->Query("SELECT Name FROM Scores").Count(), 2u);
}

}  // namespace
}  // namespace keyin
