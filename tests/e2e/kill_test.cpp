// Runs killed at random moments (kill -9), several at a time: the databases and the run log stay
// whole, every run that exited 0 has its row, and no report file, nor the set of a part's three,
// mixes two runs.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "db_helpers.h"
#include "harness.h"
#include "platform/digest.h"
#include "run_log_helpers.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kSeats = 5;
constexpr int kRounds = 10;
// The kind of each seat: the two databases, both parts of every table that a second part reads.
constexpr const char* kKinds[kSeats] = {"5", "3", "4", "5", "3"};

// Round r of a seat types the first four lines of its part less the character r + 1 of the first
// line, in r + 1 minutes: the listing shows the time, the summary the speed, the error check the
// missing character, so each report file names the round that wrote it.
struct Round {
  int part;
  std::u16string missing;
  std::string time_used;  // in the listing: "測驗時間:<r + 1>分0秒"
  std::string summary;    // the summary's first line, "CTEST-<part> S=<speed> E=...\r\n"
  std::string speed;
};

// Writes the answer of the round into the seat's score folder; its summary is not known yet.
Round TypeRound(RunArgs& args, int round) {
  const int part = round % 2 + 1;
  std::vector<std::string> lines = Sample(part == 1 ? "paper-test1.txt" : "paper-test2.txt");
  lines.resize(4);
  std::u16string first = Utf8ToUtf16(lines[0]);
  const std::u16string missing = first.substr(static_cast<std::size_t>(round) + 1, 1);
  first.erase(static_cast<std::size_t>(round) + 1, 1);
  lines[0] = Utf16ToUtf8(first);
  WriteTypedAnswer(fs::path(args.ScrPath) / ("CTEST-" + std::to_string(part)), lines);
  args.TestPart = std::to_string(part);
  args.UseTime = std::to_string(60 * (round + 1));
  return {part, missing, "測驗時間:" + std::to_string(round + 1) + "分0秒", "", ""};
}

// The round of `rounds` (same part, up to the last) that wrote each of the part's reports that
// is not empty; -1 for an empty report, -2 for one that no round wrote whole.
std::vector<int> ReportRounds(const RunArgs& args, const std::vector<Round>& rounds) {
  const std::string base = args.ScrPath + "CTEST-" + std::to_string(rounds.back().part);
  // A part that no run has reached has no reports yet.
  const auto read = [](const std::string& path) {
    return fs::exists(path) ? ReadReport(path) : "";
  };
  const std::string listing = read(base + ".SCR"), summary = read(base + ".TOT"),
                    check = read(base + ".CHK");
  std::vector<int> found = {-2, -2, -2};
  for (std::size_t r = 0; r < rounds.size(); ++r) {
    const Round& round = rounds[r];
    if (round.part != rounds.back().part) continue;
    const int number = static_cast<int>(r);
    if (Contains(listing, round.time_used) && Contains(listing, "^^^^") &&
        listing.ends_with("\r\n"))
      found[0] = number;
    if (summary.starts_with(round.summary)) found[1] = number;
    if (Contains(check, Utf16ToUtf8(round.missing))) found[2] = number;
  }
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string& text = i == 0 ? listing : i == 1 ? summary : check;
    if (text.empty()) found[i] = -1;
  }
  return found;
}

// The stored speeds of the seat's rows, in the column of the part.
std::vector<std::string> StoredSpeeds(const ProgramFolder& folder, const RunArgs& args, int part) {
  const std::string column = part == 1 ? "Score1" : "Score2";
  std::string sql = "SELECT " + column + " AS speed FROM OfflineScore WHERE SessionSeatNo = '" +
                    args.SessionNo + args.SeatNo + "'";
  if (args.TestType == "5")
    sql = "SELECT " + column + " AS speed FROM Keyin WHERE UserID = '" + args.UserID + "'";
  if (args.TestType == "3") {
    sql = "SELECT " + column + " AS speed FROM TestScore_Student WHERE Id = '" + args.UserID + "'";
  }
  std::vector<std::string> speeds;
  const DbRows rows = (args.TestType == "5" ? OpenAnswers : OpenKeyin)(folder)->Query(sql);
  for (const DbRow& row : rows.All()) speeds.push_back(Shown(row["speed"]));
  return speeds;
}

