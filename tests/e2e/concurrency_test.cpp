// Seats of one exam room score and store at the same moment, sharing one store (the files or a
// server) and one library folder. Every run must end well, score against its own part of the
// paper (not what another seat left in libtemp) and store its row exactly once: no deadlock, no
// "database is locked", no row lost or doubled.
#include <gtest/gtest.h>

#include <map>

#include "db_helpers.h"
#include "harness.h"

namespace keyin::e2e {
namespace {

constexpr int kSeats = 64;
// Mock tests, offline exams and exams: the three tables whose second part reads the first.
constexpr const char* kKinds[] = {"3", "4", "5"};

struct Seat {
  RunArgs args;
  int part = 1;
  int speed = 0;  // the speed its typed answer scores
};

// Starts every seat's run at once, then waits for all of them. Each seat types the first lines
// of its part exactly, so any error means it read the other part.
void RunAllAtOnce(const ProgramFolder& folder, std::vector<Seat>& seats) {
  std::vector<pid_t> started;
  for (std::size_t i = 0; i < seats.size(); ++i) {
    Seat& seat = seats[i];
    seat.args.TestPart = std::to_string(seat.part);
    seat.speed = TypeExactly(seat.args, seat.part, seat.part == 1 ? 12 : 10);
  }
  for (std::size_t i = 0; i < seats.size(); ++i) {
    started.push_back(StartProgram(KEYIN_SCORER, {seats[i].args.Join()}, folder.Environment(),
                                   "/dev/null", folder.Root() / ("err-" + std::to_string(i))));
  }
  for (std::size_t i = 0; i < seats.size(); ++i) {
    const Seat& seat = seats[i];
    ASSERT_EQ(WaitForProgram(started[i]), 0)
        << "run " << i << ": " << ReadBytes(folder.Root() / ("err-" + std::to_string(i)));
    const std::string part = std::to_string(seat.part);
    const std::string summary =
        ReadReport(std::filesystem::path(seat.args.ScrPath) / ("CTEST-" + part + ".TOT"));
    EXPECT_TRUE(Contains(summary, "E=0/")) << "run " << i << ": " << summary;
  }
}

// Rows by kind of run and test-taker: "<Score1> <Score2>" each, a row without part 1 first.
std::map<std::string, std::vector<std::string>> StoredRows(const ProgramFolder& folder) {
  std::map<std::string, std::vector<std::string>> rows;
  const std::pair<const char*, const char*> tables[] = {
      {"3",
       "SELECT Id AS who, Score1, Score2 FROM TestScore_Student "
       "ORDER BY COALESCE(Score1, -1)"},
      {"4", "SELECT SessionSeatNo AS who, Score1, Score2 FROM OfflineScore"},
      {"5", "SELECT UserID AS who, Score1, Score2 FROM Keyin"}};
  for (const auto& [kind, sql] : tables) {
    const DbRows found = (kind[0] == '5' ? OpenAnswers : OpenKeyin)(folder)->Query(sql);
    for (const DbRow& row : found.All()) {
      std::string who = Shown(row["who"]);
      if (kind[0] == '4') who = "S" + who.substr(1);  // SessionSeatNo is SessionNo & SeatNo
      rows[kind + std::string(" ") + who].push_back(Shown(row["Score1"]) + " " +
                                                    Shown(row["Score2"]));
    }
  }
  return rows;
}

TEST(Concurrency, SixtyFourSeatsStoreBothPartsAtOnce) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  std::vector<Seat> seats;
  for (int i = 0; i < kSeats; ++i) {
    seats.push_back({SeatArgs(folder, std::to_string(100 + i), kKinds[i % 3])});
  }
  RunAllAtOnce(folder, seats);
  const int speed1 = seats[0].speed;
  // The second parts read their first part and then write beside it.
  for (Seat& seat : seats) seat.part = 2;
  RunAllAtOnce(folder, seats);

