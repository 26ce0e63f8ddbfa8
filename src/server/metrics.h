// What keyin-server counts for its monitoring, served at /metrics in Prometheus' text format
// (through prometheus-cpp): sign-ins, saves and submits with their latencies, the scoring queue
// and the scoring runs, failures by kind, and the seats by state. Labels name kinds and outcomes
// only, never a candidate, a seat or an account. Thread-safe.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace keyin::server {

class ServerMetrics {
 public:
  ServerMetrics();
  ~ServerMetrics();
  ServerMetrics(const ServerMetrics&) = delete;
  ServerMetrics& operator=(const ServerMetrics&) = delete;

  // role: "candidate" or "staff"; result: "ok", "refused" (wrong name, code or password),
  // "throttled" (429) or "failed" (anything else).
  void SignIn(std::string_view role, std::string_view result, double seconds);
  // result: "ok" or "refused" (a save the room did not take: late, another window, storage).
  void Save(std::string_view result, double seconds);
  void Submit(std::string_view result, double seconds);
  // kind: "storage" (a write the disk refused), "scoring" (a scoring run that failed or had to
  // wait), "internal" (a 500).
  void Failure(std::string_view kind);
  // result: "scored" or "failed".
  void ScoringRun(std::string_view result, double seconds);

  // The moment's values that are not counted but looked at.
  struct Gauges {
    std::map<std::string, int> seats_by_state;  // typing, waiting, scoring, done, absent
    int scoring_queued = 0;
    int scoring_running = 0;
  };
  // The whole exposition, with the gauges of the moment.
  std::string Render(const Gauges& gauges);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace keyin::server
