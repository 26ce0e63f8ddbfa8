// The visual report of a scored part: marks read off the engine's marked copies agree with the
// engine's counts, and the page and the JSON show the engine's numbers, escaped.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>

#include "occurrences.h"

#include "platform/code_page.h"
#include "platform/utf8.h"
#include "practice/input_codes.h"
#include "report/score_report.h"
#include "scoring/inputs.h"
#include "scoring/reports.h"
#include "support/number_text.h"

namespace keyin::report {
namespace {

using Json = nlohmann::json;

std::vector<std::u16string> Table(std::vector<std::u16string> lines) {
  lines.insert(lines.begin(), u"");
  return lines;
}

// "wrong 5 E>X", "missing 3 C", "extra 3 X", "extra 3 Q free" (shown, not charged); " x2" after
// a mark that counts two units.
std::u16string Describe(const LineMarks& marks) {
  std::u16string text;
  for (const CharacterMark& mark : marks.marks) {
    if (!text.empty()) text += u", ";
    const std::u16string position = Utf8ToUtf16(std::to_string(mark.position));
    const std::u16string expected = Utf16Of(mark.expected), typed = Utf16Of(mark.typed);
    switch (mark.kind) {
      case MarkKind::kMissing:
        text += u"missing " + position + u" " + expected;
        break;
      case MarkKind::kWrong:
        text += u"wrong " + position + u" " + expected + u">" + typed;
        break;
      case MarkKind::kExtra:
        text += u"extra " + position + u" " + typed + (mark.charged ? u"" : u" free");
        break;
    }
    if (mark.units != 1) text += u" x" + Utf8ToUtf16(std::to_string(mark.units));
  }
  return text;
}

int ChargedExtras(const LineMarks& marks) {
  int units = 0;
  for (const CharacterMark& mark : marks.marks) {
    if (mark.kind == MarkKind::kExtra && mark.charged) units += mark.units;
  }
  return units;
}

// What must hold for every line: the units of the missing and wrong marks are LineMissing, the
// extra count is LineExtra, and no more extra units are charged than that.
void ExpectAgreesWithTheEngine(const LineMarks& marks, const ScoredLine& line) {
  int units = 0;
  for (const CharacterMark& mark : marks.marks)
    units += mark.kind != MarkKind::kExtra ? mark.units : 0;
  EXPECT_EQ(units, line.missing);
  EXPECT_EQ(marks.missing + marks.wrong, line.missing);
  EXPECT_EQ(marks.extra, line.extra);
  EXPECT_LE(ChargedExtras(marks), line.extra);
}

// Typed line 1 against reference line 1, followed by a typed line that matches nothing: its
// marks as Describe gives them, and what every line must hold.
void ExpectMarks(const std::u16string& reference, const std::u16string& typed,
                 const std::u16string& expected, const char* behaviour) {
  const MatchResult result = ScrLoop(Table({reference}), Table({typed, u"★★"}), 0);
  const ScoredLine& line = result.lines[0];
  ASSERT_EQ(line.best_line, 1) << behaviour;
  const LineMarks marks = MarksOf(line, reference);
  EXPECT_EQ(Describe(marks), expected) << behaviour;
  ExpectAgreesWithTheEngine(marks, line);
}

// The line-matching examples: typed line 1 against reference line 1, followed by a typed line
// that matches nothing, so that line 1 is not the last one.
TEST(LineMarks, ReadOffTheEnginesMarkedCopies) {
  const std::u16string k20 = u"ABCDEFGHIJKLMNOPQRST";
  const struct {
    const char* behaviour;
    std::u16string typed;
    std::u16string marks;
    std::u16string reference = u"ABCDEFGHIJKLMN";
  } cases[] = {
      {"an exact copy has no marks", u"ABCDEFGHIJKLMN", u""},
      {"a left-out character is missing", u"ABDEFGHIJKLMN", u"missing 3 C"},
      {"an inserted character is extra", u"ABXCDEFGHIJKLMN", u"extra 3 X"},
      {"a replaced character is wrong, with the character it replaced", u"ABCDXFGHIJKLMN",
       u"wrong 5 E>X"},
      {"a swapped pair is one wrong and the pair's extra", u"BACDEFGHIJKLMN",
       u"extra 1 B, wrong 2 B>A"},
      {"a typed ○ carries the extra the engine charges it", u"AB○CDEFGHIJKLMN", u"extra 3 ○"},
      {"a run of wrong characters is extra where the reference goes on", u"ABwxyzCDEFGHIJKLMN",
       u"extra 3 w, extra 4 x, extra 5 y, extra 6 z"},
      {"a character judged wrong with nothing missing opposite costs nothing of its own",
       u"ABQCDEFGHIJKLMNOPRS", u"extra 3 Q free, missing 17 Q, missing 20 T", k20},
      {"missed blanks at the end of the reference line are missing blanks", u"ABCDEF",
       u"missing 7  , missing 8  ", u"ABCDEF  "},
  };
  for (const auto& c : cases) ExpectMarks(c.reference, c.typed, c.marks, c.behaviour);
}

TEST(LineMarks, EdgesOfTheLineTable) {
  // Matched to line 2 = TypedCount, the swapped B is found again further on: the pair's extra
  // stays with no character of its own.
  MatchResult result = ScrLoop(Table({u"0123456789", u"ABCDEFGHIJKLMN"}),
                               Table({u"BACDEFGHIJKLMN", u"0123456789"}), 0);
  LineMarks marks = MarksOf(result.lines[0], u"ABCDEFGHIJKLMN");
  EXPECT_EQ(Describe(marks), u"missing 2 B, extra 2 A");
  EXPECT_EQ(std::pair(marks.extra, ChargedExtras(marks)), std::pair(2, 1));
  // The last typed line is charged only as far as it reached.
  result = ScrLoop(Table({u"ABCDEFGH"}), Table({u"ABH"}), 0);
  marks = MarksOf(result.lines[0], u"ABCDEFGH");
  EXPECT_EQ(Describe(marks), u"missing 3 C");
  ExpectAgreesWithTheEngine(marks, result.lines[0]);
  // A line that matched nothing has no marks and costs nothing.
  result = ScrLoop(Table({u"ABCDEFGH"}), Table({u"★★★", u"ABCDEFGH"}), 0);
  marks = MarksOf(result.lines[0], u"");
  EXPECT_EQ(std::tuple(marks.marks.size(), marks.missing, marks.wrong, marks.extra),
            std::tuple(0u, 0, 0, 0));
}

// The engine marks UTF-16 units; a character outside the Basic Multilingual Plane is one mark of
// the whole character that counts the units the engine charged on it.
TEST(LineMarks, ACharacterOutsideThePlaneIsOneMark) {
  const std::u16string lone_high(1, u'\xD840');
  const struct {
    const char* behaviour;
    std::u16string typed;
    std::u16string marks;
    std::u16string reference = u"AB𠀋CDEFGHIJKLMN";
  } cases[] = {
      {"left out: both halves missing", u"ABCDEFGHIJKLMN", u"missing 3 𠀋 x2"},
      {"typed as another such character: both halves wrong", u"AB𡘙CDEFGHIJKLMN",
       u"wrong 3 𠀋>𡘙 x2"},
      {"typed as one that shares the first half: one unit wrong", u"AB𠀀CDEFGHIJKLMN",
       u"wrong 4 𠀋>𠀀"},
      {"typed as a character of the plane: wrong and the other half missing, one mark",
       u"AB甲CDEFGHIJKLMN", u"wrong 3 𠀋>甲 x2"},
      {"inserted: both halves extra", u"AB𡘙𠀋CDEFGHIJKLMN", u"extra 3 𡘙 x2"},
      {"typed for a character of the plane: the wrong unit and the extra one on one character",
       u"AB𠀋CDEFGHIJKLMN", u"wrong 3 甲>𠀋, extra 4 𠀋", u"AB甲CDEFGHIJKLMN"},
      {"a lone half typed matches its half: the other half is missing, the character shown",
       u"AB" + lone_high + u"CDEFGHIJKLMN", u"missing 4 𠀋"},
      {"a lone surrogate typed extra is itself", u"AB𠀋" + lone_high + u"CDEFGHIJKLMN",
       u"extra 5 " + lone_high},
  };
  for (const auto& c : cases) ExpectMarks(c.reference, c.typed, c.marks, c.behaviour);
}

// Random answers over an alphabet with every mark character, so that the rare rules fire.
TEST(LineMarks, AgreeWithTheEngineOnRandomAnswers) {
  const std::u16string alphabet = u"ABCDE甲乙○●＃ＯＸ ";
  std::mt19937 random(11);
  const auto character = [&] { return alphabet[random() % alphabet.size()]; };
  const auto random_lines = [&](std::size_t count) {
    std::vector<std::u16string> lines(count + 1);
    for (std::size_t i = 1; i <= count; ++i) {
      std::generate_n(std::back_inserter(lines[i]), random() % 25, character);
    }
    return lines;
  };
  int marked_lines = 0;
  for (int paper = 0; paper < 40; ++paper) {
    const ReferenceLines reference = random_lines(30);
    std::vector<std::u16string> answer = random_lines(30);
    // Half the typed lines copy their reference line with a few changes.
    for (std::size_t t = 1; t < answer.size(); t += 2) {
      answer[t] = reference[t];
      for (int change = 0; change < 3 && !answer[t].empty(); ++change) {
        answer[t][random() % answer[t].size()] = character();
      }
    }
    const TypedLines typed = LoadTypedLines({answer.begin() + 1, answer.end()});
    for (const ScoredLine& line : ScrLoop(reference, typed, 0).lines) {
      const LineMarks marks = MarksOf(line, reference[static_cast<std::size_t>(line.best_line)]);
      ExpectAgreesWithTheEngine(marks, line);
      marked_lines += !marks.marks.empty();
    }
  }
  EXPECT_GT(marked_lines, 300);
}

class ScoreReportTest : public testing::Test {
 protected:
  ScoreReportTest() {
    params_.ExamPlaceNo = u"A01";
    params_.ExamNo = u"E01";
    params_.ExamPaperNo = u"P001";
    params_.TestType = u"3";
    params_.UserID = u"S<1>";
    params_.StuName = u"王\"小\"&明";
    params_.SessionNo = u"3";
    params_.SeatNo = u"15";
    params_.TestPart = u"1";
    params_.UseTime = u"90";
    params_.ClassName = u"<甲班>";
  }

