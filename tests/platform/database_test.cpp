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
  const std::pair<std::string, std::string> cases[] = {{path_, "5820"},    {path_, ""},
                                                       {path_, "k4t7w2"},  {text, kPassword},
                                                       {plain, kPassword}, {missing, kPassword}};
  for (const auto& [path, password] : cases) {
    EXPECT_THROW(OpenDatabase(path, password), DatabaseError) << path << " \"" << password << '"';
  }
  EXPECT_FALSE(fs::exists(missing));
  // Creating over an existing file would lose what it holds.
  EXPECT_THROW(CreateDatabase(text, kPassword, {}), DatabaseError);
  EXPECT_GT(fs::file_size(text), 0u);
}

TEST_F(DatabaseTest, BoundValuesComeBackUnchanged) {
  const std::u16string names[] = {u"O'Brien", u"'); DROP TABLE Scores; --", u"", u"錯字「的」''",
                                  u"\U00020BB7"};
  for (const std::u16string& name : names) {
    database_->Execute("INSERT INTO Scores VALUES(?, ?, ?)", {Text(name), 42.0, DbValue()});
    const DbRows rows = database_->Query(
        "SELECT *, CAST(Score AS TEXT) AS t FROM Scores WHERE Name = ?", {Text(name)});
    ASSERT_EQ(rows.Count(), 1u);
    EXPECT_EQ(rows.First()["name"], Text(name));  // column names ignore case
    EXPECT_EQ(rows.First()["SCORE"], DbValue(42.0));
    EXPECT_EQ(rows.First()["t"], Text(u"42"));  // stored whole, not as 42.0
    EXPECT_TRUE(IsEmpty(rows.First()["TestDay"]));
    EXPECT_THROW(rows.First()["Err1"], DatabaseError);
  }
}

TEST_F(DatabaseTest, RefusesMissingValuesAndSecondStatements) {
  EXPECT_THROW(database_->Execute("INSERT INTO Scores(Name) VALUES(?)"), DatabaseError);
  EXPECT_THROW(database_->Execute("DELETE FROM Scores; DROP TABLE Scores"), DatabaseError);
  EXPECT_NO_THROW(database_->Execute("DELETE FROM Scores; -- done"));
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
  const char* const sql = "SELECT group_concat(Name) AS Names FROM Scores";
  EXPECT_EQ(database_->Query(sql).First()["Names"], Text(u"old"));
}

TEST_F(DatabaseTest, FormatFindsRowsByStoredTime) {
  database_->Execute(
      "INSERT INTO Scores(Name, TestDay) VALUES ('a', '2024/03/05 09:07:02'), "
      "('b', '2024/03/06 09:07:02'), ('c', NULL)");
  const std::pair<const char*, std::u16string> cases[] = {
      {"yyyy/MM/dd", u"2024/03/05"},
      {"yyyy/MM/dd HH:mm:ss", u"2024/03/05 09:07:02"},
      {"yyyy/MM/dd H:m:s", u"2024/03/05 9:7:2"}};
  for (const auto& [pattern, key] : cases) {
    const DbRows rows = database_->Query(
        std::string("SELECT Name FROM Scores WHERE Format(TestDay, '") + pattern + "') = ?",
        {Text(key)});
    ASSERT_EQ(rows.Count(), 1u) << pattern;
    EXPECT_EQ(rows.First()["Name"], Text(u"a"));
  }
  const char* const sql = "SELECT Format('2023/02/29', 'yyyy') AS t, Format(NULL, 'yyyy') AS n";
  const DbRow row = database_->Query(sql).First();
  EXPECT_EQ(row["t"], Text(u"2023/02/29"));  // no such day: no date
  EXPECT_TRUE(IsEmpty(row["n"]));
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
