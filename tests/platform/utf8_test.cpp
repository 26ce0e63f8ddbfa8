// The store's UTF-8. The bytes themselves are compared, so a fault that encodes and decodes alike
// (a pair written as two three-byte forms, an overlong form accepted) cannot hide in a round trip.
#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

TEST(Utf8, EveryRangeInItsShortestForm) {
  const struct {
    const char* name;
    std::u16string text;
    std::string bytes;
  } cases[] = {
      {"ascii", u"A", "A"},
      {"two bytes", u"\u00E9", "\xC3\xA9"},
      {"three bytes", u"甲", "\xE7\x94\xB2"},
      {"supplementary as four bytes", u"\U00020BB7", "\xF0\xA0\xAE\xB7"},
      {"lone high surrogate kept", std::u16string(1, u'\xD800'), "\xED\xA0\x80"},
      {"low before high is two lone ones", std::u16string(u"\xDC00\xD800", 2),
       "\xED\xB0\x80\xED\xA0\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeUtf8(c.text), c.bytes) << c.name;
    EXPECT_EQ(DecodeUtf8(c.bytes), c.text) << c.name;
  }
}

TEST(Utf8, EachBadByteReadsAsOneReplacement) {
  const struct {
    const char* name;
    std::string bytes;
    std::size_t replacements;
  } cases[] = {
      {"overlong two-byte slash", "\xC0\xAF", 2},
      {"overlong three-byte slash", "\xE0\x80\xAF", 3},
      {"overlong four-byte euro sign", "\xF0\x82\x82\xAC", 4},
      {"above U+10FFFF", "\xF4\x90\x80\x80", 4},
      {"cut short", "\xE7\x94", 2},
      {"stray continuation byte", "\x80", 1},
      {"no lead byte at all", "\xFF", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeUtf8(c.bytes + "z"), std::u16string(c.replacements, u'\uFFFD') + u"z")
        << c.name;
  }
}

}  // namespace
}  // namespace keyin
