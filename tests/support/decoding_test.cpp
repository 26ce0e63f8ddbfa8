#include "support/decoding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

namespace keyin {
namespace {

// A field of 20 characters: the number, then blanks.
std::u16string Field(std::string_view number) {
  std::u16string field(number.begin(), number.end());
  field.resize(20, u' ');
  return field;
}

// A line of blank fields (NUL characters) ending in a field whose value is exactly x before
// rounding, or nothing. Not every k has a decimal number that lands exactly on x.
std::optional<std::u16string> LineEndingInExactly(double x) {
  for (int k = 1; k <= 20; ++k) {
    const double near = x * 0.27359418062 / 23.6041879532 * 0.731264985024613 * k;
    // The numbers within 40 units in the last place of the estimate, on both sides.
    for (const double direction : {INFINITY, -INFINITY}) {
      double number = near;
      for (int step = 0; step < 40; ++step, number = std::nextafter(number, direction)) {
        if (number / 0.27359418062 * 23.6041879532 / 0.731264985024613 / k != x) continue;
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", number);
        return std::u16string((k - 1) * 20, u' ') + Field(text);
      }
    }
  }
  return std::nullopt;
}

TEST(Decrypt, DecodesFieldByField) {
  struct Case {
    const char* name;
    std::u16string line;
    std::u16string expected;
  };
  const Case cases[] = {
      {"empty line", u"", u""},
      {"lenient number with blanks", u"   0.551            ", u"A"},
      {"double-byte code", Field("357.248"), u"中"},
      {"negative code counts plus 65536", Field("-198.237"), u"中"},
      {"field number divides", Field("0.551") + Field("714.5"), u"A中"},
      {"short last field is a field", Field("0.551") + u"  0  ", std::u16string(u"A\0", 2)},
      {"blanks only give NUL", Field("0.551") + u"     ", std::u16string(u"A\0", 2)},
      {"a letter gives NUL", Field("abc"), std::u16string(1, u'\0')},
  };
  for (const Case& c : cases) {
    RecordingMessageSink messages;
    EXPECT_EQ(Decrypt(c.line, messages), c.expected) << c.name;
    EXPECT_TRUE(messages.shown.empty()) << c.name;
  }
}

TEST(Decrypt, RoundsHalfToEven) {
  const std::pair<double, char16_t> cases[] = {{2.5, 2}, {3.5, 4}, {65.5, u'B'}, {66.5, u'B'}};
  for (const auto& [x, code] : cases) {
    const std::optional<std::u16string> line = LineEndingInExactly(x);
    ASSERT_TRUE(line) << x;
    RecordingMessageSink messages;
    const std::u16string decoded = Decrypt(*line, messages);
    ASSERT_FALSE(decoded.empty()) << x;
    EXPECT_EQ(decoded.back(), code) << x;
    EXPECT_EQ(decoded, std::u16string(line->size() / 20 - 1, u'\0') + code) << x;
  }
}

TEST(Decrypt, ConvertsEveryCharacterOnItsOwn) {
  RecordingMessageSink messages;
  // Two fields of code 0xA4, a lone lead byte each: two substitutions, never the 0xA4A4 of 中.
  const std::u16string decoded = Decrypt(Field("1.39") + Field("2.78"), messages);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(decoded.size(), 2u);
  EXPECT_EQ(decoded.find(u'中'), std::u16string::npos);
}

TEST(Decrypt, BadFieldLosesTheWholeLineWithOneMessage) {
  struct Case {
    const char* number;
    std::u16string message;
  };
  const Case cases[] = {
      {"555.49", u"Invalid procedure call or argument 解密"},   // 65536
      {"-277.76", u"Invalid procedure call or argument 解密"},  // -32770
      {"2e5", u"Invalid procedure call or argument 解密"},
      {"18202139.384", u"Invalid procedure call or argument 解密"},   // 2147483647.38
      {"-18202139.389", u"Invalid procedure call or argument 解密"},  // -2147483647.97
      {"1e300", u"Overflow 解密"},
      {"-1e300", u"Overflow 解密"},
      {"1e999", u"Overflow 解密"},  // infinity
      {"-1e999", u"Overflow 解密"},
      {"18202139.386", u"Overflow 解密"},   // 2147483647.62
      {"-18202139.395", u"Overflow 解密"},  // -2147483648.68
  };
  for (const Case& c : cases) {
    RecordingMessageSink messages;
    // The bad field first: later fields divide by their position.
    EXPECT_EQ(Decrypt(Field(c.number) + Field("1.102"), messages), u"") << c.number;
    ASSERT_EQ(messages.shown.size(), 1u) << c.number;
    EXPECT_EQ(messages.shown[0].text, c.message) << c.number;
    EXPECT_EQ(messages.shown[0].title, u"") << c.number;
  }
}

TEST(Decrypt, SixteenBitFieldCounterLimitsTheLine) {
  RecordingMessageSink messages;
  const std::u16string longest(32766 * 20, u' ');
  EXPECT_EQ(Decrypt(longest, messages), std::u16string(32766, u'\0'));
  EXPECT_TRUE(messages.shown.empty());

  EXPECT_EQ(Decrypt(longest + u"0", messages), u"");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, u"Overflow 解密");
}

TEST(CVLBytes, SwapsTheTablePairsAndLeavesTheRest) {
  const std::pair<int, int> images[] = {
      {'0', '8'}, {'7', '?'},  {'8', '0'}, {'?', '7'}, {'A', 'O'}, {'N', '\\'},
      {'O', 'A'}, {'\\', 'N'}, {'a', 'o'}, {'n', '|'}, {'o', 'a'}, {'|', 'n'},
      {161, 209}, {205, 253},  {209, 161}, {253, 205}, {'@', '@'}, {']', ']'},
      {'}', '}'}, {' ', ' '},  {'/', '/'}, {'`', '`'}, {'~', '~'}, {0, 0},
      {128, 128}, {160, 160},  {206, 206}, {208, 208}, {254, 254}, {255, 255},
  };
  for (const auto& [from, to] : images) {
    EXPECT_EQ(CVLBytes(std::string(1, static_cast<char>(from))),
              std::string(1, static_cast<char>(to)))
        << from;
  }
}

TEST(CVLBytes, IsItsOwnInverse) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(CVLBytes(CVLBytes(all)), all);
}

