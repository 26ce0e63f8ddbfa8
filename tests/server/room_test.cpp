// The exam room under the faults of a real room: a disk that refuses writes for a while, clock
// steps, two tabs, sittings that name folders they may not use; and the results of every kind.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace keyin::server_test {
namespace {

constexpr char kTwoLines[] = "晉太元中，武陵人捕魚為業。\n緣溪行，忘路之遠近。\n";

class RoomTest : public ServerTest {
 protected:
  // A candidate in part 1 of the sitting, its method chosen.
  Session Typing() {
    Session candidate = Candidate();
    EXPECT_EQ(candidate.Post("/api/candidate/method", R"({"method":"倉頡"})")->status, 200);
    EXPECT_EQ(candidate.Post("/api/candidate/start", R"({"part":1})")->status, 200);
    return candidate;
  }

  static json Draft(const std::string& text, std::int64_t base, std::int64_t seq,
                    const std::string& window = "page-a") {
    return {{"part", 1}, {"text", text}, {"base", base}, {"window", window}, {"seq", seq}};
  }

  // The seats folder is a file for a while: every write of a seat fails, for root too.
  void BreakTheDisk() {
    fs::rename(RoomFolder() / "seats", root_ / "seats.away");
    WriteFile(RoomFolder() / "seats", "not a folder");
  }
  void MendTheDisk() {
    fs::remove(RoomFolder() / "seats");
    fs::rename(root_ / "seats.away", RoomFolder() / "seats");
  }

  json StoredPart(int part) { return SeatFile("1")["parts"][part - 1]; }

  json BoardSeat(Session& proctor, const std::string& seat) {
    const json board = json::parse(proctor.Get("/api/board")->body);
    for (const json& entry : board["seats"]) {
      if (entry["SeatNo"] == seat) return entry;
    }
    return {};
  }
};

TEST_F(RoomTest, AnUnwritableStateFolderLosesNothingAndEverySeatGoesOn) {
  Session candidate = Typing();
  Session proctor = Proctor();
  ASSERT_EQ(candidate.Put("/api/candidate/draft", Draft("晉", 0, 1).dump())->status, 200);

  BreakTheDisk();
  // The page's save and its retry of the same text: neither is taken, neither says so.
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto res = candidate.Put("/api/candidate/draft", Draft("晉太", 1, 2 + attempt).dump());
    EXPECT_EQ(res->status, 503) << attempt;
    EXPECT_EQ(json::parse(res->body)["code"], "storage");
  }
  EXPECT_EQ(BoardSeat(proctor, "1")["storage_trouble"], true);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(
        candidate.Post("/api/candidate/submit", Draft(kTwoLines, 1, 4 + attempt).dump())->status,
        503)
        << attempt;
  }
  EXPECT_EQ(candidate.State()["stage"], "typing") << "the part was not submitted";
  EXPECT_EQ(candidate.State()["text"], "晉") << "what the page reads is what is on disk";

  MendTheDisk();
  ASSERT_EQ(candidate.Post("/api/candidate/submit", Draft(kTwoLines, 1, 6).dump())->status, 200);
  EXPECT_TRUE(WaitUntil([&] { return StoredPart(1)["scoring"] == "scored"; }));
  EXPECT_EQ(BoardSeat(proctor, "1")["storage_trouble"], false);

  Stop();
  Start();
  EXPECT_EQ(StoredPart(1)["text"], kTwoLines);
  Session same{Client(), candidate.headers};  // the server listens on another port now
  EXPECT_EQ(same.State()["stage"], "ready") << "part 2 is next, in the same session";
  // The session token itself is nowhere on disk.
  const std::string cookie = candidate.headers.begin()->second;
  const std::string token = cookie.substr(cookie.find('=') + 1);
  EXPECT_EQ(ReadFile(root_ / "exam-room/seats/1.json").find(token), std::string::npos);
}

