#include "platform/append_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>

#include "platform/file_error.h"
#include "platform/file_system.h"

namespace keyin {
namespace {

class FileLock {
 public:
  explicit FileLock(int descriptor) : descriptor_(descriptor) {
    while (::flock(descriptor_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        locked_ = false;
        return;
      }
    }
  }
  ~FileLock() {
    if (locked_) ::flock(descriptor_, LOCK_UN);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Locked() const { return locked_; }

 private:
  int descriptor_;
  bool locked_ = true;
};

// The end of the file's last whole line at or before `end`: `end` itself when the byte before it
// is a line end. A shorter file is truncated there. -1 when the file cannot be read or cut.
off_t CutTornLine(int descriptor, off_t end) {
  char last = 0;
  if (::pread(descriptor, &last, 1, end - 1) != 1) return -1;
  if (last == '\n') return end;
  char block[4096];
  off_t cut = end;
  while (cut > 0) {
    const off_t from =
        cut > static_cast<off_t>(sizeof block) ? cut - static_cast<off_t>(sizeof block) : 0;
    const ssize_t count = ::pread(descriptor, block, static_cast<std::size_t>(cut - from), from);
    if (count != cut - from) return -1;
    ssize_t i = count;
    while (i > 0 && block[i - 1] != '\n') --i;
    if (i > 0) {
      cut = from + i;
      break;
    }
    cut = from;
  }
  return ::ftruncate(descriptor, cut) == 0 ? cut : -1;
}

}  // namespace

AppendFile::AppendFile(const std::string& path) : path_(path) {
  const std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) CreateFolders(path.substr(0, slash));
  descriptor_ = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (descriptor_ < 0) throw FileError(DescribeFileError("open for appending", path));
  struct stat status {};
  if (::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(descriptor_);
    descriptor_ = -1;
    throw FileRefused("refused " + path + ": not a regular file");
  }
}

AppendFile::~AppendFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

void AppendFile::Append(std::string_view line) {
  std::string whole(line);
  whole += '\n';
  AppendLines(whole);
}

std::int64_t AppendFile::Size() const {
  struct stat status {};
  if (::fstat(descriptor_, &status) != 0)
    throw FileError(DescribeFileError("read the size of", path_));
  return status.st_size;
}

bool AppendFile::HoldsAt(std::int64_t offset, std::string_view bytes) const {
  std::string found(bytes.size(), '\0');
  std::size_t read = 0;
  while (read < found.size()) {
    const ssize_t count = ::pread(descriptor_, found.data() + read, found.size() - read,
                                  static_cast<off_t>(offset) + static_cast<off_t>(read));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) throw FileError(DescribeFileError("read", path_));
    if (count == 0) return false;  // the file ends before
    read += static_cast<std::size_t>(count);
  }
  return found == bytes;
}

void AppendFile::AppendLines(std::string_view whole) { AppendLinesAt(whole, nullptr); }

void AppendFile::AppendLinesAt(std::string_view whole,
                               const std::function<void(std::int64_t)>& before) {
  assert(!whole.empty() && whole.back() == '\n');
  const FileLock lock(descriptor_);
  if (!lock.Locked()) throw FileError(DescribeFileError("lock", path_));
  // Under the lock the end of the file is ours. A line that a killed process or a full disk left
  // without its end is cut off first, so that it cannot run into this one.
  off_t start = ::lseek(descriptor_, 0, SEEK_END);
  if (start > 0) start = CutTornLine(descriptor_, start);
  if (start < 0) throw FileError(DescribeFileError("read the end of", path_));
  if (before) before(start);
  ssize_t written = -1;
  do {
    written = ::write(descriptor_, whole.data(), whole.size());
  } while (written < 0 && errno == EINTR);
  if (written == static_cast<ssize_t>(whole.size())) return;
  const int saved_errno = written < 0 ? errno : ENOSPC;
  if (written > 0 && start >= 0) {
    [[maybe_unused]] const int cut = ::ftruncate(descriptor_, start);
  }
  errno = saved_errno;
  throw FileError(DescribeFileError("append to", path_));
}

void AppendFile::Sync() {
  if (::fdatasync(descriptor_) != 0) throw FileError(DescribeFileError("flush", path_));
}

}  // namespace keyin
