#include "server/network_rule.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace keyin::server {
namespace {

TEST(NetworkRule, AllowsOnlyTheAddressesOfItsRanges) {
  const NetworkRule rule = NetworkRule::Parse("10.1.2.0/24, 192.168.7.7,fd00::/8,172.16.0.0/12");
  const struct {
    const char* address;
    bool allowed;
  } cases[] = {
      {"10.1.2.0", true},
      {"10.1.2.255", true},
      {"10.1.3.1", false},
      {"192.168.7.7", true},
      {"192.168.7.8", false},
      {"172.31.255.255", true},
      {"172.32.0.0", false},
      {"fd12::1", true},
      {"fe80::1", false},
      {"::ffff:10.1.2.9", true},
      {"::ffff:10.9.2.9", false},
      {"::1", false},
      {"", false},
      {"not an address", false},
      {"10.1.2.1 ", false},
  };
  for (const auto& c : cases) EXPECT_EQ(rule.Allows(c.address), c.allowed) << c.address;
  EXPECT_TRUE(NetworkRule().Allows("203.0.113.9")) << "no rule: everyone";
  EXPECT_TRUE(NetworkRule::Parse("0.0.0.0/0").Allows("203.0.113.9"));
  EXPECT_FALSE(NetworkRule::Parse("0.0.0.0/0").Allows("2001:db8::1")) << "IPv4 ranges only";
}

TEST(NetworkRule, RefusesWhatIsNoRange) {
  for (const char* list : {"10.1.2.0/33", "10.1.2.3/24", "10.1.2.0/", "10.1.2.0/x", "room-1",
                           "10.1.2.0/24,", "fd00::/129", "10.1.2.0/-1", "10.1.2.0/+8"}) {
    EXPECT_THROW(NetworkRule::Parse(list), std::invalid_argument) << list;
  }
  EXPECT_TRUE(NetworkRule::Parse("").Empty());
}

}  // namespace
}  // namespace keyin::server