  // Scores the answer against the reference lines and builds the report, as keyin-tool does.
  void Score(std::vector<std::u16string> reference, std::vector<std::u16string> answer) {
    inputs_.reference = Table(std::move(reference));
    inputs_.typed = LoadTypedLines(answer);
    part_ = ScorePart(inputs_, params_);
    report_ = BuildScoreReport(params_, inputs_, part_);
    json_ = Json::parse(ScoreReportJson(report_));
    page_ = ScoreReportHtml(report_);
  }

  RunParams params_;
  ScoringInputs inputs_;
  ScoredPart part_;
  ScoreReport report_;
  Json json_;
  std::u16string page_;
};

// Typed line 1 copies line 1 with a wrong character, line 2 copies nothing, line 3 copies line 3
// with a left-out and an extra character: line 2 was skipped.
TEST_F(ScoreReportTest, JsonGivesTheEnginesLinesAndTotals) {
  Score({u"ABCDEFGHIJKLMN", u"甲乙丙丁戊己庚辛壬癸", u"OPQRSTUVWXYZ"},
        {u"ABCDXFGHIJKLMN", u"★★★★", u"OPRSTUVWXYZZ"});
  const std::vector<std::u16string> tot = ScoreSummary(u"CTEST-1", part_.scores);
  EXPECT_EQ(Utf8ToUtf16("CTEST-1 S=" + json_["speed"].dump() + " E=" + json_["errors"].dump() +
                        "/" + json_["total_chars"].dump() + "=" + json_["error_rate"].dump() + "%"),
            tot[0]);
  EXPECT_EQ(json_["name"], "王\"小\"&明");
  EXPECT_EQ(std::tuple(json_["time_minutes"], json_["time_seconds"], json_["adjusted_speed"]),
            std::tuple(Json(1), Json(30), Json(nullptr)));

  ASSERT_EQ(json_["lines"].size(), part_.matched.lines.size());
  long long errors = 0;
  for (std::size_t i = 0; i < part_.matched.lines.size(); ++i) {
    const ScoredLine& engine = part_.matched.lines[i];
    const Json& line = json_["lines"][i];
    EXPECT_EQ(line["typed"], engine.typed_number);
    EXPECT_EQ(line["reference"], engine.best_line ? Json(engine.best_line) : Json(nullptr));
    EXPECT_EQ(line["hits"], engine.hits);
    EXPECT_EQ(line["missing"].get<int>() + line["wrong"].get<int>(), engine.missing);
    EXPECT_EQ(line["extra"], engine.extra);
    EXPECT_EQ(line["counted"], engine.score > 0);
    std::map<std::string, int> kinds;
    for (const Json& mark : line["marks"]) ++kinds[mark["kind"]];
    EXPECT_EQ(std::tuple(kinds["missing"], kinds["wrong"], kinds["extra"]),
              std::tuple(line["missing"], line["wrong"], line["extra"]))
        << line.dump();
    if (line["counted"]) errors += engine.missing + engine.extra;
  }
  EXPECT_EQ(json_["lines"][0]["marks"],
            Json::parse(R"([{"kind":"wrong","position":5,"expected":"E","typed":"X",
                             "charged":true}])"));
  EXPECT_EQ(std::tuple(json_["lines"][1]["reference"], json_["lines"][1]["marks"].size()),
            std::tuple(Json(nullptr), 0u))
      << "the unmatched line";
  EXPECT_EQ(json_["lines"][2]["marks"].dump(),
            Json::parse(R"([{"kind":"missing","position":3,"expected":"Q","charged":true},
                            {"kind":"extra","position":12,"typed":"Z","charged":true}])")
                .dump());
  EXPECT_EQ(std::tuple(json_["skipped"], json_["skipped_chars"]), std::tuple(Json({2}), Json(10)));
  EXPECT_EQ(errors + 10, part_.scores.ErrorCount) << "the lines and the skipped line";
  EXPECT_EQ(json_["mistakes"], Json::parse(R"([{"expected":"E","typed":"X","count":1}])"));
  EXPECT_EQ(json_["missed"], Json::parse(R"([{"character":"Q","count":1}])"));
}