// Starts a run of every seat at once and kills each at a random moment up to `latest` after the
// start; their exit statuses (128 + SIGKILL for a run killed before it ended). `ids`, when given,
// names each seat's run (KEYIN_RUN_ID).
std::vector<int> RunKilledAtRandomMoments(const ProgramFolder& folder,
                                          const std::vector<RunArgs>& seats,
                                          std::chrono::microseconds latest, std::mt19937& random,
                                          const std::vector<std::string>& ids = {}) {
  std::uniform_int_distribution<long> moment(0, latest.count());
  std::vector<std::pair<long, std::size_t>> kill_at;
  for (std::size_t s = 0; s < seats.size(); ++s) kill_at.emplace_back(moment(random), s);
  std::sort(kill_at.begin(), kill_at.end());
  std::vector<pid_t> started;
  const Clock::time_point start = Clock::now();
  for (std::size_t s = 0; s < seats.size(); ++s) {
    auto environment = folder.Environment();
    if (s < ids.size()) environment["KEYIN_RUN_ID"] = ids[s];
    started.push_back(
        StartProgram(KEYIN_SCORER, {seats[s].Join()}, environment, "/dev/null", "/dev/null"));
  }
  for (const auto& [at, s] : kill_at) {
    std::this_thread::sleep_until(start + std::chrono::microseconds(at));
    ::kill(started[s], SIGKILL);  // a run that has ended is a zombie until waited for
  }
  std::vector<int> statuses;
  for (const pid_t pid : started) statuses.push_back(WaitForProgram(pid));
  return statuses;
}

TEST(KillTest, RunsKilledAtRandomMomentsLeaveWholeDatabasesAndReports) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  std::vector<RunArgs> seats;
  for (int s = 0; s < kSeats; ++s) {
    RunArgs args = DefaultArgs(folder);
    args.ScrPath = (folder.Root() / ("scores-" + std::to_string(s))).string() + "/";
    fs::create_directories(args.ScrPath);
    args.TestType = kKinds[s];
    args.UserID = "K" + std::to_string(s);
    args.SeatNo = std::to_string(10 + s);
    seats.push_back(args);
  }
  // Every round once, killed by nobody, in a folder of its own and of a kind that stores nothing:
  // the summary each round writes, and how long a run takes here (sanitizers make it slower).
  std::vector<Round> rounds;
  RunArgs calibration = DefaultArgs(folder);
  calibration.TestType = "7";
  const Clock::time_point calibration_start = Clock::now();
  for (int r = 0; r < kRounds; ++r) {
    rounds.push_back(TypeRound(calibration, r));
    ASSERT_EQ(folder.Scorer(calibration.Join()).exit_status, 0);
    const std::string summary =
        ReadReport(folder.Scores() / ("CTEST-" + calibration.TestPart + ".TOT"));
    rounds.back().summary = summary.substr(0, summary.find('\n') + 1);
    const std::size_t speed = summary.find(" S=") + 3;
    rounds.back().speed = summary.substr(speed, summary.find(' ', speed) - speed);
  }
  const auto run_time =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - calibration_start) /
      kRounds;

  std::mt19937 random(std::random_device{}());
  int ended_well = 0, killed = 0;
  for (int r = 0; r < kRounds; ++r) {
    for (RunArgs& args : seats) TypeRound(args, r);
    const std::vector<Round> so_far(rounds.begin(), rounds.begin() + r + 1);
    // Five runs share the machine's cores: each takes a few times as long as one alone.
    const std::vector<int> statuses = RunKilledAtRandomMoments(folder, seats, run_time * 4, random);
    for (std::size_t s = 0; s < seats.size(); ++s) {
      SCOPED_TRACE("round " + std::to_string(r) + ", seat " + std::to_string(s));
      const int status = statuses[s];
      ++(status == 0 ? ended_well : killed);
      EXPECT_TRUE(status == 0 || status == 128 + SIGKILL) << status;
      const std::vector<int> written = ReportRounds(seats[s], so_far);
      if (status == 0) {
        EXPECT_EQ(written, std::vector<int>(3, r)) << "the reports of a run that ended well";
        const std::vector<std::string> stored = StoredSpeeds(folder, seats[s], rounds[r].part);
        EXPECT_NE(std::find(stored.begin(), stored.end(), rounds[r].speed), stored.end())
            << "the row of a run that ended well";
      }
      int written_by = -1;
      for (const int round : written) {
        EXPECT_NE(round, -2) << "a report that no run wrote whole";
        if (round < 0) continue;
        EXPECT_TRUE(written_by < 0 || round == written_by) << "reports of two runs side by side";
        written_by = round;
      }
    }
  }
  RecordProperty("ended_well", ended_well);
  RecordProperty("killed", killed);
  for (const auto& [path, password] :
       {std::pair(folder.KeyinDatabase(), "K4T7W2"), std::pair(folder.AnswerDatabase(), "5820")}) {
    EXPECT_EQ(Dump(*OpenDatabase(path.string(), password), "PRAGMA integrity_check"), "ok") << path;
  }
  // Every line of the run log that has its end is a whole entry.
  EXPECT_GE(LogLines(DefaultRunLog(folder)).size(), static_cast<std::size_t>(ended_well));
}

