// An exclusive lock on a file, held by this process while the FileLock lives: one keyin-server
// per state folder. It is flock(2)'s: the kernel lets go of it when the process ends, however it
// ends, so a killed server leaves nothing to clean up, and a child process never holds it (the
// descriptor is close-on-exec).
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/file_error.h"

namespace keyin {

class FileLock {
 public:
  // Takes the lock of the file without waiting, creating the file (mode 0600) when missing; its
  // last name is never followed when it is a symbolic link. Nothing when another holder has it.
  // Throws FileError when the file cannot be opened.
  static std::optional<FileLock> TryTake(const std::string& path);
  // The same, trying again for up to `wait` while another holder has it.
  static std::optional<FileLock> Take(const std::string& path, std::chrono::milliseconds wait);

  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

 private:
  explicit FileLock(int descriptor) : descriptor_(descriptor) {}
  int descriptor_ = -1;
};

}  // namespace keyin
