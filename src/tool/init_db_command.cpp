// init-db: installs the two databases and the folders of the program folder.
#include <CLI/CLI.hpp>
#include <iostream>

#include "platform/database.h"
#include "platform/file_system.h"
#include "platform/store.h"
#include "records/databases.h"
#include "records/schema.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

int InitDb(bool force) {
  const PathTranslator paths(ProgramFolder());
  const bool server = DatabaseServerUrl().has_value();
  struct Database {
    std::string path;
    const char* password;
    const std::vector<std::string>* schema;
  };
  std::vector<Database> databases;
  if (server) {
    // A server keeps both databases in one, which holds each table once.
    databases.push_back({AnswerDatabasePath(paths), kAnswerDatabasePassword, &OneDatabaseSchema()});
  } else {
    databases.push_back({KeyinDatabasePath(paths), kKeyinDatabasePassword, &KeyinDatabaseSchema()});
    databases.push_back(
        {AnswerDatabasePath(paths), kAnswerDatabasePassword, &AnswerDatabaseSchema()});
  }
  if (!force) {
    for (const Database& database : databases) {
      if (StoreExists(database.path, database.password, *database.schema)) {
        Complain((server ? "the tables already exist in " : "") + DescribeStore(database.path) +
                 (server ? "" : " already exists") +
                 "; nothing was changed (use --force to replace it)");
        return 1;
      }
    }
  }
  for (const char* folder : {"lib", "ExamScr", "CAIScr"}) {
    CreateFolders(paths.ProgramFolder() + "/" + folder);
  }
  const std::string answer_path = AnswerDatabasePath(paths);
  if (!server) CreateFolders(answer_path.substr(0, answer_path.rfind('/')));
  for (const Database& database : databases) {
    CreateStore(database.path, database.password, *database.schema, force);
  }
  if (server) {
    std::cout << "created the tables in " << DescribeStore(answer_path) << "\n";
  } else {
    std::cout << "created " << KeyinDatabasePath(paths) << "\ncreated " << answer_path << "\n";
  }
  return 0;
}

}  // namespace

void AddInitDbCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "init-db",
      "Create Vorkeyin.mdb in the program folder (KEYIN_HOME or the folder of the executable), "
      "the answer database C:\\ANS.VOR\\ANS.mdb (translated through KEYIN_DRIVE_C) and the "
      "folders lib/, ExamScr/ and CAIScr/; with KEYIN_DATABASE_URL set, the tables of both "
      "databases on that PostgreSQL server instead of the files");
  command->add_flag("--force")->description(
      "Replace databases (or the server's tables) that already exist: their rows are lost");
  OnRun(command, [command] { return InitDb(command->count("--force") > 0); });
}

}  // namespace keyin::tool
