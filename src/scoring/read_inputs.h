// Reading a scoring run's inputs as the run reads them, without writing anything: the custom
// text, the test paper and the typed answer. The scoring run itself (score_answer.h) calls these
// in the order its files are written; ReadScoringInputs takes them all at once for any caller that
// wants the scores of a part and must leave every file as it was.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"
#include "platform/paths.h"
#include "run/run_params.h"
#include "scoring/matching.h"

namespace keyin {

// Each reader takes its file only when it is a regular file (never through a symbolic link, never
// a FIFO or a device) within the bound of inputs.h, and otherwise throws RunFailure saying so
// before it reads a byte.

// A file the run scored from, as it was read: the run log names it and the archive keeps its bytes.
struct InputFile {
  std::string path;
  std::string bytes;
};

// The custom text file of the run's paper, lib/<ExamPaperNo>.cus in the program folder. Throws
// FileError when the file cannot be read.
InputFile ReadCustomTextFile(const RunParams& params, const PathTranslator& paths);
// The decrypted custom text of the file's bytes: every line followed by CR LF. A line that does
// not decrypt shows Decrypt's message and gives an empty line.
std::u16string CustomTextOf(std::string_view bytes, MessageSink& messages);

// The decrypted custom text of the run's paper, lib/<ExamPaperNo>.cus in the program folder: every
// line followed by CR LF. A line that does not decrypt shows Decrypt's message and gives an empty
// line. Throws FileError when the file cannot be read.
std::u16string LoadCustomText(const RunParams& params, const PathTranslator& paths,
                              MessageSink& messages);

// The lines of the paper LibPath & ExamPaperNo & ".LIB" in scoring order (ReadLibForScoring): what
// the scoring run writes to libtemp. Throws RunFailure when the paper is missing (an empty paper
// would score every candidate 0), LibFormatError when it cannot be scored (CheckLibForScoring).
std::vector<std::u16string> ReadPaperLines(const RunParams& params, const PathTranslator& paths);
// The same in two steps: the paper file (RunFailure when missing) and the lines of its bytes
// (LibFormatError when it cannot be scored).
InputFile ReadPaperFile(const RunParams& params, const PathTranslator& paths);
std::vector<std::u16string> PaperLinesOf(std::string bytes, std::u16string_view TestPart);

// The lines of the typed answer ScrPath & "CTEST-1" or "CTEST-2", in the encoding its byte-order
// mark names (UTF-16LE without one). Throws RunFailure for a TestPart other than "1" and "2",
// FileError when the answer cannot be read.
std::vector<std::u16string> ReadAnswerLines(const RunParams& params, const PathTranslator& paths);
// The same in two steps: the answer file, and the lines of an answer's bytes.
InputFile ReadAnswerFile(const RunParams& params, const PathTranslator& paths);
std::vector<std::u16string> AnswerLinesOf(std::string_view bytes);

struct ScoringInputs {
  ReferenceLines reference;
  TypedLines typed;
};

// Everything the scoring of the run reads: for a custom-text practice the custom text (its
// messages go to `messages`), otherwise the paper as libtemp would give it back; then the stored
// typed lines. Reads files only. Throws as KindOfRun, the readers above and the line tables do.
ScoringInputs ReadScoringInputs(const RunParams& params, const PathTranslator& paths,
                                MessageSink& messages);

}  // namespace keyin
