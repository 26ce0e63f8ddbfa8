// SHA-256 names the archive's files: the published test vectors and the names it accepts.
#include <gtest/gtest.h>

#include <string>

#include "platform/digest.h"

namespace keyin {
namespace {

TEST(Sha256Hex, MatchesThePublishedVectors) {
  struct Case {
    const char* name;
    std::string bytes;
    const char* sha256;
  };
  const Case cases[] = {
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"a million bytes", std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {"nul bytes count", std::string("\0", 1),
       "6e340b9cffb37a989ca544e6bb780a2c78901d3fb33738768511a30617afa01d"},
  };
  for (const Case& c : cases) EXPECT_EQ(Sha256Hex(c.bytes), c.sha256) << c.name;
}

TEST(IsSha256Hex, OnlySixtyFourLowerCaseHexDigits) {
  const std::string good = Sha256Hex("abc");
  EXPECT_TRUE(IsSha256Hex(good));
  std::string upper = good;
  upper[0] = 'B';
  const struct {
    const char* name;
    std::string text;
  } refused[] = {
      {"empty", ""},
      {"one digit short", good.substr(1)},
      {"one digit more", good + "0"},
      {"upper case", upper},
      {"path", "../" + good.substr(3)},
      {"blank inside", good.substr(0, 32) + " " + good.substr(33)},
  };
  for (const auto& c : refused) EXPECT_FALSE(IsSha256Hex(c.text)) << c.name;
}

}  // namespace
}  // namespace keyin
