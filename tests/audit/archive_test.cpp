// The answer archive: each content kept once under its SHA-256, read back only as it was kept.
#include "audit/archive.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "platform/digest.h"
#include "platform/file_system.h"
#include "run/run_end.h"
#include "temp_folder.h"

namespace keyin {
namespace {

class ArchiveTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    archive_ = ArchiveFolder(folder_.string());
  }
  std::ptrdiff_t FileCount() const {
    return std::distance(std::filesystem::directory_iterator(archive_), {});
  }

  std::string archive_;
};

TEST_F(ArchiveTest, SameBytesAreKeptOnceUnderTheirSha256) {
  const std::string answer = "\xFF\xFE\x32\x75\r\0\n\0";
  const std::string sha256 = KeepInArchive(archive_, answer);
  EXPECT_EQ(sha256, Sha256Hex(answer));
  EXPECT_EQ(archive_, (folder_ / "archive").string());
  EXPECT_EQ(KeepInArchive(archive_, answer), sha256);
  EXPECT_EQ(FileCount(), 1);
  EXPECT_EQ(ReadWholeFile(archive_ + "/" + sha256), answer);
  // The candidates' answers are readable by the scorer's user only.
  struct stat status {};
  ASSERT_EQ(::stat((archive_ + "/" + sha256).c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);

  EXPECT_EQ(ReadFromArchive(archive_, KeepInArchive(archive_, "")), "");
  EXPECT_EQ(FileCount(), 2);
  EXPECT_EQ(ReadFromArchive(archive_, sha256), answer);
}

TEST_F(ArchiveTest, ReadsBackOnlyAnUnchangedFileOfAnArchiveName) {
  const std::string sha256 = KeepInArchive(archive_, "kept");
  WriteWholeFile(archive_ + "/" + Sha256Hex("changed"), "changed!");
  std::filesystem::create_symlink(archive_ + "/" + sha256, archive_ + "/" + Sha256Hex("link"));
  WriteWholeFile(folder_ / "outside", "outside");
  const struct {
    const char* name;
    std::string sha256;
  } refused[] = {
      {"changed file", Sha256Hex("changed")},
      {"missing file", Sha256Hex("missing")},
      {"link", Sha256Hex("link")},
      {"empty name", ""},
      {"upper case name", "B" + sha256.substr(1)},
      {"path out of the archive", "../outside"},
  };
  for (const auto& c : refused) {
    EXPECT_THROW(ReadFromArchive(archive_, c.sha256), RunFailure) << c.name;
  }
}

TEST(RunLogPath, TheVariableOrTheProgramFolder) {
  const char* saved = std::getenv("KEYIN_RUN_LOG");
  const std::string kept = saved ? saved : "";
  ::unsetenv("KEYIN_RUN_LOG");
  EXPECT_EQ(RunLogPath("/keyin"), "/keyin/log/runs.jsonl");
  ::setenv("KEYIN_RUN_LOG", "", 1);
  EXPECT_EQ(RunLogPath("/keyin"), "/keyin/log/runs.jsonl");
  ::setenv("KEYIN_RUN_LOG", "/var/log/keyin.jsonl", 1);
  EXPECT_EQ(RunLogPath("/keyin"), "/var/log/keyin.jsonl");
  if (saved) {
    ::setenv("KEYIN_RUN_LOG", kept.c_str(), 1);
  } else {
    ::unsetenv("KEYIN_RUN_LOG");
  }
}

}  // namespace
}  // namespace keyin
