#include "audit/run_recorder.h"

#include "audit/archive.h"
#include "platform/code_page.h"
#include "platform/system_services.h"
#include "run/run_end.h"

namespace keyin {

std::string NewRunId(const DateTime& time) {
  return FormatDateTime(time, "yyyyMMddTHHmmss") + "-" + RandomHex(4);
}

RunRecorder::RunRecorder(const std::string& program_folder, std::string program,
                         std::string arguments, RunContext context, std::string id)
    : archive_folder_(ArchiveFolder(program_folder)),
      log_path_(RunLogPath(program_folder)),
      context_(std::move(context)),
      started_ms_(UnixMillisNow()) {
  entry_.id = std::move(id);
  entry_.program = std::move(program);
  entry_.time = context_.now;
  entry_.arguments = std::move(arguments);
  entry_.computer_name = Utf16ToUtf8(context_.ComputerName);
  entry_.host_name = Utf16ToUtf8(context_.LocalHostName);
}

void RunRecorder::NotePaper(const InputFile& paper) { noted_paper_ = paper; }

void RunRecorder::BeforeStoring(const ScoringOutcome& outcome) {
  entry_.speed = outcome.scores.CharsPerMinute;
  entry_.error_rate = outcome.scores.ErrorRate;
  entry_.reports.assign(outcome.reports.begin(), outcome.reports.end());
  // The log first: a run that could not log keeps nothing in the archive either.
  try {
    log_ = std::make_unique<AppendFile>(log_path_);
  } catch (const std::exception& failure) {
    log_refused_ = true;
    throw RunFailure(std::string("cannot write the run log, nothing was stored: ") +
                     failure.what());
  }
  const InputFile& paper = noted_paper_ ? *noted_paper_ : outcome.paper;
  try {
    entry_.paper = LoggedFile{paper.path, KeepInArchive(archive_folder_, paper.bytes)};
    entry_.answer =
        LoggedFile{outcome.answer.path, KeepInArchive(archive_folder_, outcome.answer.bytes)};
  } catch (const std::exception& failure) {
    throw RunFailure(std::string("cannot keep the inputs in the archive, nothing was stored: ") +
                     failure.what());
  }
}

void RunRecorder::NoteReports(const std::vector<std::string>& reports) {
  entry_.reports.insert(entry_.reports.end(), reports.begin(), reports.end());
}

std::optional<std::string> RunRecorder::Finish(int exit_status, const std::string& failure) {
  entry_.exit_status = exit_status;
  entry_.failure = failure;
  entry_.seconds = static_cast<double>(UnixMillisNow() - started_ms_) / 1000.0;
  if (log_refused_) return std::nullopt;  // the run's own failure said so
  try {
    if (!log_) log_ = std::make_unique<AppendFile>(log_path_);
    log_->Append(FormatLogLine(entry_));
    return std::nullopt;
  } catch (const std::exception& error) {
    return std::string("cannot write the run log: ") + error.what();
  }
}

}  // namespace keyin
