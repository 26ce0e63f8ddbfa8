// How a run ends: the exit statuses and the two failures that end it early.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace keyin {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitWrongArguments = 2;
inline constexpr int kExitDatabaseMissing = 3;

// Ends the run with the exit status; the message (if any) has been shown already. Start-up adds
// the stderr line for exit status 1 only: the other statuses have their own message box.
class RunEnd : public std::exception {
 public:
  RunEnd(int exit_status, std::string description)
      : exit_status_(exit_status), description_(std::move(description)) {}
  int ExitStatus() const { return exit_status_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int exit_status_;
  std::string description_;
};

// A failure that ends the run with one stderr line and exit status 1.
class RunFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace keyin
