#include "scoring/inputs.h"

#include "platform/text_stream.h"
#include "support/text.h"

namespace keyin {
namespace {

void CheckReferenceCount(const ReferenceLines& lines) {
  if (lines.size() > static_cast<std::size_t>(kMaxReferenceLines) + 1) {
    throw InputLimitError("the test paper has more than 2000 lines");
  }
}

}  // namespace

ReferenceLines LibLinesFromCustomText(std::u16string_view CustomText) {
  ReferenceLines lines(1);
  std::vector<std::u16string> pieces = SplitText(CustomText, u"\r\n");
  pieces.pop_back();  // the piece after the last CR LF is never looked at
  for (std::u16string& piece : pieces) {
    if (TrimBlanks(piece).empty()) continue;
    lines.push_back(std::move(piece));
    CheckReferenceCount(lines);
  }
  return lines;
}

ReferenceLines LibLinesThroughLibtemp(const std::vector<std::u16string>& paper_lines) {
  std::u16string libtemp;
  for (const std::u16string& line : paper_lines) libtemp += line + u"\r\n";
  ReferenceLines lines = SplitLines(libtemp);
  lines.insert(lines.begin(), std::u16string());
  CheckReferenceCount(lines);
  return lines;
}

TypedLines LoadTypedLines(const std::vector<std::u16string>& answer_lines) {
  TypedLines typed(1);
  for (const std::u16string& answer_line : answer_lines) {
    std::u16string line = answer_line;
    if (line.size() > 4 && line.compare(0, 4, u"    ") == 0) {
      line.replace(0, 4, u"\u3000\u3000");
    }
    if (line.size() <= 1) continue;
    EraseTrailingBlanks(line);
    typed.push_back(std::move(line));
    if (typed.size() > static_cast<std::size_t>(kMaxTypedLines) + 1) {
      throw InputLimitError("the typed answer has more than 200 lines");
    }
  }
  if (typed.size() == 1) typed = {u"", u"", kTooSmallText};
  return typed;
}

std::u16string TestFileNameOf(std::u16string_view TestPart) {
  if (TestPart == u"1") return u"CTEST-1";
  if (TestPart == u"2") return u"CTEST-2";
  return {};
}

}  // namespace keyin
