// The result store on a PostgreSQL server: values come back as the file store gives them, the
// same runs leave the same rows, and a server that fails or goes away ends runs cleanly. These
// run only against the test server (the server.* tests).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <set>
#include <thread>

#include "db_helpers.h"
#include "harness.h"
#include "platform/code_page.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

std::string TestServerFile(const char* name) {
  std::string text = ReadBytes(fs::path(std::getenv("KEYIN_TEST_SERVER")) / name);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// Waits until `done` holds, checking every 20 ms, at most `seconds`.
bool WaitFor(const std::function<bool()>& done, int seconds = 20) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TEST(ServerStore, NumbersAndTextsComeBackAsStored) {
  ProgramFolder folder;
  auto db = OpenKeyin(folder);
  db->Execute("CREATE TABLE Values_Kept (Name TEXT, Score NUMERIC)");
  const auto stored = [&](const DbValue& name, const DbValue& score) {
    db->Execute("DELETE FROM Values_Kept");
    db->Execute("INSERT INTO Values_Kept (Name, Score) VALUES (?, ?)", {name, score});
    const DbRows rows = db->Query("SELECT * FROM Values_Kept");
    return std::pair(rows.First()["Name"], rows.First()["SCORE"]);
  };
  for (const double number : {36.0, 0.5, 5.2, 1.0 / 3, 1e-7, 123456789.125, -0.25, 0.0, 1e21}) {
    EXPECT_EQ(stored(DbValue(), number).second, DbValue(number)) << number;
  }
  EXPECT_TRUE(IsEmpty(stored(DbValue(), std::nan("")).second));  // as the file store keeps NaN
  const std::u16string texts[] = {u"O'Brien \"Jr\" \\ ? $1 %s", u"", std::u16string(10'000, u'名'),
                                  u"\U00020BB7 and \U0001F600, pairs of surrogates",
                                  u"'); DROP TABLE Values_Kept; --"};
  for (const std::u16string& text : texts) {
    EXPECT_EQ(stored(text, DbValue()).first, DbValue(text)) << Utf16ToUtf8(text.substr(0, 20));
  }

  // The server's UTF-8 has no lone surrogates and no NUL: refused, and nothing is stored.
  db->Execute("DELETE FROM Values_Kept");
  for (const std::u16string& text :
       {std::u16string(u"A\xD800"), std::u16string(u"\xDC00Z"), std::u16string(u"a\0b", 3)}) {
    try {
      db->Execute("INSERT INTO Values_Kept (Name) VALUES (?)", {text});
      ADD_FAILURE() << "stored";
    } catch (const DatabaseError& error) {
      const std::string what = error.what();
      EXPECT_TRUE(Contains(what, "lone surrogate") || Contains(what, "NUL character")) << what;
      EXPECT_TRUE(Contains(what, "on the server")) << what;
    }
  }
  EXPECT_EQ(db->Query("SELECT * FROM Values_Kept").Count(), 0u);
}

// The server's Format is the file store's: the same text for every value and pattern.
TEST(ServerStore, FormatWritesWhatTheFileStoreWrites) {
  ProgramFolder folder;
  auto db = OpenKeyin(folder);
  const std::u16string values[] = {u"2024/03/05 09:07:02",
                                   u"2024-3-5 9:7:2",
                                   u"2024/02/29",
                                   u"2023/02/29",
                                   u"2024/13/01",
                                   u"2024/03/05 24:00:00",
                                   u"2024/003/05",
                                   u"2024/03/05 9:07",
                                   u"0000/01/01",
                                   u"abc",
                                   u"",
                                   u"２０２４/03/05"};
  const std::u16string patterns[] = {u"yyyy/MM/dd",
                                     u"yyyy/MM/dd H:m:s",
                                     u"yyyy/MM/dd HH:mm:ss",
                                     u"H:mm:ss",
                                     u"yyyy/M/d",
                                     u"日期 yyyy 年",
                                     u""};
  for (const std::u16string& value : values) {
    for (const std::u16string& pattern : patterns) {
      EXPECT_EQ(db->Query("SELECT Format(?, ?) AS f", {value, pattern}).First()["f"],
                DbValue(FormatSqlValue(value, pattern)))
          << Utf16ToUtf8(value) << " by " << Utf16ToUtf8(pattern);
    }
  }
  EXPECT_TRUE(IsEmpty(db->Query("SELECT Format(?, 'yyyy') AS f", {DbValue()}).First()["f"]));
}

// Every table's rows as values, in one order.
std::vector<std::vector<DbValue>> SortedRows(DbConnection& db, const std::string& table) {
  std::vector<std::vector<DbValue>> rows;
  const DbRows found = db.Query("SELECT * FROM " + table);
  for (const DbRow& row : found.All()) rows.push_back(row.Values());
  std::sort(rows.begin(), rows.end());
  return rows;
}

// The environment of a program that stores in the folder's files rather than on the server.
const std::map<std::string, std::optional<std::string>> kFiles = {
    {"KEYIN_DATABASE_URL", std::nullopt}};

// Installs the database files beside the folder's server database, and the sample paper.
void InstallFilesAndPaper(const ProgramFolder& folder) {
  ASSERT_EQ(folder.Tool({"init-db"}, kFiles).exit_status, 0);
  folder.InstallSamplePaper();
}

// Every table holds the same rows on the server as in the files, value for value.
void ExpectSameRows(const ProgramFolder& folder) {
  auto keyin = OpenDatabase(folder.KeyinDatabase().string(), "K4T7W2");
  auto answers = OpenDatabase(folder.AnswerDatabase().string(), "5820");
  auto server = OpenKeyin(folder);
  for (const char* table : {"TestScore_Student", "OfflineScore", "TempScore", "Keyin"}) {
    const auto rows = SortedRows(table[0] == 'K' ? *answers : *keyin, table);
    EXPECT_FALSE(rows.empty()) << table;
    EXPECT_EQ(SortedRows(*server, table), rows) << table;
  }
}

// The same runs, at the same moments, once against the files and once against the server: every
// table holds the same rows, value for value. Names with quotes and of 10,000 characters too.
TEST(ServerRows, SameRunsLeaveTheSameRowsAsTheFiles) {
  ProgramFolder folder;
  InstallFilesAndPaper(folder);
  RunArgs args = DefaultArgs(folder);
  args.UseTime = "70";
  args.SubtractScore = "0.75";
  std::string long_name;
  for (int i = 0; i < 10'000; ++i) long_name += "長";
  const std::pair<std::string, std::string> names[] = {{"O'Neil", "O'Brien \"Jr\""},
                                                       {"S2", long_name}};
  int minute = 10;
  for (const auto& [user, name] : names) {
    args.UserID = user;
    args.StuName = name;
    for (const char* kind : {"3", "4", "5", "1", "2"}) {
      for (const char* part : {"1", "2"}) {
        args.TestType = kind;
        args.TestPart = part;
        TypeExactly(args, part[0] - '0', 3 + minute % 4);
        const std::string time = "2024-03-05 09:" + std::to_string(minute++) + ":00";
        for (const auto& store : {kFiles, folder.Environment()}) {
          const ProcessResult run = folder.Scorer(args.Join(), time, store);
          ASSERT_EQ(run.exit_status, 0) << kind << "/" << part << ": " << run.err;
        }
      }
    }
  }
  ExpectSameRows(folder);
}

// A seat's history moves to the server: every row once, identical rows as often as the files
// hold them, nothing twice when run again; a row the server refuses leaves it as it was.
TEST(ServerCopyResults, CopiesEveryRowOnceAndNothingTwice) {
  ProgramFolder folder;
  InstallFilesAndPaper(folder);
  RunArgs args = DefaultArgs(folder);
  const auto score = [&](const char* kind, const char* part, const char* time) {
    args.TestType = kind;
    args.TestPart = part;
    TypeExactly(args, part[0] - '0', 3);
    ASSERT_EQ(folder.Scorer(args.Join(), time, kFiles).exit_status, 0);
  };
  score("3", "1", "2024-03-05 09:00:00");
  score("3", "1", "2024-03-05 09:00:00");  // the same row twice: two results
  for (const char* kind : {"4", "5", "1"}) {
    score(kind, "1", "2024-03-05 09:10:00");
    score(kind, "2", "2024-03-05 09:20:00");
  }
  const ProcessResult unset = folder.Tool({"copy-results"}, kFiles);
  EXPECT_EQ(unset.exit_status, 1);
  EXPECT_TRUE(Contains(unset.err, "KEYIN_DATABASE_URL")) << unset.err;

  const std::string once =
      "TestScore_Student: 2 copied, 0 already on the server\n"
      "OfflineScore: 1 copied, 0 already on the server\n"
      "TempScore: 2 copied, 0 already on the server\n"
      "Keyin: 1 copied, 0 already on the server\n";
  ProcessResult copy = folder.Tool({"copy-results"});
  ASSERT_EQ(copy.exit_status, 0) << copy.err;
  EXPECT_EQ(copy.out, once);
  ExpectSameRows(folder);
  copy = folder.Tool({"copy-results"});
  EXPECT_EQ(copy.out,
            "TestScore_Student: 0 copied, 2 already on the server\n"
            "OfflineScore: 0 copied, 1 already on the server\n"
            "TempScore: 0 copied, 2 already on the server\n"
            "Keyin: 0 copied, 1 already on the server\n");
  ExpectSameRows(folder);

  score("3", "1", "2024-03-05 09:00:00");
  OpenDatabase(folder.KeyinDatabase().string(), "K4T7W2")
      ->Execute("INSERT INTO TempScore (id, ErWords) VALUES ('S9', ?)",
                {std::u16string(u"broken \xD800")});
  copy = folder.Tool({"copy-results"});
  EXPECT_EQ(copy.exit_status, 1);
  EXPECT_TRUE(Contains(copy.err, "row 3 of TempScore")) << copy.err;
  EXPECT_TRUE(Contains(copy.err, "lone surrogate")) << copy.err;
  EXPECT_EQ(OpenKeyin(folder)->Query("SELECT * FROM TestScore_Student").Count(), 2u);
}

// A port on which nothing listens.
int ClosedPort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ::bind(s, reinterpret_cast<sockaddr*>(&address), size);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(s);
  return ntohs(address.sin_port);
}

// A wrong password, an unknown database, no server at all: the missing-database message box,
// exit status 3 and the server's reason on one line, for the scorer and the tool; no password
// (the right one or the wrong one) in anything they print.
TEST(ServerUnavailable, EndsLikeAMissingFileWithTheReasonAndNoPassword) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  const std::string password = TestServerFile("password"), wrong = "Wr0ng-" + password;
  const std::string url = *folder.DatabaseUrl();
  const std::string host = url.substr(url.find('@'));
  struct Case {
    const char* name;
    std::string url;
    const char* reason;
  };
  const Case cases[] = {
      {"wrong password", "postgresql://keyin:" + wrong + host, "password authentication failed"},
      {"unknown database", url.substr(0, url.rfind('/')) + "/no_such_centre", "does not exist"},
      {"no server",
       "postgresql://keyin:" + password + "@127.0.0.1:" + std::to_string(ClosedPort()) + "/keyin",
       "refused"},
      {"key=value form",
       "host=127.0.0.1 port=" + std::to_string(ClosedPort()) + " user=keyin password='" + password +
           "'",
       "refused"}};
  const RunArgs args = DefaultArgs(folder);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::map<std::string, std::optional<std::string>> server = {
        {"KEYIN_DATABASE_URL", c.url}};
    const ProcessResult scorer = folder.Scorer(args.Join(), std::nullopt, server);
    EXPECT_EQ(scorer.exit_status, 3);
    EXPECT_TRUE(Contains(scorer.err, "系統訊息\nVorkeyin.mdb找不到或已損毀，請重新安裝系統"))
        << scorer.err;
    EXPECT_TRUE(Contains(scorer.err, "keyin-scorer: keyin-statistics database unavailable: "))
        << scorer.err;
    EXPECT_TRUE(Contains(scorer.err, c.reason)) << scorer.err;
    const ProcessResult tool = folder.Tool(
        {"maintenance", "--run", "A01,E01,P001,,S1,N,3,15,1,600,60,0,x,y", "sample-exam-row"},
        server);
    EXPECT_EQ(tool.exit_status, 3);
    EXPECT_TRUE(Contains(tool.err, "找不到ANS.mdb，請聯絡監考人員")) << tool.err;
    EXPECT_TRUE(Contains(tool.err, "keyin-tool: answer database unavailable: ")) << tool.err;
    const ProcessResult init = folder.Tool({"init-db"}, server);
    EXPECT_EQ(init.exit_status, 1);
    EXPECT_TRUE(Contains(init.err, c.reason)) << init.err;
    for (const ProcessResult* result : {&scorer, &tool, &init}) {
      for (const std::string& secret : {password, wrong}) {
        EXPECT_FALSE(Contains(result->err + result->out, secret)) << result->err;
      }
    }
  }
  EXPECT_FALSE(fs::exists(folder.Scores() / "CTEST-1.SCR"));
}

