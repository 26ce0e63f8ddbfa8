#include "platform/database.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

namespace keyin {
namespace {

namespace fs = std::filesystem;

constexpr char kPassword[] = "K4T7W2";

DbValue Text(std::u16string text) { return DbValue(std::move(text)); }

class DatabaseTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "keyin-database-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    path_ = (folder_ / "Vorkeyin.mdb").string();
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::unique_ptr<DbConnection> CreateScores() {
    return CreateDatabase(path_, kPassword,
                          {"CREATE TABLE Scores(Name TEXT, Score NUMERIC, TestDay TEXT)"});
  }

  fs::path folder_;
  std::string path_;
};

TEST_F(DatabaseTest, CreatedFileIsEncryptedAndReopensWithItsPassword) {
  CreateScores()->Execute("INSERT INTO Scores(Name, Score) VALUES(?, ?)", {Text(u"王小明"), 42.0});

  std::ifstream file(path_, std::ios::binary);
  std::string header(16, '\0');
  file.read(header.data(), 16);
  EXPECT_NE(header, std::string("SQLite format 3\0", 16));

  const DbRows rows = OpenDatabase(path_, kPassword)->Query("SELECT Name, Score FROM Scores");
  ASSERT_EQ(rows.Count(), 1u);
  EXPECT_EQ(rows.First()["Name"], Text(u"王小明"));
  EXPECT_EQ(rows.First()["Score"], DbValue(42.0));
}

TEST_F(DatabaseTest, OpenFailsForWrongPasswordNoPasswordAndNonDatabase) {
  CreateScores();
  const std::string text_file = (folder_ / "notes.mdb").string();
  std::ofstream(text_file) << "this is not a database, only some text long enough to matter\n";
  const std::string plain_file = (folder_ / "plain.mdb").string();
  CreateDatabase(plain_file, "", {"CREATE TABLE t(x)"});

  const struct {
    std::string path, password;
  } cases[] = {
      {path_, "5820"},          // the other database's password
      {path_, ""},              // no key at all
      {path_, "k4t7w2"},        // case matters
      {text_file, kPassword},   // not a database
      {plain_file, kPassword},  // an unencrypted database
  };
  for (const auto& c : cases) {
    try {
      OpenDatabase(c.path, c.password);
      ADD_FAILURE() << c.path << " opened with \"" << c.password << '"';
    } catch (const DatabaseError& error) {
      EXPECT_NE(std::string(error.what()).find("wrong password or not a database"),
                std::string::npos)
          << error.what();
    }
  }
}

TEST_F(DatabaseTest, OpenNeverCreatesAFile) {
  const std::string missing = (folder_ / "ANS.mdb").string();
  EXPECT_THROW(OpenDatabase(missing, "5820"), DatabaseError);
  EXPECT_FALSE(fs::exists(missing));
  // A folder is no database file either.
  EXPECT_THROW(OpenDatabase(folder_.string(), "5820"), DatabaseError);
}

TEST_F(DatabaseTest, CreateRefusesAnExistingFileAndCleansUpAfterFailure) {
  std::ofstream(path_) << "keep me";
  EXPECT_THROW(CreateScores(), DatabaseError);
  EXPECT_EQ(fs::file_size(path_), 7u);

  const std::string broken = (folder_ / "broken.mdb").string();
  EXPECT_THROW(CreateDatabase(broken, kPassword, {"CREATE TABLE a(x)", "CREATE TABLE ("}),
               DatabaseError);
  EXPECT_FALSE(fs::exists(broken));
  EXPECT_FALSE(fs::exists(broken + "-journal"));
}

TEST_F(DatabaseTest, BoundValuesRoundTripUnchanged) {
  const auto database = CreateScores();
  const std::u16string texts[] = {
      u"O'Brien",
      u"'); DROP TABLE Scores; --",
      u"",
      u"錯字：「的」''",
      u"\U00020BB7",  // a character outside the basic plane
      std::u16string(u"a\xD800"
                     u"b\xDC00"),  // lone surrogates keep their neighbours
  };
  for (const std::u16string& text : texts) {
    database->Execute("DELETE FROM Scores");
    database->Execute("INSERT INTO Scores(Name) VALUES(?)", {Text(text)});
    const DbRows rows = database->Query("SELECT Name FROM Scores WHERE Name = ?", {Text(text)});
    ASSERT_EQ(rows.Count(), 1u);
    EXPECT_EQ(rows.First()["Name"], Text(text));
  }
  EXPECT_EQ(database->Query("SELECT count(*) AS n FROM Scores").First()["n"], DbValue(1.0));
}

TEST_F(DatabaseTest, BytesThatAreNoUtf8ReadAsReplacementCharacters) {
  const DbRow row = CreateScores()
                        ->Query(
                            "SELECT CAST(X'FF41C3' AS TEXT) AS broken, "
                            "CAST(X'C0AF' AS TEXT) AS overlong, X'E78E8B' AS blob")
                        .First();
  EXPECT_EQ(row["broken"], Text(u"\uFFFDA\uFFFD"));
  EXPECT_EQ(row["overlong"], Text(u"\uFFFD\uFFFD"));
  EXPECT_EQ(row["blob"], Text(u"王"));
}

TEST_F(DatabaseTest, NumbersStayNumbersAndNullStaysNull) {
  const auto database = CreateScores();
  database->Execute("INSERT INTO Scores(Name, Score, TestDay) VALUES(?, ?, ?)",
                    {Text(u"a"), 42.0, DbValue()});
  database->Execute("INSERT INTO Scores(Name, Score) VALUES(?, ?)", {Text(u"b"), 5.2});
  database->Execute("INSERT INTO Scores(Name, Score) VALUES(?, ?)", {Text(u"c"), -0.5});

  const DbRows rows = database->Query(
      "SELECT Score, CAST(Score AS TEXT) AS Written, TestDay FROM Scores ORDER BY Name");
  ASSERT_EQ(rows.Count(), 3u);
  EXPECT_EQ(rows.All()[0]["Score"], DbValue(42.0));
  EXPECT_EQ(rows.All()[0]["Written"], Text(u"42"));  // stored whole, not as 42.0
  EXPECT_TRUE(IsEmpty(rows.All()[0]["TestDay"]));
  EXPECT_EQ(rows.All()[1]["Score"], DbValue(5.2));
  EXPECT_EQ(rows.All()[1]["Written"], Text(u"5.2"));
  EXPECT_EQ(rows.All()[2]["Score"], DbValue(-0.5));
}

TEST_F(DatabaseTest, ColumnsAreFoundWithoutRegardToCase) {
  const auto database = CreateScores();
  database->Execute("INSERT INTO Scores(Name, Score) VALUES('x', 1)");
  const DbRows rows = database->Query("SELECT * FROM Scores");
  EXPECT_EQ(rows.First()["name"], Text(u"x"));
  EXPECT_EQ(rows.First()["SCORE"], DbValue(1.0));
  EXPECT_THROW(rows.First()["Err1"], DatabaseError);
  EXPECT_TRUE(database->Query("SELECT * FROM Scores WHERE Name = 'y'").AtEnd());
}

TEST_F(DatabaseTest, BadStatementsFailWithTheEngineText) {
  const auto database = CreateScores();
  const struct {
    const char* sql;
    std::vector<DbValue> parameters;
    const char* expected;
  } cases[] = {
      {"INSERT INTO Missing VALUES(1)", {}, "no such table: Missing"},
      {"INSERT INTO Scores(Name) VALUES(?)", {}, "takes 1 values, 0 given"},
      {"INSERT INTO Scores(Name) VALUES(?)", {1.0, 2.0}, "takes 1 values, 2 given"},
      {"DELETE FROM Scores; DROP TABLE Scores", {}, "more than one statement"},
      {"   ", {}, "no statement"},
  };
  for (const auto& c : cases) {
    try {
      database->Execute(c.sql, c.parameters);
      ADD_FAILURE() << c.sql;
    } catch (const DatabaseError& error) {
      EXPECT_NE(std::string(error.what()).find(c.expected), std::string::npos) << error.what();
    }
  }
  // A trailing semicolon or comment is no second statement.
  EXPECT_NO_THROW(database->Execute("DELETE FROM Scores; -- done"));
  EXPECT_NO_THROW(database->Query("SELECT * FROM Scores"));
}

TEST_F(DatabaseTest, TransactionKeepsTheOldRowWhenTheReplacementFails) {
  const auto database = CreateScores();
  database->Execute("INSERT INTO Scores(Name, Score) VALUES('old', 1)");
  EXPECT_THROW(
      {
        DbTransaction transaction(*database);
        database->Execute("DELETE FROM Scores WHERE Name = 'old'");
        database->Execute("INSERT INTO Scores(Name, Missing) VALUES('new', 2)");
        transaction.Commit();
      },
      DatabaseError);
  const DbRows rows = database->Query("SELECT Name FROM Scores");
  ASSERT_EQ(rows.Count(), 1u);
  EXPECT_EQ(rows.First()["Name"], Text(u"old"));

  {
    DbTransaction transaction(*database);
    database->Execute("DELETE FROM Scores WHERE Name = 'old'");
    database->Execute("INSERT INTO Scores(Name, Score) VALUES('new', 2)");
    transaction.Commit();
  }
  EXPECT_EQ(database->Query("SELECT Name FROM Scores").First()["Name"], Text(u"new"));
}

TEST_F(DatabaseTest, FormatFindsRowsByStoredTime) {
  const auto database = CreateScores();
  database->Execute("INSERT INTO Scores(Name, TestDay) VALUES('a', '2024/03/05 09:07:02')");
  database->Execute("INSERT INTO Scores(Name, TestDay) VALUES('b', '2024/03/06 09:07:02')");
  database->Execute("INSERT INTO Scores(Name, TestDay) VALUES('c', NULL)");

  const struct {
    const char* sql;
    std::u16string key;
  } cases[] = {
      {"SELECT Name FROM Scores WHERE Format(TestDay,'yyyy/MM/dd')=?", u"2024/03/05"},
      {"SELECT Name FROM Scores WHERE Format(TestDay,'yyyy/MM/dd HH:mm:ss')=?",
       u"2024/03/05 09:07:02"},
      {"SELECT Name FROM Scores WHERE Format(TestDay,'yyyy/MM/dd H:m:s')=?", u"2024/03/05 9:7:2"},
  };
  for (const auto& c : cases) {
    const DbRows rows = database->Query(c.sql, {Text(c.key)});
    ASSERT_EQ(rows.Count(), 1u) << c.sql;
    EXPECT_EQ(rows.First()["Name"], Text(u"a"));
  }

  const DbRow values =
      database
          ->Query(
              "SELECT Format(?, 'yyyy/MM/dd') AS t, Format(NULL, 'yyyy/MM/dd') AS n, "
              "format(12.5, 'yyyy') AS x",
              {Text(u"not a date")})
          .First();
  EXPECT_EQ(values["t"], Text(u"not a date"));
  EXPECT_TRUE(IsEmpty(values["n"]));
  EXPECT_EQ(values["x"], DbValue(12.5));
}

TEST_F(DatabaseTest, SecondWriterWaitsForTheFirst) {
  CreateScores();
  auto first = OpenDatabase(path_, kPassword);
  auto second = OpenDatabase(path_, kPassword);

  std::promise<void> locked;
  std::thread holder([&] {
    DbTransaction transaction(*first);
    first->Execute("INSERT INTO Scores(Name) VALUES('first')");
    locked.set_value();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    transaction.Commit();
  });
  locked.get_future().wait();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NO_THROW(second->Execute("INSERT INTO Scores(Name) VALUES('second')"));
  const auto waited = std::chrono::steady_clock::now() - start;
  holder.join();

  EXPECT_GE(waited, std::chrono::milliseconds(100));
  EXPECT_EQ(second->Query("SELECT Name FROM Scores ORDER BY rowid").Count(), 2u);
}

TEST(FormatSqlValueTest, WritesDateTimesAndLeavesOtherTexts) {
  const struct {
    std::u16string value, pattern, expected;
  } cases[] = {
      {u"2024/03/05 09:07:02", u"yyyy/MM/dd H:m:s", u"2024/03/05 9:7:2"},
      {u"2024/3/5 9:7:2", u"yyyy/MM/dd HH:mm:ss", u"2024/03/05 09:07:02"},
      {u"2024-03-05", u"yyyy/MM/dd H:m:s", u"2024/03/05 0:0:0"},
      {u"2024/03/05 09:07:02", u"yyyy年M月d日", u"2024年3月5日"},
      {u"2023/02/29", u"yyyy/MM/dd", u"2023/02/29"},
      {u"２０２４/03/05", u"yyyy/MM/dd", u"２０２４/03/05"},
      {u"abc", u"yyyy/MM/dd", u"abc"},
      {u"", u"yyyy/MM/dd", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatSqlValue(c.value, c.pattern), c.expected);
  }
}

}  // namespace
}  // namespace keyin
