// Installing the two databases (the files, or the tables on the server that KEYIN_DATABASE_URL
// names) and the folders of the program folder.
#include <iostream>

#include "platform/database.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/store.h"
#include "records/schema.h"
#include "startup/databases.h"
#include "startup/run.h"
#include "tool/commands.h"

namespace keyin::tool {

int InitDb(bool force) {
  try {
    RecordingMessageSink no_messages;
    Run run(ProgramFolder(), no_messages);
    const bool server = DatabaseServerUrl().has_value();
    struct Database {
      std::string path;
      const char* password;
      const std::vector<std::string>& schema;
    };
    const Database databases[] = {
        {KeyinDatabasePath(run), kKeyinDatabasePassword, KeyinDatabaseSchema()},
        {AnswerDatabasePath(run), kAnswerDatabasePassword, AnswerDatabaseSchema()}};
    if (!force) {
      for (const Database& database : databases) {
        if (StoreExists(database.path, database.password, database.schema)) {
          Complain((server ? "the tables already exist in " : "") + DescribeStore(database.path) +
                   (server ? "" : " already exists") +
                   "; nothing was changed (use --force to replace it)");
          return 1;
        }
      }
    }
    for (const char* folder : {"lib", "ExamScr", "CAIScr"}) {
      CreateFolders(run.program_folder + "/" + folder);
    }
    const std::string& answer_path = databases[1].path;
    if (!server) CreateFolders(answer_path.substr(0, answer_path.rfind('/')));
    for (const Database& database : databases) {
      CreateStore(database.path, database.password, database.schema, force);
    }
    if (server) {
      std::cout << "created the tables in " << DescribeStore(answer_path) << "\n";
    } else {
      std::cout << "created " << databases[0].path << "\ncreated " << answer_path << "\n";
    }
    return 0;
  } catch (const std::exception& failure) {
    Complain(failure.what());
    return 1;
  }
}

}  // namespace keyin::tool
