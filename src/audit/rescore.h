// Re-scoring from the run log: the scoring runs a selection names are replayed, in the order they
// ran, against the paper as it is now and the typed answer the archive kept, with each run's own
// logged time and computer names, so that the rows and reports come out as a scoring run of the
// corrected paper would have stored and written them then.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "audit/run_log.h"
#include "platform/append_file.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "records/databases.h"
#include "run/run_params.h"

namespace keyin {

// Which logged runs to replay; what is not given does not narrow the choice.
struct RescoreSelection {
  std::optional<std::string> paper = {};    // ExamPaperNo
  std::optional<std::string> session = {};  // SessionNo
  std::optional<DateTime> from = {};        // the run's time, both ends included
  std::optional<DateTime> to = {};
};

// A run to replay, with the speed and error rate its part has now: those of its latest replay,
// else its own.
struct SelectedRun {
  RunLogEntry run;
  std::optional<double> speed, error_rate;
};

// Whether a scoring run that exited with a failure stored its result all the same: it failed
// after its result was committed (at its CSCR file), so its id is recorded among the finished
// runs, with its time.
using StoredDespiteFailure = std::function<bool(const RunLogEntry& run, const RunParams& params)>;

// The answer of the finished runs of the program folder's databases, each opened when first
// needed. The function throws ResultsStoreMissing or DatabaseError when a database cannot tell.
StoredDespiteFailure RecordedAsFinished(const std::string& program_folder);

// The scoring runs of the log that stored their result and can be replayed (they kept both
// inputs in the archive) and that the selection takes, in the order of the log. A run stored its
// result when it exited 0, or when it failed and `stored` says it stored all the same; replaying
// any other run would store a result that was never stored (a rerun of a part under the same id
// that was refused, a run of no kind). A second part's review result reads its first part, so a
// selected first part brings every later second part of the same candidate, seat and paper with
// it. Pure but for `stored`.
std::vector<SelectedRun> SelectRuns(const std::vector<RunLogEntry>& log,
                                    const RescoreSelection& selection,
                                    const StoredDespiteFailure& stored = nullptr);

// Orders date-times. Pure.
bool Earlier(const DateTime& a, const DateTime& b);

struct ReplayOutcome {
  std::optional<double> speed, error_rate;  // the new values, when the replay scored
  bool changed = false;                     // either differs from before
  std::string failure;                      // why the replay failed; empty when it did not
  std::string reports;  // the folder the reports were written to; empty when none were
};

class Rescorer {
 public:
  // Replays are logged to log_path, the log they were read from. dry_run scores only: nothing
  // is written, stored or logged. reports_folder receives, in a folder named by the run's id, the
  // reports of runs whose answer folder holds another answer by now; without it such runs are
  // stored but their reports are not rewritten.
  Rescorer(const std::string& program_folder, const std::string& log_path, bool dry_run,
           std::optional<std::string> reports_folder);

  // Replays the runs in order, calling `progress` with the number done after each. A failure of
  // a run is its outcome; a database that cannot be opened ends the batch (RunEnd). Results are
  // committed in groups of kGroupSize runs, and a run's log line is appended once its group is
  // committed; a group that cannot be committed fails each of its runs.
  std::vector<ReplayOutcome> ReplayAll(const std::vector<SelectedRun>& runs,
                                       const std::function<void(std::size_t)>& progress);

  static constexpr std::size_t kGroupSize = 50;

 private:
  struct Replayed {
    ReplayOutcome outcome;
    RunLogEntry line;
  };
  Replayed Replay(const SelectedRun& selected);
  ReplayOutcome ReplayOrThrow(const SelectedRun& selected, RunLogEntry& replay);
  // Commits the group and logs its replays; each is failed when the commit fails.
  void EndGroup(std::vector<Replayed>& group, std::vector<ReplayOutcome>& outcomes);

  std::string program_folder_;
  bool dry_run_;
  std::optional<std::string> reports_folder_;
  PathTranslator paths_;
  RecordingMessageSink messages_;
  ResultStores stores_;
  std::unique_ptr<AppendFile> log_;
};

}  // namespace keyin
