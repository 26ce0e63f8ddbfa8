// Installing the two databases and the folders of the program folder.
#include <iostream>

#include "platform/database.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "records/schema.h"
#include "startup/databases.h"
#include "startup/run.h"
#include "tool/commands.h"

namespace keyin::tool {

int InitDb(bool force) {
  try {
    RecordingMessageSink no_messages;
    Run run(ProgramFolder(), no_messages);
    std::string keyin_path = KeyinDatabasePath(run);
    std::string answer_path = AnswerDatabasePath(run);
    if (!force) {
      for (const std::string& path : {keyin_path, answer_path}) {
        if (PathExists(path)) {
          Complain(path + " already exists; nothing was changed (use --force to replace it)");
          return 1;
        }
      }
    }
    for (const char* folder : {"lib", "ExamScr", "CAIScr"}) {
      CreateFolders(run.program_folder + "/" + folder);
    }
    CreateFolders(answer_path.substr(0, answer_path.rfind('/')));
    for (const std::string& path : {keyin_path, answer_path}) {
      if (force && PathExists(path)) DeleteFile(path);
    }
    CreateDatabase(keyin_path, kKeyinDatabasePassword, KeyinDatabaseSchema());
    CreateDatabase(answer_path, kAnswerDatabasePassword, AnswerDatabaseSchema());
    std::cout << "created " << keyin_path << "\ncreated " << answer_path << "\n";
    return 0;
  } catch (const std::exception& failure) {
    Complain(failure.what());
    return 1;
  }
}

}  // namespace keyin::tool
