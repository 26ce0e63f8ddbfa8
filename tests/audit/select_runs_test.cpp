// Which logged runs a re-scoring replays, and with which values it compares.
#include <gtest/gtest.h>

#include "audit/rescore.h"

namespace keyin {
namespace {

// A scored run of the log: seat, paper and part as the argument string gives them.
RunLogEntry ScoredRun(std::string id, std::string paper, std::string session, std::string part,
                      int hour, double speed = 40) {
  RunLogEntry entry;
  entry.id = std::move(id);
  entry.program = kScorerProgram;
  entry.time = {2026, 12, 7, hour, 0, 0};
  entry.arguments = "A01,E01," + paper + ",,3,S1,王小明," + session + ",15," + part +
                    ",600,60,0,/lib/,/scores/,甲班";
  entry.speed = speed;
  entry.error_rate = 1;
  entry.paper = LoggedFile{"/lib/" + paper + ".LIB", std::string(64, 'a')};
  entry.answer = LoggedFile{"/scores/CTEST-" + part, std::string(64, 'b')};
  return entry;
}

RunLogEntry ReplayOf(const RunLogEntry& of, double speed, int exit_status = 0) {
  RunLogEntry entry = of;
  entry.id = "replay-" + of.id;
  entry.program = kRescoreProgram;
  entry.replay_of = of.id;
  entry.speed = speed;
  entry.exit_status = exit_status;
  return entry;
}

std::vector<std::string> Ids(const std::vector<SelectedRun>& runs) {
  std::vector<std::string> ids;
  for (const SelectedRun& run : runs) ids.push_back(run.run.id);
  return ids;
}

TEST(SelectRuns, TakesTheScoredRunsTheFiltersName) {
  RunLogEntry failed_early = ScoredRun("failed", "P001", "3", "1", 9);
  failed_early.answer.reset();
  RunLogEntry no_run = ScoredRun("garbage", "P001", "3", "1", 9);
  no_run.arguments = "A01,E01";
  const std::vector<RunLogEntry> log = {ScoredRun("p1-s3-9h", "P001", "3", "1", 9),
                                        ScoredRun("p2-s3-9h", "P002", "3", "1", 9),
                                        ScoredRun("p1-s4-10h", "P001", "4", "1", 10),
                                        ScoredRun("p1-s3-11h", "P001", "30", "1", 11),
                                        failed_early,
                                        no_run};
  const DateTime ten = {2026, 12, 7, 10, 0, 0};
  struct Case {
    const char* name;
    RescoreSelection selection;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {"everything replayable", {}, {"p1-s3-9h", "p2-s3-9h", "p1-s4-10h", "p1-s3-11h"}},
      {"one paper", {.paper = "P001"}, {"p1-s3-9h", "p1-s4-10h", "p1-s3-11h"}},
      {"one session, not its prefix", {.session = "3"}, {"p1-s3-9h", "p2-s3-9h"}},
      {"from a time on, inclusive", {.from = ten}, {"p1-s4-10h", "p1-s3-11h"}},
      {"up to a time, inclusive", {.to = ten}, {"p1-s3-9h", "p2-s3-9h", "p1-s4-10h"}},
      {"filters together", {.paper = "P001", .session = "4", .to = ten}, {"p1-s4-10h"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Ids(SelectRuns(log, c.selection)), c.ids) << c.name;
}

// A second part's review result reads its first part: replaying a first part brings the later
// second part of the same candidate along, even outside the time window, but no one else's.
TEST(SelectRuns, AFirstPartBringsItsLaterSecondPart) {
  RunLogEntry other_seat = ScoredRun("other-2", "P001", "3", "2", 12);
  other_seat.arguments.replace(other_seat.arguments.find(",15,"), 4, ",16,");
  const std::vector<RunLogEntry> log = {ScoredRun("earlier-2", "P001", "3", "2", 8),
                                        ScoredRun("part-1", "P001", "3", "1", 9),
                                        ScoredRun("part-2", "P001", "3", "2", 12), other_seat};
  RescoreSelection nine_only;
  nine_only.from = DateTime{2026, 12, 7, 9, 0, 0};
  nine_only.to = DateTime{2026, 12, 7, 9, 0, 0};
  EXPECT_EQ(Ids(SelectRuns(log, nine_only)), (std::vector<std::string>{"part-1", "part-2"}));
}

// A failed run is replayed only when it stored its result all the same (it failed after, at its
// CSCR file), and never when a run of its id ended well: an id is stored once. Runs that ended
// well are replayed without asking.
TEST(SelectRuns, AFailedRunOnlyWhenItStoredItsResult) {
  const auto failed = [](std::string id, int hour) {
    RunLogEntry entry = ScoredRun(std::move(id), "P001", "3", "1", hour);
    entry.exit_status = 1;
    return entry;
  };
  const std::vector<RunLogEntry> log = {ScoredRun("ended-well", "P001", "3", "1", 8),
                                        failed("ended-well", 9), failed("stored-then-failed", 10),
                                        failed("stored-nothing", 11)};
  std::vector<std::string> asked;
  const StoredDespiteFailure stored = [&](const RunLogEntry& run, const RunParams& params) {
    asked.push_back(run.id);
    EXPECT_EQ(params.UserID, u"S1");
    return run.id == "stored-then-failed";
  };
  EXPECT_EQ(Ids(SelectRuns(log, {}, stored)),
            (std::vector<std::string>{"ended-well", "stored-then-failed"}));
  EXPECT_EQ(asked, (std::vector<std::string>{"stored-then-failed", "stored-nothing"}));
  EXPECT_EQ(Ids(SelectRuns(log, {})), std::vector<std::string>{"ended-well"})
      << "without the table nothing failed is taken for stored";
}

// The values a replay is compared with are those of the run's latest replay that scored; a
// replay line is never replayed itself.
TEST(SelectRuns, ComparesWithTheLatestReplayThatScored) {
  const RunLogEntry run = ScoredRun("run", "P001", "3", "1", 9, 40);
  const std::vector<RunLogEntry> log = {run, ReplayOf(run, 41), ReplayOf(run, 0, 1)};
  const std::vector<SelectedRun> selected = SelectRuns(log, {});
  ASSERT_EQ(Ids(selected), std::vector<std::string>{"run"});
  EXPECT_EQ(selected[0].speed, 41);
}

}  // namespace
}  // namespace keyin
