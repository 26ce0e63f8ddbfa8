#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
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

// Starts the program with stdin /dev/null, stdout and stderr on the two descriptors, no other
// descriptor (sockets of the HTTP server included), the default signal mask and a default
// SIGPIPE: the server blocks the signals that stop it and ignores SIGPIPE, which a child would
// otherwise inherit. posix_spawn starts the child without copying the server's page tables, which
// a fork of a large server spends most of its time on. The child's pid, or -errno.
pid_t Spawn(const std::string& program, const std::vector<char*>& argv,
            const std::vector<char*>& environment, int out, int err) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawnattr_init(&attributes);
  sigset_t none, pipe;
  sigemptyset(&none);
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  int failure = ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (failure == 0) failure = ::posix_spawn_file_actions_adddup2(&actions, out, 1);
  if (failure == 0) failure = ::posix_spawn_file_actions_adddup2(&actions, err, 2);
  if (failure == 0) failure = ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (failure == 0) failure = ::posix_spawnattr_setsigmask(&attributes, &none);
  if (failure == 0) failure = ::posix_spawnattr_setsigdefault(&attributes, &pipe);
  if (failure == 0) {
    failure =
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  pid_t pid = -1;
  if (failure == 0) {
    failure = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(),
                            environment.data());
  }
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
  return failure == 0 ? pid : -failure;
}

}  // namespace

// How often a child that may be stopped is looked at.
constexpr std::chrono::milliseconds kStopCheck{100};

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const ChildOptions& options) {
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
  const pid_t pid = Spawn(program, argv, child_environment, out.write_end, err.write_end);
  if (pid < 0) {
    ChildResult failed;
    failed.exit_status = 127;  // as a shell reports a program it cannot start
    failed.err = "cannot start " + program + ": " + std::strerror(-pid);
    return failed;
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
    const auto slice = options.stop == nullptr ? left : std::min(left, kStopCheck);
    int ready = ::poll(watched, 2, static_cast<int>(slice.count()));
    if (options.stop != nullptr && options.stop->load()) {
      result.stopped = true;
      break;
    }
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
  while (!result.timed_out && !result.stopped) {
    if (options.stop != nullptr && options.stop->load()) {
      result.stopped = true;
      break;
    }
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
