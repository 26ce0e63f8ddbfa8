#include "harness.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/postgres_store.h"
#include "platform/text_stream.h"

extern char** environ;

namespace keyin::e2e {
namespace {

std::filesystem::path UniqueFolder() {
  static std::atomic<int> counter{0};
  auto base = std::filesystem::temp_directory_path() /
              ("keyin-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(base);
  std::filesystem::create_directories(base);
  return base;
}

// The server's URI with another database.
std::string ServerDatabaseUrl(const std::string& server_url, const std::string& database) {
  return server_url.substr(0, server_url.rfind('/') + 1) + database;
}

}  // namespace

std::string ReadBytes(const std::filesystem::path& path) { return ReadWholeFile(path.string()); }

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  WriteWholeFile(path.string(), bytes);
}

pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::map<std::string, std::optional<std::string>>& set,
                   const std::filesystem::path& out, const std::filesystem::path& err) {
  std::map<std::string, std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text(*entry);
    std::size_t equals = text.find('=');
    if (equals != std::string::npos) environment[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : set) {
    if (value) {
      environment[name] = *value;
    } else {
      environment.erase(name);
    }
  }
  std::vector<std::string> environment_texts;
  for (const auto& [name, value] : environment) environment_texts.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& text : environment_texts) envp.push_back(text.data());
  envp.push_back(nullptr);

  std::vector<std::string> argument_texts = {program};
  argument_texts.insert(argument_texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : argument_texts) argv.push_back(text.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + program);
  return pid;
}

int WaitForProgram(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::optional<std::string>>& set) {
  std::filesystem::path capture = UniqueFolder();
  pid_t pid = StartProgram(program, arguments, set, capture / "out", capture / "err");
  ProcessResult result;
  result.exit_status = WaitForProgram(pid);
  result.out = ReadBytes(capture / "out");
  result.err = ReadBytes(capture / "err");
  std::filesystem::remove_all(capture);
  return result;
}

std::optional<std::string> TestServerUrl() {
  const char* folder = std::getenv("KEYIN_TEST_SERVER");
  if (folder == nullptr || *folder == '\0') return std::nullopt;
  std::string url = ReadBytes(std::filesystem::path(folder) / "url");
  while (!url.empty() && (url.back() == '\n' || url.back() == '\r')) url.pop_back();
  return url;
}

ProgramFolder::ProgramFolder(bool install_databases) : root_(UniqueFolder()) {
  if (const std::optional<std::string> server = TestServerUrl()) {
    // Named after the folder, which is unique among the tests running at once.
    const std::string name = "keyin_" + root_.filename().string();
    std::string database;
    for (const char c : name) database += c == '-' ? '_' : c;
    database_url_ = ServerDatabaseUrl(*server, database);
    // Without databases the folder's server database does not exist either.
    if (install_databases) {
      OpenServerStore(*server)->Execute("CREATE DATABASE " + database);
      database_name_ = database;
    }
  }
  if (install_databases) {
    ProcessResult result = Tool({"init-db"});
    if (result.exit_status != 0) throw std::runtime_error("init-db failed: " + result.err);
  } else {
    std::filesystem::create_directories(Lib());
  }
  std::filesystem::create_directories(Scores());
}

ProgramFolder::~ProgramFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
  if (!database_name_.empty()) {
    try {
      OpenServerStore(*TestServerUrl())
          ->Execute("DROP DATABASE " + database_name_ + " WITH (FORCE)");
    } catch (const std::exception&) {
      // The cluster is thrown away with everything on it at the end of the tests.
    }
  }
}

std::map<std::string, std::optional<std::string>> ProgramFolder::Environment() const {
  return {{"KEYIN_HOME", root_.string()},
          {"KEYIN_DRIVE_C", std::nullopt},
          {"TZ", "UTC"},
          {"KEYIN_DATABASE_URL", database_url_}};
}

ProcessResult ProgramFolder::Tool(
    const std::vector<std::string>& arguments,
    const std::map<std::string, std::optional<std::string>>& extra) const {
  auto environment = Environment();
  for (const auto& [name, value] : extra) environment[name] = value;
  return RunProgram(KEYIN_TOOL, arguments, environment);
}

ProcessResult ProgramFolder::Scorer(
    const std::string& argument_string, const std::optional<std::string>& time,
    const std::map<std::string, std::optional<std::string>>& extra) const {
  auto environment = Environment();
  for (const auto& [name, value] : extra) environment[name] = value;
  // faketime preloads its library ahead of a sanitizer build's runtime, which that runtime
  // refuses unless told that the order is intended.
  if (time) environment["ASAN_OPTIONS"] = "verify_asan_link_order=0";
  // -f freezes the clock, so a slow run still writes the same time.
  if (time)
    return RunProgram("faketime", {"-f", *time, KEYIN_SCORER, argument_string}, environment);
  return RunProgram(KEYIN_SCORER, {argument_string}, environment);
}

void ProgramFolder::InstallSamplePaper(const std::string& paper) const {
  const std::filesystem::path samples = KEYIN_SAMPLES;
  InstallPaper(paper, ReadUtf8Lines(samples / "paper-test1.txt"),
               ReadUtf8Lines(samples / "paper-test2.txt"));
}

void ProgramFolder::InstallPaper(const std::string& paper, const std::vector<std::string>& part1,
                                 const std::vector<std::string>& part2) const {
  auto write_text = [&](const std::string& name, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    WriteBytes(root_ / name, text);
    return (root_ / name).string();
  };
  ProcessResult result =
      Tool({"make-lib", "--part1", write_text("part1.txt", part1), "--part2",
            write_text("part2.txt", part2), (Lib() / (paper + ".LIB")).string()});
  if (result.exit_status != 0) throw std::runtime_error("make-lib failed: " + result.err);
}

std::string RunArgs::Join() const {
  return ExamPlaceNo + "," + ExamNo + "," + ExamPaperNo + "," + Field3 + "," + TestType + "," +
         UserID + "," + StuName + "," + SessionNo + "," + SeatNo + "," + TestPart + "," + TotTime +
         "," + UseTime + "," + SubtractScore + "," + LibPath + "," + ScrPath + "," + ClassName;
}

RunArgs DefaultArgs(const ProgramFolder& folder) {
  RunArgs args;
  args.LibPath = folder.Lib().string() + "/";
  args.ScrPath = folder.Scores().string() + "/";
  return args;
}

std::string TypedAnswerBytes(const std::vector<std::string>& lines) {
  std::u16string text = u"\uFEFF";
  for (const std::string& line : lines) text += Utf8ToUtf16(line) + u"\r\n";
  return Utf16LeBytes(text);
}

void WriteTypedAnswer(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  WriteBytes(path, TypedAnswerBytes(lines));
}

std::vector<std::string> ReadUtf8Lines(const std::filesystem::path& path) {
  std::istringstream in(ReadBytes(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Sample(const char* name) {
  return ReadUtf8Lines(std::filesystem::path(KEYIN_SAMPLES) / name);
}

std::string ReadReport(const std::filesystem::path& path) {
  std::u16string text = Utf16LeUnits(ReadBytes(path));
  if (!text.empty() && text.front() == u'\uFEFF') text.erase(0, 1);
  return Utf16ToUtf8(text);
}

}  // namespace keyin::e2e
