// Re-scoring a corrected paper from the console: keyin-tool rescore runs as the server's child,
// first as a dry run whose table the administrator reads, then for real on request. One runs at
// a time; the page polls its state.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <thread>

namespace keyin::server {

class PaperRescore {
 public:
  // tool: keyin-tool. log: one line per act and failure, for the operator.
  PaperRescore(std::string tool, std::function<void(std::string_view)> log);
  ~PaperRescore();  // stops a re-scoring under way (one stopped may be run again)
  PaperRescore(const PaperRescore&) = delete;
  PaperRescore& operator=(const PaperRescore&) = delete;

  // Starts re-scoring the logged runs of the paper; false while another re-scoring runs.
  bool Start(const std::string& paper, bool dry_run, const std::string& who);

  // {"state": "idle" | "running" | "done" | "failed", "ExamPaperNo", "dry_run", "who"} and, once
  // done, the tool's table: "runs" and the counts "changed", "same", "failed"; "error" when it
  // could not re-score (a failed run is a row of the table instead).
  nlohmann::json State() const;

 private:
  void Run(std::string paper, bool dry_run);

  std::string tool_;
  std::function<void(std::string_view)> log_;
  mutable std::mutex mutex_;
  nlohmann::json state_ = {{"state", "idle"}};
  std::atomic<bool> stopping_{false};
  std::thread worker_;
};

// The state a finished keyin-tool rescore --json leaves: its table, or why there is none (the
// last line it wrote on standard error). Pure.
nlohmann::json RescoreOutcome(int exit_status, bool timed_out, std::string_view out,
                              std::string_view err);

}  // namespace keyin::server
