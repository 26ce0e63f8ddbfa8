// keyin-tool copy-results: moves a seat's history from its database files to the centre's
// server, so that a centre switching to a server keeps every result scored before.
//
// Rows have no key of their own (two identical mock-test rows are two results), so the copy
// counts: a row that the files hold n times and the server m times is copied n - m times. A
// second copy therefore adds nothing, and neither does a copy of files whose rows are already on
// the server. All tables are copied in one transaction: a row the server refuses (a text that
// is no number in a NUMERIC column, a lone surrogate) leaves the server as it was.
#include <CLI/CLI.hpp>
#include <iostream>
#include <map>

#include "platform/database.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/store.h"
#include "records/databases.h"
#include "run/run_end.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

struct Counts {
  std::size_t copied = 0;
  std::size_t present = 0;
};

Counts CopyTable(DbConnection& files, DbConnection& server, const std::string& table) {
  Counts counts;
  const DbRows source = files.Query("SELECT * FROM " + table);
  if (source.AtEnd()) return counts;
  const std::vector<std::string>& columns = source.First().Columns();

  // The server's rows, each as its values in the order of the files' columns.
  std::map<std::vector<DbValue>, std::size_t> on_server;
  const DbRows present = server.Query("SELECT * FROM " + table);
  for (const DbRow& row : present.All()) {
    std::vector<DbValue> values;
    for (const std::string& column : columns) values.push_back(row[column]);
    ++on_server[values];
  }

  std::string names, placeholders;
  for (const std::string& column : columns) {
    names += (names.empty() ? "" : ", ") + column;
    placeholders += placeholders.empty() ? "?" : ", ?";
  }
  const std::string insert =
      "INSERT INTO " + table + " (" + names + ") VALUES (" + placeholders + ")";
  std::size_t number = 0;
  for (const DbRow& row : source.All()) {
    ++number;
    if (std::size_t& copies = on_server[row.Values()]; copies > 0) {
      --copies;
      ++counts.present;
      continue;
    }
    try {
      server.Execute(insert, row.Values());
    } catch (const DatabaseError& error) {
      throw DatabaseError("row " + std::to_string(number) + " of " + table + ": " + error.what());
    }
    ++counts.copied;
  }
  return counts;
}

int CopyResults() {
  if (!DatabaseServerUrl()) {
    Complain(std::string("copy-results copies the database files to the server that ") +
             kDatabaseUrlVariable + " names, and it is not set; nothing was copied");
    return 1;
  }
  try {
    const PathTranslator paths(ProgramFolder());
    struct Source {
      std::string path;
      const char* password;
      std::vector<std::string> tables;
    };
    const Source sources[] = {{KeyinDatabasePath(paths),
                               kKeyinDatabasePassword,
                               {"TestScore_Student", "OfflineScore", "TempScore"}},
                              {AnswerDatabasePath(paths), kAnswerDatabasePassword, {"Keyin"}}};
    const std::unique_ptr<DbConnection> server = OpenStore(sources[0].path, sources[0].password);
    std::vector<std::pair<std::string, Counts>> copied;
    {
      DbTransaction transaction(*server);
      for (const Source& source : sources) {
        const std::unique_ptr<DbConnection> files = OpenDatabase(source.path, source.password);
        for (const std::string& table : source.tables) {
          copied.emplace_back(table, CopyTable(*files, *server, table));
        }
      }
      transaction.Commit();
    }
    for (const auto& [table, counts] : copied) {
      std::cout << table << ": " << counts.copied << " copied, " << counts.present
                << " already on the server\n";
    }
    return kExitDone;
  } catch (const StoreUnavailable& unavailable) {
    Complain(std::string(unavailable.what()) + "; nothing was copied");
    return kExitDatabaseMissing;
  } catch (const std::exception& failure) {
    Complain(std::string(failure.what()) + "; nothing was copied");
    return kExitFailure;
  }
}

}  // namespace

void AddCopyResultsCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "copy-results", std::string("Copy every row of Vorkeyin.mdb and ANS.mdb to the PostgreSQL "
                                  "server that ") +
                          kDatabaseUrlVariable +
                          " names, leaving out rows the server already holds (running it twice "
                          "copies nothing twice); prints the counts per table. Exit status 3 "
                          "when a file is missing or the server cannot be reached");
  OnRun(command, CopyResults);
}

}  // namespace keyin::tool