TEST_F(ScoreReportTest, PageShowsTheSameMarksAndNumbersEscaped) {
  Score({u"ABCDEFGHIJKLMN", u"甲乙丙丁戊己庚辛壬癸", u"OPQRSTUVWXYZ"},
        {u"AB<DEFG\"IJKLMN", u"<q>&amp;", u"OPRSTUVWXYZZ"});
  for (const char16_t* escaped :
       {u"S&lt;1&gt;", u"&lt;甲班&gt;", u"<title>成績報告 王\"小\"&amp;明 CTEST-1",
        u"data-expected=\"C\" data-typed=\"&lt;\">&lt;<rt>C</rt>",
        u"data-expected=\"H\" data-typed=\"&quot;\">\"<rt>H</rt>", u"&lt;q&gt;&amp;amp;"}) {
    EXPECT_EQ(Occurrences(page_, escaped), 1u) << Utf16ToUtf8(escaped);
  }
  EXPECT_EQ(Occurrences(page_, u"王\"小\"&amp;明"), 2u) << "in the title and the header";
  for (const char16_t* raw : {u"<1>", u"<甲班>", u"<q>", u"&明"}) {
    EXPECT_EQ(Occurrences(page_, raw), 0u) << Utf16ToUtf8(raw);
  }
  EXPECT_EQ(Occurrences(page_, u"data-mark=\"wrong\""), 2u);
  EXPECT_EQ(Occurrences(page_, u"data-mark=\"missing\""), 1u);
  EXPECT_EQ(Occurrences(page_, u"data-mark=\"extra\""), 1u);
  for (const char16_t* block :
       {u"data-typed-line=\"1\" data-reference-line=\"1\"",
        u"data-typed-line=\"2\" data-reference-line=\"\"",
        u"data-typed-line=\"3\" data-reference-line=\"3\"", u"data-skipped-line=\"2\""}) {
    EXPECT_EQ(Occurrences(page_, block), 1u) << Utf16ToUtf8(block);
  }
  const Scores& scores = part_.scores;
  for (const auto& [field, value] :
       {std::pair(u"speed", scores.CharsPerMinute), std::pair(u"error-rate", scores.ErrorRate),
        std::pair(u"errors", double(scores.ErrorCount)),
        std::pair(u"typed-chars", double(scores.TotalChars))}) {
    const std::u16string shown =
        u"data-field=\"" + std::u16string(field) + u"\">" + FormatNumber(value) + u"</span>";
    EXPECT_EQ(Occurrences(page_, shown), 1u) << Utf16ToUtf8(shown);
  }
  EXPECT_EQ(Occurrences(page_, u"data-field=\"adjusted-speed\""), 0u)
      << "no adjusted speed without a deduction standard above 0.5";
  for (const char* outside : {"http", "src=", "href=", "url(", "@import", "<script"}) {
    EXPECT_EQ(Occurrences(page_, Utf8ToUtf16(outside)), 0u) << outside;
  }
}

