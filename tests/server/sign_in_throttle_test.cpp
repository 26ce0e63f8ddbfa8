#include "server/sign_in_throttle.h"

#include <gtest/gtest.h>

namespace keyin::server {
namespace {

constexpr ThrottleLimits kLimits{.free_by_name = 3,
                                 .free_by_address = 5,
                                 .first_delay_ms = 1000,
                                 .longest_delay_ms = 8000,
                                 .forget_after_ms = 60000,
                                 .most_entries = 4};

// Each failure of one name from one address, and how long the next try must wait after it.
TEST(SignInThrottle, AFewSlipsAreFreeThenEachFailureDoublesTheWaitUpToTheLongest) {
  SignInThrottle throttle(kLimits);
  const std::int64_t waits[] = {0, 0, 0, 1000, 2000, 4000, 8000, 8000, 8000};
  std::int64_t now = 0;
  for (std::int64_t expected : waits) {
    EXPECT_EQ(throttle.WaitMs("admin", "10.0.0.1", now), 0);
    throttle.Failed("admin", "10.0.0.1", now);
    EXPECT_EQ(throttle.WaitMs("admin", "10.0.0.1", now), expected) << "at " << now;
    now += expected;
  }
  // Once the wait is over the right password is checked again, and forgives the name's slips.
  throttle.Succeeded("admin");
  throttle.Failed("admin", "10.0.0.2", now);
  EXPECT_EQ(throttle.WaitMs("admin", "10.0.0.2", now), 0);
}

TEST(SignInThrottle, NamesAndAddressesCountApart) {
  SignInThrottle throttle({.free_by_name = 3, .free_by_address = 5});
  // Guessing many names from one address closes that address, for every name.
  for (int i = 0; i < 6; ++i) throttle.Failed("S" + std::to_string(i), "10.0.0.9", 0);
  EXPECT_GT(throttle.WaitMs("someone-else", "10.0.0.9", 0), 0);
  EXPECT_EQ(throttle.WaitMs("someone-else", "10.0.0.8", 0), 0);
  // A success forgives the name only: the address stays closed.
  throttle.Succeeded("S0");
  EXPECT_GT(throttle.WaitMs("S0", "10.0.0.9", 0), 0);
  // A name whose text is an address is still a name.
  EXPECT_EQ(throttle.WaitMs("10.0.0.9", "10.0.0.7", 0), 0);
}

TEST(SignInThrottle, OldFailuresAreForgottenAndTheTableStaysBounded) {
  SignInThrottle throttle(kLimits);
  for (int i = 0; i < 3; ++i) throttle.Failed("admin", "10.0.0.1", 0);
  EXPECT_EQ(throttle.WaitMs("admin", "10.0.0.1", 1000), 0);
  throttle.Failed("admin", "10.0.0.1", 61001);  // the three before are forgotten
  EXPECT_EQ(throttle.WaitMs("admin", "10.0.0.1", 61001), 0);

  for (int i = 0; i < 100; ++i) {
    throttle.Failed("n" + std::to_string(i), "10.1.0." + std::to_string(i), 70000 + i);
    EXPECT_LE(throttle.Entries(), kLimits.most_entries);
  }
}

TEST(SignInThrottle, GuessesThatFillTheTableOpenNoClosedDoor) {
  SignInThrottle throttle(kLimits);
  for (int i = 0; i < 4; ++i) throttle.Failed("admin", "10.0.0.1", 0);
  ASSERT_EQ(throttle.WaitMs("admin", "10.0.0.2", 0), 1000);
  for (int i = 0; i < 50; ++i) throttle.Failed("n" + std::to_string(i), "10.2.0.1", 10);
  EXPECT_EQ(throttle.WaitMs("admin", "10.0.0.2", 10), 990);
}

}  // namespace
}  // namespace keyin::server
