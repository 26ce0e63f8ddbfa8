// keyin-tool rescore: replays logged scoring runs against the paper as it is now, after a paper
// was corrected, and shows what changed. See audit/rescore.h for what a replay does.
#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "audit/archive.h"
#include "audit/rescore.h"
#include "platform/code_page.h"
#include "platform/durable_file.h"
#include "platform/paths.h"
#include "platform/terminal.h"
#include "platform/text_width.h"
#include "records/results_query.h"
#include "report/text_table.h"
#include "run/run_end.h"
#include "run/run_kind.h"
#include "support/number_text.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

struct Options {
  std::string log;
  std::optional<std::string> paper, session, from, to, reports;
  bool dry_run = false;
  bool json = false;
};

// A --from or --to time: a date alone stands for the start of its day, or for its end.
DateTime TimeOption(const std::string& text, bool end_of_day) {
  std::optional<DateTime> time = ParseDateTime(text);
  if (!time) {
    throw CLI::ValidationError("not a date (2026-12-07) or date-time (2026-12-07 09:00:00): " +
                               text);
  }
  if (end_of_day && text.find(' ') == std::string::npos) {
    time->hour = 23;
    time->minute = 59;
    time->second = 59;
  }
  return *time;
}

nlohmann::json JsonNumber(const std::optional<double>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

std::u16string Number(const std::optional<double>& value) {
  return value ? FormatNumber(*value) : u"-";
}

// "old → new", or the old value alone when the replay gave none.
std::u16string Change(const std::optional<double>& before, const std::optional<double>& after) {
  if (!after) return Number(before);
  return Number(before) + u" → " + Number(after);
}

// One line of progress on standard error: a bar and the count.
void ShowProgress(std::size_t done, std::size_t total) {
  constexpr std::size_t kWidth = 30;
  const std::size_t filled = total == 0 ? kWidth : done * kWidth / total;
  std::cerr << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, '-') << "] "
            << done << '/' << total << std::flush;
  if (done == total) std::cerr << "\r\033[K" << std::flush;
}

int Rescore(const Options& options) {
  const std::string program_folder = ProgramFolder();
  const std::string log_path = options.log.empty() ? RunLogPath(program_folder) : options.log;
  RescoreSelection selection;
  selection.paper = options.paper;
  selection.session = options.session;
  if (options.from) selection.from = TimeOption(*options.from, false);
  if (options.to) selection.to = TimeOption(*options.to, true);

  const std::optional<std::string> log_text = ReadFileIfAny(log_path);
  if (!log_text) {
    Complain("rescore: there is no run log at " + log_path);
    return kExitFailure;
  }
  const std::vector<SelectedRun> runs =
      SelectRuns(ParseLog(*log_text), selection, RecordedAsFinished(program_folder));
  Rescorer rescorer(program_folder, log_path, options.dry_run, options.reports);

  const bool progress = StandardErrorIsTerminal();
  std::vector<std::vector<std::u16string>> rows;
  nlohmann::json json_rows = nlohmann::json::array();
  std::size_t changed = 0, failed = 0;
  std::string failures;  // one line per failed run, after the table
  const std::vector<ReplayOutcome> outcomes = rescorer.ReplayAll(runs, [&](std::size_t done) {
    if (progress) ShowProgress(done, runs.size());
  });
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const SelectedRun& selected = runs[i];
    const ReplayOutcome& outcome = outcomes[i];
    // Selected runs have a whole argument string.
    const RunParams params = MakeRunParams(SplitArguments(Utf8ToUtf16(selected.run.arguments)));
    std::u16string result = u"相同";
    const char* json_result =
        outcome.failure.empty() ? (outcome.changed ? "changed" : "same") : "failed";
    if (!outcome.failure.empty()) {
      result = u"失敗";
      failures += Utf16ToUtf8(FormatDateTimeText(selected.run.time, kStoredDateTimePattern)) + " " +
                  selected.run.id + ": " + outcome.failure + "\n";
      ++failed;
    } else if (outcome.changed) {
      result = u"變更";
      ++changed;
    }
    std::u16string reports = Utf8ToUtf16(outcome.reports);
    if (outcome.failure.empty() && !options.dry_run && reports.empty()) {
      reports = u"未重寫：作答資料夾已有別的作答";
    }
    json_rows.push_back({
        {"time", Utf16ToUtf8(FormatDateTimeText(selected.run.time, kStoredDateTimePattern))},
        {"id", selected.run.id},
        {"kind", Utf16ToUtf8(KindLabelOf(params))},
        {"UserID", Utf16ToUtf8(params.UserID)},
        {"StuName", Utf16ToUtf8(params.StuName)},
        {"ExamPaperNo", Utf16ToUtf8(params.ExamPaperNo)},
        {"TestPart", Utf16ToUtf8(params.TestPart)},
        {"speed", {{"before", JsonNumber(selected.speed)}, {"after", JsonNumber(outcome.speed)}}},
        {"error_rate",
         {{"before", JsonNumber(selected.error_rate)}, {"after", JsonNumber(outcome.error_rate)}}},
        {"result", json_result},
        {"failure", outcome.failure},
        {"reports", Utf16ToUtf8(reports)},
    });
    rows.push_back({
        FormatDateTimeText(selected.run.time, kStoredDateTimePattern),
        std::u16string(KindLabelOf(params)),
        params.UserID,
        params.StuName,
        params.ExamPaperNo,
        params.TestPart,
        Change(selected.speed, outcome.speed),
        Change(selected.error_rate, outcome.error_rate),
        result,
        reports,
    });
  }

  if (options.json) {
    std::cout << nlohmann::json{{"dry_run", options.dry_run},
                                {"runs", json_rows},
                                {"changed", changed},
                                {"same", runs.size() - changed - failed},
                                {"failed", failed}}
                     .dump()
              << '\n';
    return failed == 0 ? kExitDone : kExitFailure;
  }
  const std::u16string table = text_table::Render({{u"時間"},
                                                   {u"類別"},
                                                   {u"帳號"},
                                                   {u"姓名"},
                                                   {u"試卷"},
                                                   {u"測驗"},
                                                   {u"速度", true},
                                                   {u"錯誤率", true},
                                                   {u"結果"},
                                                   {u"報表"}},
                                                  rows, DisplayWidth);
  std::cout << Utf16ToUtf8(table);
  std::cout << (options.dry_run ? "試算（未寫入任何檔案或資料）：" : "重新評分：") << runs.size()
            << " 筆，變更 " << changed << " 筆，相同 " << runs.size() - changed - failed
            << " 筆，失敗 " << failed << " 筆\n";
  if (!failures.empty()) std::cout << "失敗：\n" << failures;
  return failed == 0 ? kExitDone : kExitFailure;
}

}  // namespace

