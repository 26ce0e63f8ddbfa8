#include "platform/durable_file.h"

#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace keyin {

namespace {

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t count = ::write(descriptor, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

}  // namespace

void WriteFileDurably(const std::string& path, std::string_view bytes, unsigned mode) {
  const TemporaryFile created = CreateTemporaryFileFor(path, mode);
  const std::string& temporary = created.path;
  const int descriptor = created.descriptor;
  bool written = WriteAll(descriptor, bytes) && ::fsync(descriptor) == 0;
  int saved_errno = errno;
  written = ::close(descriptor) == 0 && written;
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    if (written) saved_errno = errno;
    ::unlink(temporary.c_str());
    errno = saved_errno;
    throw FileError(DescribeFileError("write", path));
  }
  // The rename itself is only durable once the folder's entry is on the disk.
  int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

std::optional<std::string> ReadFileIfAny(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) {
    if (errno == ENOENT) return std::nullopt;
    throw FileError(DescribeFileError("open", path));
  }
  std::string bytes;
  char buffer[65536];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, count);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) throw FileError(DescribeFileError("read", path));
  return bytes;
}

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr) {
    if (errno == ENOENT) return names;
    throw FileError(DescribeFileError("list", folder));
  }
  while (dirent* entry = ::readdir(directory)) {
    struct stat info {};
    std::string name = entry->d_name;
    if (::stat((folder + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      names.push_back(name);
    }
  }
  ::closedir(directory);
  std::sort(names.begin(), names.end());
  return names;
}

void RenamePath(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    throw FileError(DescribeFileError("rename " + from + " to", to));
  }
}

void SyncFileSystemOf(const std::string& path) {
  const int folder = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) throw FileError(DescribeFileError("open", path));
  const int result = ::syncfs(folder);
  ::close(folder);
  if (result != 0) throw FileError(DescribeFileError("flush to the disk", path));
}

}  // namespace keyin
