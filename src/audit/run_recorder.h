// What a scoring run leaves for the trace: its inputs in the archive, before anything is stored,
// and one line in the run log at its end.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "audit/run_log.h"
#include "platform/append_file.h"
#include "scoring/read_inputs.h"
#include "scoring/run_context.h"
#include "scoring/score_answer.h"

namespace keyin {

class RunRecorder {
 public:
  // Starts the record of a run of `program` with the argument string (UTF-8), its context and its
  // id (NewRunId, or the caller's: IsRunId).
  RunRecorder(const std::string& program_folder, std::string program, std::string arguments,
              RunContext context, std::string id);

  const RunContext& Context() const { return context_; }
  const std::string& Id() const { return entry_.id; }

  // The custom text a custom-text practice scores against: its paper.
  void NotePaper(const InputFile& paper);

  // Notes the scores and reports, keeps the answer and the paper in the archive and opens the
  // log. Called before anything is stored: throws RunFailure when either cannot be written, so
  // that no result is stored that could not be traced.
  void BeforeStoring(const ScoringOutcome& outcome);

  // Adds files the run wrote beside its three reports (the visual report) to its line.
  void NoteReports(const std::vector<std::string>& reports);
  // The method whose codes the visual report gave, so that a replay gives them again.
  void NoteCodesMethod(const std::string& method) { entry_.codes_method = method; }

  // Appends the run's line with its exit status and the reason of a failure. Returns the reason
  // when the line could not be written (nothing when BeforeStoring already failed for it).
  std::optional<std::string> Finish(int exit_status, const std::string& failure);

 private:
  std::string archive_folder_;
  std::string log_path_;
  RunContext context_;
  RunLogEntry entry_;
  std::int64_t started_ms_;
  std::optional<InputFile> noted_paper_;
  std::unique_ptr<AppendFile> log_;
  bool log_refused_ = false;
};

// A new run id: the time and eight random hexadecimal digits.
std::string NewRunId(const DateTime& time);

}  // namespace keyin