TEST_F(ScoreReportTest, AnEmptyAnswerIsSaidToBeTooSmall) {
  params_.SubtractScore = 1;
  Score({u"ABCDEFGHIJKLMN"}, {});
  EXPECT_EQ(std::tuple(json_["answer_too_small"], json_["speed"], json_["error_rate"],
                       json_["adjusted_speed"], json_["lines"].size(), json_["skipped"].size()),
            std::tuple(Json(true), Json(0), Json(99), Json(nullptr), 2u, 0u));
  EXPECT_EQ(json_["lines"][1]["typed_text"], "＜檔案太小＞");
  EXPECT_EQ(Occurrences(page_, u"class=\"notice\""), 1u);
  EXPECT_EQ(Occurrences(page_, u"data-field=\"adjusted-speed\"></span>"), 1u)
      << "an adjusted speed is reported, empty as the listing prints it";
}

TEST_F(ScoreReportTest, AnAdjustedSpeedWithADeductionAboveHalf) {
  params_.SubtractScore = 1;
  Score({u"ABCDEFGHIJKLMN"}, {u"ABCDXFGHIJKLMN"});
  ASSERT_TRUE(part_.scores.AdjustedCharsPerMinute);
  EXPECT_EQ(json_["adjusted_speed"], *part_.scores.AdjustedCharsPerMinute);
  EXPECT_EQ(json_["deduction"], 1);
  EXPECT_EQ(Occurrences(page_, u"data-field=\"adjusted-speed\">" +
                                   FormatNumber(*part_.scores.AdjustedCharsPerMinute) + u"<"),
            1u);
}

