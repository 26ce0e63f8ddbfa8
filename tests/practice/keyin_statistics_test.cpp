#include "practice/keyin_statistics.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

// 40,000 entries would wrap a 16-bit count negative and let the smaller count win.
TEST(MethodUsage, CountsBeyondSixteenBitsStayRight) {
  MethodUsage usage;
  AddEntries(usage, std::vector<KeyinEntry>(40000, {u"字", u"注音"}));
  AddEntries(usage, std::vector<KeyinEntry>(30000, {u"字", u"倉頡"}));
  EXPECT_EQ(usage.counts[*MethodIndex(u"注音")], 40000);
  EXPECT_EQ(MostUsedMethod(usage), u"注音");
}

}  // namespace
}  // namespace keyin
