#include "server/metrics.h"

#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <mutex>

namespace keyin::server {

namespace {

using prometheus::Histogram;

// Latencies of a request a person waits for: most in milliseconds, a few in seconds.
const Histogram::BucketBoundaries kRequestBuckets = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25,
                                                     0.5,   1,    2.5,   5,    10};
// A scoring run: a child process of its own, its database write included.
const Histogram::BucketBoundaries kScoringBuckets = {0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60};

}  // namespace

struct ServerMetrics::State {
  prometheus::Registry registry;
  prometheus::Family<prometheus::Counter>& sign_ins = prometheus::BuildCounter()
                                                          .Name("keyin_sign_ins_total")
                                                          .Help("Sign-ins by role and outcome")
                                                          .Register(registry);
  prometheus::Family<Histogram>& sign_in_seconds = prometheus::BuildHistogram()
                                                       .Name("keyin_sign_in_seconds")
                                                       .Help("Time to answer a sign-in, by role")
                                                       .Register(registry);
  prometheus::Family<prometheus::Counter>& saves = prometheus::BuildCounter()
                                                       .Name("keyin_saves_total")
                                                       .Help("Draft saves by outcome")
                                                       .Register(registry);
  prometheus::Family<Histogram>& save_seconds = prometheus::BuildHistogram()
                                                    .Name("keyin_save_seconds")
                                                    .Help("Time to answer a draft save")
                                                    .Register(registry);
  prometheus::Family<prometheus::Counter>& submits = prometheus::BuildCounter()
                                                         .Name("keyin_submits_total")
                                                         .Help("Submits of a part by outcome")
                                                         .Register(registry);
  prometheus::Family<Histogram>& submit_seconds = prometheus::BuildHistogram()
                                                      .Name("keyin_submit_seconds")
                                                      .Help("Time to answer a submit")
                                                      .Register(registry);
  prometheus::Family<prometheus::Counter>& failures = prometheus::BuildCounter()
                                                          .Name("keyin_failures_total")
                                                          .Help("Failures by kind")
                                                          .Register(registry);
  prometheus::Family<prometheus::Counter>& scoring_runs = prometheus::BuildCounter()
                                                              .Name("keyin_scoring_runs_total")
                                                              .Help("Scoring runs by outcome")
                                                              .Register(registry);
  prometheus::Family<Histogram>& scoring_seconds = prometheus::BuildHistogram()
                                                       .Name("keyin_scoring_seconds")
                                                       .Help("Duration of a scoring run")
                                                       .Register(registry);
  prometheus::Family<prometheus::Gauge>& seats = prometheus::BuildGauge()
                                                     .Name("keyin_seats")
                                                     .Help("Seats of the open sitting by state")
                                                     .Register(registry);
  prometheus::Family<prometheus::Gauge>& scoring_queue =
      prometheus::BuildGauge()
          .Name("keyin_scoring_queue")
          .Help("Parts waiting to be scored (queued) and being scored (running)")
          .Register(registry);
  std::mutex render;  // one exposition at a time: its gauges are set, then read
};

ServerMetrics::ServerMetrics() : state_(std::make_unique<State>()) {
  // Every series a dashboard expects is there from the start, at zero.
  for (const char* role : {"candidate", "staff"}) {
    for (const char* result : {"ok", "refused", "throttled", "failed"}) {
      state_->sign_ins.Add({{"role", role}, {"result", result}});
    }
    state_->sign_in_seconds.Add({{"role", role}}, kRequestBuckets);
  }
  for (const char* result : {"ok", "refused"}) {
    state_->saves.Add({{"result", result}});
    state_->submits.Add({{"result", result}});
  }
  state_->save_seconds.Add({}, kRequestBuckets);
  state_->submit_seconds.Add({}, kRequestBuckets);
  for (const char* kind : {"storage", "scoring", "internal"})
    state_->failures.Add({{"kind", kind}});
  for (const char* result : {"scored", "failed"}) state_->scoring_runs.Add({{"result", result}});
  state_->scoring_seconds.Add({}, kScoringBuckets);
}

ServerMetrics::~ServerMetrics() = default;

void ServerMetrics::SignIn(std::string_view role, std::string_view result, double seconds) {
  state_->sign_ins.Add({{"role", std::string(role)}, {"result", std::string(result)}}).Increment();
  state_->sign_in_seconds.Add({{"role", std::string(role)}}, kRequestBuckets).Observe(seconds);
}

void ServerMetrics::Save(std::string_view result, double seconds) {
  state_->saves.Add({{"result", std::string(result)}}).Increment();
  state_->save_seconds.Add({}, kRequestBuckets).Observe(seconds);
}

void ServerMetrics::Submit(std::string_view result, double seconds) {
  state_->submits.Add({{"result", std::string(result)}}).Increment();
  state_->submit_seconds.Add({}, kRequestBuckets).Observe(seconds);
}

void ServerMetrics::Failure(std::string_view kind) {
  state_->failures.Add({{"kind", std::string(kind)}}).Increment();
}

void ServerMetrics::ScoringRun(std::string_view result, double seconds) {
  state_->scoring_runs.Add({{"result", std::string(result)}}).Increment();
  state_->scoring_seconds.Add({}, kScoringBuckets).Observe(seconds);
}

std::string ServerMetrics::Render(const Gauges& gauges) {
  std::lock_guard lock(state_->render);
  for (const char* state : {"typing", "waiting", "scoring", "done", "absent"}) {
    auto found = gauges.seats_by_state.find(state);
    state_->seats.Add({{"state", state}})
        .Set(found == gauges.seats_by_state.end() ? 0 : found->second);
  }
  state_->scoring_queue.Add({{"state", "queued"}}).Set(gauges.scoring_queued);
  state_->scoring_queue.Add({{"state", "running"}}).Set(gauges.scoring_running);
  return prometheus::TextSerializer().Serialize(state_->registry.Collect());
}

}  // namespace keyin::server