class ShortPartTest : public RoomTest {
 protected:
  json SittingJson() const override {
    json sitting = RoomTest::SittingJson();
    sitting["TotTime"] = 1;
    return sitting;
  }
};

// The deadline passes while the disk refuses writes: the part is submitted once it can be.
TEST_F(ShortPartTest, APartDueWhileTheDiskRefusesIsSubmittedOnceItTakesWrites) {
  Session candidate = Typing();
  ASSERT_EQ(candidate.Put("/api/candidate/draft", Draft("晉太元中\n", 0, 1).dump())->status, 200);
  BreakTheDisk();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000 + 3000 + 1000));
  EXPECT_EQ(json::parse(ReadFile(root_ / "seats.away/1.json"))["parts"][0]["submitted_ms"], 0);
  MendTheDisk();
  EXPECT_TRUE(WaitUntil([&] { return StoredPart(1)["scoring"] == "scored"; }));
  EXPECT_EQ(StoredPart(1)["text"], "晉太元中\n");
}

TEST_F(RoomTest, AnOlderSaveNeverOverwritesANewerOneAndASecondTabStops) {
  Session candidate = Typing();
  ASSERT_EQ(candidate.Put("/api/candidate/draft", Draft("晉太", 0, 2).dump())->status, 200);
  auto late = candidate.Put("/api/candidate/draft", Draft("晉", 0, 1).dump());
  EXPECT_EQ(late->status, 200);
  EXPECT_TRUE(json::parse(late->body)["ignored"]);
  EXPECT_EQ(StoredPart(1)["text"], "晉太");

  // A second tab, opened before the first saved, types on its own text.
  auto second = candidate.Put("/api/candidate/draft", Draft("武陵人", 0, 1, "page-b").dump());
  EXPECT_EQ(second->status, 409);
  EXPECT_EQ(json::parse(second->body)["code"], "other-window");
  EXPECT_EQ(candidate.Post("/api/candidate/submit", Draft("武陵人", 0, 2, "page-b").dump())->status,
            409)
      << "nor may it end the part";
  // A reload builds on what is saved and goes on from there.
  const json state = candidate.State();
  EXPECT_EQ(state["version"], 1);
  EXPECT_EQ(candidate.Put("/api/candidate/draft", Draft("晉太元", 1, 1, "page-c").dump())->status,
            200);
  EXPECT_EQ(StoredPart(1)["text"], "晉太元");
}

