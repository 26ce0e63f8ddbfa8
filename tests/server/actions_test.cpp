#include "server/actions.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace keyin::server {
namespace {

TEST(ActionLog, ReadsBackWhatItWroteAndNotALineCutShort) {
  const Action added{.who = "proctor",
                     .at = "2026/12/08 09:10:11",
                     .seat = "12",
                     .action = "add-time",
                     .reason = "電腦當機重開",
                     .seconds = 120,
                     .part = 2};
  const Action ended{.who = "proctor", .at = "2026/12/08 10:00:00", .action = "end"};
  const std::string log = ActionToJson(added).dump() + "\n" + ActionToJson(ended).dump() + "\n";
  EXPECT_EQ(ParseActions(log), (std::vector<Action>{added, ended}));
  EXPECT_EQ(ParseActions(log + R"({"who":"proctor","at":)"), (std::vector<Action>{added, ended}))
      << "a write cut short was never acknowledged";
  EXPECT_TRUE(ParseActions("").empty());
  const std::string missing_fields = R"({"who":"p"})";
  for (const std::string& bad :
       {std::string("not json\n"), std::string("[]\n"), missing_fields + "\n"}) {
    EXPECT_THROW(ParseActions(log + bad), std::runtime_error) << bad;
  }
}

TEST(ActionText, SaysWhatWasDoneAndWhy) {
  const struct {
    Action action;
    const char* text;
  } cases[] = {
      {{.action = "add-time", .reason = "電腦當機重開", .seconds = 120},
       "加時 2 分鐘：電腦當機重開"},
      {{.action = "add-time", .reason = "停電", .seconds = 90}, "加時 1 分鐘 30 秒：停電"},
      {{.action = "add-time", .reason = "x", .seconds = 45}, "加時 45 秒：x"},
      {{.action = "end"}, "結束場次"},
      {{.action = "end", .reason = "火警演習"}, "結束場次：火警演習"},
      {{.action = "open"}, "開放場次"},
  };
  for (const auto& c : cases) EXPECT_EQ(ActionText(c.action), c.text);
}

TEST(CleanReason, CutsBlanksAndLineEndsAndBoundsTheLength) {
  EXPECT_EQ(CleanReason("  電腦當機\r\n重開　"), "電腦當機  重開");
  EXPECT_EQ(CleanReason(" \n\t "), "");
  EXPECT_EQ(CleanReason(std::string(300, 'a')), std::string(200, 'a'));
  // 199 letters and a character outside the BMP: never half of it.
  EXPECT_EQ(CleanReason(std::string(199, 'a') + "𠀀b"), std::string(199, 'a'));
}

}  // namespace
}  // namespace keyin::server
