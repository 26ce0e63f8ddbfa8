#include "platform/file_system.h"

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
