// Runs killed at random moments (kill -9), five seats at a time: the databases stay whole, every
// run that exited 0 has its row, and no report file, nor the set of a part's three, mixes two
// runs.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "db_helpers.h"
#include "harness.h"

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
  // Five runs share the machine's cores: each takes a few times as long as one alone.
  std::uniform_int_distribution<long> moment(0, run_time.count() * 4);
  int ended_well = 0, killed = 0;
  for (int r = 0; r < kRounds; ++r) {
    std::vector<std::pair<long, std::size_t>> kill_at;
    std::vector<pid_t> started;
    for (std::size_t s = 0; s < seats.size(); ++s) {
      TypeRound(seats[s], r);
      kill_at.emplace_back(moment(random), s);
    }
    const std::vector<Round> so_far(rounds.begin(), rounds.begin() + r + 1);
    std::sort(kill_at.begin(), kill_at.end());
    const Clock::time_point start = Clock::now();
    for (const RunArgs& args : seats) {
      started.push_back(StartProgram(KEYIN_SCORER, {args.Join()}, folder.Environment(), "/dev/null",
                                     "/dev/null"));
    }
    for (const auto& [at, s] : kill_at) {
      std::this_thread::sleep_until(start + std::chrono::microseconds(at));
      ::kill(started[s], SIGKILL);  // a run that has ended is a zombie until waited for
    }
    for (std::size_t s = 0; s < seats.size(); ++s) {
      SCOPED_TRACE("round " + std::to_string(r) + ", seat " + std::to_string(s));
      const int status = WaitForProgram(started[s]);
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
}

}  // namespace
}  // namespace keyin::e2e
