// The line tables the scoring starts from: typed lines, custom-text lines, and the paper's lines
// as libtemp gives them back.
#include "scoring/inputs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/text_stream.h"

namespace keyin {
namespace {

using Lines = std::vector<std::u16string>;
constexpr char16_t kFull = u'\u3000';

TEST(LoadTypedLines, KeepsTheLinesTheRulesKeep) {
  const struct {
    const char* rule;
    Lines answer;
    Lines typed;  // entry 0 unused
  } cases[] = {
      {"four leading blanks become two full-width blanks",
       {u"    甲乙"},
       {u"", u"\u3000\u3000甲乙"}},
      {"a fifth blank stays", {u"     甲"}, {u"", u"\u3000\u3000 甲"}},
      {"a line of four blanks alone is kept, empty", {u"    ", u"甲乙"}, {u"", u"", u"甲乙"}},
      {"lines of one character or none are dropped", {u"甲", u"", u"乙丙", u" "}, {u"", u"乙丙"}},
      {"trailing half-width blanks go, full-width ones stay",
       {u"甲乙  ", std::u16string(u"丙") + kFull + u" "},
       {u"", u"甲乙", std::u16string(u"丙") + kFull}},
      {"leading blanks other than four stay", {u"  甲乙"}, {u"", u"  甲乙"}},
      {"no line kept: the answer is too small", {u"甲"}, {u"", u"", kTooSmallText}},
  };
  for (const auto& c : cases) EXPECT_EQ(LoadTypedLines(c.answer), c.typed) << c.rule;
  EXPECT_EQ(LoadTypedLines(Lines(200, u"甲乙")).size(), 201u);
  EXPECT_THROW(LoadTypedLines(Lines(201, u"甲乙")), InputLimitError);
}

TEST(LibLinesFromCustomText, KeepsEveryLineWithText) {
  const struct {
    const char* rule;
    std::u16string custom_text;
    Lines reference;  // entry 0 is the empty line
  } cases[] = {
      {"lines end at CR LF; what follows the last one is not read",
       u"甲乙\r\n丙丁\r\n戊",
       {u"", u"甲乙", u"丙丁"}},
      {"empty and half-width blank lines are skipped",
       u"甲\r\n\r\n   \r\n乙\r\n",
       {u"", u"甲", u"乙"}},
      {"the others are kept untrimmed, a full-width blank line too",
       u" 甲 \r\n\u3000\r\n",
       {u"", u" 甲 ", u"\u3000"}},
      {"a lone CR or LF is text", u"甲\r乙\n丙\r\n", {u"", u"甲\r乙\n丙"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LibLinesFromCustomText(c.custom_text), c.reference) << c.rule;
  std::u16string full_paper;
  for (int line = 0; line < 2000; ++line) full_paper += u"甲\r\n";
  EXPECT_EQ(LibLinesFromCustomText(full_paper).size(), 2001u);
  EXPECT_THROW(LibLinesFromCustomText(full_paper + u"乙\r\n"), InputLimitError);
}

// libtemp is written and read back by the UTF-16 file rules; the scoring takes the lines in
// memory, and they must be what the file gives back.
TEST(LibLinesThroughLibtemp, GivesWhatTheFileGivesBack) {
  const struct {
    const char* rule;
    Lines paper;
    Lines reference;
  } cases[] = {
      {"blank lines and trailing blanks are kept", {u"甲", u"", u"乙 "}, {u"", u"甲", u"", u"乙 "}},
      {"a CR or an LF inside a line ends it",
       {u"甲\r乙", u"丙\n丁", u"戊\r"},
       {u"", u"甲", u"乙", u"丙", u"丁", u"戊", u""}},
      {"no paper lines, no reference lines", {}, {u""}},
  };
  const auto folder =
      std::filesystem::temp_directory_path() / ("keyin-libtemp-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  for (const auto& c : cases) {
    EXPECT_EQ(LibLinesThroughLibtemp(c.paper), c.reference) << c.rule;
    TextWriter libtemp((folder / "libtemp").string());
    for (const std::u16string& line : c.paper) libtemp.WriteLine(line);
    libtemp.Close();
    TextReader reader((folder / "libtemp").string());
    Lines read_back{u""};
    while (!reader.AtEnd()) read_back.push_back(reader.ReadLine());
    EXPECT_EQ(read_back, c.reference) << c.rule;
  }
  std::filesystem::remove_all(folder);
  EXPECT_THROW(LibLinesThroughLibtemp(Lines(2001, u"甲")), InputLimitError);
}

}  // namespace
}  // namespace keyin
