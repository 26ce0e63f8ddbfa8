#include "server/scoring_job.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

#include "platform/append_file.h"
#include "platform/child_process.h"
#include "platform/code_page.h"
#include "platform/durable_file.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/text_stream.h"
#include "practice/keyin_records.h"
#include "practice/keyin_statistics.h"
#include "records/finished_runs.h"
#include "server/typing_rules.h"
#include "support/number_text.h"

namespace keyin::server {
namespace {

// A keyin record entry holds at most this many characters: a long typed line is recorded as
// several entries, each its own record line.
constexpr std::size_t kEntryCharacters = 200;

void Log(const ScoringTask& task, const std::string& what) {
  std::fprintf(stderr, "keyin-server: seat %s part %d: %s\n", task.candidate.SeatNo.c_str(),
               task.part, what.c_str());
}

std::string TestFileName(int part) { return "CTEST-" + std::to_string(part); }

// The record lines of the part's typed lines with the chosen method, as the file holds them.
std::string KeyinRecordBytes(const ScoringTask& task) {
  std::string bytes;
  for (const std::string& line : AnswerLines(task.text)) {
    const std::u16string typed = KeyinEntryText(Utf8ToUtf16(line));
    for (std::size_t start = 0; start < typed.size(); start += kEntryCharacters) {
      bytes +=
          KeyinRecordFileLine(Utf8ToUtf16(task.candidate.UserID),
                              {{typed.substr(start, kEntryCharacters), Utf8ToUtf16(task.method)}});
    }
  }
  return bytes;
}

std::string KeyinRecordFile(const std::string& program_folder, const ScoringTask& task) {
  // The folder the input-method statistics read for this kind of run.
  const ModeFolder mode = GetKeyinSelection(KindOf(task.sitting), u"1").mode;
  return KeyinRecordPath(program_folder, mode, task.part);
}

JobResult Failed(std::string failure) {
  JobResult result;
  result.failure = std::move(failure);
  return result;
}

std::string Text(const nlohmann::json& number) {
  return Utf16ToUtf8(FormatNumber(number.get<double>()));
}

}  // namespace

std::optional<PartScore> ReportNumbers(std::string_view report_json) {
  const nlohmann::json report = nlohmann::json::parse(report_json, nullptr, false);
  if (report.is_discarded() || !report.is_object() ||
      report.value("format", std::string()) != "keyin-score-report") {
    return std::nullopt;
  }
  for (const char* field : {"speed", "error_rate", "errors", "total_chars"}) {
    if (!report.contains(field) || !report[field].is_number()) return std::nullopt;
  }
  return PartScore{Text(report["speed"]), Text(report["error_rate"]), Text(report["errors"]),
                   Text(report["total_chars"])};
}

std::string ScoringJobs::SeatFolder(const Sitting& sitting, const Candidate& candidate) const {
  return PathTranslator(setup_.program_folder)(SeatScrPath(sitting, candidate));
}

JobResult ScoringJobs::Run(const ScoringTask& task,
                           const std::function<void(std::int64_t)>& record_start) {
  const bool started_before = task.keyin_offset >= 0;
  AppendKeyinRecordOnce(task, record_start);
  if (started_before) {
    // The server stopped while this run went on: it may have stored its result.
    bool stored = false;
    try {
      stored = RunWasStored(setup_.program_folder, KindOf(task.sitting), task.run_id);
    } catch (const std::exception& failure) {
      throw JobDeferred(std::string("cannot ask the result store about run ") + task.run_id + ": " +
                        failure.what());
    }
    Log(task, "run " + task.run_id +
                  (stored ? " was stored before the server stopped: taken from its report"
                          : " was not stored before the server stopped: run again"));
    if (stored) return StoredResult(task, "");
  }
  return RunScorer(task);
}

// The record of the method used, for the input-method statistics, written once. It is secondary
// to the score: a record that cannot be written is reported and the part is scored all the same.
void ScoringJobs::AppendKeyinRecordOnce(const ScoringTask& task,
                                        const std::function<void(std::int64_t)>& record_start) {
  std::lock_guard lock(setup_.share->KeyinFiles());
  std::string bytes;
  std::unique_ptr<AppendFile> file;
  try {
    bytes = KeyinRecordBytes(task);
    if (!bytes.empty())
      file = std::make_unique<AppendFile>(KeyinRecordFile(setup_.program_folder, task));
  } catch (const std::exception& failure) {
    Log(task, std::string("keyin record not written: ") + failure.what());
  }
  const bool fresh = task.keyin_offset < 0;
  if (!file) {
    if (fresh) record_start(0);
    return;
  }
  // The start is recorded where the lines go, under the file's lock: another server on the same
  // program folder appending between the two cannot move them.
  bool recorded = !fresh;
  try {
    if (fresh) {
      file->AppendLinesAt(bytes, [&](std::int64_t start) {
        record_start(start);
        recorded = true;
      });
    } else if (!file->HoldsAt(task.keyin_offset, bytes)) {
      file->AppendLines(bytes);
    }
  } catch (const FileError& failure) {
    Log(task, std::string("keyin record not written: ") + failure.what());
    if (!recorded) record_start(0);  // the part is scored all the same
  }
}

JobResult ScoringJobs::RunScorer(const ScoringTask& task) {
  const std::string folder = SeatFolder(task.sitting, task.candidate);
  const std::string name = TestFileName(task.part);
  const std::string arguments = ArgumentString(
      task.sitting, task.candidate, task.part, static_cast<int>(task.allowed_seconds),
      task.use_time, SeatScrPath(task.sitting, task.candidate));
  ChildResult run;
  try {
    CreateFolders(folder);
    TextWriter answer(folder + "/" + name);
    for (const std::string& line : AnswerLines(task.text)) answer.WriteLine(Utf8ToUtf16(line));
    answer.Close();
    // Pages of an earlier run must not pass for this one's.
    for (const char* extension : {".html", ".json"}) {
      if (IsNormalFile(folder + "/" + name + extension))
        DeleteFile(folder + "/" + name + extension);
    }
    ChildOptions options;
    options.time_limit = setup_.time_limit;
    options.environment["KEYIN_HOME"] = setup_.program_folder;
    options.environment["KEYIN_RUN_ID"] = task.run_id;
    options.environment["KEYIN_VISUAL_REPORT"] = "1";
    // A practice teaches: its report shows how to type each missed character in the method used.
    if (IsPractice(task.sitting)) options.environment["KEYIN_VISUAL_REPORT_METHOD"] = task.method;
    run = RunChild(setup_.scorer, {arguments}, options);
  } catch (const std::exception& failure) {
    Log(task, std::string("cannot run the scorer: ") + failure.what());
    return Failed("評分失敗：無法執行評分程式");
  }
  if (run.exit_status == 0 && !run.timed_out) return StoredResult(task, "");

  std::string failure =
      run.timed_out ? "評分程式逾時" : "評分程式結束狀態 " + std::to_string(run.exit_status);
  if (!run.err.empty()) failure += "：" + run.err.substr(0, 500);
  // A run that stored its result and failed after it (or met the first run's row under the same
  // id, after a restart) is scored.
  try {
    if (RunWasStored(setup_.program_folder, KindOf(task.sitting), task.run_id)) {
      Log(task, "the run stored its result, then ended: " + failure);
      return StoredResult(task, failure);
    }
  } catch (const std::exception& error) {
    Log(task, std::string("cannot ask the result store: ") + error.what());
  }
  return Failed(failure);
}

JobResult ScoringJobs::StoredResult(const ScoringTask& task, const std::string& failure) {
  const std::string base = SeatFolder(task.sitting, task.candidate) + "/" + TestFileName(task.part);
  std::optional<PartScore> numbers;
  try {
    if (const std::optional<std::string> json = ReadFileIfAny(base + ".json")) {
      numbers = ReportNumbers(*json);
    }
  } catch (const std::exception& error) {
    Log(task, std::string("cannot read the score report: ") + error.what());
  }
  if (!numbers) {
    return Failed(failure.empty() ? "成績已存檔，但讀不到這一部分的成績報告" : failure);
  }
  JobResult result;
  result.scored = true;
  result.score = *numbers;
  result.report = IsNormalFile(base + ".html");
  return result;
}

}  // namespace keyin::server
