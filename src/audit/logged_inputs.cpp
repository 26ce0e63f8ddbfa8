#include "audit/logged_inputs.h"

#include "audit/archive.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "run/run_end.h"
#include "scoring/inputs.h"
#include "scoring/read_inputs.h"

namespace keyin {
namespace {

// The paper now, at the path the run read it from.
std::string ReadCurrentPaper(const std::string& path, RunKind kind) {
  try {
    return ReadRegularFile(path, ScoresCustomText(kind) ? kMaxCustomTextBytes : kMaxPaperBytes);
  } catch (const FileError& failure) {
    throw RunFailure(std::string("the paper cannot be read now: ") + failure.what());
  }
}

}  // namespace

std::optional<RunParams> ParamsOf(const RunLogEntry& entry) {
  const std::vector<std::u16string> pieces = SplitArguments(Utf8ToUtf16(entry.arguments));
  if (pieces.size() != kRunParamCount) return std::nullopt;
  try {
    return MakeRunParams(pieces);
  } catch (const RunFailure&) {
    return std::nullopt;
  }
}

LoggedInputs ReadLoggedInputs(const std::string& program_folder, const RunLogEntry& run,
                              PaperSource source, MessageSink& messages) {
  const std::optional<RunParams> parsed = ParamsOf(run);
  if (!parsed) throw RunFailure("the logged argument string is no run");
  if (!run.answer || !run.paper) throw RunFailure("the run ended before it was scored");
  LoggedInputs inputs;
  inputs.params = *parsed;
  inputs.kind = KindOfRun(inputs.params);
  const std::string archive = ArchiveFolder(program_folder);
  inputs.answer = ReadFromArchive(archive, run.answer->sha256);
  try {
    inputs.paper = ReadCurrentPaper(run.paper->path, inputs.kind);
  } catch (const RunFailure&) {
    if (source != PaperSource::kCurrentElseArchived) throw;
    inputs.paper = ReadFromArchive(archive, run.paper->sha256);
  }
  inputs.reference =
      ScoresCustomText(inputs.kind)
          ? LibLinesFromCustomText(CustomTextOf(inputs.paper, messages))
          : LibLinesThroughLibtemp(PaperLinesOf(inputs.paper, inputs.params.TestPart));
  return inputs;
}

}  // namespace keyin
