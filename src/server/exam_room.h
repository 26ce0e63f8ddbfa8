// The exam room: one sitting, its seats and their scoring, kept in memory for the pages and in
// the seat store for a restart. Thread-safe: every public call may come from any HTTP thread.
//
// A change of a seat is one rule of seat_rules.h applied to a copy of the seat, written by the
// store, and only then the seat (Change): a call is answered once its change is on disk, and a
// write that fails answers 503 and changes nothing; the seat is shown in trouble on the board
// until a write of it succeeds. One change of a seat at a time; seats change independently.
//
// Time is the room's clock (room_clock.h). A part whose deadline (plus a short grace for the last
// save in flight) has passed is submitted from its last save by the room itself, and so is every
// part being typed when the sitting ends; a submission the disk refused is tried again until it
// takes it.
//
// Submitted parts are scored by a few workers (scoring_job.h), the parts of one seat in order,
// each exactly once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/metrics.h"
#include "server/paper.h"
#include "server/results.h"
#include "server/room_clock.h"
#include "server/scoring_job.h"
#include "server/seat_rules.h"
#include "server/seat_store.h"
#include "server/sitting.h"

namespace keyin::server {

struct RoomConfig {
  std::string program_folder;  // as every executable has one: databases, lib/, ExamScr/
  std::string state_folder;    // the seat store's folder
  std::string scorer;          // keyin-scorer
  // LibPath and ScrPath of a sitting must lie under one of these; none given: the program folder.
  std::vector<std::string> data_roots;
  std::chrono::milliseconds run_time_limit{60000};
  int scoring_workers = 2;
  std::int64_t grace_ms = 3000;
  std::int64_t disconnected_after_ms = 15000;
  std::size_t answer_limit_bytes = 200000;
  ServerMetrics* metrics = nullptr;  // scoring runs and failures are counted here, when given
  // The room's store; none: the files of state_folder (seat_store.h).
  std::function<std::unique_ptr<SeatStore>()> make_store;
  // What the rooms of the server share in scoring (none: this room's own, of scoring_workers).
  std::shared_ptr<ScoringShare> scoring_share;
};

class ExamRoom {
 public:
  // Loads the stored sitting, if any, queues the parts that were waiting or being scored, and
  // starts the scoring workers and the deadline watch. Throws StoredStateError for stored state
  // it cannot read, SittingError for a stored sitting it may no longer run.
  explicit ExamRoom(RoomConfig config);
  ~ExamRoom();
  ExamRoom(const ExamRoom&) = delete;
  ExamRoom& operator=(const ExamRoom&) = delete;

  // Opens a sitting. A sitting already open and not ended, or one still being scored: 409.
  // Throws SittingError for a sitting, paper or roster that cannot be used.
  // who: the account that opened it, first in the sitting's action log.
  void OpenSitting(const Sitting& sitting, std::vector<Candidate> roster,
                   const std::string& who = "command line");
  // For the command line: resumes the stored sitting when it is this one (same parameters and
  // roster), opens it when none is open or the stored one has ended; a different sitting still
  // open throws RoomError.
  void OpenOrResume(const Sitting& sitting, std::vector<Candidate> roster);
  // Ends the sitting: every part being typed is submitted from its last save; none starts after.
  // The act is logged (who, why) before it is stored.
  nlohmann::json EndSitting(const std::string& who, const std::string& reason);
  // Lets the candidates of a scheduled sitting start now, before its Opens. Logged as EndSitting
  // is; 409 when they may start already.
  nlohmann::json OpenNow(const std::string& who, const std::string& reason);
  nlohmann::json SittingInfo() const;
  // The sitting the room holds (open, or ended and kept for its results), or nothing.
  std::optional<Sitting> CurrentSitting() const;

  // The candidate of a seat of the open sitting, with their access code; 404 for no such seat.
  Candidate CandidateAt(const std::string& seat) const;

  // Candidate calls; seat is the SeatNo a session is bound to.
  // A new session token for the candidate whose UserID and access code (where the sitting asks
  // for one) are right; 401 otherwise, never saying which was wrong. A seat another session
  // holds is not taken: the new session waits until the proctor approves the move.
  std::string SignIn(const std::string& user_id, const std::string& access_code);
  // Whether SignIn would find this candidate's seat, and whether the sitting still runs; changes
  // nothing.
  enum class Knows { kNo, kRunning, kEnded };
  Knows KnowsCandidate(const std::string& user_id, const std::string& access_code) const;
  // Where a session stands: it holds its seat, waits for the proctor to let it take the seat,
  // or was stopped (why: a message for the candidate). Nothing for an unknown token.
  struct Access {
    enum class Standing { kHolds, kWaits, kStopped };
    Standing standing = Standing::kHolds;
    std::string seat;
    std::string why;
  };
  std::optional<Access> AccessOf(const std::string& token);
  // The session leaves its seat, so the next sign-in takes it without the proctor.
  void SignOut(const std::string& token);
  // The candidate's state; a seat not yet admitted, or a session that waits, sees only that it
  // waits (stage "wait"), nothing of the paper.
  nlohmann::json CandidateState(const std::string& seat, bool waits_for_move = false);
  nlohmann::json ChooseMethod(const std::string& seat, const std::string& method);
  nlohmann::json StartPart(const std::string& seat, int part);
  nlohmann::json SaveDraft(const std::string& seat, int part, const DraftSave& save);
  nlohmann::json Submit(const std::string& seat, int part, const std::optional<DraftSave>& save);
  // The visual report of a scored part; a candidate only when the sitting shows results and the
  // candidate is done.
  std::string Report(const std::string& seat, int part, bool by_proctor);

