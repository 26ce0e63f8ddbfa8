// The run log's file: lines of processes appending at once, of killed processes and of a full
// disk never run into one another.
#include "platform/append_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_error.h"
#include "platform/file_system.h"
#include "temp_folder.h"

namespace keyin {
namespace {

using AppendFileTest = TempFolderTest;

// Runs `body` in a child process; its exit status (0 when `body` returns true).
template <typename Body>
int InChild(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body() ? 0 : 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Eight processes append lines of up to 16 KB (far beyond what one pipe write keeps whole) at
// the same time: every line arrives whole and exactly once.
TEST_F(AppendFileTest, ProcessesAppendingAtOnceLeaveOnlyWholeLines) {
  constexpr int kProcesses = 8, kLines = 100;
  const std::string path = Path("runs.jsonl");
  const auto line_of = [](int process, int i) {
    const std::size_t length = static_cast<std::size_t>(i * 7919 + process * 131) % 16384 + 1;
    return std::to_string(process) + ":" + std::to_string(i) + ":" +
           std::string(length, static_cast<char>('a' + process));
  };
  std::vector<pid_t> children;
  for (int process = 0; process < kProcesses; ++process) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      try {
        AppendFile log(path);
        for (int i = 0; i < kLines; ++i) log.Append(line_of(process, i));
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::string text = ReadWholeFile(path);
  ASSERT_TRUE(text.ends_with('\n'));
  std::set<std::string> expected, found;
  for (int process = 0; process < kProcesses; ++process) {
    for (int i = 0; i < kLines; ++i) expected.insert(line_of(process, i));
  }
  std::istringstream lines(text);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) found.insert(line);
  EXPECT_EQ(count, kProcesses * kLines);
  EXPECT_TRUE(found == expected) << "a line that no process appended whole";
}

// A process killed in the middle of its line leaves it without its end: the next line does not
// run into it but replaces it. Whole lines before it stay.
TEST_F(AppendFileTest, ATornLastLineIsCutBeforeTheNextLine) {
  const std::string long_whole(5000, 'y'), long_torn(10000, 'x');
  const struct {
    const char* name;
    std::string before, after;
  } cases[] = {
      {"empty file", "", "next\n"},
      {"whole lines kept", "a\nb\n", "a\nb\nnext\n"},
      {"blank last line kept", "a\n\n", "a\n\nnext\n"},
      {"torn line cut", "a\nhal", "a\nnext\n"},
      {"torn only line cut", "hal", "next\n"},
      {"torn line longer than a read block", "a\n" + long_torn, "a\nnext\n"},
      {"torn line after a long whole line", long_whole + "\n" + long_torn, long_whole + "\nnext\n"},
  };
  for (const auto& c : cases) {
    const std::string path = Path("runs.jsonl");
    WriteWholeFile(path, c.before);
    std::int64_t start = -1;  // where the line goes, learnt under the lock: after the cut
    AppendFile(path).AppendLinesAt("next\n", [&](std::int64_t at) { start = at; });
    EXPECT_EQ(ReadWholeFile(path), c.after) << c.name;
    EXPECT_EQ(start, static_cast<std::int64_t>(c.after.size()) - 5) << c.name;
  }
  // An offset that cannot be recorded: nothing is appended.
  const std::string path = Path("runs.jsonl");
  WriteWholeFile(path, "next\n");
  EXPECT_THROW(AppendFile(path).AppendLinesAt(
                   "never\n", [](std::int64_t) { throw std::runtime_error("not recorded"); }),
               std::runtime_error);
  EXPECT_EQ(ReadWholeFile(path), "next\n");
}

// A file size limit stands in for a full disk: the part of the line written is taken back, and
// the append fails.
TEST_F(AppendFileTest, ALineTheDiskTakesInPartIsCutAgain) {
  const std::string path = Path("runs.jsonl");
  WriteWholeFile(path, "a\n");
  const int status = InChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {12, 12};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
    try {
      AppendFile(path).Append(std::string(100, 'z'));
    } catch (const FileError&) {
      return true;
    }
    return false;
  });
  EXPECT_EQ(status, 0) << "the append did not fail";
  EXPECT_EQ(ReadWholeFile(path), "a\n");
}

// Lines go only into a regular file of that name: never through a link into another file,
// never into a FIFO that someone may be reading, never a folder.
TEST_F(AppendFileTest, RefusesWhatIsNoRegularFile) {
  WriteWholeFile(Path("target"), "kept\n");
  std::filesystem::create_symlink(Path("target"), Path("link"));
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(Path("folder"));
  WriteWholeFile(Path("file"), "");
  for (const char* refused : {"link", "fifo", "folder", "file/runs.jsonl"}) {
    EXPECT_THROW(AppendFile(Path(refused)).Append("line"), FileError) << refused;
  }
  EXPECT_EQ(ReadWholeFile(Path("target")), "kept\n");
}

}  // namespace
}  // namespace keyin
