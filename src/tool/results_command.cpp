// keyin-tool results: the stored results of the kinds of run that keep a row, selected by
// filters, as an aligned table, CSV, JSON or the HTML class report. Reading the rows and writing
// the output happen here; everything between is report/ and records/results_query.
//
// Nothing is written until the whole output is made: a failure (a database that does not open,
// a character code page 950 cannot hold) leaves no partial file, and --output replaces its file
// in one step through a temporary file in the same folder.
#include <CLI/CLI.hpp>

#include <array>
#include <cctype>
#include <cstdio>
#include <map>
#include <memory>

#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/terminal.h"
#include "platform/text_width.h"
#include "practice/code_tables.h"
#include "records/results_query.h"
#include "report/class_report.h"
#include "report/results_export.h"
#include "run/run_end.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

using report::ResultKind;

// A command line the command refuses: exit status 2, nothing read or written.
class Refused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FilterOption {
  const char* flag;
  const char* help;
  FilterField field;
  std::optional<std::u16string> ResultsFilter::*member;
};
const std::array<FilterOption, 7> kFilterOptions = {{
    {"--class", "Only results of this class", FilterField::kClass, &ResultsFilter::class_name},
    {"--session", "Only results of this test session", FilterField::kSession,
     &ResultsFilter::session},
    {"--user", "Only results of this test-taker ID", FilterField::kUser, &ResultsFilter::user},
    {"--paper", "Only results of this paper", FilterField::kPaper, &ResultsFilter::paper},
    {"--from", "Only results stored on or after this day (yyyy/MM/dd)", FilterField::kDates,
     &ResultsFilter::from},
    {"--to", "Only results stored on or before this day (yyyy/MM/dd)", FilterField::kDates,
     &ResultsFilter::to},
    {"--since", "Only results stored at or after this moment (\"yyyy/MM/dd HH:mm:ss\")",
     FilterField::kSince, &ResultsFilter::since},
}};

enum class Format { kTable, kCsv, kJson, kHtml };

struct Options {
  std::vector<std::string> kinds;
  std::array<std::string, kFilterOptions.size()> filter_values;
  std::array<CLI::Option*, kFilterOptions.size()> filter_given{};
  std::string format;
  std::string encoding = "utf-8";
  std::string output;
  std::string method;
};

std::string Padded(std::string text, std::size_t width) {
  text.resize(std::max(text.size(), width), ' ');
  return text;
}

// The footer of --help: which column each filter compares, generated from the queries.
std::string HelpFooter() {
  std::string footer =
      "Filters compare one stored column per kind of run (- : the table has none):\n";
  footer += "  " + Padded("filter", 13);
  for (const ResultKind kind : report::kAllKinds) {
    footer += Padded(
        std::string(report::KindName(kind)) + " (" + std::string(report::TableOf(kind)) + ")",
        kind == ResultKind::kPractice ? 0 : 26);
  }
  footer += "\n";
  for (std::size_t i = 0; i < kFilterOptions.size();
       i += kFilterOptions[i].field == FilterField::kDates ? 2 : 1) {
    const FilterOption& option = kFilterOptions[i];
    footer += "  " + Padded(option.field == FilterField::kDates ? "--from/--to" : option.flag, 13);
    for (const ResultKind kind : report::kAllKinds) {
      std::string column(FilterColumn(kind, option.field));
      if (column.starts_with("SittingCandidates.")) column = "roster's ClassName";
      footer += Padded(column.empty() ? "-" : column, 26);
    }
    while (footer.back() == ' ') footer.pop_back();
    footer += "\n";
  }
  footer +=
      "Without --kind, a kind whose table lacks a filter's column has no row that passes it;\n"
      "naming such a kind with --kind is refused, since it could never show a row.\n"
      "roster's ClassName: the class of the row's candidate on the roster of an exam-room\n"
      "sitting of the row's paper (the table SittingCandidates; an offline exam's row is found\n"
      "by its session and seat); a row no such sitting had has no class.\n"
      "Mock tests and offline exams store the session joined with the seat (session 3, seat 15:\n"
      "315), so --session matches the start of that text: --session 3 also takes session 30 to\n"
      "39. A practice row's tno names the paper and the part (P001-1): --paper P001 takes both\n"
      "parts. Dates compare the stored day; --from and --to are both inclusive. --since\n"
      "compares the stored date-time to the second, inclusive.\n"
      "\n"
      "Formats: table (the default when standard output is a terminal: aligned columns);\n"
      "csv (the default otherwise: UTF-8 with a byte-order mark, CR LF, RFC 4180; the columns\n"
      "are \"kind\" and the stored columns of the selected kinds' tables, an empty text written\n"
      "\"\" and an empty value as nothing; --encoding cp950 for older spreadsheet programs);\n"
      "json (an array of objects, \"kind\" and the stored columns, empty values null);\n"
      "html (the class report: one printable page with statistics and charts).\n"
      "With --output and no --format, the file's extension chooses: .csv, .json, .html, .htm,\n"
      ".txt (table); any other is csv. Every number is the stored value, written as the report\n"
      "files write numbers.\n"
      "\n"
      "Exit status: 0 written (an empty selection too), 1 a failure (nothing written),\n"
      "2 options refused, 3 a database missing.";
  return footer;
}

