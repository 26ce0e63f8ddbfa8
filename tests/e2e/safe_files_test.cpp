// The files of a run in folders that others can write to: inputs are read only when they are
// regular files within their bounds, and nothing is written through a symbolic link.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <map>
#include <sstream>

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
// symbolic link, a FIFO or larger than any such file can be (each input by one or two of these;
// the reader's refusals of every kind: text_files_test.cpp). The answer's refusal is one
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
      {"answer larger than 4 MiB", "3", [&] { sized(answer, (4 << 20) + 1); },
       "is larger than 4194304 bytes"},
      {"paper linked elsewhere", "3",
       [&] {
         WriteBytes(folder_.Root() / "other.LIB", paper);
         fs::create_symlink(folder_.Root() / "other.LIB", lib);
       },
       "Cmd_Scr 模組發生錯誤，因為：refused the test paper: "},
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

// Every file a run writes (libtemp, the reports, the CSCR score file) is written to a new file of
// its own and renamed into place: a symbolic link of its name is replaced, and the file it points
// at is neither written nor, when it is missing, created.
TEST_F(SafeFiles, FilesWrittenReplaceALinkOfTheirNameInsteadOfWritingThroughIt) {
  WriteTypedAnswer(folder_.Scores() / "CTEST-2", Sample("typed-test2.txt"));
  const fs::path missing = folder_.Root() / "created-through-a-link";
  const std::pair<const char*, fs::path> written[] = {
      {"libtemp", folder_.Lib() / "libtemp"},
      {"listing", folder_.Scores() / "CTEST-1.SCR"},
      {"summary", folder_.Scores() / "CTEST-1.TOT"},
      {"error check", folder_.Scores() / "CTEST-1.CHK"},
      {"CSCR score file", folder_.Scores() / "CSCR0315"},
  };
  for (const auto& [name, path] : written) fs::create_symlink(private_, path);
  fs::create_symlink(missing, folder_.Scores() / "CTEST-2.SCR");  // a dangling link
  for (const char* part : {"1", "2"}) {
    args_.TestPart = part;
    ProcessResult result = folder_.Scorer(args_.Join());
    ASSERT_EQ(result.exit_status, 0) << result.err;
  }
  EXPECT_EQ(ReadBytes(private_), TypedAnswerBytes({"PRIVATE 個人資料"}));
  EXPECT_FALSE(fs::exists(missing));
  for (const auto& [name, path] : written) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path))) << name;
  }
  EXPECT_TRUE(Contains(ReadReport(folder_.Scores() / "CTEST-2.SCR"), "平均字數"));
  EXPECT_TRUE(Contains(ReadReport(folder_.Scores() / "CSCR0315"), "覆核成績"));
}

// A run that was killed leaves its temporary files behind. The next run in the same folders
// removes those older than an hour, which no run still going owns, and nothing else.
TEST_F(SafeFiles, LeftoversOfKilledRunsAreRemovedAtStartUp) {
  const fs::path lib = folder_.Lib(), scores = folder_.Scores();
  const fs::path leftovers[] = {lib / "libtemp.Ab12Cd", scores / "CTEST-1.SCR.x1Y2z3",
                                scores / "CTEST-2.CHK.000000", scores / "CSCR0315.qwErty"};
  const fs::path others[] = {lib / "libtemp.bak", scores / "CTEST-1.abcdef",
                             scores / "notes.abcdef", scores / "CSCR0315"};
  const fs::path fresh = lib / "libtemp.Fresh1";
  const auto two_hours_ago = fs::file_time_type::clock::now() - std::chrono::hours(2);
  for (const fs::path& path : leftovers) WriteBytes(path, "left");
  for (const fs::path& path : others) WriteBytes(path, "other");
  WriteBytes(fresh, "a run still going");
  for (const auto& entry : fs::directory_iterator(lib)) {
    if (entry.path() != fresh) fs::last_write_time(entry.path(), two_hours_ago);
  }
  for (const auto& entry : fs::directory_iterator(scores)) {
    fs::last_write_time(entry.path(), two_hours_ago);
  }
  ASSERT_EQ(folder_.Scorer(args_.Join()).exit_status, 0);
  for (const fs::path& path : leftovers) EXPECT_FALSE(fs::exists(path)) << path;
  for (const fs::path& path : others) EXPECT_TRUE(fs::exists(path)) << path;
  EXPECT_TRUE(fs::exists(fresh));
}