TEST(CVL, DecodesTextThroughCodePage950) {
  EXPECT_EQ(CVL(u"0Aa@]}"), u"8Oo@]}");
  EXPECT_EQ(CVL(u""), u"");
  const std::u16string text = u"中文輸入測驗，ABC 123。";
  EXPECT_NE(CVL(text), text);
  EXPECT_EQ(CVL(CVL(text)), text);
}

TEST(CVL, SixteenBitByteCounter) {
  EXPECT_EQ(CVL(std::u16string(32767, u'A')), std::u16string(32767, u'O'));
  EXPECT_THROW(CVL(std::u16string(16384, u'中')), std::overflow_error);
}

TEST(GetSomeString, RepeatsText) {
  EXPECT_EQ(GetSomeString(u"\u3000", 3), u"\u3000\u3000\u3000");
  EXPECT_EQ(GetSomeString(u"ab", 2), u"abab");
  EXPECT_EQ(GetSomeString(u"ab", 0), u"");
  EXPECT_EQ(GetSomeString(u"ab", -3), u"");
}

TEST(EncryptLine, RoundTripsThroughDecrypt) {
  const std::u16string lines[] = {
      u"",
      u"中文打字測驗：「標點」、（括號）！？。",
      u"Keyin 2024, 100% ok; a\tb",
      std::u16string(u"\0\u3000", 2),
      GetSomeString(u"鑫龘；Ａ１", 300),
  };
  for (const std::u16string& line : lines) {
    const std::u16string encoded = EncryptLine(line);
    EXPECT_EQ(encoded.size(), line.size() * 20);
    RecordingMessageSink messages;
    EXPECT_EQ(Decrypt(encoded, messages), line);
    EXPECT_TRUE(messages.shown.empty());
  }
}

TEST(EncryptLine, RefusesWhatCannotBeReadBack) {
  EXPECT_THROW(EncryptLine(u"表情😀"), std::invalid_argument);
  EXPECT_THROW(EncryptLine(u"ภาษา"), std::invalid_argument);
  EXPECT_THROW(EncryptLine(std::u16string(32767, u'a')), std::invalid_argument);
  try {
    EncryptLine(u"甲乙😀");
    FAIL();
  } catch (const std::invalid_argument& error) {
    EXPECT_NE(std::string(error.what()).find("U+1F600"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace keyin
