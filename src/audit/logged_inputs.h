// A logged scoring run read back: its run parameters from the logged argument string, its typed
// answer from the archive, its paper as it is now (or as the archive kept it) and the reference
// lines the run's kind makes of that paper. Re-scoring and the drills read runs through these.
#pragma once

#include <optional>
#include <string>

#include "audit/run_log.h"
#include "platform/message_box.h"
#include "run/run_kind.h"
#include "run/run_params.h"
#include "scoring/matching.h"

namespace keyin {

// The run parameters of a logged run; nothing when its argument string is no run. Pure.
std::optional<RunParams> ParamsOf(const RunLogEntry& entry);

// Where the paper is read from: the path the run read it from, as it is now (a corrected paper
// is what re-scoring is for); or, when that cannot be read, the copy the archive kept.
enum class PaperSource { kCurrent, kCurrentElseArchived };

struct LoggedInputs {
  RunParams params;
  RunKind kind = RunKind::kOther;
  std::string paper;         // the paper's bytes, as read
  std::string answer;        // the typed answer's bytes, from the archive
  ReferenceLines reference;  // as the run's kind reads the paper; entry 0 the empty line
};

// Reads the inputs of a logged run that logged both its paper and its answer. Throws RunFailure
// when the argument string is no run, the answer or the paper cannot be read, and what the
// readers of the reference lines throw (InputLimitError, LibFormatError). A custom text's lines
// that do not decrypt show their message in `messages`.
LoggedInputs ReadLoggedInputs(const std::string& program_folder, const RunLogEntry& run,
                              PaperSource source, MessageSink& messages);

}  // namespace keyin
