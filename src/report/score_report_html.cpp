// The HTML page of the score report. Every marked character is one element carrying data-mark,
// styled by that attribute alone, so that a page of 200 long lines stays small; matched text is
// written as it stands. The two text rows of a line set their characters place by place, as the
// engine compares them, so a wrong character stands under the reference character it replaced.
#include <algorithm>
#include <cmath>

#include "platform/utf8.h"
#include "report/html.h"
#include "report/score_report.h"
#include "scoring/inputs.h"
#include "support/number_text.h"

namespace keyin::report {
namespace {

constexpr std::size_t kMostMistakeRows = 20;

// Colour tells the marks apart on screen; the shape alone does on paper in black and white: a box
// for missing, a strike for extra, a double underline and the expected character above it for
// wrong, a dashed frame and a strike for a skipped line.
constexpr char16_t kPageCss[] =
    uR"css(
.head { border-bottom: 3px solid #111; padding-bottom: 10px; margin-bottom: 14px; }
.head h1 { font-size: 13pt; font-weight: normal; color: #333; margin: 0; }
.who { font-size: 22pt; font-weight: bold; margin: 2px 0 6px; line-height: 1.3; }
.who .id, .who .class { font-size: 13pt; font-weight: normal; margin-left: 12px; }
.facts { display: flex; flex-wrap: wrap; gap: 2px 24px; margin: 0; font-size: 10.5pt; }
.facts div { display: flex; gap: 6px; }
.facts dt { color: #444; }
.facts dd { margin: 0; font-weight: bold; }
.scores { display: grid; grid-template-columns: repeat(auto-fit, minmax(128px, 1fr)); gap: 10px;
  margin: 14px 0 8px; }
@media print, (min-width: 800px) {
  .scores { grid-template-columns: none; grid-auto-flow: column; grid-auto-columns: minmax(0, 1fr); }
}
.score { border: 1.5px solid #111; border-radius: 6px; padding: 6px 12px 8px; }
.score.main { border-width: 3px; }
.score .label { display: block; font-size: 10pt; color: #333; }
.score .value { font-size: 24pt; font-weight: bold; line-height: 1.15;
  font-variant-numeric: tabular-nums; }
.score .value:empty::before { content: "—"; }
.score .unit { font-size: 10pt; margin-left: 4px; }
.score .detail { display: block; font-size: 9.5pt; color: #333; }
.breakdown { font-size: 10.5pt; margin: 6px 0 0; }
.notice { border: 2px solid #111; padding: 8px 12px; margin: 12px 0; font-weight: bold; }
.legend { display: flex; flex-wrap: wrap; gap: 4px 22px; align-items: baseline;
  border: 1px solid #888; border-radius: 6px; padding: 6px 12px; margin: 10px 0 4px;
  font-size: 10.5pt; }
.legend .sample { font-family: "Noto Sans Mono CJK TC", "Noto Sans CJK TC", monospace;
  font-size: 14pt; margin-right: 4px; }
.lines { margin-top: 6px; }
.line { display: grid; grid-template-columns: 4.4em minmax(0, 1fr) 11.5em; column-gap: 14px;
  align-items: baseline; padding: 5px 0 4px; border-bottom: 1px solid #bbb;
  break-inside: avoid; }
.no { font-size: 9.5pt; color: #333; white-space: nowrap; font-variant-numeric: tabular-nums; }
.no b { font-size: 11pt; color: #111; }
.row { margin: 0; font-family: "Noto Sans Mono CJK TC", "Noto Sans CJK TC", monospace;
  font-size: 15pt; line-height: 1.75; white-space: pre-wrap; word-break: break-all; }
.row.typed { line-height: 2.05; }
.row.none { font-family: inherit; font-size: 10.5pt; color: #444; line-height: 2.6; }
[data-mark], .sample span, .sample ruby { border-radius: 2px; }
[data-mark=missing], .missing { color: #b3261e; background: #fde7e4; outline: 2px solid #b3261e;
  outline-offset: -2px; }
[data-mark=extra], .extra { color: #8a4b00; background: #fff0d6; text-decoration: line-through 2px;
  text-decoration-color: #8a4b00; }
[data-mark=extra][data-charged=false] { color: #555; background: none;
  text-decoration: line-through 1px dotted; }
[data-mark=wrong], .wrong { color: #1d4ed8; background: #e3ebff; text-decoration: underline double 2px;
  text-underline-offset: 3px; }
[data-mark=wrong] rt, .wrong rt { font-size: 9.5pt; color: #111; font-weight: bold; }
.keys { ruby-position: under; }
.keys > rt { font-family: "DejaVu Sans Mono", monospace; font-size: 9pt; line-height: 1.2;
  color: #111; font-weight: normal; letter-spacing: 0; border: 1px solid #555;
  border-radius: 3px; padding: 0 2px; margin-top: 2px; background: #fff; }
.keys [data-mark=wrong] { ruby-position: over; }
.legend .keys { margin-right: 4px; }
.expected { text-decoration: underline dotted 2px; text-underline-offset: 3px; }
.beyond { color: #888; }
.unmatched .row.typed { color: #444; text-decoration: underline wavy 1px #888; }
.skipped .row.ref s, s.skip { text-decoration: line-through 2px; color: #444; border: 2px dashed #555;
  border-radius: 4px; padding: 0 4px; -webkit-box-decoration-break: clone;
  box-decoration-break: clone; }
.tally { font-size: 10pt; white-space: nowrap; }
.tally b { font-size: 12.5pt; }
.tally.detail { font-size: 9.5pt; color: #333; }
.bar { display: inline-block; width: 5em; height: 9px; border-bottom: 1px solid #777;
  margin-right: 6px; }
.fill { display: block; height: 0; border-top: 9px solid #333; }
.uncounted .fill { border-top-style: dashed; }
.tables { display: flex; flex-wrap: wrap; gap: 24px; align-items: flex-start; }
.tables table { width: auto; min-width: 200px; }
.tables td { font-size: 12pt; }
body { max-width: 1000px; }
@media (max-width: 640px) {
  .line { grid-template-columns: 3.8em minmax(0, 1fr); }
  .tally { grid-column: 2; }
}
@media print {
  body { font-size: 9.5pt; max-width: none; }
  .row { font-size: 13pt; }
  .score .value { font-size: 20pt; }
  .scores { gap: 6px; margin-right: 2px; }
  .score { padding: 4px 8px 6px; }
  .score .label, .score .detail { font-size: 8.5pt; }
  .line { grid-template-columns: 4em minmax(0, 1fr) 13.5em; }
  .fill { border-top-color: #000; }
}
)css";

std::u16string Number(double value) { return FormatNumber(value); }
std::u16string Count(std::size_t value) { return FormatNumber(static_cast<double>(value)); }

// A marked character as it shows: a half-width blank that is marked gets a visible sign.
std::u16string Shown(std::u16string_view character) {
  return character == u" " ? std::u16string(u"␣") : html::EscapeText(character);
}

std::u16string Attribute(std::u16string_view name, char32_t value) {
  return std::u16string(u" ") + std::u16string(name) + u"=\"" +
         html::EscapeAttribute(Utf16Of(value)) + u"\"";
}

// The code of a character in the report's method, as "vfjmc 女火十一金"; empty without one.
std::u16string CodeText(const CharacterCodes& codes, char32_t character) {
  const auto found = codes.of.find(character);
  if (found == codes.of.end()) return u"";
  return DecodeUtf8(found->second.keys + " " + found->second.names);
}

// How to type the expected character: data-code, and a title that names the method.
std::u16string CodeAttributes(const CharacterCodes& codes, char32_t character) {
  const auto found = codes.of.find(character);
  if (found == codes.of.end()) return u"";
  return u" data-code=\"" + html::EscapeAttribute(DecodeUtf8(found->second.keys)) + u"\" title=\"" +
         html::EscapeAttribute(DecodeUtf8(codes.method) + u" " + CodeText(codes, character)) +
         u"\"";
}

// A mark's element with the keys of its expected character in small type under it, when it has a
// code: what the learner practises next, readable on paper without hovering.
std::u16string WithKeys(std::u16string element, const CharacterCodes& codes, char32_t character) {
  const auto found = codes.of.find(character);
  if (found == codes.of.end()) return element;
  return u"<ruby class=\"keys\">" + std::move(element) + u"<rt>" +
         html::EscapeText(DecodeUtf8(found->second.keys)) + u"</rt></ruby>";
}

// The element of one mark around `inner` (the character as shown, or the element of another
// mark on the same character), in the reference row or in the typed row.
std::u16string ReferenceCell(const CharacterMark& mark, std::u16string inner,
                             const CharacterCodes& codes) {
  if (mark.kind == MarkKind::kWrong) return u"<span class=\"expected\">" + inner + u"</span>";
  return WithKeys(u"<span data-mark=\"missing\"" + Attribute(u"data-expected", mark.expected) +
                      CodeAttributes(codes, mark.expected) + u">" + inner + u"</span>",
                  codes, mark.expected);
}

std::u16string TypedCell(const CharacterMark& mark, std::u16string inner,
                         const CharacterCodes& codes) {
  if (mark.kind == MarkKind::kWrong) {
    return WithKeys(u"<ruby data-mark=\"wrong\"" + Attribute(u"data-expected", mark.expected) +
                        Attribute(u"data-typed", mark.typed) +
                        CodeAttributes(codes, mark.expected) + u">" + inner + u"<rt>" +
                        Shown(Utf16Of(mark.expected)) + u"</rt></ruby>",
                    codes, mark.expected);
  }
  return std::u16string(u"<span data-mark=\"extra\"") +
         (mark.charged ? u"" : u" data-charged=\"false\"") + Attribute(u"data-typed", mark.typed) +
         u">" + inner + u"</span>";
}

using CellWriter = std::u16string (*)(const CharacterMark&, std::u16string, const CharacterCodes&);

// One line's text with the marks that stand in this row (by position). A character outside the
// Basic Multilingual Plane is one cell for both of its units, so it is never split; where two
// marks fall on one character (one unit wrong, the other extra), the second wraps the first.
std::u16string MarkedText(std::u16string_view text, const std::vector<const CharacterMark*>& marks,
                          CellWriter cell, const CharacterCodes& codes) {
  std::u16string out;
  std::size_t next = 0;
  std::size_t plain_from = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = at + CharacterAt(text, at).units;
    if (next == marks.size() || static_cast<std::size_t>(marks[next]->position) > end) {
      at = end;
      continue;
    }
    std::u16string shown = Shown(text.substr(at, end - at));
    for (; next < marks.size() && static_cast<std::size_t>(marks[next]->position) <= end; ++next) {
      shown = cell(*marks[next], std::move(shown), codes);
    }
    out += html::EscapeText(text.substr(plain_from, at - plain_from));
    out += shown;
    plain_from = at = end;
  }
  out += html::EscapeText(text.substr(plain_from));
  return out;
}

std::u16string ReferenceRow(const MarkedLine& line, const CharacterCodes& codes) {
  std::vector<const CharacterMark*> marks;
  for (const CharacterMark& mark : line.marks.marks) {
    if (mark.kind != MarkKind::kExtra) marks.push_back(&mark);
  }
  const std::u16string_view text = line.reference_text;
  std::size_t charged = std::min(text.size(), static_cast<std::size_t>(line.charged_chars));
  // A charged length that ends inside a character outside the plane shows that character whole.
  if (charged > 0 && charged < text.size() && CharacterAt(text, charged - 1).units == 2) ++charged;
  std::u16string row =
      u"<p class=\"row ref\">" + MarkedText(text.substr(0, charged), marks, ReferenceCell, codes);
  // The last typed line is charged only as far as it reached.
  if (charged < text.size()) {
    row += u"<span class=\"beyond\" title=\"最後一行只計到打字的長度\">" +
           html::EscapeText(text.substr(charged)) + u"</span>";
  }
  return row + u"</p>";
}

std::u16string TypedRow(const MarkedLine& line, const CharacterCodes& codes) {
  std::vector<const CharacterMark*> marks;
  for (const CharacterMark& mark : line.marks.marks) {
    if (mark.kind != MarkKind::kMissing) marks.push_back(&mark);
  }
  return u"<p class=\"row typed\">" + MarkedText(line.typed_text, marks, TypedCell, codes) +
         u"</p>";
}

// The parts of one line block: a grid of two rows (reference, typed) by three columns (line
// number, text, tally), so that each row's number and tally stand beside its text however it wraps.
struct Block {
  std::u16string css_class;   // "line" and what kind of line
  std::u16string attributes;  // data-* of the block, already escaped
  std::u16string reference_number, typed_number;
  std::u16string reference_row, typed_row;  // <p> elements
  std::u16string tally, tally_detail;
};

std::u16string BlockHtml(const Block& block) {
  return u"<div class=\"" + block.css_class + u"\"" + block.attributes +
         u">\n<span class=\"no\">原文 <b>" + block.reference_number + u"</b></span>" +
         block.reference_row + u"<span class=\"tally\">" + block.tally +
         u"</span>\n<span class=\"no\">打字 <b>" + block.typed_number + u"</b></span>" +
         block.typed_row + u"<span class=\"tally detail\">" + block.tally_detail +
         u"</span>\n</div>\n";
}

// A bar of `errors` against the most errors of any line, and the count.
std::u16string Bar(std::size_t errors, std::size_t most) {
  std::u16string bar = u"<span class=\"bar\">";
  if (errors > 0) {
    const double percent = 100.0 * static_cast<double>(errors) / static_cast<double>(most);
    bar += u"<span class=\"fill\" style=\"width:" + FormatOneDecimal(percent) + u"%\"></span>";
  }
  return bar + u"</span><b>" + Count(errors) + u"</b> 個錯";
}

std::size_t ErrorsOf(const MarkedLine& line) {
  return static_cast<std::size_t>(line.marks.missing + line.marks.wrong + line.marks.extra);
}

std::u16string TypedLineBlock(const MarkedLine& line, std::size_t most_errors,
                              const CharacterCodes& codes) {
  Block block;
  const bool matched = line.reference_number != 0;
  block.css_class = !matched ? u"line unmatched" : line.counted ? u"line" : u"line uncounted";
  block.typed_number = Number(line.typed_number);
  block.reference_number = matched ? Number(line.reference_number) : u"—";
  block.attributes = u" data-typed-line=\"" + block.typed_number + u"\" data-reference-line=\"" +
                     (matched ? block.reference_number : u"") + u"\"";
  block.typed_row = TypedRow(line, codes);
  if (!matched) {
    block.reference_row = u"<p class=\"row ref none\">（找不到對應的原文行）</p>";
    block.tally = u"未對應原文";
    block.tally_detail = u"不計分，也不扣分";
    return BlockHtml(block);
  }
  block.reference_row = ReferenceRow(line, codes);
  block.tally = Bar(ErrorsOf(line), most_errors);
  block.tally_detail = u"漏" + Number(line.marks.missing) + u"・錯" + Number(line.marks.wrong) +
                       u"・多" + Number(line.marks.extra) + u"　" +
                       (line.counted ? u"得 " + FormatOneDecimal(line.score) + u" 分"
                                     : std::u16string(u"不計入成績"));
  return BlockHtml(block);
}

std::u16string SkippedLineBlock(const SkippedLine& line, std::size_t most_errors) {
  Block block;
  block.css_class = u"line skipped";
  block.reference_number = Number(line.number);
  block.typed_number = u"—";
  block.attributes = u" data-skipped-line=\"" + block.reference_number + u"\"";
  block.reference_row = u"<p class=\"row ref\"><s>" + html::EscapeText(line.text) + u"</s></p>";
  block.typed_row = u"<p class=\"row typed none\">（整行未打）</p>";
  block.tally = Bar(line.text.size(), most_errors);
  block.tally_detail = u"整行未打，每字一錯";
  return BlockHtml(block);
}

std::u16string Fact(std::u16string_view label, std::u16string_view value) {
  return u"<div><dt>" + html::EscapeText(label) + u"</dt><dd>" + html::EscapeText(value) +
         u"</dd></div>";
}

// A header number; `field` names it for machines.
std::u16string ScoreBox(std::u16string_view label, std::u16string_view field,
                        std::u16string_view value, std::u16string_view unit,
                        std::u16string_view detail = {}, bool main = false) {
  std::u16string out = main ? u"<div class=\"score main\">" : u"<div class=\"score\">";
  out += u"<span class=\"label\">" + std::u16string(label) + u"</span><span class=\"value\"";
  out += u" data-field=\"" + std::u16string(field) + u"\">" + html::EscapeText(value) + u"</span>";
  if (!unit.empty()) out += u"<span class=\"unit\">" + std::u16string(unit) + u"</span>";
  if (!detail.empty()) out += u"<span class=\"detail\">" + std::u16string(detail) + u"</span>";
  return out + u"</div>";
}

std::u16string Header(const ScoreReport& report) {
  const RunParams& params = report.params;
  const Scores& scores = report.scores;
  std::u16string out = u"<header class=\"head\">\n<h1>中文輸入測驗 成績報告</h1>\n";
  out += u"<p class=\"who\">" + html::EscapeText(params.StuName);
  out += u"<span class=\"id\">" + html::EscapeText(params.UserID) + u"</span>";
  out += u"<span class=\"class\">" + html::EscapeText(params.ClassName) + u"</span></p>\n";
  out += u"<dl class=\"facts\">";
  out += Fact(u"試卷", params.ExamPaperNo);
  out += Fact(u"測驗", params.TestPart + u"（" + TestFileNameOf(params.TestPart) + u"）");
  out += Fact(u"類別", report.kind_label);
  out += Fact(u"場次", params.SessionNo);
  out += Fact(u"座號", params.SeatNo);
  out += Fact(u"測驗時間", scores.TestMinutesText + u" 分 " + scores.TestSecondsText + u" 秒");
  out += u"</dl>\n<div class=\"scores\">";
  out += ScoreBox(u"平均字數", u"speed", Number(scores.CharsPerMinute), u"字／分", {}, true);
  out += ScoreBox(u"錯誤率", u"error-rate", Number(scores.ErrorRate), u"%", u"捨去小數");
  out += ScoreBox(u"錯誤數", u"errors", Number(static_cast<double>(scores.ErrorCount)), u"個");
  out += ScoreBox(u"總字數", u"typed-chars", Number(static_cast<double>(scores.TotalChars)), u"字",
                  u"計分的原文字數");
  out += ScoreBox(u"扣分標準", u"deduction", Number(scores.Deduction), u"", u"每個錯誤扣的字數");
  // Keys compare typists of different methods: a character of 注音 takes more keys than of 速成.
  if (const std::optional<double> keys = report.codes.keys_per_character) {
    const std::u16string method = DecodeUtf8(report.codes.method);
    out += ScoreBox(u"每字鍵數", u"keys-per-character", FormatOneDecimal(*keys), u"鍵",
                    method + u"，這份試卷平均");
    out += ScoreBox(u"每分鐘鍵數", u"keys-per-minute",
                    Number(std::round(scores.CharsPerMinute * *keys)), u"鍵／分",
                    u"平均字數 × 每字鍵數");
  }
  if (params.SubtractScore > 0.5) {
    out += ScoreBox(u"調整後平均字數", u"adjusted-speed",
                    scores.AdjustedCharsPerMinute ? Number(*scores.AdjustedCharsPerMinute) : u"",
                    u"字／分", u"依扣分標準");
  }
  out += u"</div>\n";
  return out + u"</header>\n";
}

// What the error count is made of, over the lines that count.
std::u16string Breakdown(const ScoreReport& report) {
  const Scores& scores = report.scores;
  if (scores.TotalChars == 0) {
    return u"<p class=\"breakdown\">沒有一行得分：平均字數記為 0，錯誤率記為 " +
           Number(scores.ErrorRate) + u"%。</p>\n";
  }
  long long missing = 0, wrong = 0, extra = 0, skipped = 0;
  for (const MarkedLine& line : report.lines) {
    if (!line.counted) continue;
    missing += line.marks.missing;
    wrong += line.marks.wrong;
    extra += line.marks.extra;
  }
  for (const SkippedLine& line : report.skipped) {
    skipped += static_cast<long long>(line.text.size());
  }
  const auto number = [](long long value) { return FormatNumber(static_cast<double>(value)); };
  return u"<p class=\"breakdown\">錯誤數 " + number(scores.ErrorCount) + u" ＝ 漏打 " +
         number(missing) + u" ＋ 打錯 " + number(wrong) + u" ＋ 多打 " + number(extra) +
         u" ＋ 整行未打 " + number(skipped) + u" 字（" + Count(report.skipped.size()) +
         u" 行）；錯誤率 ＝ " + number(scores.ErrorCount) + u" ÷ " + number(scores.TotalChars) +
         u" ＝ " + Number(scores.ErrorRate) + u"%。</p>\n";
}

// The samples take the marks' looks by class: the page's data-mark elements are its marks only.
constexpr char16_t kLegend[] =
    u"<div class=\"legend\"><span><strong>標記</strong></span>"
    u"<span><span class=\"sample\"><span class=\"missing\">漏</span></span>漏打（原文中加框）"
    u"</span><span><span class=\"sample\"><ruby class=\"wrong\">錯<rt>原</rt></ruby></span>"
    u"打錯（雙底線，上方小字是原文的字）</span>"
    u"<span><span class=\"sample\"><span class=\"extra\">多</span></span>多打（刪除線）</span>"
    u"<span><span class=\"sample\"><s "
    u"class=\"skip\">整行</s></span>整行未打（虛線框）</span>";

// The legend, and with codes how to read them, on one of the report's own characters.
std::u16string Legend(const CharacterCodes& codes) {
  std::u16string legend = kLegend;
  if (!codes.of.empty()) {
    const auto& [character, code] = *codes.of.begin();
    legend += u"<span><span class=\"sample\"><ruby class=\"keys\"><span class=\"missing\">" +
              Shown(Utf16Of(character)) + u"</span><rt>" + html::EscapeText(DecodeUtf8(code.keys)) +
              u"</rt></ruby></span>" + html::EscapeText(DecodeUtf8(codes.method)) +
              u"字碼（漏打、打錯的字下方小框：要按的鍵）</span>";
  }
  return legend + u"</div>\n";
}

std::u16string LinesSection(const ScoreReport& report) {
  std::size_t most_errors = 1;
  for (const MarkedLine& line : report.lines) {
    if (line.reference_number != 0) most_errors = std::max(most_errors, ErrorsOf(line));
  }
  for (const SkippedLine& line : report.skipped) {
    most_errors = std::max(most_errors, line.text.size());
  }
  std::u16string out =
      std::u16string(u"<section class=\"lines\">\n<h2>逐行比對</h2>\n") + Legend(report.codes);
  // A skipped line stands before the first typed line matched to a later reference line.
  auto skipped = report.skipped.begin();
  for (const MarkedLine& line : report.lines) {
    while (skipped != report.skipped.end() && line.reference_number > skipped->number) {
      out += SkippedLineBlock(*skipped++, most_errors);
    }
    out += TypedLineBlock(line, most_errors, report.codes);
  }
  for (; skipped != report.skipped.end(); ++skipped) out += SkippedLineBlock(*skipped, most_errors);
  return out + u"</section>\n";
}

std::u16string CharacterName(std::u16string_view character) {
  if (character == u" ") return u"（空白）";
  if (character == u"\u3000") return u"（全形空白）";
  return std::u16string(character);
}

std::u16string MistakesSection(const ScoreReport& report) {
  std::u16string out = u"<section>\n<h2>常見錯誤</h2>\n";
  if (report.mistakes.empty() && report.missed.empty()) {
    return out + u"<p>計分的各行沒有打錯或漏打的字。</p>\n</section>\n";
  }
  // With codes, each table says how to type the character that was meant.
  const CharacterCodes& codes = report.codes;
  const bool with_codes = !codes.method.empty();
  const std::u16string code_head = DecodeUtf8(codes.method) + u"字碼";
  const auto code_of = [&](std::u16string_view character) {
    const std::u16string code =
        character.empty() ? u"" : CodeText(codes, CharacterAt(character, 0).code_point);
    return code.empty() ? std::u16string(u"—") : code;
  };
  if (!codes.missing.empty()) {
    out += u"<p class=\"note\">" + html::EscapeText(DecodeUtf8(codes.missing)) + u"</p>\n";
  }
  out += u"<div class=\"tables\">\n";
  std::vector<std::vector<std::u16string>> rows;
  for (const Mistake& mistake : report.mistakes) {
    if (rows.size() == kMostMistakeRows) break;
    const std::u16string expected = Utf16Of(mistake.expected);
    rows.push_back(
        {CharacterName(expected), CharacterName(Utf16Of(mistake.typed)), Count(mistake.count)});
    if (with_codes) rows.back().push_back(code_of(expected));
  }
  std::vector<html::TableColumn> heads = {{u"原文"}, {u"打成"}, {u"次數", true}};
  if (with_codes) heads.push_back({code_head});
  if (!rows.empty()) out += html::Table(heads, rows, u"打錯的字");
  rows.clear();
  for (const CharacterCount& missed : report.missed) {
    if (rows.size() == kMostMistakeRows) break;
    rows.push_back({CharacterName(missed.character), Count(missed.count)});
    if (with_codes) rows.back().push_back(code_of(missed.character));
  }
  heads = {{u"字"}, {u"次數", true}};
  if (with_codes) heads.push_back({code_head});
  if (!rows.empty()) out += html::Table(heads, rows, u"漏打的字");
  out += u"</div>\n";
  if (report.mistakes.size() > kMostMistakeRows || report.missed.size() > kMostMistakeRows) {
    out += u"<p class=\"note\">各表只列最常見的 " + Count(kMostMistakeRows) + u" 項。</p>\n";
  }
  return out + u"</section>\n";
}

constexpr char16_t kFootnote[] =
    u"<p class=\"note\">只有得分大於 0 的行計入成績；找不到對應原文的行不扣分。"
    u"整行未打：最後一個計分的原文行之前、沒有人打的原文行，每字計一錯。"
    u"最後一行只計到打字的長度。上下兩列逐字對齊，和成績檔（.SCR）相同；"
    u"點線刪除的字是評分時標為錯、但不另扣分的字。本頁的數字與成績檔（.TOT、.SCR）相同。</p>\n";

}  // namespace

std::u16string ScoreReportHtml(const ScoreReport& report) {
  std::u16string body = Header(report);
  if (report.answer_too_small) {
    body +=
        u"<p class=\"notice\">答案檔沒有可以計分的內容：沒有任何一行超過一個字"
        u"（成績檔記為「＜檔案太小＞」）。</p>\n";
  }
  body += Breakdown(report);
  body += LinesSection(report);
  body += MistakesSection(report);
  body += kFootnote;
  const std::u16string title =
      u"成績報告 " + report.params.StuName + u" " + TestFileNameOf(report.params.TestPart);
  return html::Page(title, body, kPageCss);
}

}  // namespace keyin::report
