#include "support/host_name.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

TEST(CutAtNul, CutsAtNulOrTrimsOrTakesN) {
  const std::u16string padded = u"  abc  ";
  const std::tuple<std::u16string, std::optional<double>, std::u16string> cases[] = {
      {std::u16string(u" pc\0  x  ", 9), std::nullopt, u" pc"},  // a cut text is not trimmed
      {padded, std::nullopt, u"abc"},
      {padded, 4, u"  ab"},
      {padded, 100, padded},
      {padded, 4.5, u"  ab"},  // n rounds half to even
      {padded, 0, u"abc"},
      {std::u16string(u"ab\0c", 4), -2, u"ab"},
  };
  for (const auto& [s, n, expected] : cases) EXPECT_EQ(CutAtNul(s, n), expected) << n.value_or(-1);
}

TEST(HostNameFromBuffer, TakesTheNameBeforeTheNul) {
  EXPECT_EQ(HostNameFromBuffer(std::string("PC-01") + '\0' + std::string(249, ' ')), u"PC-01");
  EXPECT_EQ(HostNameFromBuffer(std::nullopt), u"");
}

}  // namespace
}  // namespace keyin
