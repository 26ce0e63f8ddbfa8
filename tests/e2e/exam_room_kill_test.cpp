// keyin-server killed (kill -9) at a random moment while it scores twenty submitted parts, then
// started again: every part is scored exactly once. One result row per candidate, one keyin
// record line per typed line, whatever the moment, and whether or not the killed server's
// scoring runs go on and store while the new server scores.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "db_helpers.h"
#include "harness.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr int kSeats = 20;
constexpr char kPassword[] = "kill-test";

class ExamRoomServer {
 public:
  // name: the server's files in the program folder; a server of another name stands for one on
  // another machine (its own state folder), sharing the program folder and the database.
  explicit ExamRoomServer(const ProgramFolder& folder, std::string name = "server")
      : folder_(folder), name_(std::move(name)) {}
  ~ExamRoomServer() { Kill(); }

  // with_sitting: opens (or resumes) the folder's sitting; otherwise it serves what it finds.
  void Start(bool with_sitting = true) {
    const fs::path out = folder_.Root() / (name_ + ".out");
    fs::remove(out);
    auto environment = folder_.Environment();
    environment["KEYIN_PROCTOR_PASSWORD"] = kPassword;
    std::vector<std::string> arguments = {"--listen", "127.0.0.1:0", "--state",
                                          (folder_.Root() / (name_ + "-state")).string()};
    if (with_sitting) {
      arguments.insert(arguments.end(), {"--sitting", (folder_.Root() / "sitting.json").string(),
                                         "--roster", (folder_.Root() / "roster.csv").string()});
    }
    pid_ =
        StartProgram(KEYIN_SERVER, arguments, environment, out, folder_.Root() / (name_ + ".err"));
    for (int i = 0; i < 1000 && port_for(out) == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    port_ = port_for(out);
    ASSERT_NE(port_, 0) << ReadBytes(folder_.Root() / (name_ + ".err"));
  }

  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    WaitForProgram(pid_);
    pid_ = -1;
  }

  httplib::Client Client() const {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(30, 0);
    return client;
  }

  // The proctor's cookie.
  httplib::Headers Proctor() const {
    auto res = Client().Post("/api/proctor/sign-in", json{{"password", kPassword}}.dump(),
                             "application/json");
    const std::string cookie = res ? res->get_header_value("Set-Cookie") : "";
    return {{"Cookie", cookie.substr(0, cookie.find(';'))}};
  }

  // The parts of the board whose scoring has ended.
  int ScoredParts(const httplib::Headers& proctor) const {
    auto res = Client().Get("/api/board", proctor);
    if (!res || res->status != 200) return -1;
    int scored = 0;
    const json board = json::parse(res->body);
    for (const json& seat : board["seats"]) {
      for (const json& part : seat["parts"]) scored += part["scoring"] == "scored";
    }
    return scored;
  }

 private:
  static int port_for(const fs::path& out) {
    const std::string text = ReadBytes(out);
    const std::size_t at = text.find("127.0.0.1:");
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + 10);
  }

  const ProgramFolder& folder_;
  std::string name_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// Candidate n types two lines of the paper.
std::string Answer() { return "晉太元中，武陵人捕魚為業。\n緣溪行，忘路之遠近。\n"; }

class ExamRoomKill : public ::testing::TestWithParam<int> {};

// The sample paper, a roster of kSeats candidates (K<n>, code CODE<n>) and a mock-test sitting.
void PrepareSitting(ProgramFolder& folder) {
  folder.InstallSamplePaper();
  {
    std::ofstream roster(folder.Root() / "roster.csv");
    roster << "UserID,StuName,ClassName,SeatNo,AccessCode\n";
    for (int seat = 1; seat <= kSeats; ++seat)
      roster << "K" << seat << ",考生,甲班," << seat << ",CODE" << seat << "\n";
    std::ofstream(folder.Root() / "sitting.json") << json{
        {"ExamPlaceNo", "A01"},
        {"ExamNo", "E01"},
        {"ExamPaperNo", "P001"},
        {"TestType", "3"},
        {"SessionNo", "3"},
        {"TotTime", 600},
        {"LibPath", folder.Lib().string() + "/"},
        {"ScrPath", folder.Scores().string() + "/"},
        {"ShowResults", true}}.dump();
  }
}

