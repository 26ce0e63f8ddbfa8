// The PostgreSQL store behind database.h: every table of both databases in one server database,
// shared by all the seats of an exam centre. store.h chooses it when KEYIN_DATABASE_URL is set.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/database.h"

namespace keyin {

// Connects to the server that `url` names (a libpq connection URI or key=value string). Throws
// StoreUnavailable when the server cannot be reached, refuses the login or has no such database.
// No description of a failure ever holds the password.
std::unique_ptr<DbConnection> OpenServerStore(const std::string& url);

// True when any table that the CREATE TABLE statements name exists on the server.
bool ServerHoldsTables(DbConnection& server, const std::vector<std::string>& statements);

// Creates the tables of the statements, and the store's Format function, in one transaction;
// `replace` drops those tables first (their rows are lost). Throws DatabaseError when a table
// exists and `replace` is false.
void CreateServerTables(DbConnection& server, const std::vector<std::string>& statements,
                        bool replace);

// "database <name> on <host>:<port>" for the server that `url` names, without user or password.
std::string DescribeServer(const std::string& url);

// --- pure helpers, exposed for their tests ------------------------------------------------------

// The statement as the server takes it: every "?" outside quotes and comments becomes $1, $2, ...
// in order, and a call of the store's Format function becomes keyin_format (the server's own
// format() means something else). `placeholders` receives the number of "?".
std::string ServerStatement(std::string_view sql, std::size_t& placeholders);

// `text` with every password that `url` holds replaced by "********".
std::string WithoutPasswords(std::string text, std::string_view url);

}  // namespace keyin
