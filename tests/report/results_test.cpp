// The formats of stored results: exports that keep every stored value, and the class report.
#include <gtest/gtest.h>

#include "occurrences.h"

#include "platform/text_width.h"
#include "report/class_report.h"
#include "report/results_export.h"

namespace keyin::report {
namespace {

using Values = std::vector<StoredValue>;

StoredResult Exam(std::u16string user, StoredValue score, StoredValue err,
                  std::u16string date = u"2024/03/05 09:00:00") {
  return {ResultKind::kExam,
          Values{u"A01", u"E01", user, u"P001", 40.0, 2.0, {}, {}, score, err, date}};
}

StoredResult Offline(std::u16string seat, StoredValue score, StoredValue err) {
  return {ResultKind::kOffline, Values{seat, u"P001", 40.0, 2.0, 50.0, 1.0, score, err}};
}

StoredResult Practice(std::u16string user, std::u16string name, double speed, double err,
                      std::u16string date, std::u16string wrong = u"") {
  return {ResultKind::kPractice,
          Values{user, name, u"甲班", u"15", u"文章練習（單）", u"1分0秒", u"10分00秒", 0.0,
                 u"P001-1", u"CHN", 100.0, 96.0, 4.0, err, speed, date, wrong, u""}};
}

TEST(ExportColumns, AreKindThenEachTablesColumnsOnceInAnyCase) {
  std::vector<std::string_view> offline = {"kind",   "SessionSeatNo", "Tno",    "Score1", "Err1",
                                           "Score2", "Err2",          "Score3", "Err3"};
  EXPECT_EQ(ExportColumns({ResultKind::kOffline}), offline);
  const std::vector<std::string_view> both =
      ExportColumns({ResultKind::kPractice, ResultKind::kMock});
  EXPECT_EQ(both.size(), 1 + StoredColumns(ResultKind::kMock).size() + 12)
      << "practice adds all but id, StuName, SubtractScore, tno, Keyin and LocalHostName";
  EXPECT_EQ(both[1], "Id") << "mock's columns come first, in their spelling";
}

TEST(ResultsCsv, WritesEveryStoredValueUnderItsColumn) {
  const std::vector<StoredResult> results = {
      Exam(u"王, \"小\"\n明", 12.5, u"9x"),
      Offline(u"", 1e20, 1.0 / 3),
  };
  EXPECT_EQ(ResultsCsv({ResultKind::kExam, ResultKind::kOffline}, results, true),
            u"\uFEFFkind,ExamPlaceNo,ExamNo,UserID,ExamPaperNo,Score1,Err1,Score2,Err2,Score,Err,"
            u"ExamDate,SessionSeatNo,Tno,Score3,Err3\r\n"
            u"exam,A01,E01,\"王, \"\"小\"\"\n明\",P001,40,2,,,12.5,9x,2024/03/05 09:00:00,,,,\r\n"
            u"offline,,,,,40,2,50,1,,,,\"\",P001,1E+20,0.333333333333333\r\n");
}

TEST(ResultsJson, WritesNumbersAsTheReportFilesDoAndEmptyValuesAsNull) {
  const std::string json = ResultsJson({Offline(u"3\"15\U0001F600", 0.1 + 0.2, {})});
  EXPECT_EQ(
      json,
      "[\n{\"kind\":\"offline\",\"SessionSeatNo\":\"3\\\"15\xF0\x9F\x98\x80\",\"Tno\":\"P001\","
      "\"Score1\":40,\"Err1\":2,\"Score2\":50,\"Err2\":1,\"Score3\":0.3,\"Err3\":null}\n]\n");
  EXPECT_EQ(ResultsJson({}), "[]\n");
}

TEST(ResultsTable, ShowsTheKindOnlyForMixedRowsAndSaysWhenThereAreNone) {
  const std::u16string mixed =
      ResultsTable({Exam(u"S1", 50.0, 1.0), Offline(u"315", 45.0, 2.0)}, DisplayWidth);
  EXPECT_TRUE(mixed.starts_with(u"類別      帳號  座號  試卷  日期"));
  EXPECT_NE(mixed.find(u"\n離線考試        315   P001"), std::u16string::npos);
  const std::u16string single = ResultsTable({Exam(u"S1", 50.0, 1.0)}, DisplayWidth);
  EXPECT_TRUE(single.starts_with(u"帳號  試卷  日期")) << "no kind, no empty columns";
  EXPECT_EQ(ResultsTable({}, DisplayWidth), u"沒有符合條件的成績。\n");
}

TEST(StatisticsOf, GivesMeansAndMediansOfOddAndEvenCounts) {
  const Statistics odd = StatisticsOf({{40, 3}, {50, 1}, {45, 20}});
  EXPECT_EQ(odd.count, 3u);
  EXPECT_DOUBLE_EQ(odd.mean_speed, 45);
  EXPECT_DOUBLE_EQ(odd.median_speed, 45);
  EXPECT_DOUBLE_EQ(odd.mean_error_rate, 8);
  EXPECT_DOUBLE_EQ(odd.median_error_rate, 3);
  const Statistics even = StatisticsOf({{40, 3}, {51, 1}});
  EXPECT_DOUBLE_EQ(even.median_speed, 45.5);
  EXPECT_EQ(StatisticsOf({}).count, 0u);
}

TEST(SpeedHistogram, UsesAtMostTwelveBinsOfARoundWidth) {
  struct Case {
    const char* behaviour;
    std::vector<double> speeds;
    double width;
    std::vector<std::size_t> counts;
  };
  const Case cases[] = {
      {"close speeds get bins of one", {40, 41, 41, 43}, 1, {1, 2, 0, 1}},
      {"a wide range gets bins of twenty", {5, 38, 40, 120}, 20, {1, 1, 1, 0, 0, 0, 1}},
      {"one speed is one bin", {42}, 1, {1}},
      {"the highest speed falls in the last bin", {0, 24}, 5, {1, 0, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    const std::vector<SpeedBin> bins = SpeedHistogram(c.speeds);
    std::vector<std::size_t> counts;
    for (const SpeedBin& bin : bins) counts.push_back(bin.count);
    ASSERT_FALSE(bins.empty()) << c.behaviour;
    EXPECT_EQ(bins[0].high - bins[0].low, c.width) << c.behaviour;
    EXPECT_EQ(counts, c.counts) << c.behaviour;
  }
  EXPECT_TRUE(SpeedHistogram({}).empty());
}

TEST(MostWrongCharacters, CountsCharactersOfStoredWrongWordsOnly) {
  std::vector<StoredResult> results = {
      Practice(u"S1", u"甲", 40, 2, u"2024/03/05", u"天地 天\r\n\U00020000　玄"),
      Practice(u"S2", u"乙", 40, 2, u"2024/03/05", u"地天"),
      Exam(u"S3", 40.0, 2.0),
  };
  const std::vector<CharacterCount> counts = MostWrongCharacters(results, 3);
  ASSERT_EQ(counts.size(), 3u);
  EXPECT_EQ(counts[0].character, u"天");
  EXPECT_EQ(counts[0].count, 3u);
  EXPECT_EQ(counts[1].character, u"地");
  EXPECT_EQ(counts[2].character, u"玄") << "ties in order of code point, blanks skipped";
  EXPECT_EQ(MostWrongCharacters(results, 10).size(), 4u) << "a supplementary character is one";
}

TEST(DayNumber, ReadsStoredDateTimes) {
  EXPECT_EQ(DayNumber(u"1970/01/02"), 1.0);
  EXPECT_EQ(DayNumber(u"1970/01/01 12:00:00"), 0.5);
  EXPECT_EQ(DayNumber(u"2024/3/5 9:7:2"), DayNumber(u"2024/03/05 09:07:02"));
  for (const char16_t* text : {u"2023/02/29", u"2024/03/05 24:00:00", u"2024-03-05", u"", u"x"}) {
    EXPECT_FALSE(DayNumber(text).has_value());
  }
}

TEST(MarkOf, NeedsTheReviewedScoreAndErrorRateAsNumbers) {
  EXPECT_TRUE(MarkOf(Exam(u"S1", 50.0, 1.0)).has_value());
  EXPECT_FALSE(MarkOf(Exam(u"S1", {}, {})).has_value()) << "only part 1 taken";
  EXPECT_FALSE(MarkOf(Exam(u"S1", u"50x", 1.0)).has_value()) << "a text is no number";
}

// The class's hardest characters with their codes in the method asked for, where it has one.
TEST(ClassReport, TheHardestCharactersShowTheirCodes) {
  const CodeTable table =
      MakeCodeTable("倉頡", {{"mj", "天"}}, ParseKeyNames("{'m': '一', 'j': '十'}"));
  ClassReportInput input;
  input.results = {Practice(u"S1", u"甲", 40, 2, u"2024/03/05", u"天地")};
  input.codes = &table;
  const std::u16string page = ClassReport(input);
  EXPECT_NE(page.find(u"data-code=\"mj\">mj<br>一十</span>"), std::u16string::npos);
  const std::size_t earth = page.find(u"<span class=\"character\">地");
  ASSERT_NE(earth, std::u16string::npos);
  EXPECT_EQ(page.substr(earth, page.find(u"</li>", earth) - earth).find(u"data-code"),
            std::u16string::npos)
      << "地 has none";
  input.codes = nullptr;
  input.codes_missing = "嘸蝦米沒有公開的字碼表，無法列出字碼";
  EXPECT_NE(ClassReport(input).find(u"嘸蝦米沒有公開的字碼表"), std::u16string::npos);
}

TEST(ClassReport, AnEmptySelectionIsAPageThatSaysSo) {
  const std::u16string page = ClassReport({{}, {{u"班級", u"丙班"}}, u"2024/03/05 09:00:00"});
  EXPECT_NE(page.find(u"沒有符合條件的成績。"), std::u16string::npos);
  EXPECT_NE(page.find(u"選取：班級 丙班"), std::u16string::npos);
  EXPECT_EQ(page.find(u"<svg"), std::u16string::npos);
}

TEST(ClassReport, ResultsWithoutAMarkAreListedButNotCounted) {
  ClassReportInput input;
  input.results = {Exam(u"S1", {}, {}), Exam(u"S2", u"x", 1.0)};
  const std::u16string page = ClassReport(input);
  EXPECT_NE(page.find(u"<td>全部<td class=\"n\">0<td class=\"n\">—"), std::u16string::npos);
  EXPECT_NE(page.find(u"另有 2 筆尚無成績"), std::u16string::npos);
  EXPECT_EQ(Occurrences(page, u"data-user="), 0u);
  EXPECT_NE(page.find(u"<td>S2<td>P001"), std::u16string::npos);
}

TEST(ClassReport, MarksOnePointPerMarkedResultAndRanksByReviewedScore) {
  ClassReportInput input;
  input.results = {
      Exam(u"S1", 40.0, 2.0),
      Exam(u"S2", 55.0, 1.0),
      Exam(u"S3", 40.0, 2.0),
      Exam(u"S4", {}, {}),
      Offline(u"315", 48.0, 0.0),
      Practice(u"S5", u"王<小明>", 30, 4, u"2024/03/01 09:00:00"),
      Practice(u"S5", u"王<小明>", 36, 3, u"2024/03/08 09:00:00", u"天"),
  };
  const std::u16string page = ClassReport(input);
  EXPECT_EQ(Occurrences(page, u"data-user="), 6u);
  EXPECT_NE(page.find(u"data-user=\"315\""), std::u16string::npos) << "offline rows by seat";
  EXPECT_NE(page.find(u"另有 1 筆尚無成績"), std::u16string::npos);
  // Ranks: 55, 48, 40 and 40 sharing the third place, 36, 30, then the unmarked row.
  const std::u16string ranking = page.substr(page.find(u"<h2>成績一覽</h2>"));
  std::vector<std::size_t> order;
  for (const char16_t* user : {u">S2<", u">315<", u">S1<", u">S3<", u">S4<"}) {
    order.push_back(ranking.find(user));
  }
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
  EXPECT_NE(ranking.find(u"<td class=\"n\">3<td>考試<td>S3<td>"), std::u16string::npos);
  EXPECT_NE(page.find(u"<h2>練習歷程</h2>"), std::u16string::npos);
  EXPECT_NE(page.find(u"王&lt;小明&gt;（S5）：2 次，最近 36 字/分"), std::u16string::npos);
  EXPECT_NE(page.find(u"<span class=\"character\">天</span>"), std::u16string::npos);
  EXPECT_EQ(page.find(u"<小明>"), std::u16string::npos) << "names are escaped";
}

// Teachers read every column of every table in Chinese, never a database name.
TEST(ColumnLabel, EveryStoredColumnHasAChineseHead) {
  for (const ResultKind kind : kAllKinds) {
    for (const std::string_view column : StoredColumns(kind)) {
      const std::string_view label = ColumnLabel(column);
      EXPECT_TRUE(std::none_of(label.begin(), label.end(),
                               [](char c) { return std::isalpha(static_cast<unsigned char>(c)); }))
          << column << " -> " << label;
    }
  }
  EXPECT_EQ(ColumnLabel("監考紀錄"), "監考紀錄") << "a head of its own stays";
}

}  // namespace
}  // namespace keyin::report