// Every act of the proctor is logged once, with who and why, before it is done; one without the
// reason it needs, or that the disk refuses to log, is not done at all.
TEST_F(RoomTest, EveryActIsLoggedOnceWithItsReasonAndShownBesideItsSeat) {
  Typing();
  Session proctor = Proctor();
  const auto add = [&](const std::string& body) {
    return proctor.Post("/api/seats/1/add-time", body)->status;
  };
  EXPECT_EQ(add(R"({"seconds":60})"), 400);
  EXPECT_EQ(add(R"({"seconds":60,"reason":"  \n "})"), 400) << "blanks are no reason";
  EXPECT_EQ(add(R"({"seconds":120,"reason":"電腦當機\n重開"})"), 200);
  fs::path log;
  for (const auto& entry : fs::directory_iterator(RoomFolder())) {
    if (entry.path().filename().string().starts_with("actions-")) log = entry.path();
  }
  ASSERT_FALSE(log.empty());
  fs::rename(log, root_ / "actions.away");
  fs::create_directory(log);  // the log cannot be appended to
  EXPECT_EQ(add(R"({"seconds":60,"reason":"再加一分鐘"})"), 503);
  fs::remove(log);
  fs::rename(root_ / "actions.away", log);
  EXPECT_EQ(json::parse(proctor.Get("/api/seats/1")->body)["parts"][0]["added_seconds"], 120)
      << "an act that could not be logged was not done";
  ASSERT_EQ(proctor.Post("/api/sitting/end", R"({"reason":"全班提早交卷"})")->status, 200);

  const json actions = json::parse(proctor.Get("/api/actions")->body);
  ASSERT_EQ(actions.size(), 3u) << actions.dump();
  const std::tuple<const char*, const char*, const char*> expected[] = {
      {"open", "", ""}, {"add-time", "1", "電腦當機 重開"}, {"end", "", "全班提早交卷"}};
  for (std::size_t i = 0; i < actions.size(); ++i) {
    const auto& [action, seat, reason] = expected[i];
    EXPECT_EQ(actions[i]["action"], action);
    EXPECT_EQ(actions[i]["seat"], seat);
    EXPECT_EQ(actions[i]["reason"], reason);
    EXPECT_EQ(actions[i]["who"], i == 0 ? "command line" : "administrator");
    EXPECT_EQ(actions[i]["at"].get<std::string>().size(), 19u);
  }
  EXPECT_EQ(actions[1]["seconds"], 120);
  const json board = json::parse(proctor.Get("/api/board")->body);
  EXPECT_EQ(board["seats"][0]["actions"], json::array({"加時 2 分鐘：電腦當機 重開"}));

  // The export carries them beside the candidate's row.
  ASSERT_TRUE(WaitUntil([&] { return StoredPart(1)["scoring"] == "scored"; }));
  ASSERT_TRUE(WaitUntil([&] { return StoredPart(2)["scoring"] != "waiting"; }));
  const std::string csv = proctor.Get("/api/results.csv")->body;
  const std::size_t header_end = csv.find("\r\n");
  EXPECT_TRUE(csv.substr(0, header_end).ends_with(",監考紀錄")) << csv;
  EXPECT_NE(csv.find("S123456789"), std::string::npos) << csv;
  EXPECT_TRUE(csv.ends_with(",加時 2 分鐘：電腦當機 重開\r\n")) << csv;
}

TEST_F(RoomTest, ASittingMayUseOnlyTheFoldersTheAdministratorAllows) {
  Session proctor = Proctor();
  ASSERT_EQ(proctor.Post("/api/sitting/end", "{}")->status, 200);
  const fs::path outside =
      fs::temp_directory_path() / ("keyin-outside-" + root_.filename().string());
  struct Case {
    const char* behaviour;
    std::string scr_path;
    int status;
  };
  const Case cases[] = {
      {"a drive path that climbs out of drive_c", "C:\\..\\..\\..\\..\\tmp\\x\\", 400},
      {"an absolute path elsewhere", outside.string() + "/", 400},
      {"a path that climbs out of the program folder", (root_ / "scores/../../x").string(), 400},
      {"a relative path, which lies where the server runs", "scores/", 400},
      {"a drive path inside the program folder", "C:\\scores\\", 200},
  };
  for (const Case& c : cases) {
    json sitting = SittingJson();
    sitting["ScrPath"] = c.scr_path;
    httplib::MultipartFormDataItems form = {
        {"sitting", sitting.dump(), "sitting.json", "application/json"},
        {"roster", ReadFile(KEYIN_SAMPLES "/roster.csv"), "roster.csv", "text/csv"}};
    auto res = proctor.client.Post("/api/sitting", proctor.headers, form);
    EXPECT_EQ(res->status, c.status) << c.behaviour << ": " << res->body;
    if (res->status == 200) proctor.Post("/api/sitting/end", "{}");
  }
  EXPECT_FALSE(fs::exists(outside));

  // The administrator allows the folder: then it may be used, from the command line too.
  Stop();
  json sitting = SittingJson();
  sitting["ScrPath"] = outside.string() + "/";
  WriteFile(root_ / "sitting.json", sitting.dump());
  const auto [refused, message] =
      RunAnotherServer("--listen 127.0.0.1:0 --sitting " + (root_ / "sitting.json").string() +
                       " --roster " + KEYIN_SAMPLES "/roster.csv");
  EXPECT_EQ(refused, 1);
  EXPECT_NE(message.find("ScrPath"), std::string::npos) << message;
  Start({"--data-root", root_.string(), "--data-root", outside.string()});
  EXPECT_EQ(Candidate().State()["stage"], "method");
  fs::remove_all(outside);
}