// A full disk fails a run at whatever file it is writing. Swept over every size of a small disk
// that holds the library and the score folder (a tmpfs in a mount namespace of the run's own),
// each run either ends well or fails leaving every file it wrote whole or empty: no temporary
// file, no half-written libtemp or CSCR score file, reports whole or holding their byte-order
// mark only.
TEST_F(SafeFiles, FullDiskLeavesNoTemporaryOrHalfWrittenFile) {
  if (RunProgram("unshare", {"-m", "true"}).exit_status != 0) {
    GTEST_SKIP() << "needs a mount namespace of its own (root)";
  }
  constexpr char kTime[] = "2024-03-05 09:07:02";
  WriteTypedAnswer(folder_.Scores() / "CTEST-2", Sample("typed-test2.txt"));
  args_.TestPart = "2";
  ASSERT_EQ(folder_.Scorer(args_.Join(), kTime).exit_status, 0);
  std::map<std::string, std::uintmax_t> whole;  // the size of each file of a run that ended well
  for (const char* name : {"CTEST-2.SCR", "CTEST-2.TOT", "CTEST-2.CHK", "CSCR0315"}) {
    whole[std::string("scores/") + name] = fs::file_size(folder_.Scores() / name);
  }
  whole["lib/libtemp"] = fs::file_size(folder_.Lib() / "libtemp");

  const fs::path disk = folder_.Root() / "disk", results = folder_.Root() / "results";
  fs::create_directory(disk);
  RunArgs args = args_;
  args.LibPath = (disk / "lib").string() + "/";
  args.ScrPath = (disk / "scores").string() + "/";
  // For 2 to 12 pages of 4 KiB: a fresh disk with the paper and the answer, one run, then the
  // run's exit status and every file left with its size.
  const char* const kSweep = R"sh(
    disk=$1 results=$2 paper=$3 answer=$4; shift 4
    for pages in $(seq 2 12); do
      mount -t tmpfs -o size=$((pages * 4))k tmpfs "$disk" || exit 97
      mkdir "$disk/lib" "$disk/scores"
      if cp "$paper" "$disk/lib/P001.LIB" && cp "$answer" "$disk/scores/CTEST-2"; then
        "$@" >/dev/null 2>&1
        echo "run $pages $?" >>"$results"
        (cd "$disk" && find lib scores -type f -printf '%p %s
') >>"$results"
      fi
      umount "$disk"
    done)sh";
  auto environment = folder_.Environment();
  environment["ASAN_OPTIONS"] = "verify_asan_link_order=0";
  ProcessResult sweep =
      RunProgram("unshare",
                 {"-m", "sh", "-c", kSweep, "sh", disk.string(), results.string(),
                  (folder_.Lib() / "P001.LIB").string(), (folder_.Scores() / "CTEST-2").string(),
                  "faketime", "-f", kTime, KEYIN_SCORER, args.Join()},
                 environment);
  if (sweep.exit_status == 97) GTEST_SKIP() << "cannot mount a tmpfs";
  ASSERT_EQ(sweep.exit_status, 0) << sweep.err;

  int failed = 0, ended_well = 0;
  std::istringstream lines(ReadBytes(results));
  std::string line, run;
  for (bool well = false; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first == "run") {
      int pages = 0, status = 0;
      words >> pages >> status;
      run = line;
      well = status == 0;
      ++(well ? ended_well : failed);
      continue;
    }
    std::uintmax_t size = 0;
    words >> size;
    if (first == "lib/P001.LIB" || first == "scores/CTEST-2") continue;
    ASSERT_TRUE(whole.contains(first)) << run << ": a file left behind: " << line;
    const bool report = first.starts_with("scores/CTEST-2.");
    if (size != whole[first]) {
      EXPECT_TRUE(report && size == 2 && !well) << run << ": half written: " << line;
    }
  }
  EXPECT_GT(failed, 0) << "the disk was never full";
  EXPECT_GT(ended_well, 0) << "no disk was large enough";
}

}  // namespace
}  // namespace keyin::e2e
