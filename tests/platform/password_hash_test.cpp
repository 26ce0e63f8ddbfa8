#include "platform/password_hash.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

TEST(PasswordHash, OnlyTheRightPasswordMatchesAndEachHashHasItsOwnSalt) {
  const std::string hash = HashPassword("correct horse");
  EXPECT_TRUE(hash.starts_with("$argon2id$"));
  EXPECT_EQ(hash.find("correct horse"), std::string::npos);
  EXPECT_NE(HashPassword("correct horse"), hash);
  EXPECT_TRUE(PasswordMatches(hash, "correct horse"));
  EXPECT_FALSE(PasswordMatches(hash, "correct horse "));
  EXPECT_FALSE(PasswordMatches(hash, ""));
  for (const std::string& garbage : {std::string(), std::string("$argon2id$"),
                                     hash + std::string(200, 'x'), std::string("a\0b", 3)}) {
    EXPECT_FALSE(PasswordMatches(garbage, "correct horse"));
  }
}

}  // namespace
}  // namespace keyin
