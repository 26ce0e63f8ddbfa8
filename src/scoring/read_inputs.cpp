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

InputFile ReadCustomTextFile(const RunParams& params, const PathTranslator& paths) {
  std::string path =
      paths(paths.ProgramFolder() + "\\lib\\" + Utf16ToUtf8(params.ExamPaperNo) + ".cus");
  std::string bytes = ReadInput(path, kMaxCustomTextBytes, "custom text");
  return {std::move(path), std::move(bytes)};
}

std::u16string CustomTextOf(std::string_view bytes, MessageSink& messages) {
  std::u16string text;
  for (const std::u16string& line : DecodeAnsiLines(bytes)) {
    text += Decrypt(line, messages);
    text += u"\r\n";
  }
  return text;
}

std::u16string LoadCustomText(const RunParams& params, const PathTranslator& paths,
                              MessageSink& messages) {
  return CustomTextOf(ReadCustomTextFile(params, paths).bytes, messages);
}

InputFile ReadPaperFile(const RunParams& params, const PathTranslator& paths) {
  std::string path = paths(params.LibPath + params.ExamPaperNo + u".LIB");
  try {
    std::string bytes = ReadInput(path, kMaxPaperBytes, "test paper");
    return {std::move(path), std::move(bytes)};
  } catch (const FileNotFound&) {
    throw RunFailure("test paper not found: " + path);
  }
}

std::vector<std::u16string> PaperLinesOf(std::string bytes, std::u16string_view TestPart) {
  return ReadLibForScoring(RecordFile::OfBytes(std::move(bytes)), TestPart);
}

std::vector<std::u16string> ReadPaperLines(const RunParams& params, const PathTranslator& paths) {
  return PaperLinesOf(ReadPaperFile(params, paths).bytes, params.TestPart);
}

InputFile ReadAnswerFile(const RunParams& params, const PathTranslator& paths) {
  const std::u16string TestFileName = TestFileNameOf(params.TestPart);
  // Without a part the answer's name would be the score folder itself.
  if (TestFileName.empty()) {
    throw RunFailure("TestPart must be 1 or 2, not \"" + Utf16ToUtf8(params.TestPart) + "\"");
  }
  std::string path = paths(params.ScrPath + TestFileName);
  std::string bytes = ReadInput(path, kMaxAnswerBytes, "typed answer");
  return {std::move(path), std::move(bytes)};
}

std::vector<std::u16string> AnswerLinesOf(std::string_view bytes) { return SplitTextLines(bytes); }

std::vector<std::u16string> ReadAnswerLines(const RunParams& params, const PathTranslator& paths) {
  return AnswerLinesOf(ReadAnswerFile(params, paths).bytes);
}

ScoringInputs ReadScoringInputs(const RunParams& params, const PathTranslator& paths,
                                MessageSink& messages) {
  ScoringInputs inputs;
  if (ScoresCustomText(params)) {
    inputs.reference = LibLinesFromCustomText(LoadCustomText(params, paths, messages));
  } else {
    inputs.reference = LibLinesThroughLibtemp(ReadPaperLines(params, paths));
  }
  inputs.typed = LoadTypedLines(ReadAnswerLines(params, paths));
  return inputs;
}

}  // namespace keyin
