#include "maintenance/maintenance_form.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/database.h"
#include "startup/databases.h"

namespace keyin {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kLine[] = u"A01,E01,P001,,S1,王小明,3,15,1,600,300,0.5,lib/,scores/";

TEST(ActivateMaintenanceForm, KeepsFourteenFieldsAndFieldElevenAsANumber) {
  MaintenanceForm form = ActivateMaintenanceForm(std::u16string(kLine) + u",extra,pieces");
  EXPECT_EQ(form.fields[kFieldExamPlaceNo], u"A01");
  EXPECT_EQ(form.fields[kFieldUserID], u"S1");
  EXPECT_EQ(form.fields[kFieldSeatNo], u"15");
  EXPECT_EQ(form.fields[kFieldUseTime], u"300");
  EXPECT_EQ(form.fields[13], u"scores/");
  EXPECT_EQ(form.SubtractScore, 0.5);
}

TEST(ActivateMaintenanceForm, RefusesShortLinesAndAFieldElevenThatIsNoNumber) {
  for (const std::u16string line : {u"", u"A01,E01,P001,,S1,王小明,3,15,1,600,300,0.5,lib/",
                                    u"A01,E01,P001,,S1,王小明,3,15,1,600,300,,lib/,scores/",
                                    u"A01,E01,P001,,S1,王小明,3,15,1,600,300,half,lib/,scores/"}) {
    EXPECT_THROW(ActivateMaintenanceForm(line), MaintenanceCommandLineError);
  }
}

TEST(CommandButton3, SetsOnlyTheUseTimeField) {
  MaintenanceForm form = ActivateMaintenanceForm(kLine);
  MaintenanceForm before = form;
  CommandButton3_Click(form);
  EXPECT_EQ(form.fields[kFieldUseTime], u"54");
  form.fields[kFieldUseTime] = before.fields[kFieldUseTime];
  EXPECT_EQ(form.fields, before.fields);
}

// A program folder in the temporary directory holding an answer database built from the given
// table definition.
class AnswerDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The answer database must land inside the folder, never on a drive the environment names.
    ::unsetenv("KEYIN_DRIVE_C");
    folder_ = fs::temp_directory_path() /
              ("keyin-maintenance-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    run_ = std::make_unique<keyin::Run>(folder_.string(), messages_);
  }
  void TearDown() override {
    run_.reset();
    fs::remove_all(folder_);
  }
  std::unique_ptr<DbConnection> CreateAnswers(const std::string& table) {
    const std::string path = AnswerDatabasePath(*run_);
    fs::create_directories(fs::path(path).parent_path());
    return CreateDatabase(path, kAnswerDatabasePassword, {table});
  }

  fs::path folder_;
  RecordingMessageSink messages_;
  std::unique_ptr<keyin::Run> run_;
};

constexpr char kKeyinTable[] =
    "CREATE TABLE Keyin (ExamPlaceNo TEXT, ExamNo TEXT, UserID TEXT, ExamPaperNo TEXT, "
    "Score1 NUMERIC, Err1 NUMERIC, Score2 NUMERIC, Err2 NUMERIC, Score NUMERIC, Err NUMERIC, "
    "ExamDate TEXT";

TEST_F(AnswerDatabaseTest, FailedInsertKeepsTheRowsTheDeleteRemoved) {
  // A column the sample row does not fill makes the insert fail after the delete ran.
  CreateAnswers(std::string(kKeyinTable) + ", Room TEXT NOT NULL)")
      ->Execute(
          "INSERT INTO Keyin(ExamPlaceNo, ExamNo, UserID, Room) VALUES ('A01','E01','S1','R')");
  MaintenanceForm form = ActivateMaintenanceForm(kLine);
  EXPECT_THROW(CommandButton1_Click(form, *run_, DateTime{2024, 3, 5, 9, 7, 2}), DatabaseError);
  run_->AnsConn.reset();
  EXPECT_EQ(OpenDatabase(AnswerDatabasePath(*run_), kAnswerDatabasePassword)
                ->Query("SELECT * FROM Keyin WHERE UserID = 'S1'")
                .Count(),
            1u);
}

}  // namespace
}  // namespace keyin
