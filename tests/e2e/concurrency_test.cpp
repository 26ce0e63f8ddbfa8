// Sixteen seats of one exam room score and store at the same moment, sharing one database and
// one library folder. Every run must end well, score against its own part of the paper (not
// what another seat left in libtemp) and store its row: no deadlock, no "database is locked".
#include <gtest/gtest.h>

#include <set>

#include "db_helpers.h"
#include "harness.h"

namespace keyin::e2e {
namespace {

constexpr int kSeats = 16;

// Starts every seat's run of the part at once, then waits for all of them; each seat types its
// part's first lines exactly, so any error means it read the other part.
void RunAllSeatsAtOnce(const ProgramFolder& folder, std::vector<RunArgs>& seats, int part) {
  std::vector<pid_t> started;
  for (std::size_t seat = 0; seat < seats.size(); ++seat) {
    seats[seat].TestPart = std::to_string(part);
    TypeExactly(seats[seat], part, 12);
    started.push_back(StartProgram(KEYIN_SCORER, {seats[seat].Join()}, folder.Environment(),
                                   "/dev/null", folder.Root() / ("err-" + std::to_string(seat))));
  }
  for (std::size_t seat = 0; seat < started.size(); ++seat) {
    const std::filesystem::path scores = seats[seat].ScrPath;
    ASSERT_EQ(WaitForProgram(started[seat]), 0)
        << "seat " << seat << ": " << ReadBytes(folder.Root() / ("err-" + std::to_string(seat)));
    const std::string summary = ReadReport(scores / ("CTEST-" + std::to_string(part) + ".TOT"));
    EXPECT_NE(summary.find("E=0/"), std::string::npos) << "seat " << seat << ": " << summary;
  }
}

TEST(Concurrency, SixteenSeatsScoreAndStoreBothPartsAtOnce) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  std::vector<RunArgs> seats;
  for (int seat = 0; seat < kSeats; ++seat) {
    RunArgs args = DefaultArgs(folder);
    args.ScrPath = (folder.Root() / ("scores" + std::to_string(seat))).string() + "/";
    std::filesystem::create_directories(args.ScrPath);
    args.TestType = seat % 2 == 0 ? "3" : "4";  // mock tests and offline exams
    args.UserID = "S" + std::to_string(1000 + seat);
    args.SeatNo = std::to_string(seat + 1);
    seats.push_back(args);
  }
  RunAllSeatsAtOnce(folder, seats, 1);
  // The second parts read their first part and then write beside it.
  RunAllSeatsAtOnce(folder, seats, 2);

  auto db = OpenKeyin(folder);
  std::set<std::string> stored;
  for (const char* table : {"TestScore_Student", "OfflineScore"}) {
    const DbRows rows = ReadTable(*db, table);
    for (const DbRow& row : rows.All()) {
      EXPECT_NE(Shown(row["Score1"]), "<null>") << table;
      EXPECT_NE(Shown(row["Score2"]), "<null>") << table;
      stored.insert(Shown(row[table[0] == 'T' ? "TestNum" : "SessionSeatNo"]));
    }
  }
  EXPECT_EQ(stored.size(), static_cast<std::size_t>(kSeats));
}

}  // namespace
}  // namespace keyin::e2e
