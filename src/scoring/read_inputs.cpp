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

std::u16string LoadCustomText(const RunParams& params, const PathTranslator& paths,
                              MessageSink& messages) {
  const std::string path =
      paths(paths.ProgramFolder() + "\\lib\\" + Utf16ToUtf8(params.ExamPaperNo) + ".cus");
  std::u16string text;
  for (const std::u16string& line : ReadAnsiLines(path)) {
    text += Decrypt(line, messages);
    text += u"\r\n";
  }
  return text;
}

std::vector<std::u16string> ReadPaperLines(const RunParams& params, const PathTranslator& paths) {
  const std::string path = paths(params.LibPath + params.ExamPaperNo + u".LIB");
  // Checked first: opening a record file that is missing would create it empty.
  if (!IsNormalFile(path)) throw RunFailure("test paper not found: " + path);
  return ReadLibForScoring(RecordFile(path), params.TestPart);
}

std::vector<std::u16string> ReadAnswerLines(const RunParams& params, const PathTranslator& paths) {
  const std::u16string TestFileName = TestFileNameOf(params.TestPart);
  // Without a part the answer's name would be the score folder itself.
  if (TestFileName.empty()) {
    throw RunFailure("TestPart must be 1 or 2, not \"" + Utf16ToUtf8(params.TestPart) + "\"");
  }
  TextReader answer(paths(params.ScrPath + TestFileName));
  std::vector<std::u16string> lines;
  while (!answer.AtEnd()) lines.push_back(answer.ReadLine());
  return lines;
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
