// The scoring of one submitted part: one run of keyin-scorer, exactly as a desktop front end
// starts it, exactly once however often the server stops on the way.
//
// The way to once: the part's run id is fixed when it is submitted (seat_rules.h) and handed to
// the scorer (KEYIN_RUN_ID), which records it in the same transaction as its result row; a
// second run under that id stores nothing. Before the child starts, the part is recorded as
// running, durably, with the place in the keyin record file where its lines go. A job that finds
// its part already running (the server stopped during it) asks the result store whether the run
// was stored, and only runs it again when it was not; its keyin record lines are appended again
// only when the file does not hold them at that place.
//
// The numbers come from the score report's JSON that the run itself writes beside its reports
// (KEYIN_VISUAL_REPORT), the page the candidate sees from the same scoring.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "server/seat_rules.h"
#include "server/sitting.h"

namespace keyin::server {

// Everything one run needs, copied from the seat when the job starts.
struct ScoringTask {
  Sitting sitting;
  Candidate candidate;
  std::string method;
  int part = 0;
  std::string text;
  std::int64_t allowed_seconds = 0;  // TotTime with the seat's added time
  int use_time = 0;
  std::string run_id;
  std::int64_t keyin_offset = -1;  // -1: never started; else started before, lines placed there
};

struct JobResult {
  bool scored = false;
  PartScore score;
  bool report = false;  // the visual report page exists
  std::string failure;  // for the proctor, when not scored
};

// Cannot tell now (the result store did not answer, the start could not be recorded): the job
// is to be tried again later; nothing was run.
class JobDeferred : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the rooms of one server share in their scoring: a bound on the scoring runs at once (the
// cores), and the order of the appends to the keyin record files, which every room of the
// program folder appends to. Waiters are woken one at a time.
class ScoringShare {
 public:
  explicit ScoringShare(int runs) : free_(runs) {}
  void TakeRun() {
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [this] { return free_ > 0; });
    --free_;
  }
  void GiveRun() {
    {
      std::lock_guard lock(mutex_);
      ++free_;
    }
    freed_.notify_one();
  }
  std::mutex& KeyinFiles() { return keyin_files_; }

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  int free_;
  std::mutex keyin_files_;  // orders the appends of every job: offsets are taken then kept
};

struct ScorerSetup {
  std::string program_folder;
  std::string scorer;  // keyin-scorer
  std::chrono::milliseconds time_limit{60000};
  std::shared_ptr<ScoringShare> share;  // none: the jobs' own
};

class ScoringJobs {
 public:
  explicit ScoringJobs(ScorerSetup setup) : setup_(std::move(setup)) {
    if (!setup_.share) setup_.share = std::make_shared<ScoringShare>(1 << 20);
  }

  // Runs the task's scoring. `record_start(offset)` must durably record the part as running with
  // its keyin record lines at `offset` before they are appended, or throw. Throws JobDeferred.
  JobResult Run(const ScoringTask& task,
                const std::function<void(std::int64_t keyin_offset)>& record_start);

  // The answer folder of the seat, as the scorer reads its ScrPath.
  std::string SeatFolder(const Sitting& sitting, const Candidate& candidate) const;

 private:
  void AppendKeyinRecordOnce(const ScoringTask& task,
                             const std::function<void(std::int64_t)>& record_start);
  JobResult RunScorer(const ScoringTask& task);
  JobResult StoredResult(const ScoringTask& task, const std::string& failure);

  ScorerSetup setup_;
};

// The numbers of the score report's JSON, as texts the report files write them; nothing when it
// is no such report.
std::optional<PartScore> ReportNumbers(std::string_view report_json);

}  // namespace keyin::server
