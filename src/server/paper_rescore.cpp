#include "server/paper_rescore.h"

#include <chrono>

#include "platform/child_process.h"

namespace keyin::server {

namespace {

// A re-scoring replays every logged run of the paper; a few thousand take minutes.
constexpr std::chrono::minutes kTimeLimit{30};

std::string LastLine(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  const std::size_t start = text.rfind('\n');
  return std::string(start == std::string_view::npos ? text : text.substr(start + 1));
}

}  // namespace

nlohmann::json RescoreOutcome(int exit_status, bool timed_out, std::string_view out,
                              std::string_view err) {
  if (timed_out) return {{"state", "failed"}, {"error", "重新評分超過 30 分鐘，已停止"}};
  // Exit 1 with a table: some runs failed, and the table names them.
  if (exit_status == 0 || exit_status == 1) {
    nlohmann::json table = nlohmann::json::parse(out, nullptr, false);
    if (table.is_object() && table.contains("runs")) {
      table["state"] = "done";
      return table;
    }
  }
  std::string reason = LastLine(err);
  if (reason.empty()) reason = "keyin-tool rescore ended with " + std::to_string(exit_status);
  return {{"state", "failed"}, {"error", reason}};
}

PaperRescore::PaperRescore(std::string tool, std::function<void(std::string_view)> log)
    : tool_(std::move(tool)), log_(std::move(log)) {}

PaperRescore::~PaperRescore() {
  // Its replays are committed in groups and logged once committed, so a re-scoring stopped at
  // any moment is finished by running it again.
  stopping_ = true;
  if (worker_.joinable()) worker_.join();
}

bool PaperRescore::Start(const std::string& paper, bool dry_run, const std::string& who) {
  std::lock_guard lock(mutex_);
  if (state_["state"] == "running") return false;
  if (worker_.joinable()) worker_.join();  // finished: its state is set
  state_ = {{"state", "running"}, {"ExamPaperNo", paper}, {"dry_run", dry_run}, {"who", who}};
  log_("act: " + who + " rescore " + paper + (dry_run ? " (dry run)" : ""));
  worker_ = std::thread([this, paper, dry_run] { Run(paper, dry_run); });
  return true;
}

void PaperRescore::Run(std::string paper, bool dry_run) {
  std::vector<std::string> arguments = {"rescore", "--paper", paper, "--json"};
  if (dry_run) arguments.push_back("--dry-run");
  ChildOptions options;
  options.time_limit = kTimeLimit;
  options.stop = &stopping_;
  nlohmann::json outcome;
  try {
    const ChildResult result = RunChild(tool_, arguments, options);
    outcome = RescoreOutcome(result.exit_status, result.timed_out, result.out, result.err);
  } catch (const std::exception& failure) {
    outcome = {{"state", "failed"}, {"error", failure.what()}};
  }
  if (outcome["state"] == "failed") {
    log_("rescore " + paper + ": " + outcome["error"].get<std::string>());
  }
  std::lock_guard lock(mutex_);
  outcome.update({{"ExamPaperNo", paper}, {"dry_run", dry_run}, {"who", state_["who"]}});
  state_ = std::move(outcome);
}

nlohmann::json PaperRescore::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

}  // namespace keyin::server
