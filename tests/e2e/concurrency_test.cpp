// Many seats of one exam room store into one keyin-statistics database at the same moment.
// Every run must end well and every row must be there: a seat that read its first part while
// another seat wrote must neither deadlock nor fail with a locked database.

#include <gtest/gtest.h>

#include <set>

#include "db_helpers.h"
#include "harness.h"

namespace keyin::e2e {
namespace {

constexpr int kSeats = 16;

struct Started {
  pid_t pid = -1;
  std::filesystem::path err;
};

// Starts keyin-scorer without waiting for it; its standard error goes to `err`.
Started StartScorer(const ProgramFolder& folder, const std::string& argument_string,
                    const std::filesystem::path& err) {
  return {StartProgram(KEYIN_SCORER, {argument_string}, folder.Environment(), "/dev/null", err),
          err};
}

int WaitFor(const Started& started) { return WaitForProgram(started.pid); }

// Each seat has its own paper folder and score folder, as on its own computer; only the
// database is shared. Even seats sit a mock test, odd seats an offline exam.
RunArgs SeatArgs(const ProgramFolder& folder, int seat) {
  const std::filesystem::path home = folder.Root() / ("seat" + std::to_string(seat));
  std::filesystem::create_directories(home / "lib");
  std::filesystem::create_directories(home / "scores");
  std::filesystem::copy_file(folder.Lib() / "P001.LIB", home / "lib/P001.LIB",
                             std::filesystem::copy_options::overwrite_existing);
  RunArgs args = DefaultArgs(folder);
  args.LibPath = (home / "lib").string() + "/";
  args.ScrPath = (home / "scores").string() + "/";
  args.UseTime = "60";
  args.TestType = seat % 2 == 0 ? "3" : "4";
  args.UserID = "S" + std::to_string(1000 + seat);
  args.SeatNo = std::to_string(seat + 1);
  TypeExactly(args, 1, 3);
  TypeExactly(args, 2, 2);
  return args;
}

// Starts every seat's run of the part at once, then waits for all of them.
void RunAllSeatsAtOnce(const ProgramFolder& folder, std::vector<RunArgs>& seats, const char* part) {
  std::vector<Started> started;
  for (std::size_t seat = 0; seat < seats.size(); ++seat) {
    seats[seat].TestPart = part;
    started.push_back(
        StartScorer(folder, seats[seat].Join(), folder.Root() / ("err-" + std::to_string(seat))));
  }
  for (std::size_t seat = 0; seat < started.size(); ++seat) {
    EXPECT_EQ(WaitFor(started[seat]), 0)
        << "part " << part << ", seat " << seat << ": " << ReadBytes(started[seat].err);
  }
}

TEST(Concurrency, SixteenSeatsStoreBothPartsAtOnce) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  std::vector<RunArgs> seats;
  for (int seat = 0; seat < kSeats; ++seat) seats.push_back(SeatArgs(folder, seat));

  RunAllSeatsAtOnce(folder, seats, "1");
  // The second parts read their first part and then write beside it.
  RunAllSeatsAtOnce(folder, seats, "2");

  auto db = OpenKeyin(folder);
  std::set<std::string> stored;
  const DbRows mock_tests = ReadTable(*db, "TestScore_Student");
  const DbRows offline_exams = ReadTable(*db, "OfflineScore");
  for (const DbRow& row : mock_tests.All()) {
    EXPECT_NE(Shown(row["Score1"]), "<null>");
    EXPECT_NE(Shown(row["Score2"]), "<null>");
    stored.insert(Shown(row["TestNum"]));
  }
  for (const DbRow& row : offline_exams.All()) {
    EXPECT_NE(Shown(row["Score1"]), "<null>");
    EXPECT_NE(Shown(row["Score2"]), "<null>");
    stored.insert(Shown(row["SessionSeatNo"]));
  }
  EXPECT_EQ(stored.size(), static_cast<std::size_t>(kSeats));
  EXPECT_EQ(mock_tests.Count() + offline_exams.Count(), static_cast<std::size_t>(kSeats));
}

// Seats that share one library folder score different parts at the same moment: each must score
// against its own part of the paper, not against what another seat's run left in libtemp.
TEST(Concurrency, SeatsSharingALibraryFolderEachReadTheirOwnPart) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  std::vector<RunArgs> seats;
  for (int seat = 0; seat < kSeats; ++seat) {
    RunArgs args = DefaultArgs(folder);
    const std::filesystem::path scores = folder.Root() / ("scores" + std::to_string(seat));
    std::filesystem::create_directories(scores);
    args.ScrPath = scores.string() + "/";
    args.TestType = "1";
    args.UserID = "S" + std::to_string(1000 + seat);
    args.SeatNo = std::to_string(seat + 1);
    args.TestPart = seat % 2 == 0 ? "1" : "2";
    TypeExactly(args, seat % 2 == 0 ? 1 : 2, 12);
    seats.push_back(args);
  }
  std::vector<Started> started;
  for (std::size_t seat = 0; seat < seats.size(); ++seat) {
    started.push_back(
        StartScorer(folder, seats[seat].Join(), folder.Root() / ("err-" + std::to_string(seat))));
  }
  for (std::size_t seat = 0; seat < started.size(); ++seat) {
    ASSERT_EQ(WaitFor(started[seat]), 0) << "seat " << seat << ": " << ReadBytes(started[seat].err);
    const std::string part = seats[seat].TestPart;
    // Twelve lines typed exactly: no error at all against the right part.
    const std::string summary =
        ReadReport(std::filesystem::path(seats[seat].ScrPath) / ("CTEST-" + part + ".TOT"));
    EXPECT_NE(summary.find("E=0/"), std::string::npos) << "seat " << seat << ": " << summary;
  }
  EXPECT_TRUE(std::filesystem::exists(folder.Lib() / "libtemp"));
}

}  // namespace
}  // namespace keyin::e2e
