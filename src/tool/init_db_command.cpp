// init-db: installs the two databases and the folders of the program folder.
#include <CLI/CLI.hpp>
#include <iostream>

#include "platform/database.h"
#include "platform/file_system.h"
#include "records/databases.h"
#include "records/schema.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

int InitDb(bool force) {
  const PathTranslator paths(ProgramFolder());
  const std::string keyin_path = KeyinDatabasePath(paths);
  const std::string answer_path = AnswerDatabasePath(paths);
  if (!force) {
    for (const std::string& path : {keyin_path, answer_path}) {
      if (PathExists(path)) {
        Complain(path + " already exists; nothing was changed (use --force to replace it)");
        return 1;
      }
    }
  }
  for (const char* folder : {"lib", "ExamScr", "CAIScr"}) {
    CreateFolders(paths.ProgramFolder() + "/" + folder);
  }
  CreateFolders(answer_path.substr(0, answer_path.rfind('/')));
  for (const std::string& path : {keyin_path, answer_path}) {
    if (force && PathExists(path)) DeleteFile(path);
  }
  CreateDatabase(keyin_path, kKeyinDatabasePassword, KeyinDatabaseSchema());
  CreateDatabase(answer_path, kAnswerDatabasePassword, AnswerDatabaseSchema());
  std::cout << "created " << keyin_path << "\ncreated " << answer_path << "\n";
  return 0;
}

}  // namespace

void AddInitDbCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "init-db",
      "Create Vorkeyin.mdb in the program folder (KEYIN_HOME or the folder of the executable), "
      "the answer database C:\\ANS.VOR\\ANS.mdb (translated through KEYIN_DRIVE_C) and the "
      "folders lib/, ExamScr/ and CAIScr/");
  command->add_flag("--force")->description("Replace databases that already exist");
  OnRun(command, [command] { return InitDb(command->count("--force") > 0); });
}

}  // namespace keyin::tool