// Runs of candidates of their own, each with an answer of its own, killed at random moments four
// at a time: no line of the log is torn but perhaps the last, every run that ended well has its
// line, and every stored row can be traced to its answer in the archive, also the row of a run
// killed after it stored. A run's id is recorded exactly when its row is stored, so that whether
// a run killed before its line stored can be told.
TEST(KillTest, RunsKilledAtRandomMomentsLeaveNoTornLogLineNorRowWithoutItsAnswer) {
  constexpr int kAtOnce = 4, kRunRounds = 8;  // 32 runs, as many distinct answers
  ProgramFolder folder;
  folder.InstallSamplePaper();
  // How long a run takes here, from runs of a kind that stores nothing.
  RunArgs calibration = DefaultArgs(folder);
  calibration.TestType = "7";
  WriteTypedAnswer(folder.Scores() / "CTEST-1", DistinctAnswer(15));
  const Clock::time_point calibration_start = Clock::now();
  for (int i = 0; i < 3; ++i) ASSERT_EQ(folder.Scorer(calibration.Join()).exit_status, 0);
  const auto run_time =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - calibration_start) / 3;

  std::mt19937 random(std::random_device{}());
  std::map<std::string, std::string> answers;  // by UserID, each run's own
  std::vector<std::string> ended_well;         // the argument strings
  for (int r = 0; r < kRunRounds; ++r) {
    std::vector<RunArgs> seats;
    std::vector<std::string> ids;
    for (int s = 0; s < kAtOnce; ++s) {
      const int n = r * kAtOnce + s;
      seats.push_back(SeatArgs(folder, std::to_string(100 + n), s % 2 ? "3" : "5"));
      WriteTypedAnswer(seats.back().ScrPath + "CTEST-1", DistinctAnswer(n));
      answers[seats.back().UserID] = TypedAnswerBytes(DistinctAnswer(n));
      ids.push_back("run-" + seats.back().UserID);
    }
    const std::vector<int> statuses =
        RunKilledAtRandomMoments(folder, seats, run_time * 4, random, ids);
    for (int s = 0; s < kAtOnce; ++s) {
      EXPECT_TRUE(statuses[s] == 0 || statuses[s] == 128 + SIGKILL) << statuses[s];
      if (statuses[s] == 0) ended_well.push_back(seats[s].Join());
    }
  }

  std::set<std::string> logged;
  for (const nlohmann::json& line : LogLines(DefaultRunLog(folder))) {
    if (line.value("exit", -1) == 0) logged.insert(line.value("arguments", ""));
  }
  for (const std::string& arguments : ended_well) {
    EXPECT_TRUE(logged.contains(arguments)) << "a run that ended well left no line: " << arguments;
  }
  std::vector<std::string> stored;
  const struct {
    std::unique_ptr<DbConnection> (*open)(const ProgramFolder&);
    const char* sql;
  } tables[] = {{OpenAnswers, "SELECT UserID FROM Keyin"},
                {OpenKeyin, "SELECT Id FROM TestScore_Student"}};
  for (const auto& [open, sql] : tables) {
    const std::unique_ptr<DbConnection> db = open(folder);
    std::set<std::string> rows, recorded;
    const DbRows stored_rows = db->Query(sql),
                 finished = db->Query("SELECT RunId FROM FinishedRuns");
    for (const DbRow& row : stored_rows.All()) rows.insert("run-" + Shown(row.Values()[0]));
    // The calibration's runs of kind 7 recorded theirs in Vorkeyin.mdb too, under ids made up.
    for (const DbRow& row : finished.All()) {
      if (const std::string id = Shown(row.Values()[0]); id.starts_with("run-"))
        recorded.insert(id);
    }
    EXPECT_EQ(rows, recorded) << "a row without its id, or an id without its row";
    for (const std::string& run : rows) stored.push_back(run.substr(4));
  }
  EXPECT_GE(stored.size(), ended_well.size());
  for (const std::string& candidate : stored) {
    ASSERT_TRUE(answers.contains(candidate)) << candidate;
    const fs::path kept = folder.Root() / "archive" / Sha256Hex(answers[candidate]);
    EXPECT_TRUE(fs::exists(kept) && ReadBytes(kept) == answers[candidate])
        << "the row of " << candidate << " has no archived answer";
  }
  RecordProperty("ended_well", static_cast<int>(ended_well.size()));
  RecordProperty("rows", static_cast<int>(stored.size()));
}

}  // namespace
}  // namespace keyin::e2e
