// The seat rules as a table of moments in a part's life, each with the reason it must hold.
#include "server/seat_rules.h"

#include <gtest/gtest.h>

#include "server/room_views.h"

namespace keyin::server {
namespace {

constexpr std::int64_t kStart = 1'000'000;

SeatTerms Terms(bool ended = false) {
  SeatTerms terms;
  terms.allowed_seconds = 300;
  terms.grace_ms = 3000;
  terms.answer_limit_bytes = 1000;
  terms.line_limit = 5;
  terms.ended = ended;
  terms.sitting_id = "S1";
  return terms;
}

// A two-part seat typing part 1 since kStart, its text "甲" saved as version 1 by window "w".
Seat Typing() {
  Seat seat = NewSeat({"U1", "王", "甲班", "7"}, 2);
  EXPECT_TRUE(ChooseMethod(seat, "倉頡"));
  EXPECT_TRUE(StartPart(seat, 1, kStart, Terms()));
  EXPECT_EQ(SaveDraft(seat, 1, {"甲", 0, "w", 1}, kStart + 1000, Terms()), SaveOutcome::kTaken);
  return seat;
}

int StatusOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const RoomError& refusal) {
    return refusal.Status();
  }
  return 200;
}

TEST(SaveDraft, KeepsTheNewestTextOfOneWindowAndRefusesAStaleOne) {
  struct Case {
    const char* behaviour;
    DraftSave save;
    int status;
    SaveOutcome outcome;
    std::string text_after;
    std::int64_t version_after;
  };
  const Case cases[] = {
      {"the same window's next save", {"甲乙", 1, "w", 2}, 200, SaveOutcome::kTaken, "甲乙", 2},
      {"the same window's older save arriving late",
       {"", 0, "w", 1},
       200,
       SaveOutcome::kIgnoredAsOlder,
       "甲",
       1},
      {"an unchanged text from a window that missed an answer",
       {"甲", 0, "v", 9},
       200,
       SaveOutcome::kUnchanged,
       "甲",
       1},
      {"a reload that built on the latest text",
       {"甲乙", 1, "v", 1},
       200,
       SaveOutcome::kTaken,
       "甲乙",
       2},
      {"a second tab that built on an older text",
       {"乙", 0, "v", 1},
       409,
       SaveOutcome::kTaken,
       "甲",
       1},
      {"a client without a window that built on the latest text",
       {"甲乙", 1, "", 0},
       200,
       SaveOutcome::kTaken,
       "甲乙",
       2},
      {"a client without a window that built on an older text",
       {"乙", 0, "", 0},
       409,
       SaveOutcome::kTaken,
       "甲",
       1},
      {"more bytes than an answer holds",
       {std::string(1001, 'a'), 1, "w", 2},
       413,
       SaveOutcome::kTaken,
       "甲",
       1},
      {"more lines than the scorer takes",
       {"1\n2\n3\n4\n5\n6", 1, "w", 2},
       413,
       SaveOutcome::kTaken,
       "甲",
       1},
  };
  for (const Case& c : cases) {
    Seat seat = Typing();
    SaveOutcome outcome = SaveOutcome::kTaken;
    const int status =
        StatusOf([&] { outcome = SaveDraft(seat, 1, c.save, kStart + 2000, Terms()); });
    EXPECT_EQ(status, c.status) << c.behaviour;
    if (status == 200) {
      EXPECT_EQ(outcome, c.outcome) << c.behaviour;
    }
    EXPECT_EQ(seat.parts[0].text, c.text_after) << c.behaviour;
    EXPECT_EQ(seat.parts[0].version, c.version_after) << c.behaviour;
  }
}