class PracticeTest : public RoomTest {
 protected:
  json SittingJson() const override {
    json sitting = RoomTest::SittingJson();
    sitting["TestType"] = "1";  // single article practice: one part, a TempScore row
    return sitting;
  }
};

TEST_F(PracticeTest, APracticeSittingShowsItsStoredRows) {
  Session candidate = Typing();
  ASSERT_EQ(candidate.Post("/api/candidate/submit", Draft(kTwoLines, 0, 1).dump())->status, 200);
  ASSERT_TRUE(WaitUntil([&] { return StoredPart(1)["scoring"] == "scored"; }));
  const json results = json::parse(Proctor().Get("/api/results")->body);
  EXPECT_EQ(results["table"], "TempScore");
  ASSERT_EQ(results["rows"].size(), 1u);
  EXPECT_EQ(results["rows"][0][0], "S123456789");
}

// A roster name that a spreadsheet would run: the stored row keeps it, the export does not run it.
TEST_F(RoomTest, FormulasOfTheRosterGoOutOfTheExportAsText) {
  Stop();
  roster_ = (root_ / "roster.csv").string();
  WriteFile(roster_, "UserID,StuName,ClassName,SeatNo\nS1,=cmd|'/C calc'!A0,甲班,1\n");
  fs::remove_all(root_ / "exam-room");
  Start();
  Session candidate = Candidate("S1");
  candidate.Post("/api/candidate/method", R"({"method":"倉頡"})");
  candidate.Post("/api/candidate/start", R"({"part":1})");
  ASSERT_EQ(candidate.Post("/api/candidate/submit", Draft(kTwoLines, 0, 1).dump())->status, 200);
  ASSERT_TRUE(WaitUntil([&] { return StoredPart(1)["scoring"] == "scored"; }));
  Session proctor = Proctor();
  const std::string csv = proctor.Get("/api/results.csv")->body;
  EXPECT_NE(csv.find(",'=cmd|'/C calc'!A0,"), std::string::npos) << csv;
  const json rows = json::parse(proctor.Get("/api/results")->body)["rows"];
  EXPECT_EQ(rows[0][1], "=cmd|'/C calc'!A0") << "the stored row keeps the name";
}

