// keyin-tool report as a teacher and the exam room use it: the report of a scored part from the
// scorer's own argument string, with the scorer's numbers, writing nothing else.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "harness.h"
#include "run_log_helpers.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

// Every file below the folder with its size and time of last change.
std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> Snapshot(
    const fs::path& root) {
  std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) {
      files[entry.path().string()] = {entry.file_size(), entry.last_write_time()};
    }
  }
  return files;
}

// The numbers of the first .TOT line: "CTEST-1 S=36 E=3/181=1%".
std::vector<int> TotNumbers(const std::string& tot) {
  int speed = 0, errors = 0, total = 0, rate = 0;
  EXPECT_EQ(std::sscanf(tot.c_str(), "CTEST-%*d S=%d E=%d/%d=%d%%", &speed, &errors, &total, &rate),
            4)
      << tot;
  return {speed, errors, total, rate};
}

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.InstallSamplePaper();
    WriteTypedAnswer(folder_.Scores() / "CTEST-1", Sample("typed-test1.txt"));
    WriteTypedAnswer(folder_.Scores() / "CTEST-2", Sample("typed-test2.txt"));
    fs::create_directories(out_);
  }

  ProgramFolder folder_{false};  // no databases: the report opens none
  RunArgs args_ = DefaultArgs(folder_);
  fs::path out_ = folder_.Root() / "out";
};

// The scorer needs its databases, the report none, not even a database server it cannot reach;
// nothing but the page is written. (Its numbers are the scorer's: the test after the next.)
TEST_F(ReportTest, NeedsNoDatabaseAndWritesNothingElse) {
  for (const char* part : {"1", "2"}) {
    args_.TestPart = part;
    const auto before = Snapshot(folder_.Root());
    const fs::path page = out_ / (std::string("CTEST-") + part + ".html");
    const ProcessResult html = folder_.Tool({"report", "--output", page.string(), args_.Join()},
                                            {{"KEYIN_DATABASE_URL", "postgresql://127.0.0.1:1/x"}});
    ASSERT_EQ(html.exit_status, 0) << html.err;
    auto after = Snapshot(folder_.Root());
    after.erase(page.string());
    EXPECT_EQ(after, before) << "only the page is written";
  }
}

// Each bad input ends the report as it ends the scoring run: the same exit status and the same
// messages (the scorer's "keyin-scorer:" line is "keyin-tool: report:" here); the output file
// keeps what it held and nothing else is written.
TEST_F(ReportTest, FailsAsTheScorerFailsAndWritesNothing) {
  ProgramFolder scored;
  scored.InstallSamplePaper();
  struct Case {
    const char* behaviour;
    void (*change)(RunArgs&);
  };
  const Case cases[] = {
      {"one run parameter too many", [](RunArgs& a) { a.ClassName += ",x"; }},
      {"a deduction standard that is no number", [](RunArgs& a) { a.SubtractScore = "half"; }},
      {"a kind of run that is no number (Cmd_Scr's message box)",
       [](RunArgs& a) { a.TestType = "x"; }},
      {"a paper that is missing (Cmd_Scr's message box)",
       [](RunArgs& a) { a.ExamPaperNo = "P404"; }},
      {"a custom text that is missing", [](RunArgs& a) { a.TestType = "0"; }},
      {"a typed answer that is missing", [](RunArgs& a) { a.ScrPath += "none/"; }},
      {"a time used that is no number", [](RunArgs& a) { a.UseTime = "abc"; }},
      {"a time used of zero", [](RunArgs& a) { a.UseTime = "0"; }},
      {"a test part other than 1 or 2", [](RunArgs& a) { a.TestPart = "3"; }},
  };
  const fs::path page = out_ / "page.html";
  WriteBytes(page, "old");
  for (const Case& c : cases) {
    RunArgs args = args_, scorer_args = DefaultArgs(scored);
    c.change(args);
    c.change(scorer_args);
    const auto before = Snapshot(folder_.Root());
    const ProcessResult report = folder_.Tool({"report", "--output", page.string(), args.Join()});
    EXPECT_EQ(Snapshot(folder_.Root()), before) << c.behaviour;
    EXPECT_EQ(report.out, "") << c.behaviour;

    WriteTypedAnswer(scored.Scores() / "CTEST-1", Sample("typed-test1.txt"));
    const ProcessResult run = scored.Scorer(scorer_args.Join());
    EXPECT_NE(run.exit_status, 0) << c.behaviour;
    EXPECT_EQ(report.exit_status, run.exit_status) << c.behaviour << ": " << report.err;
    std::string expected = run.err;
    for (std::size_t at; (at = expected.find("keyin-scorer: ")) != std::string::npos;) {
      expected.replace(at, 14, "keyin-tool: report: ");
    }
    // The paths differ only by the program folder.
    for (std::size_t at; (at = expected.find(scored.Root().string())) != std::string::npos;) {
      expected.replace(at, scored.Root().string().size(), folder_.Root().string());
    }
    EXPECT_EQ(report.err, expected) << c.behaviour;
  }
  EXPECT_EQ(ReadBytes(page), "old");
}

