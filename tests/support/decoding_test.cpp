#include "support/decoding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace keyin {
namespace {

// A field of 20 characters: the number, then blanks.
std::u16string Field(std::string_view n) {
  return std::u16string(n.begin(), n.end()).append(20 - n.size(), u' ');
}
std::u16string Nuls(std::size_t count) { return std::u16string(count, u'\0'); }

TEST(Decrypt, DecodesFieldByField) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {Field("-198.237"), u"中"},                        // negative codes count plus 65536
      {Field("0.551") + Field("714.5"), u"A中"},         // field k divides by k
      {Field("abc") + u"  0  ", Nuls(2)},                // 25 characters: a short last field
      {Field("1.39") + Field("2.78"), u"\uFFFD\uFFFD"},  // two lone lead bytes, not one 中
      {Field("0.5551800737133276"), u"B"},               // exactly 65.5: half to even
      {Field("0.563656105373073"), u"B"},                // exactly 66.5
  };
  for (const auto& [line, expected] : cases) {
    RecordingMessageSink messages;
    EXPECT_EQ(Decrypt(line, messages), expected) << std::string(line.begin(), line.end());
    EXPECT_TRUE(messages.shown.empty());
  }
}

// A bad field loses the whole line, not only itself, with one message.
TEST(Decrypt, BadFieldGivesTheEmptyLineAndOneMessage) {
  // Codes 65536 and -32770 have no bytes; the last two land just past the 32-bit range.
  const std::u16string bad = u"Invalid procedure call or argument 解密", over = u"Overflow 解密";
  const std::pair<const char*, std::u16string> cases[] = {{"555.49", bad},
                                                          {"-277.76", bad},
                                                          {"1e300", over},
                                                          {"18202139.386", over},
                                                          {"-18202139.395", over}};
  for (const auto& [number, message] : cases) {
    RecordingMessageSink messages;
    EXPECT_EQ(Decrypt(Field(number) + Field("1.102"), messages), u"") << number;
    ASSERT_EQ(messages.shown.size(), 1u) << number;
    EXPECT_EQ(messages.shown[0].text, message) << number;
  }
  // The field counter is 16-bit: field 32767 is one too many.
  RecordingMessageSink messages;
  EXPECT_EQ(Decrypt(Nuls(32766 * 20), messages), Nuls(32766));
  EXPECT_EQ(Decrypt(Nuls(32766 * 20 + 1), messages), u"");
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST(CVL, SwapsTheTablePairsAndIsItsOwnInverse) {
  // Digits, letters and lead bytes move in pairs; @ ] } and the bytes between the ranges stay.
  EXPECT_EQ(CVLBytes("07ANan@]}\xA1\xCD\xD0"), "8?O\\o|@]}\xD1\xFD\xD0");
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(CVLBytes(CVLBytes(all)), all);
  EXPECT_THROW(CVL(std::u16string(16384, u'中')), std::overflow_error);  // 16-bit byte counter
}

// Round trips are checked on the sample papers and by the fuzz target; here what cannot encode.
TEST(GetSomeString, RepeatsOrGivesNothing) {
  EXPECT_EQ(GetSomeString(u"\u3000", 3), u"\u3000\u3000\u3000");
  EXPECT_EQ(GetSomeString(u"ab", 0), u"");
  EXPECT_EQ(GetSomeString(u"ab", -3), u"");
}

TEST(EncryptLine, RefusesWhatCannotBeEncoded) {
  EXPECT_THROW(EncryptLine(std::u16string(32767, u'a')), std::invalid_argument);
  EXPECT_THAT([] { EncryptLine(u"甲乙😀"); },
              testing::ThrowsMessage<std::invalid_argument>(testing::HasSubstr("U+1F600")));
}

}  // namespace
}  // namespace keyin
