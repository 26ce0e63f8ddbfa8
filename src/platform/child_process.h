// Child processes of the exam room: the scorer and the report command run as separate programs,
// exactly as a desktop front end starts them, so a run that fails or hangs never takes the
// server with it.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace keyin {

struct ChildResult {
  int exit_status = -1;    // the exit status, or 128 + the signal that ended the child
  bool timed_out = false;  // killed because it outlived its time limit
  bool stopped = false;    // killed because `stop` was set
  std::string out;         // standard output, cut at output_limit bytes
  std::string err;         // standard error, cut at output_limit bytes
};

struct ChildOptions {
  std::chrono::milliseconds time_limit{30000};
  std::size_t output_limit = 8 * 1024 * 1024;
  // Set while the child runs (by another thread): the child is killed within a tenth of a second.
  const std::atomic<bool>* stop = nullptr;
  // Set on top of the server's own environment.
  std::map<std::string, std::string> environment;
};

// Runs program with the arguments and waits for it, at most options.time_limit; then it is
// killed. Standard input is /dev/null; the child inherits no other descriptor of this process
// (no listening or client socket, whether or not it was opened close-on-exec), no blocked signal
// and no ignored SIGPIPE. The child is always reaped before this returns. A program that cannot
// be started ends with 127 and the reason in `err`, as a shell reports it; throws
// std::runtime_error when its output pipes cannot be made.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const ChildOptions& options);

}  // namespace keyin