Format ChooseFormat(const Options& options) {
  static const std::map<std::string, Format> kByName = {{"table", Format::kTable},
                                                        {"csv", Format::kCsv},
                                                        {"json", Format::kJson},
                                                        {"html", Format::kHtml}};
  if (!options.format.empty()) return kByName.at(options.format);
  if (!options.output.empty() && options.output != "-") {
    static const std::map<std::string, Format> kByExtension = {{".csv", Format::kCsv},
                                                               {".json", Format::kJson},
                                                               {".html", Format::kHtml},
                                                               {".htm", Format::kHtml},
                                                               {".txt", Format::kTable}};
    const auto found = kByExtension.find(OutputExtension(options.output));
    return found != kByExtension.end() ? found->second : Format::kCsv;
  }
  return StandardOutputIsTerminal() ? Format::kTable : Format::kCsv;
}

// The filter of the command line; refuses days that are not yyyy/MM/dd and moments that are not
// yyyy/MM/dd HH:mm:ss.
ResultsFilter ReadFilter(const Options& options) {
  ResultsFilter filter;
  for (std::size_t i = 0; i < kFilterOptions.size(); ++i) {
    if (options.filter_given[i]->count() == 0) continue;
    const std::u16string value = Utf8ToUtf16(options.filter_values[i]);
    if (kFilterOptions[i].field == FilterField::kDates && !IsDay(value)) {
      throw Refused(std::string(kFilterOptions[i].flag) +
                    " needs a day written yyyy/MM/dd, got \"" + options.filter_values[i] + "\"");
    }
    if (kFilterOptions[i].field == FilterField::kSince && !IsDateTime(value)) {
      throw Refused(std::string(kFilterOptions[i].flag) +
                    " needs a date-time written \"yyyy/MM/dd HH:mm:ss\", got \"" +
                    options.filter_values[i] + "\"");
    }
    filter.*kFilterOptions[i].member = value;
  }
  if (filter.from && filter.to && *filter.from > *filter.to) {
    throw Refused("--from " + Utf16ToUtf8(*filter.from) + " is after --to " +
                  Utf16ToUtf8(*filter.to));
  }
  return filter;
}

// The kinds to read: those named (each must store every filter's column), else every kind.
std::vector<ResultKind> ChooseKinds(const Options& options) {
  if (options.kinds.empty()) return {report::kAllKinds.begin(), report::kAllKinds.end()};
  std::vector<ResultKind> kinds;
  for (const ResultKind kind : report::kAllKinds) {
    for (const std::string& name : options.kinds) {
      if (report::KindNamed(name) == kind) {
        kinds.push_back(kind);
        break;
      }
    }
  }
  for (const ResultKind kind : kinds) {
    for (std::size_t i = 0; i < kFilterOptions.size(); ++i) {
      if (options.filter_given[i]->count() == 0) continue;
      if (!FilterColumn(kind, kFilterOptions[i].field).empty()) continue;
      throw Refused(std::string(kFilterOptions[i].flag) + " cannot select " +
                    std::string(report::KindName(kind)) +
                    " results: " + std::string(report::TableOf(kind)) +
                    " has no column for it (see --help); leave out one of " +
                    kFilterOptions[i].flag + " and --kind " + std::string(report::KindName(kind)));
    }
  }
  return kinds;
}

// Code page 950 bytes of the CSV, or a failure that names the first character it cannot hold
// and where it stands.
std::string EncodeCp950(const std::u16string& text,
                        const std::vector<report::StoredResult>& results) {
  if (std::optional<std::string> bytes = Utf16ToCp950Exact(text)) return std::move(*bytes);
  for (std::size_t row = 0; row < results.size(); ++row) {
    const report::StoredResult& result = results[row];
    for (std::size_t column = 0; column < result.values.size(); ++column) {
      const auto* value = std::get_if<std::u16string>(&result.values[column]);
      if (value == nullptr || Utf16ToCp950Exact(*value)) continue;
      std::size_t at = 0;
      while (at < value->size()) {
        const std::size_t length =
            (*value)[at] >= 0xD800 && (*value)[at] <= 0xDBFF && at + 1 < value->size() ? 2 : 1;
        const std::u16string character = value->substr(at, length);
        if (!Utf16ToCp950Exact(character)) {
          char code[16];
          const char32_t point =
              length == 2 ? 0x10000 + ((character[0] - 0xD800) << 10) + (character[1] - 0xDC00)
                          : character[0];
          std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(point));
          throw RunFailure("code page 950 has no character for \"" + Utf16ToUtf8(character) +
                           "\" (" + code + ") in result " + std::to_string(row + 1) + ", column " +
                           std::string(report::StoredColumns(result.kind)[column]) +
                           "; nothing was written (leave out --encoding cp950 for UTF-8)");
        }
        at += length;
      }
    }
  }
  throw RunFailure("code page 950 cannot hold the text; nothing was written");
}

