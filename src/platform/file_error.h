#pragma once

#include <stdexcept>
#include <string>

namespace keyin {

// A file operation failed; what() names the operation, the path and the system's reason.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Builds the text of a FileError from errno.
std::string DescribeFileError(const std::string& operation, const std::string& path);

}  // namespace keyin