// Asked for it, the scorer writes the score report of the part it has just scored beside its
// reports, and it is byte for byte what keyin-tool report makes of the same argument string, for
// a library paper and a custom text alike; the log line lists it with the reports. Not asked, it
// writes none, and removes one an earlier run left there.
TEST_F(ReportTest, TheScorerWritesTheToolsReportOfThePartItScoredWhenAsked) {
  ProgramFolder scored;
  scored.InstallSamplePaper();
  ASSERT_EQ(scored
                .Tool({"make-cus", std::string(KEYIN_SAMPLES) + "/paper-test1.txt",
                       (scored.Lib() / "P001.cus").string()})
                .exit_status,
            0);
  RunArgs args = DefaultArgs(scored);
  const struct {
    const char *TestType, *part, *answer;
  } runs[] = {
      {"3", "1", "typed-test1.txt"}, {"5", "2", "typed-test2.txt"}, {"0", "1", "typed-test1.txt"}};
  for (const auto& run : runs) {
    SCOPED_TRACE(std::string(run.TestType) + "/" + run.part);
    args.TestType = run.TestType;
    args.TestPart = run.part;
    const fs::path base = scored.Scores() / (std::string("CTEST-") + run.part);
    WriteTypedAnswer(fs::path(base.string()), Sample(run.answer));
    const ProcessResult scorer =
        scored.Scorer(args.Join(), std::nullopt, {{"KEYIN_VISUAL_REPORT", "1"}});
    ASSERT_EQ(scorer.exit_status, 0) << scorer.err;
    const ProcessResult html = scored.Tool({"report", "--format", "html", args.Join()});
    const ProcessResult json = scored.Tool({"report", "--format", "json", args.Join()});
    ASSERT_EQ(html.exit_status + json.exit_status, 0) << html.err << json.err;
    EXPECT_EQ(ReadBytes(base.string() + ".html"), html.out);
    EXPECT_EQ(ReadBytes(base.string() + ".json"), json.out);
    // Both give the numbers of the scorer's .TOT.
    const std::vector<int> tot = TotNumbers(ReadReport(base.string() + ".TOT"));
    const nlohmann::json report = nlohmann::json::parse(json.out);
    EXPECT_EQ((std::vector<int>{report["speed"], report["errors"], report["total_chars"],
                                report["error_rate"]}),
              tot);
    const char* fields[] = {"speed", "errors", "typed-chars", "error-rate"};
    for (std::size_t i = 0; i < tot.size(); ++i) {
      const std::string field =
          "data-field=\"" + std::string(fields[i]) + "\">" + std::to_string(tot[i]) + "<";
      EXPECT_TRUE(Contains(html.out, field)) << field;
    }
    const nlohmann::json line = LogLines(DefaultRunLog(scored)).back();
    EXPECT_EQ(line["reports"].size(), 5u) << line.dump();
    EXPECT_EQ(line["reports"].back(), base.string() + ".json");
  }
  ASSERT_EQ(scored.Scorer(args.Join()).exit_status, 0);
  EXPECT_FALSE(fs::exists(scored.Scores() / "CTEST-1.html"));
  EXPECT_FALSE(fs::exists(scored.Scores() / "CTEST-1.json"));
}

