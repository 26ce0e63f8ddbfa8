#include "support/library.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/decoding.h"

namespace keyin {
namespace {

namespace fs = std::filesystem;

std::u16string Numbered(int record) {
  const std::string digits = std::to_string(record);
  return u"第" + std::u16string(digits.begin(), digits.end()) + u"行";
}

// Lines of the records first .. end - 1 as EncodeLibFile writes them.
std::vector<std::u16string> Lines(int first, int end) {
  std::vector<std::u16string> lines;
  for (int r = first; r < end; ++r) lines.push_back(Numbered(r));
  return lines;
}

std::u16string Joined(const std::vector<std::u16string>& lines) {
  std::u16string text;
  for (const auto& line : lines) text += line + u"\r\n";
  return text;
}

std::vector<std::u16string> Concat(std::vector<std::u16string> a,
                                   const std::vector<std::u16string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string WithHeader(std::string bytes, int first, int second, int end) {
  const int values[] = {first, second, end};
  for (int i = 0; i < 3; ++i) {
    bytes[2 * i] = static_cast<char>(values[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>((values[i] >> 8) & 0xFF);
  }
  return bytes;
}

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::temp_directory_path() /
        ("keyin-library-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Write(const std::string& bytes) {
    const std::string path = (folder_ / "PAPER.LIB").string();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }

  fs::path folder_;
};

// Records 2..11 are test 1, records 12..21 test 2.
const std::string kTwentyLines = EncodeLibFile(Lines(2, 12), Lines(12, 22));

TEST_F(LibraryTest, GetLibReadsThePartsRange) {
  const std::string path = Write(kTwentyLines);
  const std::pair<std::u16string, std::vector<std::u16string>> cases[] = {
      {u"1", Lines(2, 12)}, {u"2", Lines(12, 22)}, {u"3", Lines(2, 22)}, {u"", Lines(2, 22)}};
  for (const auto& [part, lines] : cases) {
    GetLibState state{u"old", u"old"};
    RecordingMessageSink messages;
    Get_Lib(path, part, state, messages);
    EXPECT_EQ(state.LibText, Joined(lines));
    EXPECT_EQ(state.CustomText, state.LibText);
    EXPECT_TRUE(messages.shown.empty());
  }
}

TEST_F(LibraryTest, EmptyPartClearsLibTextOnly) {
  const std::string path = Write(EncodeLibFile({}, {u"乙"}));
  GetLibState state{u"old", u"keep"};
  RecordingMessageSink messages;
  Get_Lib(path, u"1", state, messages);
  EXPECT_EQ(state.LibText, u"");
  EXPECT_EQ(state.CustomText, u"keep");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(LibraryTest, RecordTexts) {
  const std::u16string sixteen = u"中文打字測驗練習一二三四五六七八";
  const std::string path = Write(EncodeLibFile({u"", u"ab  ", u"　全形　", sixteen}, {}));
  GetLibState state;
  RecordingMessageSink messages;
  Get_Lib(path, u"1", state, messages);
  EXPECT_EQ(state.LibText, u"\r\nab\r\n　全形　\r\n" + sixteen + u"\r\n");
}

TEST_F(LibraryTest, MissingFileShowsTwoMessages) {
  const std::string path = (folder_ / "NONE.LIB").string();
  for (const std::string& missing : {path, folder_.string()}) {
    GetLibState state{u"lib", u"custom"};
    RecordingMessageSink messages;
    Get_Lib(missing, u"C:\\LIB\\NONE.LIB", u"1", state, messages);
    ASSERT_EQ(messages.shown.size(), 2u);
    for (const auto& message : messages.shown) {
      EXPECT_EQ(message.text, u"C:\\LIB\\NONE.LIB 試卷檔不存在");
      EXPECT_EQ(message.title, u"");
    }
    EXPECT_EQ(state.LibText, u"lib");
    EXPECT_EQ(state.CustomText, u"custom");
  }
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(LibraryTest, FileShorterThanItsHeaderFails) {
  const std::string path = Write("\x02\x00\x03");
  GetLibState state{u"lib", u"custom"};
  RecordingMessageSink messages;
  Get_Lib(path, u"1", state, messages);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].text.find(u"shorter than its 6-byte header"), std::u16string::npos);
  EXPECT_EQ(state.LibText, u"lib");
  EXPECT_EQ(state.CustomText, u"custom");
  EXPECT_THROW(ReadLibForScoring(RecordFile(path), u"1"), LibFormatError);
}

TEST_F(LibraryTest, EmptyOrMissingPaperIsShorterThanItsHeader) {
  const std::string empty = Write("");
  EXPECT_THROW(ReadLibForScoring(RecordFile(empty), u"2"), LibFormatError);
  GetLibState state{u"lib", u"custom"};
  RecordingMessageSink messages;
  Get_Lib(empty, u"3", state, messages);
  EXPECT_EQ(state.LibText, u"lib");
  EXPECT_EQ(state.CustomText, u"custom");
  EXPECT_EQ(messages.shown.size(), 1u);

  // Opening a missing paper for records creates it empty, which is then refused the same way.
  const std::string missing = (folder_ / "NEW.LIB").string();
  EXPECT_THROW(ReadLibForScoring(RecordFile(missing), u"1"), LibFormatError);
  EXPECT_EQ(fs::file_size(missing), 0u);
}

TEST_F(LibraryTest, ScoringReadsTestTwoFirst) {
  const RecordFile file(Write(kTwentyLines));
  EXPECT_EQ(ReadLibForScoring(file, u"2"), Concat(Lines(12, 22), Lines(2, 12)));
  EXPECT_EQ(ReadLibForScoring(file, u"1"), Lines(2, 22));
  EXPECT_EQ(ReadLibForScoring(file, u"x"), Lines(2, 22));
}

TEST_F(LibraryTest, HostileHeadersReadOnlyExistingRecords) {
  // Header record 1 and text records 2 to 4.
  const std::string records = EncodeLibFile(Lines(2, 5), {});
  struct Case {
    int first, second, end;
    std::u16string part;
    std::vector<int> expected;  // record numbers, 1 for the header record
  };
  const Case cases[] = {
      {-5, -5, 3, u"1", {1, 2}},
      {0, 0, 0, u"1", {}},
      {2, 2, 32767, u"1", {2, 3, 4}},
      {32767, 32767, 32767, u"1", {}},
      {-32768, -32768, 32767, u"1", {1, 2, 3, 4}},
      {-32768, 32767, -32768, u"2", {1, 2, 3, 4}},
      {4, 2, 3, u"1", {}},
      {4, 2, 3, u"2", {2}},
      {2, 5, 32767, u"2", {2, 3, 4}},
  };
  for (const Case& c : cases) {
    const std::string bytes = WithHeader(records, c.first, c.second, c.end);
    std::vector<std::u16string> expected;
    for (int r : c.expected) {
      expected.push_back(r == 1 ? DecodeLibRecord(std::string_view(bytes).substr(0, 32))
                                : Numbered(r));
    }
    EXPECT_EQ(ReadLibForScoring(RecordFile(Write(bytes)), c.part), expected)
        << c.first << " " << c.second << " " << c.end;
  }

  GetLibState state;
  RecordingMessageSink messages;
  Get_Lib(Write(WithHeader(records, -32768, 32767, 32767)), u"1", state, messages);
  EXPECT_EQ(state.LibText.substr(state.LibText.find(u"\r\n") + 2), Joined(Lines(2, 5)));
  EXPECT_TRUE(messages.shown.empty());
}

TEST(EncodeLibFile, WritesTheRecordLayout) {
  const std::string bytes = EncodeLibFile({u"0Aa"}, {u"中"});
  ASSERT_EQ(bytes.size(), 3u * 64);
  EXPECT_EQ(bytes.substr(0, 6), std::string("\x02\x00\x03\x00\x04\x00", 6));
  EXPECT_EQ(bytes.substr(64, 64), "8Oo" + std::string(61, ' '));
  EXPECT_EQ(bytes.substr(128, 2), "\xD4\xD4");  // 中 is A4 A4
  EXPECT_EQ(DecodeLibRecord(std::string_view(bytes).substr(128, 32)), u"中");
}

TEST(EncodeLibFile, NamesTheLineThatCannotBeWritten) {
  const std::pair<std::u16string, const char*> bad[] = {
      {u"中文打字測驗練習一二三四五六七八九", "bytes"},
      {u"表情😀", "U+1F600"},
      {u"兩行\r\n", "line break"},
  };
  for (const auto& [line, reason] : bad) {
    try {
      EncodeLibFile({u"甲"}, {u"乙", u"丙", line});
      ADD_FAILURE() << reason;
    } catch (const std::invalid_argument& error) {
      const std::string what = error.what();
      EXPECT_NE(what.find("part 2, line 3"), std::string::npos) << what;
      EXPECT_NE(what.find(reason), std::string::npos) << what;
    }
  }
  EXPECT_THROW(EncodeLibFile(std::vector<std::u16string>(32766), {}), std::invalid_argument);
}

}  // namespace
}  // namespace keyin
