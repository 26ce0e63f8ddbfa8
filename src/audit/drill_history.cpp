#include "audit/drill_history.h"

#include <set>

#include "audit/archive.h"
#include "audit/logged_inputs.h"
#include "audit/rescore.h"
#include "platform/code_page.h"
#include "platform/durable_file.h"
#include "report/line_marks.h"
#include "scoring/inputs.h"
#include "scoring/read_inputs.h"

namespace keyin {

std::vector<RunLogEntry> RunsOfUser(const std::vector<RunLogEntry>& log,
                                    const std::string& user_id) {
  // Without the finished-runs table (a database), a failed run is taken as not stored.
  const std::u16string wanted = Utf8ToUtf16(user_id);
  std::vector<RunLogEntry> runs;
  for (SelectedRun& selected : SelectRuns(log, RescoreSelection{})) {
    const std::optional<RunParams> params = ParamsOf(selected.run);
    if (params && params->UserID == wanted) runs.push_back(std::move(selected.run));
  }
  return runs;
}

RunCharacters CountRunCharacters(const RunLogEntry& run, const ReferenceLines& reference,
                                 const MatchResult& matched) {
  RunCharacters counted{.run_id = run.id, .time = run.time, .lines = {}, .misses = {}, .right = {}};
  if (reference.size() > 1) counted.lines.assign(reference.begin() + 1, reference.end());
  for (const ScoredLine& line : matched.lines) {
    const std::size_t best = static_cast<std::size_t>(line.best_line);
    if (line.best_line <= 0 || best >= reference.size()) continue;  // typed, but copied nothing
    std::set<int> missed;
    for (const report::CharacterMark& mark : report::MarksOf(line, reference[best]).marks) {
      if (mark.kind != report::MarkKind::kExtra) missed.insert(mark.position);
    }
    CountMatchedLine(reference[best], line.charged, missed, counted);
  }
  return counted;
}

std::vector<RunCharacters> HistoryOf(const std::string& program_folder,
                                     const std::string& user_id) {
  const std::optional<std::string> log = ReadFileIfAny(RunLogPath(program_folder));
  if (!log) return {};
  std::vector<RunCharacters> history;
  for (const RunLogEntry& run : RunsOfUser(ParseLog(*log), user_id)) {
    try {
      RecordingMessageSink silent;  // a line that does not decrypt is scored as empty, as it was
      const LoggedInputs inputs =
          ReadLoggedInputs(program_folder, run, PaperSource::kCurrentElseArchived, silent);
      const TypedLines typed = LoadTypedLines(AnswerLinesOf(inputs.answer));
      const MatchResult matched = ScrLoop(inputs.reference, typed, inputs.params.SubtractScore);
      history.push_back(CountRunCharacters(run, inputs.reference, matched));
    } catch (const std::exception&) {
      // One unreadable run (an archive file lost, a paper gone) does not spoil the others.
    }
  }
  return history;
}

}  // namespace keyin