  // Proctor calls.
  nlohmann::json Board();
  nlohmann::json SeatDetail(const std::string& seat);
  // Adds time for a reason (400 without one), logged before it is stored.
  nlohmann::json AddTime(const std::string& seat, std::int64_t seconds, const std::string& who,
                         const std::string& reason);
  // Admits a seat where the sitting asks it; approves or refuses a sign-in that waits for a
  // seat another session holds. Each act is logged before it is stored.
  nlohmann::json Admit(const std::string& seat, const std::string& who, const std::string& reason);
  nlohmann::json DecideMove(const std::string& seat, bool approve, const std::string& who,
                            const std::string& reason);
  // What the admission slips print: every candidate with seat and access code.
  nlohmann::json Slips();
  // The open sitting's action log, oldest first; 409 when none is open.
  std::vector<Action> Actions();
  StoredResults Results();

  // What /metrics shows of the room now: seats by state, the scoring queue.
  ServerMetrics::Gauges Gauges();
  // Why the room cannot serve now (the state cannot be written, the result store does not
  // answer), as a short text for /readyz; nothing when it can. Details go to the log.
  std::optional<std::string> ReadinessProblem();

  // The room's clock, for whatever else of the server measures time (sessions).
  std::int64_t Now() const { return clock_.Now(); }

 private:
  struct Slot;
  struct Job {
    std::string seat;
    int part = 0;
    std::int64_t not_before_ms = 0;  // a job that could not go on waits a little
  };
  using Rule = std::function<bool(Seat&, const SeatTerms&, std::int64_t now)>;
  using BeforeStore = std::function<void(const Seat&)>;

  // Applies the rule to a copy of the seat, has the store write it, then makes it the seat; the
  // seat as it now is. Throws the rule's RoomError, 404 for no such seat, 503 when the store
  // refused the write (nothing changed).
  // before_store, when given, runs once the rule has changed the copy and before the store
  // writes it (an act's log line); what it throws stops the change.
  Seat Change(const std::string& seat, const Rule& rule, const BeforeStore& before_store = {});
  // Logs an act of the open sitting (or of the one being opened); 503 when the disk refuses.
  Action LogAction(const std::string& sitting_id, Action action);
  std::shared_ptr<Slot> SlotOf(const std::string& seat) const;  // under mutex_
  SeatTerms TermsLocked() const;
  // The seat of the candidate with this UserID and access code (where asked), or "".
  std::string SeatOfLocked(const std::string& user_id, const std::string& access_code) const;
  void RequireOpenLocked() const;
  void Install(const SittingRecord& record, Paper paper, const std::vector<Seat>& seats,
               std::vector<Action> actions);
  void CheckDataRoots(const Sitting& sitting) const;
  // Records who sits the sitting beside the result tables (records/sitting_candidates.h);
  // 503 when the result store refuses.
  void RecordRoster(const SittingRecord& record) const;
  // The seat's sessions in the token index, after a change from `before` to `after`; a session
  // that lost the seat is remembered with why it stopped.
  void IndexTokensLocked(const std::string& seat, const Seat& before, const Seat& after);
  nlohmann::json ActOnSeat(const std::string& seat, const Rule& rule, Action action);

  void StartThreads();
  void DeadlineWatch();
  void ScoringWorker();
  void RunJob(const Job& job);
  void RecordResult(const Job& job, const JobResult& result);
  void Defer(Job job, const std::string& why);

  RoomConfig config_;
  RoomClock clock_;
  std::unique_ptr<SeatStore> store_;
  ScoringJobs jobs_;

  std::mutex sitting_change_;  // one change of the sitting itself at a time (open, end)
  mutable std::mutex mutex_;   // everything below
  std::condition_variable changed_;
  bool stopping_ = false;
  bool open_ = false;
  SittingRecord record_;
  std::int64_t opens_at_ms_ = 0;  // of record_, on the room's clock (OpensAtMs)
  Paper paper_;
  std::vector<std::string> seat_order_;
  std::map<std::string, std::shared_ptr<Slot>> slots_;
  std::map<std::string, std::string> seat_of_token_hash_;  // sessions holding or waiting
  std::map<std::string, std::string> stopped_token_hash_;  // sessions stopped: why
  std::vector<Action> actions_;  // the open sitting's, as its log holds them
  std::deque<Job> queue_;
  int jobs_in_flight_ = 0;
  std::vector<std::thread> threads_;
};

}  // namespace keyin::server
