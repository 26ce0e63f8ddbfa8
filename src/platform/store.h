// Where the two databases live: the encrypted files, or one PostgreSQL server for both when
// KEYIN_DATABASE_URL is set. Every opener of the system goes through these functions, so a
// centre switches every executable at once by setting that one variable.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/database.h"

namespace keyin {

inline constexpr char kDatabaseUrlVariable[] = "KEYIN_DATABASE_URL";

// The connection string of the server, or nothing when the variable is unset or empty.
std::optional<std::string> DatabaseServerUrl();

// Opens one of the two databases: the file at `path` with its password, or the server. Throws
// StoreUnavailable for a missing file or a server that cannot be reached, refuses the login or
// has no such database; DatabaseError for any other failure.
std::unique_ptr<DbConnection> OpenStore(const std::string& path, const std::string& password);

// A connection of its own to the server that KEYIN_DATABASE_URL names (for state kept beside the
// databases, such as the exam room's). Throws StoreUnavailable as OpenStore does, and when the
// variable is not set.
std::unique_ptr<DbConnection> OpenDatabaseServer();

// True when the database exists: the file, or on the server any table of `schema`.
bool StoreExists(const std::string& path, const std::string& password,
                 const std::vector<std::string>& schema);

// Creates the database with the tables of `schema`: the file, or the tables on the server.
// `replace` first removes the file or drops those tables (their rows are lost); without it an
// existing database is refused with DatabaseError.
void CreateStore(const std::string& path, const std::string& password,
                 const std::vector<std::string>& schema, bool replace);

// Where the database lives, for messages: the file's path, or the server without its password.
std::string DescribeStore(const std::string& path);

}  // namespace keyin