void AddRescoreCommand(CLI::App& app) {
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "rescore",
      "Score logged runs again against the paper as it is now and the archived typed answers, "
      "in the order they ran and with their own time; rewrite their reports and update their "
      "stored results");
  command->add_option("--log", options->log,
                      "The run log to read, and to add the replays to (default: KEYIN_RUN_LOG, or "
                      "log/runs.jsonl in the program folder)");
  command->add_option("--paper", options->paper, "Only runs of this paper (ExamPaperNo)");
  command->add_option("--session", options->session, "Only runs of this session (SessionNo)");
  command->add_option("--from", options->from,
                      "Only runs at or after this time (2026-12-07 or 2026-12-07 09:00:00)");
  command->add_option("--to", options->to, "Only runs at or before this time (a date: its end)");
  command->add_option("--reports", options->reports,
                      "Folder for the reports of runs whose answer folder now holds another "
                      "answer (one folder per run, named by its id); without it their reports "
                      "are not rewritten");
  command->add_flag("--dry-run", options->dry_run,
                    "Score and show the table only: nothing is written, stored or logged");
  command->add_flag("--json", options->json,
                    "Write the table as one JSON object (runs, and the counts changed, same and "
                    "failed) instead of text");
  command->footer(
      "Only runs that stored their result are replayed: those that exited 0, and those that "
      "failed after storing it (at the CSCR file), as the table of finished runs records them. "
      "A second part's review result reads its first part, so a selected first part brings the "
      "later second part of the same candidate with it. Exit status: 0 when every run was "
      "replayed, 1 when one failed (it is listed), 3 when a database is missing.");
  OnRun(command, [options] {
    try {
      return Rescore(*options);
    } catch (const RunEnd& end) {
      Complain(std::string("rescore: ") + end.what());
      return end.ExitStatus();
    } catch (const ResultsStoreMissing& missing) {
      Complain(std::string("rescore: ") + missing.what());
      return kExitDatabaseMissing;
    } catch (const CLI::ValidationError& refused) {
      Complain(std::string("rescore: ") + refused.what());
      return kExitWrongArguments;
    } catch (const std::exception& failure) {
      Complain(std::string("rescore: ") + failure.what());
      return kExitFailure;
    }
  });
}

}  // namespace keyin::tool
