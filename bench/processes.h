// Starting and timing whole processes, for the benchmarks that measure scoring runs as a front
// end starts them.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace keyin::bench {

// Seconds on the monotonic clock.
inline double Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Starts the command (its first word a path) with stdin and stdout on /dev/null, stderr kept.
inline pid_t Start(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("cannot start " + command[0]);
  return pid;
}

}  // namespace keyin::bench