// 𠀋 left out, 𡘙 typed as 𠀋, and a lone surrogate typed extra: whole characters in the JSON and
// the page's attributes, the counts the engine's.
TEST_F(ScoreReportTest, CharactersOutsideThePlaneAreShownWhole) {
  const std::u16string lone(1, u'\xD800');
  Score({u"AB𠀋CDEFGHIJKLMN", u"OP𡘙QRSTUVWXYZ", u"甲乙丙丁戊己庚辛壬癸"},
        {u"ABCDEFGHIJKLMN", u"OP𠀋QRSTUVWXYZ", u"甲乙丙丁" + lone + u"戊己庚辛壬癸"});
  EXPECT_EQ(json_["lines"][0]["marks"], Json::parse(R"([{"kind":"missing","position":3,
      "expected":"𠀋","charged":true,"units":2}])"));
  EXPECT_EQ(json_["lines"][1]["marks"], Json::parse(R"([{"kind":"wrong","position":3,
      "expected":"𡘙","typed":"𠀋","charged":true,"units":2}])"));
  EXPECT_EQ(json_["lines"][2]["marks"], Json::parse(R"([{"kind":"extra","position":5,
      "typed":"\uFFFD","charged":true}])"));
  EXPECT_EQ(std::tuple(json_["lines"][0]["missing"], json_["lines"][1]["wrong"],
                       json_["lines"][2]["extra"], json_["errors"]),
            std::tuple(Json(2), Json(2), Json(1), Json(5)))
      << "units, as the engine charges them";
  EXPECT_EQ(part_.scores.ErrorCount, 5);
  EXPECT_EQ(json_["missed"], Json::parse(R"([{"character":"𠀋","count":1}])"));
  EXPECT_EQ(json_["mistakes"], Json::parse(R"([{"expected":"𡘙","typed":"𠀋","count":1}])"));

  const std::string page = Utf16ToUtf8(page_);
  for (const char* shown :
       {"data-expected=\"𠀋\">𠀋</span>", "data-expected=\"𡘙\" data-typed=\"𠀋\">𠀋<rt>𡘙</rt>",
        "data-typed=\"\uFFFD\">\uFFFD</span>", "<td>𡘙<td>𠀋<td class"}) {
    EXPECT_EQ(Occurrences(DecodeUtf8(page), DecodeUtf8(shown)), 1u) << shown;
  }
  EXPECT_EQ(Occurrences(DecodeUtf8(page), u"\uFFFD"), 2u) << "the lone surrogate only";
}

