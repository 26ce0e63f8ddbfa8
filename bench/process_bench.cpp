// Times whole processes: each kind of scoring run against the floor (a process that opens the
// same databases and commits one row), and a batch of consecutive runs. Prints a Markdown table
// of medians and their ratio to the floor.
//
// Usage: keyin-process-bench SCORER FLOOR PROGRAM_FOLDER [RUNS]
// The program folder must hold the databases, lib/P001.LIB and scores/CTEST-1 and CTEST-2.
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "processes.h"

using namespace std::string_literals;
using keyin::bench::Now;

namespace {

// Runs the program to its end and returns the wall time in milliseconds.
double TimeProcess(const std::vector<std::string>& command) {
  double start = Now();
  const pid_t pid = keyin::bench::Start(command);
  int status = 0;
  waitpid(pid, &status, 0);
  double elapsed = (Now() - start) * 1000;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error(command[0] + " " + (command.size() > 1 ? command[1] : "") +
                             " failed with status " + std::to_string(status));
  }
  return elapsed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double MedianOf(int runs, const std::vector<std::string>& command) {
  TimeProcess(command);  // warm the page cache
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) times.push_back(TimeProcess(command));
  return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: keyin-process-bench SCORER FLOOR PROGRAM_FOLDER [RUNS]\n");
    return 2;
  }
  const std::string scorer = argv[1], floor = argv[2], home = argv[3];
  const int runs = argc > 4 ? std::stoi(argv[4]) : 30;
  setenv("KEYIN_HOME", home.c_str(), 1);

  auto arguments = [&](const std::string& kind, const std::string& part) {
    return "A01,E01,P001,,"s + kind + ",S123456789,王小明,3,15," + part + ",600,300,0," + home +
           "/lib/," + home + "/scores/,甲班";
  };
  struct Kind {
    const char* name;
    std::string type, part;
    bool answers;
  };
  const std::vector<Kind> kinds = {
      {"practice (TempScore)", "1", "1", false},
      {"mock test part 1 (TestScore_Student)", "3", "1", false},
      {"mock test part 2 (TestScore_Student, CSCR)", "3", "2", false},
      {"offline exam part 2 (OfflineScore, CSCR)", "4", "2", false},
      {"exam part 2 (Keyin in ANS.mdb)", "5", "2", true},
  };

  try {
    double floor_keyin = MedianOf(runs, {floor});
    double floor_both = MedianOf(runs, {floor, "--answers"});
    std::printf("| run | median (ms) | floor (ms) | ratio |\n|---|---|---|---|\n");
    std::printf("| floor: open Vorkeyin.mdb, commit one row | %.1f | | |\n", floor_keyin);
    std::printf("| floor: open both databases, commit one row | %.1f | | |\n", floor_both);
    for (const Kind& kind : kinds) {
      double median = MedianOf(runs, {scorer, arguments(kind.type, kind.part)});
      double reference = kind.answers ? floor_both : floor_keyin;
      std::printf("| %s | %.1f | %.1f | %.2f |\n", kind.name, median, reference,
                  median / reference);
    }
    const int batch = 100;
    double start = Now();
    for (int i = 0; i < batch; ++i) TimeProcess({scorer, arguments("3", i % 2 == 0 ? "1" : "2")});
    double total = (Now() - start) * 1000;
    std::printf("| batch of %d consecutive mock-test runs, per run | %.1f | %.1f | %.2f |\n", batch,
                total / batch, floor_keyin, total / batch / floor_keyin);
    std::printf("\n%d timed runs per line after one warm-up; batch total %.0f ms.\n", runs, total);
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "keyin-process-bench: %s\n", failure.what());
    return 1;
  }
}