// The connection drops while a seat replaces an exam row (its delete waits for a row another
// connection holds): the run fails, the server rolls its delete back, and the next run succeeds.
TEST(ServerFaults, ConnectionDroppedInsideTheTransactionLeavesNoHalfRow) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  RunArgs args = DefaultArgs(folder);
  args.TestType = "5";
  args.UseTime = "60";
  const int first = TypeExactly(args, 1, 3);
  ASSERT_EQ(folder.Scorer(args.Join()).exit_status, 0);
  const int again = TypeExactly(args, 1, 5);

  auto holder = OpenAnswers(folder);
  holder->Execute("BEGIN");
  holder->Query("SELECT * FROM Keyin FOR UPDATE");
  const fs::path err = folder.Root() / "err";
  const pid_t run =
      StartProgram(KEYIN_SCORER, {args.Join()}, folder.Environment(), "/dev/null", err);
  // Another connection watches: inside a transaction the activity view stays as it first was.
  auto watcher = OpenAnswers(folder);
  DbRows waiting({});
  ASSERT_TRUE(WaitFor([&] {
    waiting = watcher->Query(
        "SELECT pid FROM pg_stat_activity WHERE datname = current_database() AND "
        "wait_event_type = 'Lock'");
    return !waiting.AtEnd();
  }));
  watcher->Query("SELECT pg_terminate_backend(?)", {waiting.First()["pid"]});
  holder->Execute("ROLLBACK");
  EXPECT_EQ(WaitForProgram(run), 1);
  EXPECT_TRUE(Contains(ReadBytes(err), "keyin-scorer: ")) << ReadBytes(err);

  const std::string scores = "SELECT UserID, Score1 FROM Keyin";
  EXPECT_EQ(Dump(*holder, scores), "S123456789 " + std::to_string(first));
  ASSERT_EQ(folder.Scorer(args.Join()).exit_status, 0);
  EXPECT_EQ(Dump(*holder, scores), "S123456789 " + std::to_string(again));
}

