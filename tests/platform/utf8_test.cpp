// The store's UTF-8. The bytes themselves are compared, so a fault that encodes and decodes alike
// (a pair written as two three-byte forms, an overlong form accepted) cannot hide in a round trip.
#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

struct Utf8Case {
  const char* name;
  std::u16string text;
  std::string bytes;
};

TEST(Utf8, EveryRangeInItsShortestForm) {
  const Utf8Case cases[] = {
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
  const auto replaced = [](std::size_t count) { return std::u16string(count, u'\uFFFD') + u"z"; };
  const Utf8Case cases[] = {
      {"overlong two-byte slash", replaced(2), "\xC0\xAF"},
      {"overlong three-byte slash", replaced(3), "\xE0\x80\xAF"},
      {"overlong four-byte euro sign", replaced(4), "\xF0\x82\x82\xAC"},
      {"above U+10FFFF", replaced(4), "\xF4\x90\x80\x80"},
      {"cut short", replaced(2), "\xE7\x94"},
      {"stray continuation byte", replaced(1), "\x80"},
      {"no lead byte at all", replaced(1), "\xFF"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeUtf8(c.bytes + "z"), c.text) << c.name;
}

}  // namespace
}  // namespace keyin
