// The exam room: one open sitting, its seats and their parts, kept in memory and on disk so
// that a restart of the server resumes every seat. Thread-safe: every public call may come from
// any HTTP thread.
//
// Time is the server's wall clock: a part's deadline is fixed when it starts (and moved only by
// the proctor's added time), so a reload, a browser crash or a server restart changes nothing
// about it. A part whose deadline (plus a short grace for the last save in flight) has passed is
// submitted from its last saved text by the room itself.
//
// Every change to a seat is written to the seat's own file (temporary file, fsync, rename)
// before the call returns, so a crash at any moment leaves the old or the new state.
//
// A submitted part is scored by a pool of workers that run keyin-scorer exactly as a desktop
// front end does; the parts of one seat are scored in order, one at a time.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "server/paper.h"
#include "server/results.h"
#include "server/sitting.h"
#include "server/typing_rules.h"

namespace keyin::server {

// A request the room refuses; status is the HTTP status, what() a message for the person.
class RoomError : public std::runtime_error {
 public:
  RoomError(int status, const std::string& message)
      : std::runtime_error(message), status_(status) {}
  int Status() const { return status_; }

 private:
  int status_;
};

struct RoomConfig {
  std::string program_folder;  // as every executable has one: databases, lib/, ExamScr/
  std::string state_folder;    // sitting.json and seats/ of the open sitting
  std::string scorer;          // keyin-scorer
  std::string tool;            // keyin-tool (the visual report)
  std::chrono::milliseconds run_time_limit{60000};
  int scoring_workers = 2;
  std::int64_t grace_ms = 3000;  // a save or submit in flight at the deadline still counts
  std::int64_t disconnected_after_ms = 15000;
  std::size_t answer_limit_bytes = 200000;
};

struct PartRecord {
  std::int64_t started_ms = 0;
  std::int64_t deadline_ms = 0;
  std::int64_t added_seconds = 0;  // proctor's added time, before or after the start
  std::string text;                // last saved text
  std::int64_t saved_ms = 0;
  std::int64_t chars = 0;
  bool too_fast = false;
  std::int64_t submitted_ms = 0;
  int use_time = 0;
  std::string scoring;  // "", "queued", "running", "scored" or "failed"
  PartScore score;
  std::string failure;
  bool report = false;

  bool Started() const { return started_ms != 0; }
  bool Submitted() const { return submitted_ms != 0; }
  bool Typing() const { return Started() && !Submitted(); }
};

struct Seat {
  Candidate candidate;
  std::string token;
  std::string method;
  std::array<PartRecord, 2> parts;
  std::int64_t last_seen_ms = 0;  // not kept on disk: a restart sees every browser anew
};

class ExamRoom {
 public:
  // Loads the open sitting of the state folder, if any, queues the parts that were waiting to be
  // scored, and starts the scoring workers and the deadline watch.
  explicit ExamRoom(RoomConfig config);
  ~ExamRoom();
  ExamRoom(const ExamRoom&) = delete;
  ExamRoom& operator=(const ExamRoom&) = delete;

  // Opens a sitting. A sitting already open and not ended: 409. Throws SittingError for a
  // paper that cannot be read.
  void OpenSitting(const Sitting& sitting, std::vector<Candidate> roster);
  // For the command line: resumes the stored sitting when it is this one (same parameters and
  // roster), opens it when none is open or the stored one has ended; a different sitting still
  // open throws RoomError.
  void OpenOrResume(const Sitting& sitting, std::vector<Candidate> roster);
  // Submits every part being typed from its last save; no part starts after this.
  nlohmann::json EndSitting();
  nlohmann::json SittingInfo() const;

  // Candidate calls. seat is the SeatNo a session is bound to.
  // Returns a new session token for the candidate; 401 when the UserID is not on the roster.
  std::string SignIn(const std::string& user_id);
  std::optional<std::string> SeatOfToken(const std::string& token);
  nlohmann::json CandidateState(const std::string& seat);
  nlohmann::json ChooseMethod(const std::string& seat, const std::string& method);
  nlohmann::json StartPart(const std::string& seat, int part);
  nlohmann::json SaveDraft(const std::string& seat, int part, const std::string& text);
  nlohmann::json Submit(const std::string& seat, int part, const std::optional<std::string>& text);
  // The visual report of a scored part; a candidate only when the sitting shows results and
  // the candidate is done.
  std::string Report(const std::string& seat, int part, bool by_proctor);

  // Proctor calls.
  nlohmann::json Board();
  nlohmann::json SeatDetail(const std::string& seat);
  nlohmann::json AddTime(const std::string& seat, std::int64_t seconds);
  StoredResults Results();

  // Blocks until no part is waiting to be scored (for tests and the benchmark).
  void WaitUntilScored();

 private:
  struct SeatWriter;
  struct Job {
    std::string seat;
    int part = 0;
  };

  Seat& SeatOrThrow(const std::string& seat);
  void RequireOpen() const;
  int CurrentPart(const Seat& seat) const;
  nlohmann::json StateOf(const Seat& seat, std::int64_t now) const;
  nlohmann::json BoardEntry(const Seat& seat, std::int64_t now) const;
  std::int64_t AllowedSeconds(const PartRecord& part) const;
  // Marks the part submitted and queues it; the caller persists the seat.
  void SubmitLocked(Seat& seat, int part, std::int64_t now);
  // Writes the seat's file; called with lock held, returns with it released.
  void PersistSeat(std::unique_lock<std::mutex>& lock, const Seat& seat);
  void PersistSitting();
  void Load();
  void StartThreads();
  void ScoringWorker();
  void DeadlineWatch();
  void Score(const Job& job);
  std::string SeatFolder(const Candidate& candidate) const;
  std::string SeatFilePath(const std::string& seat) const;

  RoomConfig config_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;

  // The sitting; open_ is false until one is opened.
  bool open_ = false;
  bool ended_ = false;
  std::string sitting_id_;
  std::string opened_at_;  // local time "yyyy/MM/dd HH:mm:ss", to tell this sitting's rows
  Sitting sitting_;
  Paper paper_;
  std::vector<std::string> seat_order_;
  std::map<std::string, Seat> seats_;
  std::map<std::string, std::shared_ptr<SeatWriter>> writers_;
  std::map<std::string, std::string> seat_of_token_;

  std::deque<Job> queue_;
  std::map<std::string, bool> seat_busy_;
  int jobs_in_flight_ = 0;
  std::vector<std::thread> threads_;
};

}  // namespace keyin::server
