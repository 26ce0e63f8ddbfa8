#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace keyin {

std::string DescribeFileError(const std::string& operation, const std::string& path) {
  return "cannot " + operation + " " + path + ": " + std::strerror(errno);
}

bool IsNormalFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

void CreateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0 && !(errno == EEXIST && IsFolder(path))) {
    throw FileError(DescribeFileError("create folder", path));
  }
}

void CreateFolders(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) throw FileError("cannot create folder " + path + ": " + error.message());
}

void CopyFileReplacing(const std::string& from, const std::string& to) {
  std::string bytes = ReadWholeFile(from);
  WriteWholeFile(to, bytes);
}

void DeleteFile(const std::string& path) {
  if (std::remove(path.c_str()) != 0) throw FileError(DescribeFileError("delete", path));
}

std::string CreateUniqueFile(const std::string& prefix) {
  std::string path = prefix + ".XXXXXX";
  int descriptor = ::mkstemp(path.data());
  if (descriptor < 0) throw FileError(DescribeFileError("create", path));
  ::close(descriptor);
  return path;
}

void RenameReplacing(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    throw FileError(DescribeFileError("rename " + from + " to", to));
  }
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw FileError(DescribeFileError("create", path));
  bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  bool closed = std::fclose(file) == 0;
  if (!written || !closed) throw FileError(DescribeFileError("write", path));
}

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  ~Descriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

const char* KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

}  // namespace

std::string ReadRegularFile(const std::string& path, std::uint64_t max_bytes) {
  // O_NONBLOCK: opening a FIFO without a writer, or a device, must not wait.
  const Descriptor file(
      ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) {
    if (errno == ELOOP) throw FileRefused(path + " is a symbolic link, not a regular file");
    if (errno == ENOENT) throw FileNotFound(DescribeFileError("open", path));
    throw FileError(DescribeFileError("open", path));
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) throw FileError(DescribeFileError("examine", path));
  if (!S_ISREG(info.st_mode)) {
    throw FileRefused(path + " is " + KindOfFile(info.st_mode) + ", not a regular file");
  }
  const std::string too_large = path + " is larger than " + std::to_string(max_bytes) + " bytes";
  if (static_cast<std::uint64_t>(info.st_size) > max_bytes) {
    throw FileRefused(too_large + " (" + std::to_string(info.st_size) + " bytes)");
  }
  // Read one byte past the bound: a file that grew after the check is refused as well.
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw FileError(DescribeFileError("read", path));
    }
    if (count == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(count));
    if (bytes.size() > max_bytes) throw FileRefused(too_large + " (it grew while it was read)");
  }
  return bytes;
}

std::string ReadWholeFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw FileError(DescribeFileError("open", path));
  std::string bytes;
  char buffer[65536];
  std::size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, count);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) throw FileError(DescribeFileError("read", path));
  return bytes;
}

}  // namespace keyin
