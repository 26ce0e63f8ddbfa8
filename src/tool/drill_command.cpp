// drill: a custom text of the lines holding the characters a candidate misses most, from the
// candidate's scored runs in the run log (audit/drill_history.h, practice/drill.h).
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "audit/drill_history.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "practice/code_tables.h"
#include "practice/drill.h"
#include "run/run_end.h"
#include "support/decoding.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

struct Options {
  std::string user, method, output;
  int lines = DrillLimits{}.max_lines;
  bool json = false;
};

// One line per drill character: the character, its misses and, with a table, its shortest code.
std::string CharacterList(const Drill& drill, const CodeTable* table) {
  std::string text;
  for (const DrillCharacter& character : drill.characters) {
    text +=
        Utf16ToUtf8(CharacterText(character.character)) + "\t" + std::to_string(character.misses);
    if (table) {
      const std::vector<KeyCode> codes = CodesOf(*table, character.character);
      text += codes.empty() ? "\t-" : "\t" + codes.front().keys + " " + codes.front().names;
    }
    text += "\n";
  }
  return text;
}

// The drill for another program (the exam room's server): an empty drill is an answer too.
std::string DrillJson(const Drill& drill, std::size_t runs, const LoadedCodes& loaded) {
  nlohmann::json characters = nlohmann::json::array();
  for (const DrillCharacter& character : drill.characters) {
    nlohmann::json entry = {{"character", Utf16ToUtf8(CharacterText(character.character))},
                            {"misses", character.misses},
                            {"right_runs", character.right_runs_since_last_miss}};
    if (loaded.table) {
      const std::vector<KeyCode> codes = CodesOf(*loaded.table, character.character);
      if (!codes.empty()) {
        entry["code"] = {{"method", loaded.table->method},
                         {"keys", codes.front().keys},
                         {"radicals", codes.front().names}};
      }
    }
    characters.push_back(std::move(entry));
  }
  nlohmann::json lines = nlohmann::json::array();
  for (const std::u16string& line : drill.lines) lines.push_back(Utf16ToUtf8(line));
  nlohmann::json document = {{"runs", runs}, {"characters", characters}, {"lines", lines}};
  if (!loaded.missing.empty()) document["codes_missing"] = loaded.missing;
  return document.dump() + "\n";
}

int MakeDrillFile(const Options& options) {
  const std::vector<RunCharacters> history = HistoryOf(ProgramFolder(), options.user);
  if (options.json) {
    const Drill drill = MakeDrill(
        history,
        {.right_runs_to_leave = DrillLimits{}.right_runs_to_leave, .max_lines = options.lines});
    const LoadedCodes loaded =
        options.method.empty() ? LoadedCodes{} : LoadCodeTable(options.method);
    WriteOutput("", DrillJson(drill, history.size(), loaded));
    return kExitDone;
  }
  if (history.empty()) {
    Complain("drill: the run log holds no scored run of " + options.user +
             " that can be read again: nothing written");
    return kExitFailure;
  }
  const Drill drill = MakeDrill(history, {.right_runs_to_leave = DrillLimits{}.right_runs_to_leave,
                                          .max_lines = options.lines});
  if (drill.lines.empty()) {
    Complain("drill: nothing to drill: " + options.user + " missed no character in " +
             std::to_string(history.size()) +
             " scored runs, or has typed each right since: nothing written");
    return kExitFailure;
  }
  LoadedCodes loaded;
  if (!options.method.empty()) loaded = LoadCodeTable(options.method);
  WriteOutput(options.output, EncodeCustomText(drill.lines));
  if (!options.method.empty() && !loaded.table) Complain("drill: " + loaded.missing);
  std::cout << CharacterList(drill, loaded.table ? &*loaded.table : nullptr) << std::flush;
  return kExitDone;
}

}  // namespace

void AddDrillCommand(CLI::App& app) {
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "drill",
      "A custom text (.cus, for a practice of TestType 0) of the lines of the papers a candidate "
      "typed that hold the characters the candidate misses most");
  command->add_option("--user", options->user, "The candidate's UserID")->required();
  command->add_option("--method", options->method,
                      "Show each character's shortest code in this input method (倉頡, 新倉頡, "
                      "速成, 行列, 大易, 注音, 新注音)");
  CLI::Option* json = command->add_flag(
      "--json", options->json,
      "Print the drill as JSON instead ({\"runs\", \"characters\": [{\"character\", "
      "\"misses\", \"right_runs\", \"code\"}], \"lines\"}); an empty drill is "
      "an answer, with exit status 0");
  command
      ->add_option("--output", options->output,
                   "The .cus file to write (replaced whole, only once complete)")
      ->excludes(json)
      ->check(CLI::Validator(
          [](std::string& value) {
            // Standard output carries the list of characters.
            return value == "-" ? std::string("the drill is written to a file") : std::string();
          },
          "FILE"));
  command->add_option("--lines", options->lines, "At most this many lines")
      ->check(CLI::Range(1, 2000))
      ->capture_default_str();
  command->footer(
      "Scores again every run of the candidate in the run log that stored its result, from the\n"
      "archive, against its paper as it is now (the archived copy when that is gone); opens no\n"
      "database. A character leaves the drill once typed right in 3 runs after its last miss.\n"
      "Prints one line per drill character, weakest first: the character, its misses and, with\n"
      "--method, its shortest code.\n"
      "\n"
      "Exit status: 0 written; 1 no scored run of that UserID, nothing to drill (nothing is\n"
      "written then) or a failure.");
  OnRun(command, [options] {
    if (options->output.empty() && !options->json) {
      Complain("drill: give --output X.cus, or --json");
      return kExitWrongArguments;
    }
    return MakeDrillFile(*options);
  });
}

}  // namespace keyin::tool
