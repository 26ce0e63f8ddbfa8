#include "audit/rescore.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "audit/archive.h"
#include "audit/logged_inputs.h"
#include "audit/run_recorder.h"
#include "audit/store_run.h"
#include "audit/visual_report.h"
#include "platform/code_page.h"
#include "platform/digest.h"
#include "platform/file_system.h"
#include "platform/system_services.h"
#include "records/finished_runs.h"
#include "run/run_end.h"
#include "run/run_kind.h"
#include "scoring/inputs.h"
#include "scoring/score_answer.h"

namespace keyin {
namespace {

// The candidate, seat and paper whose second part reads a first part.
using PartKey = std::tuple<std::u16string, std::u16string, std::u16string, std::u16string,
                           std::u16string, std::u16string, std::u16string>;
PartKey KeyOf(const RunParams& p) {
  return {p.TestType, p.ExamPlaceNo, p.ExamNo, p.UserID, p.SessionNo, p.SeatNo, p.ExamPaperNo};
}

bool Taken(const RunLogEntry& entry, const RunParams& params, const RescoreSelection& selection) {
  if (selection.paper && Utf8ToUtf16(*selection.paper) != params.ExamPaperNo) return false;
  if (selection.session && Utf8ToUtf16(*selection.session) != params.SessionNo) return false;
  if (selection.from && Earlier(entry.time, *selection.from)) return false;
  if (selection.to && Earlier(*selection.to, entry.time)) return false;
  return true;
}

std::string FolderOfAnswer(const std::string& answer_path, std::u16string_view TestFileName) {
  const std::string name = Utf16ToUtf8(TestFileName);
  if (!answer_path.ends_with(name)) throw RunFailure("the logged answer is no typed answer");
  return answer_path.substr(0, answer_path.size() - name.size());
}

}  // namespace

bool Earlier(const DateTime& a, const DateTime& b) {
  return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second) <
         std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second);
}

StoredDespiteFailure RecordedAsFinished(const std::string& program_folder) {
  // By "is the answer database": each is opened once, when a run of its kinds asks.
  auto stores = std::make_shared<std::map<bool, std::unique_ptr<DbConnection>>>();
  return [program_folder, stores](const RunLogEntry& run, const RunParams& params) {
    const std::optional<RunKind> kind = KindOfRunIfNumber(params);
    if (!kind) return false;  // failed before it could store
    std::unique_ptr<DbConnection>& store = (*stores)[*kind == RunKind::kExam];
    if (!store) store = OpenStoreOfRun(program_folder, *kind);
    // Another run of the same id may have stored: only this run's time tells it was this one.
    const std::optional<FinishedRun> found = FindFinishedRun(*store, run.id);
    return found && found->program == kScorerProgram && found->time == run.time;
  };
}

std::vector<SelectedRun> SelectRuns(const std::vector<RunLogEntry>& log,
                                    const RescoreSelection& selection,
                                    const StoredDespiteFailure& stored) {
  // The values of each run as its latest replay that scored left them.
  std::map<std::string, const RunLogEntry*> latest;
  for (const RunLogEntry& entry : log) {
    if (!entry.replay_of.empty() && entry.exit_status == 0 && entry.speed) {
      latest[entry.replay_of] = &entry;
    }
  }
  // An id is stored once: a failed run that shares its id with one that ended well did not store.
  std::set<std::string> ended_well;
  for (const RunLogEntry& entry : log) {
    if (entry.program == kScorerProgram && entry.exit_status == 0) ended_well.insert(entry.id);
  }
  std::vector<SelectedRun> selected;
  std::set<PartKey> first_parts;
  for (const RunLogEntry& entry : log) {
    if (entry.program != kScorerProgram || !entry.replay_of.empty()) continue;
    if (!entry.answer || !entry.paper) continue;  // it ended before it was scored
    const std::optional<RunParams> params = ParamsOf(entry);
    if (!params) continue;
    if (entry.exit_status != 0 &&
        (ended_well.contains(entry.id) || !stored || !stored(entry, *params))) {
      continue;
    }
    const PartKey key = KeyOf(*params);
    const bool second_part_of_taken = params->TestPart == u"2" && first_parts.contains(key);
    if (!second_part_of_taken && !Taken(entry, *params, selection)) continue;
    if (params->TestPart == u"1") first_parts.insert(key);
    const auto replayed = latest.find(entry.id);
    const RunLogEntry& now = replayed == latest.end() ? entry : *replayed->second;
    selected.push_back({entry, now.speed, now.error_rate});
  }
  return selected;
}

Rescorer::Rescorer(const std::string& program_folder, const std::string& log_path, bool dry_run,
                   std::optional<std::string> reports_folder)
    : program_folder_(program_folder),
      dry_run_(dry_run),
      reports_folder_(std::move(reports_folder)),
      paths_(program_folder),
      stores_(paths_, messages_, nullptr, /*in_groups=*/true) {
  // A batch that could not log its replays must not start changing results.
  if (!dry_run_) log_ = std::make_unique<AppendFile>(log_path);
}

std::vector<ReplayOutcome> Rescorer::ReplayAll(const std::vector<SelectedRun>& runs,
                                               const std::function<void(std::size_t)>& progress) {
  std::vector<ReplayOutcome> outcomes;
  std::vector<Replayed> group;
  for (const SelectedRun& run : runs) {
    Replayed replayed = Replay(run);
    if (dry_run_) {
      outcomes.push_back(std::move(replayed.outcome));
    } else {
      group.push_back(std::move(replayed));
      if (group.size() == kGroupSize) EndGroup(group, outcomes);
    }
    if (progress) progress(outcomes.size() + group.size());
  }
  if (!group.empty()) EndGroup(group, outcomes);
  return outcomes;
}