std::vector<std::pair<std::u16string, std::u16string>> SelectionOf(
    const Options& options, const std::vector<ResultKind>& kinds, const ResultsFilter& filter) {
  std::vector<std::pair<std::u16string, std::u16string>> selection;
  if (!options.kinds.empty()) {
    std::u16string labels;
    for (const ResultKind kind : kinds) {
      if (!labels.empty()) labels += u"、";
      labels += report::KindLabel(kind);
    }
    selection.emplace_back(u"類別", labels);
  }
  const std::pair<const char16_t*, const std::optional<std::u16string>*> named[] = {
      {u"班級", &filter.class_name},
      {u"場次", &filter.session},
      {u"帳號", &filter.user},
      {u"試卷", &filter.paper}};
  for (const auto& [label, value] : named) {
    if (*value) selection.emplace_back(label, **value);
  }
  if (filter.from || filter.to) {
    selection.emplace_back(u"日期", filter.from && filter.to ? *filter.from + u" 至 " + *filter.to
                                    : filter.from            ? *filter.from + u" 起"
                                                             : u"至 " + *filter.to);
  }
  if (filter.since) selection.emplace_back(u"時間", *filter.since + u" 起");
  return selection;
}

int RunResults(const Options& options) {
  try {
    const ResultsFilter filter = ReadFilter(options);
    // Only kinds that store every filter's column can have rows, and only their columns are
    // exported.
    std::vector<ResultKind> kinds = ChooseKinds(options);
    std::erase_if(kinds, [&](ResultKind kind) { return !BuildResultsQuery(kind, filter); });
    const Format format = ChooseFormat(options);
    const bool cp950 = options.encoding == "cp950";
    if (cp950 && format != Format::kCsv) {
      throw Refused("--encoding cp950 is for CSV only; JSON, HTML and tables are UTF-8");
    }
    std::vector<report::StoredResult> results = ReadSelection(ProgramFolder(), kinds, filter);
    std::string bytes;
    switch (format) {
      case Format::kCsv: {
        const std::u16string text = report::ResultsCsv(kinds, results, !cp950);
        bytes = cp950 ? EncodeCp950(text, results) : Utf16ToUtf8(text);
        break;
      }
      case Format::kJson:
        bytes = report::ResultsJson(results);
        break;
      case Format::kTable:
        bytes = Utf16ToUtf8(report::ResultsTable(results, DisplayWidth));
        break;
      case Format::kHtml: {
        report::ClassReportInput input;
        input.results = std::move(results);
        input.selection = SelectionOf(options, kinds, filter);
        input.generated_at = Utf8ToUtf16(FormatDateTime(LocalNow(), "yyyy/MM/dd HH:mm:ss"));
        LoadedCodes codes;
        if (!options.method.empty()) codes = LoadCodeTable(options.method);
        if (codes.table) input.codes = &*codes.table;
        input.codes_missing = codes.missing;
        bytes = Utf16ToUtf8(report::ClassReport(input));
        break;
      }
    }
    WriteOutput(options.output, bytes);
    return kExitDone;
  } catch (const Refused& refused) {
    Complain(std::string("results: ") + refused.what());
    return kExitWrongArguments;
  } catch (const ResultsStoreMissing& missing) {
    Complain(std::string("results: ") + missing.what());
    return kExitDatabaseMissing;
  } catch (const std::exception& failure) {
    Complain(std::string("results: ") + failure.what());
    return kExitFailure;
  }
}

}  // namespace

void AddResultsCommand(CLI::App& app) {
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "results",
      "List, export or chart the stored results (Keyin, OfflineScore, TestScore_Student, "
      "TempScore) for teachers");
  command
      ->add_option("--kind", options->kinds,
                   "Only these kinds of run: exam (Keyin), offline (OfflineScore), mock "
                   "(TestScore_Student), practice (TempScore); repeat or separate by commas; "
                   "every kind when not given")
      ->delimiter(',')
      ->check(CLI::IsMember({"exam", "offline", "mock", "practice"}));
  for (std::size_t i = 0; i < kFilterOptions.size(); ++i) {
    options->filter_given[i] = command->add_option(
        kFilterOptions[i].flag, options->filter_values[i], kFilterOptions[i].help);
  }
  command
      ->add_option("--format", options->format,
                   "table, csv, json or html (see below for the default)")
      ->check(CLI::IsMember({"table", "csv", "json", "html"}));
  command
      ->add_option("--encoding", options->encoding,
                   "Encoding of CSV: utf-8 (the default, with a byte-order mark) or cp950")
      ->check(CLI::IsMember({"utf-8", "cp950"}));
  command->add_option("--method", options->method,
                      "With --format html: the hardest characters show their codes in this input "
                      "method (倉頡, 新倉頡, 速成, 行列, 大易, 注音, 新注音)");
  AddOutputOption(command, options->output);
  command->footer(HelpFooter());
  OnRun(command, [options] { return RunResults(*options); });
}

}  // namespace keyin::tool