TEST(SaveDraft, OnlyWhileThePartIsTypedAndInTime) {
  struct Case {
    const char* behaviour;
    std::int64_t at;
    bool ended;
    int part;
    int status;
  };
  const Case cases[] = {
      {"in the grace after the deadline", kStart + 300'000 + 3000, false, 1, 200},
      {"after the grace", kStart + 300'000 + 3001, false, 1, 409},
      {"after the sitting ended", kStart + 2000, true, 1, 409},
      {"a part not started", kStart + 2000, false, 2, 409},
      {"a part the sitting lacks", kStart + 2000, false, 3, 409},
  };
  for (const Case& c : cases) {
    Seat seat = Typing();
    EXPECT_EQ(StatusOf([&] {
                SaveDraft(seat, c.part, {"甲乙", 1, "w", 2}, c.at, Terms(c.ended));
              }),
              c.status)
        << c.behaviour;
  }
}

TEST(StartPart, GoesInOrderOnceAMethodIsChosen) {
  Seat fresh = NewSeat({"U1", "王", "甲班", "7"}, 2);
  EXPECT_EQ(StatusOf([&] { StartPart(fresh, 1, kStart, Terms()); }), 409) << "no method yet";
  ASSERT_TRUE(ChooseMethod(fresh, "倉頡"));
  EXPECT_EQ(StatusOf([&] { StartPart(fresh, 2, kStart, Terms()); }), 409) << "part 2 first";
  EXPECT_EQ(StatusOf([&] { StartPart(fresh, 3, kStart, Terms()); }), 400) << "no such part";
  EXPECT_EQ(StatusOf([&] { StartPart(fresh, 1, kStart, Terms(true)); }), 409) << "ended";
  EXPECT_EQ(StatusOf([&] { ChooseMethod(fresh, "拼音"); }), 400) << "not on the list";

  Seat seat = Typing();
  EXPECT_FALSE(StartPart(seat, 1, kStart + 5000, Terms())) << "a retried start";
  EXPECT_EQ(seat.parts[0].deadline_ms, kStart + 300'000);
  EXPECT_EQ(StatusOf([&] { ChooseMethod(seat, "注音"); }), 409) << "method after the start";
}

TEST(Submit, QueuesThePartOnceUnderItsRunId) {
  Seat seat = Typing();
  ASSERT_TRUE(Submit(seat, 1, DraftSave{"甲乙丙", 1, "w", 2}, kStart + 60'000, Terms()));
  const PartRecord& part = seat.parts[0];
  EXPECT_EQ(part.text, "甲乙丙");
  EXPECT_EQ(part.use_time, 60);
  EXPECT_EQ(part.scoring, ScoringState::kQueued);
  EXPECT_EQ(part.run_id, "S1-7-1");
  EXPECT_FALSE(Submit(seat, 1, DraftSave{"別的", 2, "w", 3}, kStart + 61'000, Terms()))
      << "a double click";
  EXPECT_EQ(seat.parts[0].text, "甲乙丙");
  EXPECT_EQ(CurrentPart(seat), 2);
}

TEST(Submit, AStaleTabCannotEndThePartAndALateTextIsNotTaken) {
  Seat stale = Typing();
  EXPECT_EQ(StatusOf([&] {
              Submit(stale, 1, DraftSave{"乙", 0, "v", 1}, kStart + 5000, Terms());
            }),
            409);
  EXPECT_FALSE(stale.parts[0].Submitted());

  Seat late = Typing();
  ASSERT_TRUE(Submit(late, 1, DraftSave{"甲乙", 1, "w", 2}, kStart + 400'000, Terms()));
  EXPECT_EQ(late.parts[0].text, "甲") << "after the grace the last save counts";
  EXPECT_EQ(late.parts[0].use_time, 300) << "never past the deadline";
}

TEST(SubmitWhenDue, SubmitsAtTheDeadlineAndWhenTheSittingEnds) {
  struct Case {
    const char* behaviour;
    std::int64_t at;
    bool ended;
    int submitted;
  };
  const Case cases[] = {
      {"in the grace", kStart + 303'000, false, 0},
      {"past the grace", kStart + 303'001, false, 1},
      {"the sitting ended early", kStart + 10'000, true, 1},
  };
  for (const Case& c : cases) {
    Seat seat = Typing();
    EXPECT_EQ(DuePart(seat, c.at, Terms(c.ended)), c.submitted) << c.behaviour;
    EXPECT_EQ(SubmitWhenDue(seat, c.at, Terms(c.ended)), c.submitted) << c.behaviour;
    EXPECT_EQ(seat.parts[0].Submitted(), c.submitted == 1) << c.behaviour;
  }
  Seat waiting = NewSeat({"U1", "王", "甲班", "7"}, 1);
  EXPECT_EQ(SubmitWhenDue(waiting, kStart, Terms(true)), 0) << "nothing typed, nothing due";
}

TEST(AddTime, GoesToThePartBeingTypedOrTheNextAndSaysWhich) {
  Seat typing = Typing();
  EXPECT_EQ(AddTime(typing, 120, Terms()), 1);
  EXPECT_EQ(typing.parts[0].deadline_ms, kStart + 420'000);

  Seat between = Typing();
  ASSERT_TRUE(Submit(between, 1, std::nullopt, kStart + 10'000, Terms()));
  EXPECT_EQ(AddTime(between, 120, Terms()), 2) << "part 1 was just submitted";
  EXPECT_EQ(AllowedSeconds(between.parts[1], Terms()), 420);

  EXPECT_EQ(StatusOf([&] { AddTime(typing, 0, Terms()); }), 400);
  EXPECT_EQ(StatusOf([&] { AddTime(typing, 3601, Terms()); }), 400);
  EXPECT_EQ(StatusOf([&] { AddTime(typing, 60, Terms(true)); }), 409);
}

TEST(Scoring, MovesFromQueuedThroughRunningToItsEnd) {
  Seat seat = Typing();
  ASSERT_TRUE(Submit(seat, 1, std::nullopt, kStart + 10'000, Terms()));
  ASSERT_TRUE(MarkRunning(seat, 1, 4096));
  EXPECT_EQ(seat.parts[0].scoring, ScoringState::kRunning);
  EXPECT_EQ(seat.parts[0].keyin_offset, 4096);
  EXPECT_TRUE(seat.parts[0].BeingScored());
  ASSERT_TRUE(MarkScored(seat, 1, {"36", "1", "3", "181"}, true));
  EXPECT_FALSE(seat.parts[0].BeingScored());
  EXPECT_EQ(ScoringStateNamed(ScoringStateName(ScoringState::kScored)), ScoringState::kScored);
  EXPECT_EQ(ScoringStateNamed("done"), std::nullopt);
}

TEST(CandidateState, ShowsTheStageAndOnlyWhatItNeeds) {
  Sitting sitting;
  sitting.ExamPaperNo = "P001";
  sitting.TestType = "3";
  sitting.ShowResults = true;
  const std::vector<std::vector<std::string>> paper = {{"甲乙丙"}, {"丁戊"}};
  const SeatTerms terms = Terms();
  const SittingView view{sitting, paper, terms};

  Seat seat = NewSeat({"U1", "王", "甲班", "7"}, 2);
  EXPECT_EQ(CandidateState(seat, view, kStart)["stage"], "method");
  ASSERT_TRUE(ChooseMethod(seat, "倉頡"));
  nlohmann::json state = CandidateState(seat, view, kStart);
  EXPECT_EQ(state["stage"], "ready");
  EXPECT_FALSE(state.contains("reference")) << "the paper only once the part has started";

  seat = Typing();
  state = CandidateState(seat, view, kStart + 100'000);
  EXPECT_EQ(state["stage"], "typing");
  EXPECT_EQ(state["time_left_ms"], 200'000);
  EXPECT_EQ(state["version"], 1);
  EXPECT_EQ(state["reference"], nlohmann::json({"甲乙丙"}));

  EXPECT_EQ(CandidateState(seat, {sitting, paper, Terms(true)}, kStart)["stage"], "done");
}

// One session holds a seat; another waits as a move until the proctor decides; a session that
// leaves frees the seat for the next sign-in.
TEST(SignIn, OneSessionHoldsTheSeatAndAnotherWaitsForTheProctor) {
  Seat seat = NewSeat({"U1", "王", "甲班", "7"}, 2);
  ASSERT_TRUE(SignIn(seat, "a"));
  ASSERT_TRUE(SignIn(seat, "b"));
  EXPECT_EQ(seat.token_hash + "/" + seat.move_hash, "a/b");
  ASSERT_TRUE(SignIn(seat, "c"));
  EXPECT_EQ(seat.move_hash, "c") << "the latest request waits, the one before is dropped";
  ASSERT_TRUE(DecideMove(seat, false));
  EXPECT_EQ(seat.token_hash + "/" + seat.move_hash, "a/");
  EXPECT_EQ(StatusOf([&] { DecideMove(seat, true); }), 409);
  ASSERT_TRUE(SignIn(seat, "d"));
  ASSERT_TRUE(DecideMove(seat, true));
  EXPECT_EQ(seat.token_hash + "/" + seat.move_hash, "d/");
  EXPECT_FALSE(SignOut(seat, "a"));
  ASSERT_TRUE(SignOut(seat, "d"));
  ASSERT_TRUE(SignIn(seat, "e"));
  EXPECT_EQ(seat.token_hash, "e");
}

TEST(Admit, UntilAdmittedTheCandidateMayNotChooseStartSaveOrSubmit) {
  Seat seat = NewSeat({"U1", "王", "甲班", "7"}, 2, false);
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { ChooseMethod(seat, "倉頡"); }, [&] { StartPart(seat, 1, kStart, Terms()); },
           [&] {
             SaveDraft(seat, 1, {"甲", 0, "w", 1}, kStart, Terms());
           },
           [&] { Submit(seat, 1, std::nullopt, kStart, Terms()); }}) {
    EXPECT_EQ(StatusOf(call), 403);
  }
  EXPECT_TRUE(Admit(seat));
  EXPECT_FALSE(Admit(seat));
  EXPECT_TRUE(ChooseMethod(seat, "倉頡"));
}

}  // namespace
}  // namespace keyin::server
