#include "scoring/read_inputs.h"

#include "platform/ansi_file.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/text_stream.h"
#include "run/run_end.h"
#include "run/run_kind.h"
#include "scoring/inputs.h"
#include "support/decoding.h"
#include "support/library.h"

namespace keyin {
namespace {

// The bytes of one of the run's input files: a regular file of at most max_bytes, or the run
// fails saying why (FileNotFound and FileError propagate).
std::string ReadInput(const std::string& path, std::uint64_t max_bytes, const char* what) {
  try {
    return ReadRegularFile(path, max_bytes);
  } catch (const FileRefused& refused) {
    throw RunFailure(std::string("refused the ") + what + ": " + refused.what());
  }
}

}  // namespace

std::u16string LoadCustomText(const RunParams& params, const PathTranslator& paths,
                              MessageSink& messages) {
  const std::string path =
      paths(paths.ProgramFolder() + "\\lib\\" + Utf16ToUtf8(params.ExamPaperNo) + ".cus");
  std::u16string text;
  for (const std::u16string& line :
       DecodeAnsiLines(ReadInput(path, kMaxCustomTextBytes, "custom text"))) {
    text += Decrypt(line, messages);
    text += u"\r\n";
  }
  return text;
}

std::vector<std::u16string> ReadPaperLines(const RunParams& params, const PathTranslator& paths) {
  const std::string path = paths(params.LibPath + params.ExamPaperNo + u".LIB");
  std::string bytes;
  try {
    bytes = ReadInput(path, kMaxPaperBytes, "test paper");
  } catch (const FileNotFound&) {
    throw RunFailure("test paper not found: " + path);
  }
  return ReadLibForScoring(RecordFile::OfBytes(std::move(bytes)), params.TestPart);
}

std::vector<std::u16string> ReadAnswerLines(const RunParams& params, const PathTranslator& paths) {
  const std::u16string TestFileName = TestFileNameOf(params.TestPart);
  // Without a part the answer's name would be the score folder itself.
  if (TestFileName.empty()) {
    throw RunFailure("TestPart must be 1 or 2, not \"" + Utf16ToUtf8(params.TestPart) + "\"");
  }
  return SplitTextLines(
      ReadInput(paths(params.ScrPath + TestFileName), kMaxAnswerBytes, "typed answer"));
}

ScoringInputs ReadScoringInputs(const RunParams& params, const PathTranslator& paths,
                                MessageSink& messages) {
  ScoringInputs inputs;
  if (KindOfRun(params) == RunKind::kCustomTextPractice) {
    inputs.reference = LibLinesFromCustomText(LoadCustomText(params, paths, messages));
  } else {
    inputs.reference = LibLinesThroughLibtemp(ReadPaperLines(params, paths));
  }
  inputs.typed = LoadTypedLines(ReadAnswerLines(params, paths));
  return inputs;
}

}  // namespace keyin
