#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

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

int CopyFolder(const std::string& from, const std::string& to, const std::string& skip) {
  namespace fs = std::filesystem;
  int copied = 0;
  std::error_code error;
  fs::create_directories(to, error);
  if (error) throw FileError("cannot create the folder " + to + ": " + error.message());
  for (auto it = fs::recursive_directory_iterator(from, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    // Lexically: a file that vanishes meanwhile has no canonical path to ask the disk for.
    const fs::path target = fs::path(to) / it->path().lexically_relative(from);
    if (!skip.empty() && it->path().filename() == skip) continue;
    const fs::file_status status = it->symlink_status(error);
    if (!error && fs::is_directory(status)) {
      fs::create_directories(target, error);
    } else if (!error && fs::is_regular_file(status)) {
      if (fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, error)) ++copied;
    }
    // A file renamed or removed while the folder is read (a temporary file that became its
    // final name) is not there to copy; the folder goes on.
    if (error == std::errc::no_such_file_or_directory) {
      error.clear();
      continue;
    }
    if (error) throw FileError("cannot copy " + it->path().string() + ": " + error.message());
  }
  if (error) throw FileError("cannot read the folder " + from + ": " + error.message());
  return copied;
}

namespace {

// The names of a folder's entries that `keep` takes, sorted; none when the folder is missing.
std::vector<std::string> EntryNames(
    const std::string& folder,
    const std::function<bool(const std::filesystem::directory_entry&, std::error_code&)>& keep) {
  std::vector<std::string> names;
  std::error_code error;
  if (!std::filesystem::exists(folder, error)) return names;
  std::filesystem::directory_iterator it(folder, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (!it->is_symlink(error) && keep(*it, error)) names.push_back(it->path().filename().string());
  }
  if (error) throw FileError(DescribeFileError("list", folder));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::vector<std::string> SubfolderNames(const std::string& folder) {
  return EntryNames(
      folder, [](const auto& entry, std::error_code& error) { return entry.is_directory(error); });
}

std::vector<std::string> FileNames(const std::string& folder) {
  return EntryNames(folder, [](const auto& entry, std::error_code& error) {
    return entry.is_regular_file(error);
  });
}

bool IsEmptyOrMissing(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return true;
  return std::filesystem::is_directory(path, error) && std::filesystem::is_empty(path, error);
}

void DeleteFile(const std::string& path) {
  if (std::remove(path.c_str()) != 0) throw FileError(DescribeFileError("delete", path));
}

namespace {

constexpr std::string_view kNameCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kSuffixLength = 6;

}  // namespace

TemporaryFile CreateTemporaryFileFor(const std::string& path, unsigned mode) {
  static std::mt19937_64 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kNameCharacters.size() - 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = path + ".";
    for (std::size_t i = 0; i < kSuffixLength; ++i) name += kNameCharacters[pick(generator)];
    // O_EXCL: never a file or a link that is there already. By default 0666 less the umask, as a
    // file created under the name itself would be, so the front end reads it as before.
    const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (descriptor >= 0) return {descriptor, name};
    if (errno != EEXIST) throw FileError(DescribeFileError("create", path));
  }
  throw FileError("cannot create " + path + ": no free temporary name beside it");
}

bool IsTemporaryNameOf(std::string_view name, std::string_view final_name) {
  if (name.size() != final_name.size() + 1 + kSuffixLength || !name.starts_with(final_name) ||
      name[final_name.size()] != '.') {
    return false;
  }
  return name.substr(final_name.size() + 1).find_first_not_of(kNameCharacters) ==
         std::string_view::npos;
}

void RemoveOldFiles(const std::string& folder,
                    const std::function<bool(std::string_view name)>& is_leftover,
                    std::chrono::seconds age) {
  std::unique_ptr<DIR, int (*)(DIR*)> entries(::opendir(folder.c_str()), ::closedir);
  if (!entries) return;
  const std::time_t cutoff = std::time(nullptr) - static_cast<std::time_t>(age.count());
  while (const dirent* entry = ::readdir(entries.get())) {
    const std::string_view name = entry->d_name;
    if (!is_leftover(name)) continue;
    const std::string path = folder + "/" + std::string(name);
    struct stat info {};
    // lstat: a link of that name is no leftover of ours and is left alone.
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (info.st_mtime < cutoff) ::unlink(path.c_str());
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
  return "a special file";
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
