#include "run/run_id.h"

#include <gtest/gtest.h>

#include <string>

namespace keyin {
namespace {

TEST(IsRunId, TakesTheIdsOfTheLogAndOfFrontEndsAndNothingThatCouldBreakOut) {
  for (const std::string& id :
       {std::string("20261207T090000-1fffdf00"), std::string("room1:seat-15.part_2"),
        std::string("A"), std::string(kMaxRunIdLength, 'x')}) {
    EXPECT_TRUE(IsRunId(id)) << id;
  }
  const struct {
    const char* reason;
    std::string id;
  } refused[] = {
      {"empty", ""},
      {"too long", std::string(kMaxRunIdLength + 1, 'x')},
      {"a blank", "run 1"},
      {"a slash", "../runs"},
      {"a quote", "run\"1"},
      {"a line end", "run\n1"},
      {"a NUL", std::string("run\0"
                            "1",
                            5)},
      {"a letter outside ASCII", "考試1"},
      {"a comma", "a,b"},
  };
  for (const auto& r : refused) EXPECT_FALSE(IsRunId(r.id)) << r.reason;
}

}  // namespace
}  // namespace keyin
