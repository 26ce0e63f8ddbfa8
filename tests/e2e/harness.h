// Runs the real executables in temporary program folders, as a front end would.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace keyin::e2e {

struct ProcessResult {
  int exit_status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Starts the program without waiting for it: stdin is /dev/null, stdout and stderr go to the
// files. Environment variables as for RunProgram.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::map<std::string, std::optional<std::string>>& set,
                   const std::filesystem::path& out, const std::filesystem::path& err);
// Waits for a started program; its exit status, or 128 + the signal that ended it.
int WaitForProgram(pid_t pid);

// Runs the program with the arguments; stdin is /dev/null. Environment variables in `set` are
// set (an empty optional unsets one) on top of the test's own environment.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::optional<std::string>>& set = {});

// A fresh program folder with the databases installed, removed at the end of the test.
class ProgramFolder {
 public:
  explicit ProgramFolder(bool install_databases = true);
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path Lib() const { return root_ / "lib"; }
  std::filesystem::path Scores() const { return root_ / "scores"; }
  std::filesystem::path AnswerDatabase() const { return root_ / "drive_c/ANS.VOR/ANS.mdb"; }
  std::filesystem::path KeyinDatabase() const { return root_ / "Vorkeyin.mdb"; }

  // Environment that points KEYIN_HOME here and leaves drive letters to the program folder.
  std::map<std::string, std::optional<std::string>> Environment() const;

  ProcessResult Tool(const std::vector<std::string>& arguments) const;
  // Runs keyin-scorer with the argument string as one argument; `time` (e.g. "2024-03-05
  // 09:07:02") runs it under faketime.
  ProcessResult Scorer(const std::string& argument_string,
                       const std::optional<std::string>& time = std::nullopt,
                       const std::map<std::string, std::optional<std::string>>& extra = {}) const;

  // Writes the sample paper (samples/paper-test1.txt and paper-test2.txt) as lib/<paper>.LIB.
  void InstallSamplePaper(const std::string& paper = "P001") const;
  void InstallPaper(const std::string& paper, const std::vector<std::string>& part1,
                    const std::vector<std::string>& part2) const;

 private:
  std::filesystem::path root_;
};

// The sixteen run parameters with sensible defaults; tests change what they need.
struct RunArgs {
  std::string ExamPlaceNo = "A01", ExamNo = "E01", ExamPaperNo = "P001", Field3 = "",
              TestType = "3", UserID = "S123456789", StuName = "王小明", SessionNo = "3",
              SeatNo = "15", TestPart = "1", TotTime = "600", UseTime = "300", SubtractScore = "0",
              LibPath, ScrPath, ClassName = "甲班";
  std::string Join() const;
};
RunArgs DefaultArgs(const ProgramFolder& folder);

// UTF-8 lines -> UTF-16LE bytes with BOM and CR LF after every line.
std::string TypedAnswerBytes(const std::vector<std::string>& lines);
void WriteTypedAnswer(const std::filesystem::path& path, const std::vector<std::string>& lines);
// True when `part` stands somewhere in `text`.
inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
// UTF-8 lines of a file of samples/, without line ends.
std::vector<std::string> Sample(const char* name);
// UTF-8 lines of a file, without line ends.
std::vector<std::string> ReadUtf8Lines(const std::filesystem::path& path);
std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
// A UTF-16LE report file as UTF-8 (BOM dropped, CR LF kept).
std::string ReadReport(const std::filesystem::path& path);

}  // namespace keyin::e2e