// A run that fails once it has read the typed answer leaves the three reports empty and no
// visual report beside them, so that the page of an earlier run never passes for this one's. A
// request that is neither 1 nor 0 is refused before anything is stored.
TEST_F(ReportTest, AFailedRunLeavesNoVisualReportOfAnEarlierRun) {
  ProgramFolder scored;
  scored.InstallSamplePaper();
  RunArgs args = DefaultArgs(scored);
  WriteTypedAnswer(scored.Scores() / "CTEST-1", Sample("typed-test1.txt"));
  const std::map<std::string, std::optional<std::string>> asked = {{"KEYIN_VISUAL_REPORT", "1"}};
  ASSERT_EQ(scored.Scorer(args.Join(), std::nullopt, asked).exit_status, 0);
  ASSERT_TRUE(fs::exists(scored.Scores() / "CTEST-1.html"));
  args.UseTime = "abc";
  EXPECT_EQ(scored.Scorer(args.Join(), std::nullopt, asked).exit_status, 1);
  for (const char* report : {"CTEST-1.SCR", "CTEST-1.TOT", "CTEST-1.CHK"}) {
    EXPECT_EQ(ReadBytes(scored.Scores() / report), "\xFF\xFE") << report;
  }
  EXPECT_FALSE(fs::exists(scored.Scores() / "CTEST-1.html"));
  EXPECT_FALSE(fs::exists(scored.Scores() / "CTEST-1.json"));

  args.UseTime = "300";
  const ProcessResult refused =
      scored.Scorer(args.Join(), std::nullopt, {{"KEYIN_VISUAL_REPORT", "yes"}});
  EXPECT_EQ(refused.exit_status, 1);
  EXPECT_EQ(refused.err,
            "keyin-scorer: KEYIN_VISUAL_REPORT must be 1 (write the visual report) or 0; nothing "
            "was stored\n");
  EXPECT_EQ(ReadBytes(scored.Scores() / "CTEST-1.TOT"), "\xFF\xFE") << "it did not even score";
}

// A learner reads how to type what was missed or typed wrong in their method; a method without
// an open table, or a table not installed, is said in the report, which is written all the same.
TEST_F(ReportTest, MissedAndWrongCharactersCarryTheirCodeInTheMethod) {
  const ProcessResult json =
      folder_.Tool({"report", "--format", "json", "--method", "倉頡", args_.Join()});
  ASSERT_EQ(json.exit_status, 0) << json.err;
  const nlohmann::json report = nlohmann::json::parse(json.out);
  std::size_t coded = 0;
  for (const auto& line : report["lines"]) {
    for (const auto& mark : line["marks"]) {
      if (mark["kind"] == "extra") continue;
      if (!mark.contains("code")) continue;  // a mark the table lacks, as punctuation may be
      EXPECT_EQ(mark["code"]["method"], "倉頡");
      EXPECT_FALSE(mark["code"]["keys"].get<std::string>().empty());
      ++coded;
    }
  }
  if (report["codes"]["missing"] != "") GTEST_SKIP() << report["codes"]["missing"];
  EXPECT_GT(coded, 0u) << "the sample answer misses and mistypes characters";
  const double keys = report["codes"]["keys_per_character"];
  EXPECT_GT(keys, 2.0);
  EXPECT_LT(keys, 5.0);
  EXPECT_NEAR(report["codes"]["keys_per_minute"].get<double>(),
              report["speed"].get<double>() * keys, report["speed"].get<double>() * 0.05 + 1);
  const ProcessResult html = folder_.Tool({"report", "--method", "倉頡", args_.Join()});
  EXPECT_TRUE(Contains(html.out, " data-code=\"")) << "on the marks";
  EXPECT_TRUE(Contains(html.out, "倉頡字碼")) << "in the tables of mistakes";

  for (const auto& [method, tables, said] :
       {std::tuple{"嘸蝦米", "", "嘸蝦米沒有公開的字碼表"},
        std::tuple{"倉頡", "/nonexistent", "ibus-table-cangjie3"}}) {
    const ProcessResult page =
        folder_.Tool({"report", "--method", method, args_.Join()}, {{"KEYIN_IBUS_TABLES", tables}});
    EXPECT_EQ(page.exit_status, 0) << method;
    EXPECT_TRUE(Contains(page.out, said)) << method;
    EXPECT_FALSE(Contains(page.out, " data-code=\"")) << method;
  }
}

}  // namespace
}  // namespace keyin::e2e