TEST_P(ExamRoomKill, EveryPartIsScoredExactlyOnceWhateverMomentTheServerDies) {
  ProgramFolder folder;
  PrepareSitting(folder);
  ExamRoomServer server(folder);
  server.Start();
  for (int seat = 1; seat <= kSeats; ++seat) {
    httplib::Client client = server.Client();
    auto res = client.Post(
        "/api/candidate/sign-in",
        json{{"UserID", "K" + std::to_string(seat)}, {"AccessCode", "code" + std::to_string(seat)}}
            .dump(),
        "application/json");
    ASSERT_TRUE(res && res->status == 200);
    const std::string cookie = res->get_header_value("Set-Cookie");
    const httplib::Headers session = {{"Cookie", cookie.substr(0, cookie.find(';'))}};
    ASSERT_EQ(
        client.Post("/api/candidate/method", session, R"({"method":"倉頡"})", "application/json")
            ->status,
        200);
    ASSERT_EQ(
        client.Post("/api/candidate/start", session, R"({"part":1})", "application/json")->status,
        200);
    ASSERT_EQ(
        client
            .Post("/api/candidate/submit", session,
                  json{{"part", 1}, {"text", Answer()}, {"base", 0}}.dump(), "application/json")
            ->status,
        200);
  }
  // The moment: after a random number of parts has been scored, and a random few milliseconds.
  std::mt19937 random(static_cast<unsigned>(GetParam()) * 7919u + 13u);
  const int scored_before_kill = static_cast<int>(random() % kSeats);
  const httplib::Headers proctor = server.Proctor();
  for (int i = 0; i < 3000 && server.ScoredParts(proctor) < scored_before_kill; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
  server.Kill();

  server.Start();
  const httplib::Headers again = server.Proctor();
  for (int i = 0; i < 3000 && server.ScoredParts(again) < kSeats; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(server.ScoredParts(again), kSeats)
      << "killed after " << scored_before_kill << "\n"
      << ReadBytes(folder.Root() / "server.err") << server.Client().Get("/api/board", again)->body;
  server.Kill();
  // Runs of the killed server may still be storing: they find the part stored, or store it and
  // leave the new run nothing to store. Give them their moment, then count.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  auto db = OpenKeyin(folder);
  EXPECT_EQ(Dump(*db, "SELECT COUNT(*), COUNT(DISTINCT Id) FROM TestScore_Student"), "20 20")
      << "killed after " << scored_before_kill;
  std::ifstream records(folder.Root() / "ExamScr/Ctest-1.any", std::ios::binary);
  int lines = 0;
  for (std::string line; std::getline(records, line);) ++lines;
  EXPECT_EQ(lines, 2 * kSeats) << "killed after " << scored_before_kill;
}

INSTANTIATE_TEST_SUITE_P(TenMoments, ExamRoomKill, ::testing::Range(0, 10));

// A candidate's session on a server: signs in, or goes on with the cookie it had.
struct Candidate {
  httplib::Headers session;
  httplib::Result Post(const ExamRoomServer& server, const std::string& path, const json& body) {
    return server.Client().Post(path, session, body.dump(), "application/json");
  }
  httplib::Result Put(const ExamRoomServer& server, const std::string& path, const json& body) {
    return server.Client().Put(path, session, body.dump(), "application/json");
  }
  json State(const ExamRoomServer& server) {
    auto res = server.Client().Get("/api/candidate/state", session);
    return res && res->status == 200 ? json::parse(res->body)
                                     : json{{"status", res ? res->status : 0}};
  }
};

// The machine that holds a room fails mid-sitting (kill -9); a server on another machine, waiting
// against the same database, takes the room over: every candidate goes on with the draft and the
// time they had, and every part is scored exactly once. While the first holds the room, the
// second cannot take it.
TEST(ServerFailover, ASecondServerTakesTheRoomOverWithEveryDraftAndDeadline) {
  ProgramFolder folder;
  if (!folder.OnServer()) GTEST_SKIP() << "the room's state is shared through a database server";
  PrepareSitting(folder);
  ExamRoomServer a(folder, "a"), b(folder, "b");
  a.Start();
  std::vector<Candidate> candidates(kSeats);
  for (int seat = 1; seat <= kSeats; ++seat) {
    const std::string n = std::to_string(seat);
    auto res = a.Client().Post("/api/candidate/sign-in",
                               json{{"UserID", "K" + n}, {"AccessCode", "CODE" + n}}.dump(),
                               "application/json");
    ASSERT_TRUE(res && res->status == 200);
    const std::string cookie = res->get_header_value("Set-Cookie");
    Candidate& candidate = candidates[seat - 1];
    candidate.session = {{"Cookie", cookie.substr(0, cookie.find(';'))}};
    candidate.Post(a, "/api/candidate/method", {{"method", "倉頡"}});
    candidate.Post(a, "/api/candidate/start", {{"part", 1}});
    ASSERT_EQ(
        candidate
            .Put(a, "/api/candidate/draft", {{"part", 1}, {"text", "晉太元中" + n}, {"base", 0}})
            ->status,
        200);
  }
  // Seat 1 is done with part 1 before the failure.
  ASSERT_EQ(candidates[0].Post(a, "/api/candidate/submit", {{"part", 1}})->status, 200);
  const std::int64_t left_before = candidates[1].State(a)["time_left_ms"];

  b.Start(/*with_sitting=*/false);
  EXPECT_EQ(candidates[1].State(b)["status"], 401) << "A holds the room: B does not serve it";
  EXPECT_NE(ReadBytes(folder.Root() / "b.err").find("room 3 is held by another server"),
            std::string::npos)
      << ReadBytes(folder.Root() / "b.err");

  a.Kill();
  json state;
  for (int i = 0; i < 200 && !state.contains("stage"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    state = candidates[1].State(b);
  }
  ASSERT_EQ(state["stage"], "typing") << state << ReadBytes(folder.Root() / "b.err");
  EXPECT_EQ(state["text"], "晉太元中2");
  const std::int64_t left_after = state["time_left_ms"];
  EXPECT_LE(left_after, left_before);
  EXPECT_GT(left_after, left_before - 30000) << "the deadline is the one A fixed";

  for (int seat = 2; seat <= kSeats; ++seat) {
    Candidate& candidate = candidates[seat - 1];
    const json mine = candidate.State(b);
    ASSERT_EQ(mine["text"], "晉太元中" + std::to_string(seat)) << mine;
    ASSERT_EQ(candidate
                  .Post(b, "/api/candidate/submit",
                        {{"part", 1}, {"text", Answer()}, {"base", mine["version"]}})
                  ->status,
              200);
  }
  const httplib::Headers proctor = b.Proctor();
  for (int i = 0; i < 3000 && b.ScoredParts(proctor) < kSeats; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(b.ScoredParts(proctor), kSeats) << ReadBytes(folder.Root() / "b.err");
  auto db = OpenKeyin(folder);
  EXPECT_EQ(Dump(*db, "SELECT COUNT(*), COUNT(DISTINCT Id) FROM TestScore_Student"), "20 20");
}

}  // namespace
}  // namespace keyin::e2e
