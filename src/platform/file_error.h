#pragma once

#include <stdexcept>
#include <string>

namespace keyin {

// A file operation failed; what() names the operation, the path and the system's reason.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Nothing has the name.
class FileNotFound : public FileError {
 public:
  using FileError::FileError;
};

// A file that a reader will not read: not a regular file (a symbolic link, a FIFO, a device, a
// folder) or larger than the reader's bound. what() says which.
class FileRefused : public FileError {
 public:
  using FileError::FileError;
};

// Builds the text of a FileError from errno.
std::string DescribeFileError(const std::string& operation, const std::string& path);

}  // namespace keyin
