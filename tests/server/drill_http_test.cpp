// A drill after a practice, through the HTTP API of the real server and the real keyin-tool.
#include "platform/code_page.h"
#include "server_fixture.h"

namespace keyin::server_test {
namespace {

class DrillAfterPractice : public ServerTest {
 protected:
  json SittingJson() const override {
    json sitting = ServerTest::SittingJson();
    sitting["TestType"] = "1";
    return sitting;
  }

  // Types the part's first reference line as `edit` makes it and waits until it is scored.
  void Practise(Session& candidate,
                const std::function<std::u16string(const std::u16string&)>& edit) {
    candidate.Post("/api/candidate/method", R"({"method":"倉頡"})");
    const json typing = json::parse(candidate.Post("/api/candidate/start", R"({"part":1})")->body);
    const std::string line = typing.at("reference").at(0);
    const std::string typed = Utf16ToUtf8(edit(Utf8ToUtf16(line)));
    ASSERT_EQ(candidate
                  .Post("/api/candidate/submit",
                        json{{"part", 1}, {"text", typed + "\n"}, {"base", 0}}.dump())
                  ->status,
              200);
    ASSERT_TRUE(WaitUntil([&] { return candidate.State().value("scored", false); }, 60));
  }
};

TEST_F(DrillAfterPractice, ADrillFollowsAPracticeGoesOnWhenAskedAgainAndNeedsSomethingMissed) {
  Session careful = Candidate("S223456789");
  Practise(careful, [](const std::u16string& line) { return line; });
  auto refused = careful.Post("/api/candidate/drill", "");
  EXPECT_EQ(refused->status, 409);
  EXPECT_EQ(json::parse(refused->body).value("code", ""), "no-drill");

  Session candidate = Candidate();
  char16_t missed = 0;
  Practise(candidate, [&](const std::u16string& line) {
    missed = line.at(2);
    return line.substr(0, 2) + line.substr(3);
  });
  EXPECT_TRUE(candidate.State().at("practice").get<bool>());
  auto started = candidate.Post("/api/candidate/drill", "");
  ASSERT_EQ(started->status, 200) << started->body;
  const std::string cookie = started->get_header_value("Set-Cookie");
  Session drill{Client(), {{"Cookie", cookie.substr(0, cookie.find(';'))}}};
  const json state = drill.State();
  EXPECT_EQ(state.at("stage"), "method");
  const std::string paper = state.at("ExamPaperNo");
  EXPECT_EQ(paper.rfind("DRILL-S123456789-", 0), 0u) << paper;
  EXPECT_TRUE(fs::exists(root_ / "lib" / (paper + ".LIB")));
  // The practice's seat is free: the old session is gone.
  EXPECT_EQ(candidate.Get("/api/candidate/state")->status, 401);

  // Asked again from the drill being typed, it goes on; its first line holds the missed one.
  drill.Post("/api/candidate/method", R"({"method":"倉頡"})");
  const json typing = json::parse(drill.Post("/api/candidate/start", R"({"part":1})")->body);
  EXPECT_NE(Utf8ToUtf16(typing.at("reference").at(0).get<std::string>()).find(missed),
            std::u16string::npos);
  auto again = drill.Post("/api/candidate/drill", "");
  ASSERT_EQ(again->status, 200);
  EXPECT_EQ(json::parse(again->body).at("ExamPaperNo"), paper);
  EXPECT_EQ(json::parse(again->body).at("stage"), "typing");

  // Signing in again offers the practice and the drill.
  auto choice = Client().Post("/api/candidate/sign-in", SignInBody(), "application/json");
  ASSERT_EQ(choice->status, 409);
  const json rooms = json::parse(choice->body).at("rooms");
  int drills = 0;
  for (const json& room : rooms) drills += room.at("drill").get<bool>() ? 1 : 0;
  EXPECT_EQ(drills, 1);
}

TEST_F(ServerTest, NoDrillAfterAnExam) {
  Session candidate = Candidate();
  EXPECT_EQ(candidate.Post("/api/candidate/drill", "")->status, 409);
}

}  // namespace
}  // namespace keyin::server_test
