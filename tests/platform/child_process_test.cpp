#include "platform/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "platform/durable_file.h"
#include "platform/system_services.h"

namespace keyin {
namespace {

ChildResult Shell(const std::string& script, ChildOptions options = {}) {
  return RunChild("/bin/sh", {"-c", script}, options);
}

TEST(RunChild, GivesExitStatusOutputAndEnvironment) {
  ChildOptions options;
  options.environment["KEYIN_PROBE"] = "值";
  ChildResult result = Shell("echo \"$KEYIN_PROBE\"; echo oops >&2; exit 3", options);
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.out, "值\n");
  EXPECT_EQ(result.err, "oops\n");
}

// A hung scoring run must not hold a server thread: it is killed and reaped at its limit.
TEST(RunChild, KillsAChildThatOutlivesItsLimit) {
  ChildOptions options;
  options.time_limit = std::chrono::milliseconds(200);
  ChildResult result = Shell("exec sleep 30", options);
  EXPECT_TRUE(result.timed_out);
  EXPECT_EQ(result.exit_status, 128 + 9);
  // Closing its output does not let a child escape its limit either.
  result = Shell("exec sleep 30 >/dev/null 2>&1", options);
  EXPECT_TRUE(result.timed_out);
}

// A server that stops does not wait for a long child (a re-scoring) to end by itself.
TEST(RunChild, KillsAChildWhenAskedToStop) {
  for (const char* script : {"exec sleep 30", "exec sleep 30 >/dev/null 2>&1"}) {
    std::atomic<bool> stop = false;
    ChildOptions options;
    options.stop = &stop;
    std::thread stopper([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      stop = true;
    });
    const ChildResult result = Shell(script, options);
    stopper.join();
    EXPECT_TRUE(result.stopped) << script;
    EXPECT_FALSE(result.timed_out) << script;
    EXPECT_EQ(result.exit_status, 128 + 9) << script;
  }
}

// Listening and client sockets must not leak into the scorer.
TEST(RunChild, ChildInheritsNoDescriptorBeyondTheStandardThree) {
  int leaked = ::open("/dev/null", O_RDONLY);  // deliberately not close-on-exec
  ASSERT_GE(leaked, 3);
  ChildResult result = Shell("ls /proc/self/fd");
  ::close(leaked);
  // 0, 1, 2 and the descriptor ls opens to read the folder.
  EXPECT_EQ(result.out, "0\n1\n2\n3\n");
}

// The server blocks the signals that stop it and ignores SIGPIPE; its children must not: a
// scoring run that the service manager stops, or whose reader went away, ends as any program.
TEST(RunChild, ChildBlocksNoSignalAndLeavesSigpipeToItsDefault) {
  sigset_t stop, before;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  ::pthread_sigmask(SIG_BLOCK, &stop, &before);
  const auto old_pipe = ::signal(SIGPIPE, SIG_IGN);
  const ChildResult result = RunChild("/bin/cat", {"/proc/self/status"}, {});
  ::signal(SIGPIPE, old_pipe);
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  EXPECT_NE(result.out.find("SigBlk:\t0000000000000000\n"), std::string::npos) << result.out;
  const std::size_t ignored = result.out.find("SigIgn:\t");
  ASSERT_NE(ignored, std::string::npos);
  const unsigned long mask = std::stoul(result.out.substr(ignored + 8, 16), nullptr, 16);
  EXPECT_EQ(mask & (1UL << (SIGPIPE - 1)), 0u) << result.out.substr(ignored, 24);
}

TEST(RunChild, StdinIsEmpty) { EXPECT_EQ(Shell("cat").out, ""); }

TEST(RunChild, ProgramThatCannotStartExitsWith127) {
  EXPECT_EQ(RunChild("/nonexistent/program", {}, {}).exit_status, 127);
}

TEST(WriteFileDurably, ReplacesWholeFileAndLeavesNoTemporary) {
  std::string pattern = (std::filesystem::temp_directory_path() / "keyin-durable.XXXXXX").string();
  const std::string folder = ::mkdtemp(pattern.data());
  const std::string path = folder + "/state.json";
  EXPECT_EQ(ReadFileIfAny(path), std::nullopt);
  WriteFileDurably(path, "old");
  WriteFileDurably(path, "new content");
  EXPECT_EQ(ReadFileIfAny(path), "new content");
  EXPECT_EQ(ListFiles(folder), std::vector<std::string>{"state.json"});
  // A folder that does not exist: the old state stays and the failure is reported.
  EXPECT_THROW(WriteFileDurably(folder + "/missing/state.json", "x"), FileError);
  std::filesystem::remove_all(folder);
}

TEST(Utf8ToUtf16Strict, AcceptsOnlyWellFormedUtf8) {
  EXPECT_EQ(Utf8ToUtf16Strict("座號"), u"座號");
  EXPECT_EQ(Utf8ToUtf16Strict(""), u"");
  EXPECT_EQ(Utf8ToUtf16Strict("\xae\x79\xb8\xb9"), std::nullopt);  // 座號 in code page 950
  EXPECT_EQ(Utf8ToUtf16Strict("\xed\xa0\x80"), std::nullopt);      // an encoded surrogate
}

TEST(RandomHex, GivesTwoDigitsPerByteAndDiffersEachTime) {
  EXPECT_EQ(RandomHex(16).size(), 32u);
  EXPECT_NE(RandomHex(16), RandomHex(16));
}

}  // namespace
}  // namespace keyin
