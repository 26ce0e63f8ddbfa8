// The UTF-16 and code-page-950 line readers, the record reader and the writers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ansi_file.h"
#include "platform/file_system.h"
#include "platform/text_stream.h"
#include "temp_folder.h"

namespace keyin {
namespace {

std::string Utf16Bytes(std::u16string_view text, bool bom = true) {
  return (bom ? "\xFF\xFE" : "") + Utf16LeBytes(text);
}

struct Utf16Case {
  const char* name;
  std::string bytes;
  std::vector<std::u16string> lines;
};

TEST(Utf16Lines, SplitsByTheReadingRules) {
  const std::vector<Utf16Case> cases = {
      {"empty file", "", {}},
      {"bom only", Utf16Bytes(u""), {}},
      {"crlf", Utf16Bytes(u"甲乙\r\n丙\r\n"), {u"甲乙", u"丙"}},
      {"no final line end", Utf16Bytes(u"甲乙\r\n丙"), {u"甲乙", u"丙"}},
      {"lone lf", Utf16Bytes(u"a\nb"), {u"a", u"b"}},
      {"lone cr", Utf16Bytes(u"a\rb\r"), {u"a", u"b"}},
      {"empty lines kept", Utf16Bytes(u"\r\n\r\nx\r\n"), {u"", u"", u"x"}},
      {"no bom", Utf16Bytes(u"ab\r\ncd", false), {u"ab", u"cd"}},
      {"odd byte count", Utf16Bytes(u"ab") + "A", {u"ab\uFFFD"}},
      {"nul and lone surrogate kept",
       Utf16Bytes(std::u16string(u"a\0b\xD800", 4)),
       {std::u16string(u"a\0b\xD800", 4)}},
  };
  for (const Utf16Case& c : cases) {
    EXPECT_EQ(SplitUtf16Lines(c.bytes), c.lines) << c.name;
  }
}

TEST(TextLines, EncodingFollowsTheByteOrderMark) {
  const std::vector<Utf16Case> cases = {
      {"utf-16le mark", Utf16Bytes(u"甲\r\nb"), {u"甲", u"b"}},
      {"no mark is utf-16le", Utf16Bytes(u"甲\r\nb", false), {u"甲", u"b"}},
      {"utf-16be mark", std::string("\xFE\xFF\x75\x32\x00\x0D\x00\x0A\x00\x62", 10), {u"甲", u"b"}},
      {"utf-16be odd final byte", std::string("\xFE\xFF\x00\x61\x00", 5), {u"a\uFFFD"}},
      {"utf-8 mark", "\xEF\xBB\xBF\xE7\x94\xB2\r\nb", {u"甲", u"b"}},
      {"utf-8 mark alone", "\xEF\xBB\xBF", {}},
      {"utf-8 byte of no character",
       "\xEF\xBB\xBF"
       "a\xFF"
       "b",
       {u"a\uFFFDb"}},
  };
  for (const Utf16Case& c : cases) EXPECT_EQ(SplitTextLines(c.bytes), c.lines) << c.name;
}

TEST(AnsiLines, LoneLineFeedStaysInTheLine) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb", {"a", "b"}},
      {"a\nb\r\nc", {"a\nb", "c"}},
      {"\r\n\r\n", {"", ""}},
      {"\xA4\xA4\xA4\xE5\r\n", {"\xA4\xA4\xA4\xE5"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitAnsiLines(c.bytes), c.lines) << c.bytes;
}

using FileTest = TempFolderTest;

TEST_F(FileTest, WriterWritesBomAndCrLfAndReaderReadsItBack) {
  TextWriter writer(Path("out.txt"));
  writer.Write(u"甲");
  writer.WriteLine(u"乙");
  writer.WriteLine(u"");
  writer.Close();
  EXPECT_EQ(ReadWholeFile(Path("out.txt")), Utf16Bytes(u"甲乙\r\n\r\n"));

  TextReader reader(Path("out.txt"));
  ASSERT_FALSE(reader.AtEnd());
  EXPECT_EQ(reader.ReadLine(), u"甲乙");
  EXPECT_EQ(reader.ReadLine(), u"");
  EXPECT_TRUE(reader.AtEnd());
}

// The file appears whole at Close and not before; a writer dropped before Close leaves the old
// file as it was and nothing beside it.
TEST_F(FileTest, WriterReplacesTheFileOnlyWhenClosed) {
  WriteWholeFile(Path("report"), "old");
  {
    TextWriter writer(Path("report"));
    writer.WriteLine(u"new");
    EXPECT_EQ(ReadWholeFile(Path("report")), "old");
  }
  EXPECT_EQ(ReadWholeFile(Path("report")), "old");
  TextWriter writer(Path("report"));
  writer.WriteLine(u"new");
  writer.Close();
  EXPECT_EQ(ReadWholeFile(Path("report")), Utf16Bytes(u"new\r\n"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

// A reader that takes only regular files within a bound never follows a link, never waits on a
// FIFO and never reads past the bound.
TEST_F(FileTest, RegularFilesAreReadOnlyWithinTheirBound) {
  WriteWholeFile(Path("ten"), "0123456789");
  EXPECT_EQ(ReadRegularFile(Path("ten"), 10), "0123456789");
  EXPECT_THROW(ReadRegularFile(Path("ten"), 9), FileRefused);
  std::filesystem::create_symlink(Path("ten"), Path("link"));
  std::filesystem::create_directory(Path("folder"));
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  for (const char* refused : {"link", "folder", "fifo"}) {
    EXPECT_THROW(ReadRegularFile(Path(refused), 100), FileRefused) << refused;
  }
  EXPECT_THROW(ReadRegularFile(Path("missing"), 100), FileNotFound);
}

TEST_F(FileTest, AppendCreatesAndConverts) {
  AppendAnsiLine(Path("a.txt"), u"中文");
  AppendAnsiLine(Path("a.txt"), u"x");
  EXPECT_EQ(ReadWholeFile(Path("a.txt")), "\xA4\xA4\xA4\xE5\r\nx\r\n");
  EXPECT_EQ(ReadAnsiLines(Path("a.txt")), (std::vector<std::u16string>{u"中文", u"x"}));
}

TEST_F(FileTest, RecordFileReadsOnlyInsideTheFile) {
  std::string bytes(64 * 2 + 10, ' ');
  bytes[0] = '\x02';
  bytes[1] = '\x00';
  bytes[2] = '\xFF';
  bytes[3] = '\xFF';
  bytes[64] = 'A';
  bytes[128] = 'B';
  WriteWholeFile(Path("paper.LIB"), bytes);
  RecordFile file(Path("paper.LIB"));
  EXPECT_EQ(file.ReadInt16(1), 2);
  EXPECT_EQ(file.ReadInt16(2), -1);
  EXPECT_EQ(file.ReadInt16(0), std::nullopt);
  EXPECT_EQ(file.ReadInt16(70), std::nullopt);
  EXPECT_EQ(file.RecordCount(64), 3);
  EXPECT_EQ(file.ReadTextField(2), "A" + std::string(31, ' '));
  // The last record is partial: its field is padded with blanks.
  EXPECT_EQ(file.ReadTextField(3), "B" + std::string(31, ' '));
  EXPECT_EQ(file.ReadTextField(4), std::nullopt);
  EXPECT_EQ(file.ReadTextField(-32768), std::nullopt);
}

}  // namespace
}  // namespace keyin
