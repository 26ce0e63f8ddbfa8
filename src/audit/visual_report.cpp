#include "audit/visual_report.h"

#include "platform/durable_file.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "report/score_report.h"
#include "run/run_end.h"

namespace keyin {

bool VisualReportAsked() {
  const std::string value = GetEnvironment(kVisualReportVariable).value_or("");
  if (value == "1") return true;
  if (value.empty() || value == "0") return false;
  throw RunFailure(std::string(kVisualReportVariable) +
                   " must be 1 (write the visual report) or 0; nothing was stored");
}

std::array<std::string, 2> WriteVisualReport(const RunParams& params, const ScoringOutcome& outcome,
                                             const std::string& base) {
  const std::array<std::string, 2> paths = VisualReportPathsOf(base);
  const report::ScoreReportFiles files = report::ScoreReportFilesOf(params, outcome);
  // Readable by others as the three reports are, and on the disk before anything is stored.
  WriteFileDurably(paths[0], files.html, 0666);
  try {
    WriteFileDurably(paths[1], files.json, 0666);
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

}  // namespace keyin