// The wall clock steps while parts are typed (NTP, an operator): no deadline moves.
class ClockStepTest : public RoomTest {
 protected:
  void SetUp() override {
    const char* library = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
    if (!fs::exists(library)) GTEST_SKIP() << "faketime is not installed";
    step_file_ = fs::temp_directory_path() / ("keyin-clock-" + std::to_string(::getpid()));
    WriteFile(step_file_, "+0\n");
    environment_["LD_PRELOAD"] = library;
    environment_["FAKETIME_TIMESTAMP_FILE"] = step_file_.string();
    environment_["FAKETIME_NO_CACHE"] = "1";
    environment_["FAKETIME_DONT_FAKE_MONOTONIC"] = "1";
    // Under AddressSanitizer its runtime must come first; faketime comes before it here.
    const char* asan = std::getenv("ASAN_OPTIONS");
    environment_["ASAN_OPTIONS"] =
        std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0";
    RoomTest::SetUp();
  }
  void TearDown() override {
    RoomTest::TearDown();
    fs::remove(step_file_);
  }
  json SittingJson() const override {
    json sitting = RoomTest::SittingJson();
    sitting["TotTime"] = 300;
    return sitting;
  }
  void StepTheClock(const std::string& offset) {
    WriteFile(step_file_, offset + "\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  }
  fs::path step_file_;
};

TEST_F(ClockStepTest, AStepOfTheWallClockMovesNoDeadline) {
  Session candidate = Typing();
  Session proctor = Proctor();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  for (const char* step : {"+600", "-3600", "+0"}) {
    StepTheClock(step);
    const json state = candidate.State();
    ASSERT_EQ(state["stage"], "typing") << "after a step of " << step << " s";
    const std::int64_t left = state["time_left_ms"];
    EXPECT_LT(left, 300'000) << step;
    EXPECT_GT(left, 280'000) << step;
    EXPECT_FALSE(BoardSeat(proctor, "1")["disconnected"]) << step;
    EXPECT_EQ(proctor.Get("/api/board")->status, 200) << "the proctor's session holds";
  }
}

// A classmate who knows the UserID but not the code gets nothing, and learns not which half was
// wrong; the seat is as it was.
TEST_F(RoomTest, AWrongOrMissingAccessCodeGetsNothing) {
  httplib::Client client = Client();
  const std::string expected_error = "考生編號或登入碼不對，請再檢查一次，或請監考老師協助";
  for (const json& body :
       {json{{"UserID", "S123456789"}}, json{{"UserID", "S123456789"}, {"AccessCode", ""}},
        json{{"UserID", "S123456789"}, {"AccessCode", "WRONG1"}},
        json{{"UserID", "S999999999"}, {"AccessCode", AccessCode("S123456789")}}}) {
    auto res = client.Post("/api/candidate/sign-in", body.dump(), "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 401) << body;
    EXPECT_EQ(json::parse(res->body)["error"], expected_error) << body;
    EXPECT_FALSE(res->has_header("Set-Cookie")) << body;
  }
  EXPECT_FALSE(fs::exists(root_ / "exam-room/seats/1.json")) << "nothing written for the seat";
  EXPECT_EQ(client.Get("/api/candidate/state")->status, 401);
  // The code is typed as the slip shows it, or in small letters with blanks around.
  std::string code = AccessCode("S123456789");
  EXPECT_EQ(code.size(), 6u);
  EXPECT_EQ(code.find_first_not_of("ACDEFGHJKMNPQRTWXY34679"), std::string::npos) << code;
  for (char& c : code) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(SignIn("/api/candidate/sign-in", {{"UserID", "S123456789"}, {"AccessCode", " " + code}})
                .State()["stage"],
            "method");
}

// A second browser never takes a seat: it waits, sees nothing of the paper and may do nothing,
// until the proctor approves (the draft and the time move, the first browser is told why it
// stopped) or refuses (the waiting browser is told). Each act is logged once, with its reason.
TEST_F(RoomTest, ASecondBrowserWaitsForTheProctorToMoveTheSeat) {
  Session first = Typing();
  ASSERT_EQ(first.Put("/api/candidate/draft", Draft("晉太元中", 0, 1).dump())->status, 200);
  Session proctor = Proctor();

  const auto waiting_browser = [&] {
    Session second = Candidate();
    const json state = second.State();
    EXPECT_EQ(state["stage"], "wait");
    EXPECT_EQ(state["waits_for"], "move");
    EXPECT_FALSE(state.contains("reference")) << "nothing of the paper";
    EXPECT_FALSE(state.contains("text"));
    auto refused = second.Put("/api/candidate/draft", Draft("impostor", 1, 1, "page-b").dump());
    EXPECT_EQ(refused->status, 403);
    EXPECT_EQ(json::parse(refused->body)["code"], "waiting");
    EXPECT_EQ(BoardSeat(proctor, "1")["move_requested"], true);
    return second;
  };

  Session refused = waiting_browser();
  ASSERT_EQ(proctor.Post("/api/seats/1/move", R"({"approve":false,"reason":"不是本人"})")->status,
            200);
  auto told = refused.Get("/api/candidate/state");
  EXPECT_EQ(told->status, 401);
  EXPECT_EQ(json::parse(told->body)["code"], "moved");
  EXPECT_EQ(first.State()["text"], "晉太元中") << "the seat's own browser goes on";
  EXPECT_EQ(proctor.Post("/api/seats/1/move", R"({"approve":true})")->status, 409)
      << "nothing waits any more";

  Session moved = waiting_browser();
  const std::int64_t left_before = first.State()["time_left_ms"];
  ASSERT_EQ(proctor.Post("/api/seats/1/move", R"({"approve":true,"reason":"電腦當機"})")->status,
            200);
  const json state = moved.State();
  EXPECT_EQ(state["stage"], "typing");
  EXPECT_EQ(state["text"], "晉太元中");
  EXPECT_LE(state["time_left_ms"].get<std::int64_t>(), left_before) << "the clock ran on";
  EXPECT_GT(state["time_left_ms"].get<std::int64_t>(), left_before - 10000);
  EXPECT_EQ(moved.Put("/api/candidate/draft", Draft("晉太元中，", 1, 1, "page-b").dump())->status,
            200);
  auto stopped = first.Put("/api/candidate/draft", Draft("晉太元中，武", 1, 2).dump());
  EXPECT_EQ(stopped->status, 401);
  EXPECT_EQ(json::parse(stopped->body)["code"], "moved");
  EXPECT_NE(json::parse(stopped->body)["error"].get<std::string>().find("另一台電腦"),
            std::string::npos);

  ASSERT_EQ(moved.Post("/api/candidate/submit", Draft(kTwoLines, 2, 2, "page-b").dump())->status,
            200);
  ASSERT_TRUE(WaitUntil([&] { return StoredPart(1)["scoring"] == "scored"; }));
  std::vector<std::string> logged;
  for (const json& action : json::parse(proctor.Get("/api/actions")->body)) {
    if (action["seat"] == "1")
      logged.push_back(action["action"].get<std::string>() + " " +
                       action["reason"].get<std::string>());
  }
  EXPECT_EQ(logged, (std::vector<std::string>{"refuse-move 不是本人", "approve-move 電腦當機"}));
  const std::string csv = proctor.Get("/api/results.csv")->body;
  EXPECT_NE(csv.find("拒絕換電腦：不是本人；同意換電腦：電腦當機"), std::string::npos) << csv;
}

// A sitting whose proctor admits each seat: a signed-in candidate sees who they are and that
// they wait, and nothing of the paper, until admitted; a restart keeps who was.
TEST_F(RoomTest, WithAdmissionACandidateWaitsUntilTheProctorAdmitsTheSeat) {
  Stop();
  json sitting = SittingJson();
  sitting["SignIn"] = "code+proctor";
  WriteFile(root_ / "sitting.json", sitting.dump());
  fs::remove_all(root_ / "exam-room");
  Start();
  Session candidate = Candidate();
  json state = candidate.State();
  EXPECT_EQ(state["stage"], "wait");
  EXPECT_EQ(state["waits_for"], "admission");
  EXPECT_EQ(state["SeatNo"], "1");
  EXPECT_FALSE(state.contains("reference"));
  EXPECT_FALSE(state.contains("ExamPaperNo"));
  // What a waiting candidate may not do: seat_rules_test.cpp (Admit).
  Session proctor = Proctor();
  EXPECT_EQ(BoardSeat(proctor, "1")["admitted"], false);
  ASSERT_EQ(proctor.Post("/api/seats/1/admit", R"({"reason":"核對學生證"})")->status, 200);
  EXPECT_EQ(candidate.State()["stage"], "method");
  EXPECT_EQ(candidate.Post("/api/candidate/method", R"({"method":"倉頡"})")->status, 200);

  // A restart keeps who was admitted.
  Stop();
  Start();
  EXPECT_EQ((Session{Client(), candidate.headers}.State()["stage"]), "ready");
  Session again = Proctor();
  EXPECT_EQ(BoardSeat(again, "2")["admitted"], false);
  const json actions = json::parse(again.Get("/api/actions")->body);
  EXPECT_EQ(std::count_if(actions.begin(), actions.end(),
                          [](const json& a) { return a["action"] == "admit"; }),
            1);
}

}  // namespace
}  // namespace keyin::server_test
