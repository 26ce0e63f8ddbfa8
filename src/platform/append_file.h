// A file that many processes append whole lines to: the run log, the keyin record files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace keyin {

// An open append-only file of lines. Each Append is one write(2) of the whole line under an
// exclusive lock of the file, so lines of processes that append at the same moment never
// interleave. A line that a full disk takes only in part is cut off again before the lock is
// released; one that a killed process left without its end is cut off by the next Append, so
// every line in the file that ends in "\n" is whole.
class AppendFile {
 public:
  // Opens the file, creating it (readable by its owner only: the run log names candidates) and
  // its folder when missing. Throws FileError.
  explicit AppendFile(const std::string& path);
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Appends the line and its "\n". Throws FileError; the file then holds no part of it.
  void Append(std::string_view line);
  // Appends whole lines, each ended by "\n", in one write, as Append does.
  void AppendLines(std::string_view lines);
  // The same, calling `before` with the offset the lines will start at, under the same lock,
  // before they are written: an appender that records where its lines go (to learn after a crash
  // whether they are there) learns it exactly, whatever other processes append. When `before`
  // throws, nothing is written.
  void AppendLinesAt(std::string_view lines, const std::function<void(std::int64_t)>& before);

  // Waits until what was appended is on the disk. Throws FileError.
  void Sync();

  // The file's size now. An appender that orders its own appends can learn where its next
  // lines go, and later whether they are there (HoldsAt). Throws FileError.
  std::int64_t Size() const;
  // True when the file holds exactly these bytes from the offset on (a file that ends before
  // holds them not). Throws FileError.
  bool HoldsAt(std::int64_t offset, std::string_view bytes) const;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int descriptor_ = -1;
};

}  // namespace keyin
