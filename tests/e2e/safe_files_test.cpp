// The files of a run in folders that others can write to: inputs are read only when they are
// regular files within their bounds, and nothing is written through a symbolic link.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "db_helpers.h"
#include "harness.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

class SafeFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.InstallSamplePaper();
    WriteTypedAnswer(folder_.Scores() / "CTEST-1", Sample("typed-test1.txt"));
    private_ = folder_.Root() / "private";
    WriteBytes(private_, TypedAnswerBytes({"PRIVATE 個人資料"}));
  }
  // Runs the scorer, killed after 60 seconds: a run that waits on a FIFO fails instead of
  // hanging the suite.
  ProcessResult Score(const RunArgs& args) const {
    return RunProgram("timeout", {"-s", "KILL", "60", KEYIN_SCORER, args.Join()},
                      folder_.Environment());
  }
  ProgramFolder folder_;
  RunArgs args_ = DefaultArgs(folder_);
  fs::path private_;
};

// A file that could make the run hang, read without end or copy another file into the listing is
// refused before a byte of it is read: a typed answer, a paper or a custom text that is a
// symbolic link, a FIFO or larger than any such file can be. The answer's refusal is one
// stderr line; the paper's and the custom text's come while the reference text is loaded
// (Cmd_Scr's message). Nothing is written.
TEST_F(SafeFiles, InputsOtherThanRegularFilesWithinTheirBoundsAreRefused) {
  ASSERT_EQ(Score(args_).exit_status, 0);
  const std::string paper = ReadBytes(folder_.Lib() / "P001.LIB");
  const fs::path answer = folder_.Scores() / "CTEST-1";
  const fs::path lib = folder_.Lib() / "P001.LIB";
  const fs::path custom = folder_.Lib() / "P001.cus";
  const auto fifo = [](const fs::path& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); };
  const auto sized = [](const fs::path& path, std::uintmax_t bytes) {
    WriteBytes(path, "");
    fs::resize_file(path, bytes);  // sparse: costs no disk
  };
  struct Case {
    const char* name;
    const char* TestType;
    std::function<void()> make;
    const char* says;
  };
  const Case cases[] = {
      {"answer linked to a private file", "3", [&] { fs::create_symlink(private_, answer); },
       "keyin-scorer: refused the typed answer: "},
      {"answer linked to an endless device", "3", [&] { fs::create_symlink("/dev/zero", answer); },
       "is a symbolic link"},
      {"answer that is a FIFO", "3", [&] { fifo(answer); }, "is a FIFO, not a regular file"},
      {"answer larger than 4 MiB", "3", [&] { sized(answer, (4 << 20) + 1); },
       "is larger than 4194304 bytes"},
      {"paper linked elsewhere", "3",
       [&] {
         WriteBytes(folder_.Root() / "other.LIB", paper);
         fs::create_symlink(folder_.Root() / "other.LIB", lib);
       },
       "Cmd_Scr 模組發生錯誤，因為：refused the test paper: "},
      {"paper that is a FIFO", "3", [&] { fifo(lib); }, "is a FIFO"},
      {"paper beyond 2,000 records", "3", [&] { sized(lib, 2001 * 64 + 1); },
       "is larger than 128064 bytes"},
      {"custom text that is a FIFO", "0", [&] { fifo(custom); },
       "keyin-scorer: refused the custom text: "},
      {"custom text larger than 16 MiB", "0", [&] { sized(custom, (16 << 20) + 1); },
       "is larger than 16777216 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const fs::path& path : {answer, lib, custom}) fs::remove(path);
    for (const auto& entry : fs::directory_iterator(folder_.Scores())) fs::remove(entry.path());
    WriteTypedAnswer(answer, Sample("typed-test1.txt"));
    WriteBytes(lib, paper);
    if (Contains(c.name, "answer")) fs::remove(answer);
    if (Contains(c.name, "paper")) fs::remove(lib);
    c.make();
    RunArgs args = args_;
    args.TestType = c.TestType;
    ProcessResult result = Score(args);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_TRUE(Contains(result.err, c.says)) << result.err;
    EXPECT_FALSE(fs::exists(folder_.Scores() / "CTEST-1.SCR"));
  }
  EXPECT_EQ(ReadBytes(private_), TypedAnswerBytes({"PRIVATE 個人資料"}));
  EXPECT_EQ(Dump(*OpenKeyin(folder_), "SELECT count(*) FROM TestScore_Student"), "1");
}

}  // namespace
}  // namespace keyin::e2e