// A cluster of the test's own, since this test stops it.
class PrivateServer {
 public:
  PrivateServer()
      : folder_(fs::temp_directory_path() /
                ("keyin-private-server-" + std::to_string(::getpid()))) {
    Script("start");
    previous_ = std::getenv("KEYIN_TEST_SERVER");
    ::setenv("KEYIN_TEST_SERVER", folder_.c_str(), 1);
  }
  ~PrivateServer() {
    if (previous_) ::setenv("KEYIN_TEST_SERVER", previous_->c_str(), 1);
    Script("stop");
    fs::remove_all(folder_);
  }
  void Script(const char* command) const {
    const ProcessResult result = RunProgram(KEYIN_TEST_SERVER_SCRIPT, {command, folder_.string()});
    if (result.exit_status != 0) ADD_FAILURE() << command << ": " << result.err;
  }

 private:
  fs::path folder_;
  std::optional<std::string> previous_;
};

// The server is stopped (as an administrator restarts it) while 64 seats store their mock
// tests: every run either stored its row and ended 0, or ended non-zero and stored nothing.
// Once the server is back, the next run succeeds. The first four seats store before the stop;
// the others are held at the writers' lock, so that the stop finds runs in the middle of their
// transactions however fast the machine is.
TEST(ServerFaults, ServerStoppedDuringSixtyFourRuns) {
  PrivateServer server;
  {
    ProgramFolder folder;
    folder.InstallSamplePaper();
    constexpr int kRuns = 64, kBeforeTheStop = 4;
    std::vector<RunArgs> seats;
    for (int i = 0; i < kRuns; ++i) {
      RunArgs args = DefaultArgs(folder);
      args.ScrPath = (folder.Root() / ("scores-" + std::to_string(i))).string() + "/";
      fs::create_directories(args.ScrPath);
      args.UserID = "S" + std::to_string(i);
      TypeExactly(args, 1, 4);
      seats.push_back(args);
    }
    const auto start = [&](int i) {
      return StartProgram(KEYIN_SCORER, {seats[i].Join()}, folder.Environment(), "/dev/null",
                          "/dev/null");
    };
    std::vector<int> exit_statuses;
    for (int i = 0; i < kBeforeTheStop; ++i) exit_statuses.push_back(WaitForProgram(start(i)));

    auto holder = OpenKeyin(folder);
    auto writers_lock = std::make_unique<DbTransaction>(*holder);
    std::vector<pid_t> started;
    for (int i = kBeforeTheStop; i < kRuns; ++i) started.push_back(start(i));
    EXPECT_TRUE(WaitFor([&] {
      return Shown(holder
                       ->Query("SELECT count(*) AS n FROM pg_locks "
                               "WHERE locktype = 'advisory' AND NOT granted")
                       .First()["n"]) != "0";
    }));
    server.Script("pause");  // ends the holder's session too
    writers_lock.reset();    // its connection is gone: nothing to roll back
    holder.reset();
    for (const pid_t pid : started) exit_statuses.push_back(WaitForProgram(pid));
    server.Script("resume");

    std::set<std::string> succeeded;
    int failed = 0;
    for (int i = 0; i < kRuns; ++i) {
      if (exit_statuses[i] == 0) {
        succeeded.insert(seats[i].UserID);
      } else {
        ++failed;
      }
    }
    std::multiset<std::string> stored;
    const DbRows rows = OpenKeyin(folder)->Query("SELECT Id FROM TestScore_Student");
    for (const DbRow& row : rows.All()) {
      stored.insert(Shown(row["Id"]));
    }
    EXPECT_EQ(stored, std::multiset<std::string>(succeeded.begin(), succeeded.end()));
    EXPECT_GE(succeeded.size(), static_cast<std::size_t>(kBeforeTheStop));
    EXPECT_GT(failed, 0) << "no run was in the middle of storing when the server stopped";
    seats[0].UserID = "after";
    EXPECT_EQ(folder.Scorer(seats[0].Join()).exit_status, 0);
  }
}

}  // namespace
}  // namespace keyin::e2e
