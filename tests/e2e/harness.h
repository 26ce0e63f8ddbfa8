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

// The connection URI of the test server's administrator when the tests run against a server
// (KEYIN_TEST_SERVER names the folder where scripts/test-server.sh wrote it), else nothing.
std::optional<std::string> TestServerUrl();

// A fresh program folder with the databases installed, removed at the end of the test. Against
// a test server the databases are a fresh server database of the folder's own (dropped at the
// end), and every program started here gets KEYIN_DATABASE_URL; otherwise the files, and the
// variable is unset.
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

  // The folder's server database, or nothing when the files are the store.
  const std::optional<std::string>& DatabaseUrl() const { return database_url_; }
  bool OnServer() const { return database_url_.has_value(); }

  // Environment that points KEYIN_HOME here, leaves drive letters to the program folder and
  // selects the folder's store.
  std::map<std::string, std::optional<std::string>> Environment() const;

  ProcessResult Tool(const std::vector<std::string>& arguments,
                     const std::map<std::string, std::optional<std::string>>& extra = {}) const;
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
  std::optional<std::string> database_url_;
  std::string database_name_;  // created on the server, dropped at the end
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
