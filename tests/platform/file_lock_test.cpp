#include "platform/file_lock.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "temp_folder.h"

namespace keyin {
namespace {

using FileLockTest = TempFolderTest;

TEST_F(FileLockTest, OneHolderAtATimeAndTheLockGoesWithItsHolder) {
  const std::string path = Path("server.lock");
  std::optional<FileLock> first = FileLock::TryTake(path);
  ASSERT_TRUE(first);
  // Another open of the file is another holder, as another process would be.
  EXPECT_FALSE(FileLock::TryTake(path));
  // Nor can another process.
  EXPECT_NE(std::system(("flock --nonblock " + path + " true").c_str()), 0);
  FileLock moved = std::move(*first);
  first.reset();
  EXPECT_FALSE(FileLock::TryTake(path));
  { FileLock gone = std::move(moved); }
  EXPECT_TRUE(FileLock::TryTake(path));
}

TEST_F(FileLockTest, AFolderThatIsNotThereIsAFileError) {
  EXPECT_THROW(FileLock::TryTake(Path("missing/server.lock")), FileError);
}

}  // namespace
}  // namespace keyin
