// Where fuzz targets keep the files of their process: a memory file system when the machine has
// one, since a target rewrites its file for every input (on ext4, rewriting a file that had data
// waits for the disk), otherwise the system's temporary folder.
#pragma once

#include <unistd.h>

#include <filesystem>

namespace keyin::fuzz {

inline std::filesystem::path ScratchFolder() {
  const std::filesystem::path memory = "/dev/shm";
  std::error_code error;
  if (std::filesystem::is_directory(memory, error) && access(memory.c_str(), W_OK) == 0) {
    return memory;
  }
  return std::filesystem::temp_directory_path();
}

}  // namespace keyin::fuzz
