#include "platform/text_width.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

TEST(DisplayWidth, CountsTerminalColumns) {
  struct Case {
    const char* behaviour;
    std::u16string text;
    std::size_t width;
  };
  const Case cases[] = {
      {"ASCII is one column each", u"S123", 4},
      {"Han characters are two", u"王小明", 6},
      {"full-width forms and the ideographic blank are two", u"Ｘ＃\u3000", 6},
      {"ambiguous marks are one", u"○●", 2},
      {"a combining mark adds nothing", u"e\u0301", 1},
      {"a supplementary Han character is two", u"\U00020000", 2},
      {"a lone surrogate is one", std::u16string(1, char16_t(0xD800)), 1},
      {"the empty text is none", u"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(DisplayWidth(c.text), c.width) << c.behaviour;
}

}  // namespace
}  // namespace keyin
