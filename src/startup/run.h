// The state of one run: the run parameters, the custom text, the database connections and the
// result values, owned by main and passed by reference to every phase.
#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/database.h"
#include "platform/message_box.h"
#include "platform/paths.h"

namespace keyin {

// The 16 run parameters, in the order of the argument string, stored as given (no trimming).
struct RunParams {
  std::u16string ExamPlaceNo;
  std::u16string ExamNo;
  std::u16string ExamPaperNo;
  std::u16string Field3;
  std::u16string TestType;
  std::u16string UserID;
  std::u16string StuName;
  std::u16string SessionNo;
  std::u16string SeatNo;
  std::u16string TestPart;
  std::u16string TotTime;
  std::u16string UseTime;
  double SubtractScore = 0;
  std::u16string LibPath;
  std::u16string ScrPath;
  std::u16string ClassName;
};

inline constexpr int kRunParamCount = 16;

// Splits the argument text at every ","; empty pieces count, nothing is trimmed, and the empty
// text has no pieces at all.
std::vector<std::u16string> SplitArguments(std::u16string_view argument_text);

// Builds the run parameters from exactly 16 pieces. Throws RunFailure when field 12 is not a
// number.
RunParams MakeRunParams(const std::vector<std::u16string>& pieces);

// TestType read as a number (strict); throws RunFailure when it is not one.
double TestTypeNumber(const RunParams& params);
// TestType read as a number, or nothing when it is not one.
std::optional<double> TestTypeNumberIfAny(const RunParams& params);

// The six result values of the storage phase.
struct ResultValues {
  double Test1Score = 0;
  double Test1Err = 0;
  double Test2Score = 0;
  double Test2Err = 0;
  double ReviewScore = 0;
  double ReviewErr = 0;
};

struct Run {
  Run(std::string program_folder_path, MessageSink& message_sink)
      : program_folder(std::move(program_folder_path)),
        translate(program_folder),
        messages(message_sink) {}

  std::string program_folder;  // POSIX path, no trailing "/"
  PathTranslator translate;
  MessageSink& messages;
  RunParams params;
  std::u16string CustomText;
  std::unique_ptr<DbConnection> KeyinConn;
  std::unique_ptr<DbConnection> AnsConn;
  ResultValues results;
  std::u16string ErrorWords1;  // wrong words of a mock test's first part
  std::u16string ErrorWords2;  // wrong words of a mock test's second part
};

// A failure that ends the run: the message (if any) has been shown; main exits with the status.
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

// Exit statuses of the scorer.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitWrongArguments = 2;
inline constexpr int kExitDatabaseMissing = 3;

// A failure that the run reports with one stderr line and exit status 1.
class RunFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace keyin
