// backup and restore: a copy of a program folder taken while runs go on, and its return into an
// empty one. A run keeps its inputs in the archive, then stores its row, then appends its log
// line; the copy takes them in the opposite order, so that every log line of the copy finds its
// row and every row its archived inputs:
//   1. the run log, up to its last whole line;
//   2. both databases, each one consistent state through SQLite's online backup (a row stored
//      after step 1 is there without its line, as after a run killed before logging, which the
//      table of finished runs already tells); a PostgreSQL store is backed up with pg_dump;
//   3. the archive, the papers (lib/), the accounts and the exam room's state;
//   4. backup.json last: a copy without it was cut short, and restore refuses it.
#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "audit/archive.h"
#include "platform/clock.h"
#include "platform/database.h"
#include "platform/durable_file.h"
#include "platform/file_system.h"
#include "platform/store.h"
#include "records/databases.h"
#include "run/run_end.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

constexpr char kManifest[] = "backup.json";
constexpr char kKeyinCopy[] = "databases/Vorkeyin.mdb";
constexpr char kAnswerCopy[] = "databases/ANS.mdb";
constexpr char kRunLogCopy[] = "log/runs.jsonl";

// The folders of the program folder that are copied as they are, and the files.
constexpr const char* kFolders[] = {"archive", "lib", "exam-room"};
constexpr const char* kFiles[] = {"accounts.json", "account-actions.jsonl"};

std::string Folder(const std::string& path) { return path.substr(0, path.rfind('/')); }

int Backup(const std::string& target) {
  const std::string home = ProgramFolder();
  const PathTranslator paths(home);
  if (!IsEmptyOrMissing(target)) {
    Complain(target + " is not empty; a backup goes into a new or empty folder");
    return kExitWrongArguments;
  }
  CreateFolders(target + "/databases");
  nlohmann::json manifest = {{"taken_at", FormatDateTime(LocalNow(), "yyyy/MM/dd HH:mm:ss")},
                             {"program_folder", home}};
  // Whole lines only: a run appending at this moment has its line in a later backup.
  if (std::optional<std::string> log = ReadFileIfAny(RunLogPath(home))) {
    log->resize(log->rfind('\n') == std::string::npos ? 0 : log->rfind('\n') + 1);
    CreateFolders(Folder(target + "/" + kRunLogCopy));
    WriteFileDurably(target + "/" + kRunLogCopy, *log);
  }
  if (const std::optional<std::string> url = DatabaseServerUrl()) {
    manifest["databases"] = "server";  // what is on the server is pg_dump's
    std::cout << "the databases are on " << DescribeStore(AnswerDatabasePath(paths))
              << ": back them up with pg_dump --format=custom (and restore with pg_restore)\n";
  } else {
    BackUpDatabase(KeyinDatabasePath(paths), target + "/" + kKeyinCopy, kKeyinDatabasePassword);
    BackUpDatabase(AnswerDatabasePath(paths), target + "/" + kAnswerCopy, kAnswerDatabasePassword);
    manifest["databases"] = "files";
  }
  int files = 0;
  for (const char* folder : kFolders) {
    if (IsFolder(home + "/" + folder)) {
      files += CopyFolder(home + "/" + folder, target + "/" + folder, "server.lock");
    }
  }
  for (const char* file : kFiles) {
    if (IsNormalFile(home + "/" + file)) {
      CopyFileReplacing(home + "/" + file, target + "/" + file);
      ++files;
    }
  }
  manifest["files"] = files;
  SyncFileSystemOf(target);  // every copy on the disk before the manifest says the copy is whole
  WriteFileDurably(target + "/" + kManifest, manifest.dump(2) + "\n");
  std::cout << "backed up " << home << " into " << target << "\n";
  return kExitDone;
}

int Restore(const std::string& source) {
  const std::string home = ProgramFolder();
  const PathTranslator paths(home);
  const std::optional<std::string> manifest_text = ReadFileIfAny(source + "/" + kManifest);
  const nlohmann::json manifest =
      manifest_text ? nlohmann::json::parse(*manifest_text, nullptr, false) : nlohmann::json();
  if (!manifest.is_object()) {
    Complain(source + " holds no whole backup (" + kManifest + " is missing or damaged)");
    return kExitWrongArguments;
  }
  if (!IsEmptyOrMissing(home)) {
    Complain("the program folder " + home + " is not empty; restore goes into an empty one");
    return kExitWrongArguments;
  }
  CreateFolders(home);
  if (manifest.value("databases", "") == "files") {
    for (const auto& [copy, path] : {std::pair{kKeyinCopy, KeyinDatabasePath(paths)},
                                     std::pair{kAnswerCopy, AnswerDatabasePath(paths)}}) {
      CreateFolders(Folder(path));
      CopyFileReplacing(source + "/" + copy, path);
    }
  } else {
    std::cout << "the databases were on a server: restore them there with pg_restore\n";
  }
  if (IsNormalFile(source + "/" + kRunLogCopy)) {
    CreateFolders(Folder(RunLogPath(home)));
    CopyFileReplacing(source + "/" + kRunLogCopy, RunLogPath(home));
  }
  for (const char* folder : kFolders) {
    if (IsFolder(source + "/" + folder)) CopyFolder(source + "/" + folder, home + "/" + folder);
  }
  for (const char* file : kFiles) {
    if (IsNormalFile(source + "/" + file))
      CopyFileReplacing(source + "/" + file, home + "/" + file);
  }
  for (const char* folder : {"ExamScr", "CAIScr"}) CreateFolders(home + "/" + folder);
  SyncFileSystemOf(home);
  std::cout << "restored " << source << " (taken " << manifest.value("taken_at", "") << ") into "
            << home << "\n";
  return kExitDone;
}

}  // namespace

void AddBackupCommands(CLI::App& app) {
  static std::string folder;
  CLI::App* backup = app.add_subcommand(
      "backup",
      "Copy the program folder's databases, run log, archive, papers, accounts and exam-room "
      "state into a new or empty folder, while runs go on");
  backup->add_option("DIR", folder, "The folder of the copy")->required();
  OnRun(backup, [] { return Backup(folder); });

  CLI::App* restore =
      app.add_subcommand("restore", "Put a backup back into an empty program folder ($KEYIN_HOME)");
  restore->add_option("DIR", folder, "The folder of the copy")->required();
  OnRun(restore, [] { return Restore(folder); });
}

}  // namespace keyin::tool