void Rescorer::EndGroup(std::vector<Replayed>& group, std::vector<ReplayOutcome>& outcomes) {
  std::string failure;
  try {
    stores_.CommitGroup();
  } catch (const std::exception& error) {
    failure = std::string("nothing of its group was stored: ") + error.what();
  }
  for (Replayed& replayed : group) {
    if (!failure.empty() && replayed.outcome.failure.empty()) {
      replayed.outcome.failure = failure;
      replayed.line.exit_status = kExitFailure;
      replayed.line.failure = failure;
    }
    log_->Append(FormatLogLine(replayed.line));
    outcomes.push_back(std::move(replayed.outcome));
  }
  group.clear();
}

Rescorer::Replayed Rescorer::Replay(const SelectedRun& selected) {
  const RunLogEntry& run = selected.run;
  const std::int64_t started_ms = UnixMillisNow();
  Replayed replayed;
  RunLogEntry& replay = replayed.line;
  replay.id = NewRunId(LocalNow());
  replay.program = kRescoreProgram;
  replay.time = run.time;
  replay.arguments = run.arguments;
  replay.answer = run.answer;
  replay.codes_method = run.codes_method;
  replay.computer_name = run.computer_name;
  replay.host_name = run.host_name;
  replay.replay_of = run.id;
  messages_.shown.clear();

  ReplayOutcome& outcome = replayed.outcome;
  try {
    outcome = ReplayOrThrow(selected, replay);
  } catch (const RunEnd& end) {
    if (end.ExitStatus() == kExitDatabaseMissing) throw;
    outcome.failure = end.what();
  } catch (const std::exception& failure) {
    outcome.failure = failure.what();
  }
  replay.exit_status = outcome.failure.empty() ? kExitDone : kExitFailure;
  replay.failure = outcome.failure;
  replay.seconds = static_cast<double>(UnixMillisNow() - started_ms) / 1000.0;
  return replayed;
}

ReplayOutcome Rescorer::ReplayOrThrow(const SelectedRun& selected, RunLogEntry& replay) {
  const RunLogEntry& run = selected.run;
  const LoggedInputs inputs =
      ReadLoggedInputs(program_folder_, run, PaperSource::kCurrent, messages_);
  const RunParams& params = inputs.params;
  const std::string& answer = inputs.answer;
  const std::string& paper = inputs.paper;
  const ReferenceLines& reference = inputs.reference;
  const std::u16string TestFileName = TestFileNameOf(params.TestPart);
  const std::string archive = ArchiveFolder(program_folder_);
  const RunContext context = {
      .now = run.time,
      .ComputerName = Utf8ToUtf16(run.computer_name),
      .LocalHostName = Utf8ToUtf16(run.host_name),
  };

  // The reports go back where the run wrote them while its answer is still there; otherwise
  // into a folder of the run's own, when one was given.
  std::optional<std::string> folder;
  const std::string answer_folder = FolderOfAnswer(run.answer->path, TestFileName);
  std::optional<std::string> current;
  try {
    current = ReadRegularFile(run.answer->path, kMaxAnswerBytes);
  } catch (const FileError&) {
  }
  if (current && Sha256Hex(*current) == run.answer->sha256) {
    folder = answer_folder;
  } else if (reports_folder_) {
    folder = *reports_folder_ + "/" + run.id + "/";
  }

  ScoringOutcome scored;
  ReplayOutcome outcome;
  std::vector<std::string> visual_report;
  if (dry_run_ || !folder) {
    PartReports part =
        ScoreAndFormat(reference, LoadTypedLines(AnswerLinesOf(answer)), params, context.now);
    scored.scores = std::move(part.scores);
    scored.ErrorWords = std::move(part.ErrorWords);
  } else {
    CreateFolders(*folder);
    const std::string base = *folder + Utf16ToUtf8(TestFileName);
    scored = ScoreIntoReports(reference, AnswerLinesOf(answer), params, base, context.now);
    outcome.reports = *folder;
    // A run that wrote its visual report gets it rewritten with its reports.
    const std::string page = VisualReportPathsOf(answer_folder + Utf16ToUtf8(TestFileName))[0];
    if (std::find(run.reports.begin(), run.reports.end(), page) != run.reports.end()) {
      const std::array<std::string, 2> written =
          WriteVisualReport(params, scored, base, run.codes_method);
      visual_report.assign(written.begin(), written.end());
    }
  }
  outcome.speed = scored.scores.CharsPerMinute;
  outcome.error_rate = scored.scores.ErrorRate;
  outcome.changed = outcome.speed != selected.speed || outcome.error_rate != selected.error_rate;
  if (dry_run_) return outcome;

  replay.paper = LoggedFile{run.paper->path, KeepInArchive(archive, paper)};
  replay.speed = outcome.speed;
  replay.error_rate = outcome.error_rate;
  replay.reports.assign(scored.reports.begin(), scored.reports.end());
  replay.reports.insert(replay.reports.end(), visual_report.begin(), visual_report.end());
  if (!folder) replay.reports.clear();
  const FinishedRun finished = {
      .id = replay.id, .program = kRescoreProgram, .time = run.time, .finished_at = LocalNow()};
  StoreRun(params, stores_, scored, context, finished, folder, messages_, StoreMode::kReplay);
  return outcome;
}

}  // namespace keyin
