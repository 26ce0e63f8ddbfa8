#include "platform/paths.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/code_page.h"

namespace keyin {
namespace {

TEST(TranslatePath, DrivesBackslashesAndPosixPaths) {
  const std::map<std::string, std::string> environment = {{"KEYIN_DRIVE_D", "/mnt/exam"}};
  auto lookup = [&](const std::string& name) -> std::optional<std::string> {
    auto found = environment.find(name);
    if (found == environment.end()) return std::nullopt;
    return found->second;
  };
  struct Case {
    const char* path;
    const char* expected;
  };
  const Case cases[] = {
      {"C:\\ANS.VOR\\ANS.mdb", "/opt/keyin/drive_c/ANS.VOR/ANS.mdb"},
      {"c:\\ANS.VOR\\ANS.mdb", "/opt/keyin/drive_c/ANS.VOR/ANS.mdb"},
      {"D:\\scores\\", "/mnt/exam/scores/"},
      {"d:/scores/", "/mnt/exam/scores/"},
      {"/var/keyin/scores/", "/var/keyin/scores/"},
      {"relative\\lib\\", "relative/lib/"},
      {"", ""},
      {"1:\\x", "1:/x"},
      {":", ":"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TranslatePath(c.path, "/opt/keyin", lookup), c.expected) << c.path;
  }
}

TEST(CodePage, Cp950RoundTripAndSubstitution) {
  EXPECT_EQ(Cp950ToUtf16("\xA4\xA4\xA4\xE5\xA1\x41"), u"中文，");
  EXPECT_EQ(Utf16ToCp950(u"中文，"), "\xA4\xA4\xA4\xE5\xA1\x41");
  // A lead byte without its trail byte is never a failure.
  EXPECT_FALSE(Cp950ToUtf16("\xA4").empty());
  EXPECT_EQ(Utf16ToCp950Exact(u"\U0001F600"), std::nullopt);
  EXPECT_EQ(Utf16ToCp950Exact(u"甲"), "\xA5\xD2");
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("測驗 abc")), "測驗 abc");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace keyin
