#include "support/host_name.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace keyin {
namespace {

TEST(CutAtNul, CutsOrTrims) {
  struct Case {
    const char* name;
    std::u16string s;
    std::optional<double> n;
    std::u16string expected;
  };
  const std::u16string padded = u"  abc  ";
  const Case cases[] = {
      {"ends in NUL", std::u16string(u"name\0", 5), std::nullopt, u"name"},
      {"text after NUL dropped", std::u16string(u" pc\0  x  ", 9), std::nullopt, u" pc"},
      {"no NUL trims", padded, std::nullopt, u"abc"},
      {"n cuts", padded, 4, u"  ab"},
      {"n past the end", padded, 100, padded},
      {"n rounds half to even", padded, 4.5, u"  ab"},
      {"n of 0 uses the NUL rule", padded, 0, u"abc"},
      {"negative n uses the NUL rule", std::u16string(u"ab\0c", 4), -2, u"ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(CutAtNul(c.s, c.n), c.expected) << c.name;
}

TEST(HostNameFromBuffer, TakesTheNameBeforeTheNul) {
  std::string buffer = std::string("PC-01") + '\0' + std::string(249, ' ');
  EXPECT_EQ(HostNameFromBuffer(buffer), u"PC-01");
  EXPECT_EQ(HostNameFromBuffer(std::string(255, ' ')), u"");
  EXPECT_EQ(HostNameFromBuffer(std::nullopt), u"");
}

TEST(GetLocalHostName, IsTheSystemsName) {
  char name[256] = {};
  ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
  const std::string expected(name);
  EXPECT_EQ(GetLocalHostName(), std::u16string(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace keyin
