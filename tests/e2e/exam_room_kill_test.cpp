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
  explicit ExamRoomServer(const ProgramFolder& folder) : folder_(folder) {}
  ~ExamRoomServer() { Kill(); }

  void Start() {
    const fs::path out = folder_.Root() / "server.out";
    fs::remove(out);
    auto environment = folder_.Environment();
    environment["KEYIN_PROCTOR_PASSWORD"] = kPassword;
    pid_ = StartProgram(
        KEYIN_SERVER,
        {"--listen", "127.0.0.1:0", "--sitting", (folder_.Root() / "sitting.json").string(),
         "--roster", (folder_.Root() / "roster.csv").string()},
        environment, out, folder_.Root() / "server.err");
    for (int i = 0; i < 1000 && port_for(out) == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    port_ = port_for(out);
    ASSERT_NE(port_, 0) << ReadBytes(folder_.Root() / "server.err");
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
  pid_t pid_ = -1;
  int port_ = 0;
};

// Candidate n types two lines of the paper.
std::string Answer() { return "晉太元中，武陵人捕魚為業。\n緣溪行，忘路之遠近。\n"; }

class ExamRoomKill : public ::testing::TestWithParam<int> {};

TEST_P(ExamRoomKill, EveryPartIsScoredExactlyOnceWhateverMomentTheServerDies) {
  ProgramFolder folder;
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

}  // namespace
}  // namespace keyin::e2e
