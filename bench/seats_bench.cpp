// Times whole scoring runs of many seats at once: SEATS processes start at the same moment, each
// scoring and storing its own part (mock tests, offline exams and exams in turn), first all first
// parts, then all second parts (which read the first and write beside it). Each process is timed
// from its start to its exit; prints p50, p99 and the slowest over all rounds, and how many runs
// failed (then the exit status is 1).
//
// Usage: keyin-seats-bench SCORER PROGRAM_FOLDER SEATS ROUNDS [KINDS [PARTS]]
// KINDS are the TestTypes the seats take in turn (default "345"), PARTS the parts of each round
// (default "12"): "3" "2" times mock-test second parts alone.
// The program folder holds lib/P001.LIB and, for each seat i, scores-<i>/CTEST-1 and CTEST-2.
// The store is what the environment selects (KEYIN_DATABASE_URL set or not).
#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "processes.h"

using keyin::bench::Now;
using keyin::bench::Start;

namespace {

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const std::size_t rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size()));
  return values[std::min(rank, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr,
                 "usage: keyin-seats-bench SCORER PROGRAM_FOLDER SEATS ROUNDS [KINDS [PARTS]]\n");
    return 2;
  }
  const std::string scorer = argv[1], home = argv[2];
  const int seats = std::stoi(argv[3]), rounds = std::stoi(argv[4]);
  const std::string kinds = argc > 5 ? argv[5] : "345", parts = argc > 6 ? argv[6] : "12";
  setenv("KEYIN_HOME", home.c_str(), 1);

  std::vector<double> times;
  int failed = 0;
  for (int round = 0; round < rounds; ++round) {
    for (const char part : parts) {
      std::map<pid_t, double> started;
      for (int seat = 0; seat < seats; ++seat) {
        const std::string name = std::to_string(seat);
        const std::string arguments = std::string("A01,E01,P001,,") +
                                      kinds[static_cast<std::size_t>(seat) % kinds.size()] + ",S" +
                                      name + ",王小明,3," + name + "," + part + ",600,300,0," +
                                      home + "/lib/," + home + "/scores-" + name + "/,甲班";
        const double start = Now();
        started[Start({scorer, arguments})] = start;
      }
      for (std::size_t done = 0; done < started.size(); ++done) {
        int status = 0;
        const pid_t pid = waitpid(-1, &status, 0);
        const double end = Now();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
        times.push_back((end - started.at(pid)) * 1000);
      }
    }
  }
  std::printf("%zu runs, %d at once: p50 %.0f ms, p99 %.0f ms, slowest %.0f ms, %d failed\n",
              times.size(), seats, Percentile(times, 0.5), Percentile(times, 0.99),
              *std::max_element(times.begin(), times.end()), failed);
  return failed == 0 ? 0 : 1;
}
