#include "audit/visual_report.h"

#include "platform/code_page.h"
#include "platform/database.h"
#include "platform/durable_file.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "practice/code_tables.h"
#include "run/run_end.h"

namespace keyin {

bool VisualReportAsked() {
  const std::string value = GetEnvironment(kVisualReportVariable).value_or("");
  if (value == "1") return true;
  if (value.empty() || value == "0") return false;
  throw RunFailure(std::string(kVisualReportVariable) +
                   " must be 1 (write the visual report) or 0; nothing was stored");
}

std::string VisualReportMethod() {
  return GetEnvironment(kVisualReportMethodVariable).value_or("");
}

std::array<std::string, 2> WriteVisualReport(const RunParams& params, const ScoringOutcome& outcome,
                                             const std::string& base, std::string_view method) {
  const std::array<std::string, 2> paths = VisualReportPathsOf(base);
  // From what the scoring made: byte for byte what `keyin-tool report` writes.
  report::ScoreReport report =
      report::BuildScoreReport(params, outcome.inputs, ScoredPart{outcome.matched, outcome.scores});
  if (!method.empty()) AddCodesOfMethod(report, method, outcome.inputs.reference);
  const std::string html = Utf16ToUtf8(report::ScoreReportHtml(report));
  const std::string json = report::ScoreReportJson(report);
  // Readable by others as the three reports are, and on the disk before anything is stored.
  WriteFileDurably(paths[0], html, 0666);
  try {
    WriteFileDurably(paths[1], json, 0666);
  } catch (const FileError&) {
    try {
      DeleteFile(paths[0]);
    } catch (const FileError&) {
      // The page is this run's own: it misleads nobody, and the run fails all the same.
    }
    throw;
  }
  return paths;
}

void AddCodesOfMethod(report::ScoreReport& report, std::string_view method,
                      const std::vector<std::u16string>& paper_lines) {
  try {
    const LoadedCodes loaded = LoadCodeTable(method);
    if (loaded.table) {
      report::AddCodes(report, *loaded.table, paper_lines);
    } else {
      report.codes.missing = loaded.missing;
    }
  } catch (const DatabaseError&) {
    report.codes.missing = "無法讀取" + std::string(method) + "的字碼表";
  }
}

}  // namespace keyin
