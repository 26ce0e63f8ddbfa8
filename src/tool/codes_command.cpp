// codes: how each character of a text is typed in an input method, from its open table.
#include <CLI/CLI.hpp>
#include <iostream>

#include "platform/code_page.h"
#include "practice/code_tables.h"
#include "run/run_end.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {

void AddCodesCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "codes",
      "Print how each character of TEXT is typed in an input method: a line per character, its "
      "codes shortest first, each as keys and the keys' names (繽 vfjmc 女火十一金)");
  static std::string method, text;
  command
      ->add_option("--method", method,
                   "倉頡 (Cangjie 3), 新倉頡 (Cangjie 5), 速成, 行列, 大易, 注音 or 新注音 (the "
                   "reading, keys of the standard keyboard)")
      ->required();
  command->add_option("TEXT", text, "The characters")->required();
  OnRun(command, [] {
    const LoadedCodes loaded = LoadCodeTable(method);
    if (!loaded.table) {
      Complain("codes: " + loaded.missing);
      return kExitFailure;
    }
    const std::u16string characters = Utf8ToUtf16(text);
    for (std::size_t i = 0; i < characters.size(); ++i) {
      char32_t character = characters[i];
      std::size_t length = 1;
      if (character >= 0xD800 && character < 0xDC00 && i + 1 < characters.size()) {
        character = 0x10000 + ((character - 0xD800) << 10) + (characters[i + 1] - 0xDC00);
        length = 2;
      }
      std::cout << Utf16ToUtf8(characters.substr(i, length));
      i += length - 1;
      const std::vector<KeyCode> codes = CodesOf(*loaded.table, character);
      if (codes.empty()) std::cout << "\t-";
      for (const KeyCode& code : codes) std::cout << "\t" << code.keys << " " << code.names;
      std::cout << "\n";
    }
    return kExitDone;
  });
}

}  // namespace keyin::tool