TEST_F(ScoreReportTest, TheLastLineChargedToHalfACharacterShowsItWhole) {
  Score({u"ABCDEFGHIJKL𠀋MN"}, {u"ABCDEFGHIJKLX"});
  EXPECT_EQ(json_["lines"][0]["marks"], Json::parse(R"([{"kind":"wrong","position":13,
      "expected":"𠀋","typed":"X","charged":true}])"));
  EXPECT_EQ(Occurrences(page_, u"<span class=\"expected\">𠀋</span><span class=\"beyond\""), 1u);
}

// With codes every missed and wrong mark shows its expected character's keys under it, a character
// outside the plane too; without codes nothing of it.
TEST_F(ScoreReportTest, TheKeysStandUnderTheMarksWithCodes) {
  Score({u"AB𠀋CDEFGHIJKLMN", u"甲乙丙丁戊己庚辛壬癸"},
        {u"ABCDEFGHIJKLMN", u"甲乙<丁戊己庚辛壬癸Q"});
  EXPECT_EQ(Occurrences(page_, u"class=\"keys\""), 0u) << "no codes, nor in the legend";
  const CodeTable table =
      MakeCodeTable("倉頡", {{"mnr", "𠀋"}, {"mym", "丙"}},
                    ParseKeyNames("{'m': '一', 'n': '弓', 'r': '口', 'y': '卜'}"));
  AddCodes(report_, table, {});
  page_ = ScoreReportHtml(report_);
  json_ = Json::parse(ScoreReportJson(report_));
  EXPECT_EQ(json_["lines"][0]["marks"][0]["code"],
            Json::parse(R"({"method":"倉頡","keys":"mnr","radicals":"一弓口"})"));
  EXPECT_EQ(json_["missed"][0]["code"]["keys"], "mnr");
  for (const char16_t* shown :
       {u"<ruby class=\"keys\"><span data-mark=\"missing\" data-expected=\"𠀋\" "
        u"data-code=\"mnr\" title=\"倉頡 mnr 一弓口\">𠀋</span><rt>mnr</rt></ruby>",
        u"<ruby class=\"keys\"><ruby data-mark=\"wrong\" data-expected=\"丙\" "
        u"data-typed=\"&lt;\" data-code=\"mym\" title=\"倉頡 mym 一卜一\">&lt;<rt>丙</rt></ruby>"
        u"<rt>mym</rt></ruby>"}) {
    EXPECT_EQ(Occurrences(page_, shown), 1u) << Utf16ToUtf8(shown);
  }
  EXPECT_EQ(Occurrences(page_, u"<rt>m"), 3u) << "two marks and the legend; an extra has none";
  EXPECT_EQ(Occurrences(page_, u"<rt>mym</rt></ruby></span>倉頡字碼（"), 1u) << "the legend";
}

}  // namespace
}  // namespace keyin::report
