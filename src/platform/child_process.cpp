#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace keyin {

namespace {

// The descriptors of one pipe, closed on destruction.
struct Pipe {
  int read_end = -1;
  int write_end = -1;
  Pipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
      throw std::runtime_error(std::string("cannot create a pipe: ") + std::strerror(errno));
    }
    read_end = ends[0];
    write_end = ends[1];
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  void CloseRead() {
    if (read_end >= 0) ::close(read_end);
    read_end = -1;
  }
  void CloseWrite() {
    if (write_end >= 0) ::close(write_end);
    write_end = -1;
  }
};

int StatusOf(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
  return -1;
}

int WaitFor(pid_t pid) {
  int wait_status = 0;
  while (::waitpid(pid, &wait_status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return StatusOf(wait_status);
}

}  // namespace

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const ChildOptions& options) {
  // Everything the child needs is built before fork: after it, only async-signal-safe calls.
  std::vector<std::string> environment_texts;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text(*entry);
    std::string name = text.substr(0, text.find('='));
    if (!options.environment.contains(name)) environment_texts.push_back(std::move(text));
  }
  for (const auto& [name, value] : options.environment) {
    environment_texts.push_back(name + "=" + value);
  }
  std::vector<char*> child_environment;
  for (std::string& text : environment_texts) child_environment.push_back(text.data());
  child_environment.push_back(nullptr);

  std::vector<std::string> argument_texts{program};
  argument_texts.insert(argument_texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : argument_texts) argv.push_back(text.data());
  argv.push_back(nullptr);

  Pipe out, err;
  const pid_t pid = ::fork();
  if (pid < 0)
    throw std::runtime_error(std::string("cannot start ") + program + ": " + std::strerror(errno));
  if (pid == 0) {
    int null = ::open("/dev/null", O_RDONLY);
    if (null < 0 || ::dup2(null, 0) < 0 || ::dup2(out.write_end, 1) < 0 ||
        ::dup2(err.write_end, 2) < 0) {
      ::_exit(127);
    }
    // Sockets accepted by the HTTP library are not close-on-exec: drop every descriptor.
    ::close_range(3, ~0U, 0);
    ::execve(program.c_str(), argv.data(), child_environment.data());
    ::_exit(127);
  }
  out.CloseWrite();
  err.CloseWrite();

  ChildResult result;
  const auto deadline = std::chrono::steady_clock::now() + options.time_limit;
  pollfd watched[2] = {{out.read_end, POLLIN, 0}, {err.read_end, POLLIN, 0}};
  std::string* targets[2] = {&result.out, &result.err};
  int open_streams = 2;
  while (open_streams > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      break;
    }
    int ready = ::poll(watched, 2, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (watched[i].fd < 0 || watched[i].revents == 0) continue;
      char buffer[4096];
      ssize_t count = ::read(watched[i].fd, buffer, sizeof buffer);
      if (count > 0) {
        std::size_t room =
            options.output_limit - std::min(options.output_limit, targets[i]->size());
        targets[i]->append(buffer, std::min(room, static_cast<std::size_t>(count)));
      } else if (count == 0 || errno != EINTR) {
        watched[i].fd = -1;  // poll skips negative descriptors
        --open_streams;
      }
    }
  }
  // A child that closed its output may still be running: it gets what is left of its time.
  while (!result.timed_out) {
    int wait_status = 0;
    pid_t done = ::waitpid(pid, &wait_status, WNOHANG);
    if (done == pid) {
      result.exit_status = StatusOf(wait_status);
      return result;
    }
    if (done < 0 && errno != EINTR) return result;
    if (std::chrono::steady_clock::now() >= deadline) {
      result.timed_out = true;
      break;
    }
    ::usleep(2000);
  }
  ::kill(pid, SIGKILL);
  result.exit_status = WaitFor(pid);
  return result;
}

}  // namespace keyin