  std::map<std::string, std::vector<std::string>> expected;
  for (const Seat& seat : seats) {
    expected[seat.args.TestType + " " + seat.args.UserID] = {std::to_string(speed1) + " " +
                                                             std::to_string(seat.speed)};
  }
  EXPECT_EQ(StoredRows(folder), expected);
}

// Two seats store the two parts of one candidate at the same moment: the store runs them one
// after the other, in either order. Part 1 first: one row with both parts. Part 2 first: its row
// stands alone, then part 1 replaces it (exam, offline exam) or is added beside it (mock test).
// Never two rows where one belongs, never a part lost while its row stands.
TEST(Concurrency, BothPartsOfOneCandidateAtOnce) {
  ProgramFolder folder;
  folder.InstallSamplePaper();
  std::vector<Seat> seats;
  for (int i = 0; i < 24; ++i) {
    RunArgs args = SeatArgs(folder, std::to_string(200 + i), kKinds[i % 3]);
    seats.push_back({args, 1});
    seats.push_back({args, 2});
  }
  RunAllAtOnce(folder, seats);

  const std::string speed1 = std::to_string(seats[0].speed),
                    speed2 = std::to_string(seats[1].speed);
  const std::vector<std::string> in_order = {speed1 + " " + speed2};
  const std::vector<std::string> one_alone = {speed1 + " <null>"};
  const std::vector<std::string> side_by_side = {"<null> " + speed2, speed1 + " <null>"};
  const auto rows = StoredRows(folder);
  ASSERT_EQ(rows.size(), 24u);
  int part_two_first = 0;
  for (const auto& [who, stored] : rows) {
    const bool mock = who[0] == '3';
    if (stored != in_order) {
      EXPECT_EQ(stored, mock ? side_by_side : one_alone) << who;
      ++part_two_first;
    }
  }
  RecordProperty("part_two_first", part_two_first);
}

// An exam room that reruns a part under the same id while the first run is still storing: of all
// the runs of one id that store at the same moment, exactly one stores its row and records the
// id; every other fails saying so and stores nothing. A mock test's first part, which adds a row
// each time, would otherwise be stored once per run.
TEST(Concurrency, RunsOfOneIdAtOnceStoreOnce) {
  constexpr int kRuns = 8;
  ProgramFolder folder;
  folder.InstallSamplePaper();
  for (const char* kind : {"3", "5"}) {
    SCOPED_TRACE(kind);
    const RunArgs args = SeatArgs(folder, kind[0] == '3' ? "300" : "301", kind);
    TypeExactly(args, 1, 6);
    auto environment = folder.Environment();
    environment["KEYIN_RUN_ID"] = std::string("seat-") + args.SeatNo + "-part-1";
    std::vector<pid_t> started;
    for (int i = 0; i < kRuns; ++i) {
      started.push_back(StartProgram(KEYIN_SCORER, {args.Join()}, environment, "/dev/null",
                                     folder.Root() / ("err-" + std::to_string(i))));
    }
    int stored = 0;
    for (int i = 0; i < kRuns; ++i) {
      const int status = WaitForProgram(started[i]);
      const std::string err = ReadBytes(folder.Root() / ("err-" + std::to_string(i)));
      if (status == 0) {
        ++stored;
      } else {
        EXPECT_EQ(status, 1);
        EXPECT_TRUE(Contains(err, "was stored already")) << err;
      }
    }
    EXPECT_EQ(stored, 1);
    const bool exam = kind[0] == '5';
    const std::unique_ptr<DbConnection> db = (exam ? OpenAnswers : OpenKeyin)(folder);
    EXPECT_EQ(Dump(*db, exam ? "SELECT count(*) FROM Keyin"
                             : "SELECT count(*) FROM "
                               "TestScore_Student"),
              "1");
    EXPECT_EQ(Dump(*db, "SELECT count(*) FROM FinishedRuns WHERE RunId = '" +
                            *environment["KEYIN_RUN_ID"] + "'"),
              "1");
  }
}

}  // namespace
}  // namespace keyin::e2e
