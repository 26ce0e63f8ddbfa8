// The SQLCipher store behind database.h.
//
// Files: an existing file is opened read-write and never created by OpenDatabase; CreateDatabase
// makes the file itself (exclusively) and removes it again when anything fails. The key is set in
// ApplyKey alone and checked at once by reading the schema, so a wrong password fails at the open
// and not at the first statement.
//
// Several processes share one file (rollback journal, the engine's default). Each connection
// waits up to kBusyTimeout for another's lock instead of failing at once. Begin takes the write
// lock at the start (BEGIN IMMEDIATE): a transaction that first read and later wanted to write
// could meet another writer doing the same, and the engine then fails one of them at once
// (waiting would never end); taking the lock first leaves only plain waiting in a queue.
//
// Values: a number is bound as an integer when it is whole and fits 64 bits (so 42 is stored as
// 42, not 42.0), otherwise as a double; integers and doubles read back as double. Text is sent and
// read as UTF-8 through utf8.h, which keeps a lone surrogate (a broken typed answer); the engine's
// own UTF-16 conversion would join it with the next code unit and lose that character. Bytes that
// are no UTF-8 (a file written by another tool) read as U+FFFD, one per bad byte. A BLOB reads as
// the text of its bytes, as the engine's CAST(x AS TEXT) does; the system itself stores no BLOBs.
#include "platform/database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/clock.h"
#include "platform/utf8.h"

namespace keyin {

namespace {

constexpr int kBusyTimeoutMilliseconds = 10'000;

// --- handles ------------------------------------------------------------------------------------

struct CloseDatabase {
  void operator()(sqlite3* database) const { sqlite3_close_v2(database); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, CloseDatabase>;

struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// The engine hands text out as unsigned bytes.
std::string_view AsBytes(const unsigned char* text, std::size_t size) {
  return {reinterpret_cast<const char*>(text), size};
}

std::string Quoted(std::string_view sql) { return "\"" + std::string(sql) + "\""; }

[[noreturn]] void ThrowEngineError(sqlite3* database, const std::string& what) {
  throw DatabaseError(what + ": " + sqlite3_errmsg(database));
}

// --- the Format function ------------------------------------------------------------------------

// Format(value, pattern): NULL for a NULL argument, a number unchanged, a text through
// FormatSqlValue.
void FormatFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
  if (sqlite3_value_type(arguments[0]) == SQLITE_NULL ||
      sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
    sqlite3_result_null(context);
    return;
  }
  if (sqlite3_value_type(arguments[0]) != SQLITE_TEXT) {
    sqlite3_result_value(context, arguments[0]);
    return;
  }
  try {
    const unsigned char* value = sqlite3_value_text(arguments[0]);
    const std::size_t value_size = static_cast<std::size_t>(sqlite3_value_bytes(arguments[0]));
    const unsigned char* pattern = sqlite3_value_text(arguments[1]);
    const std::size_t pattern_size = static_cast<std::size_t>(sqlite3_value_bytes(arguments[1]));
    if (value == nullptr || pattern == nullptr) {
      sqlite3_result_error_nomem(context);
      return;
    }
    const std::string result = EncodeUtf8(FormatSqlValue(
        DecodeUtf8(AsBytes(value, value_size)), DecodeUtf8(AsBytes(pattern, pattern_size))));
    sqlite3_result_text(context, result.data(), static_cast<int>(result.size()), SQLITE_TRANSIENT);
  } catch (const std::exception& error) {
    sqlite3_result_error(context, error.what(), -1);
  } catch (...) {
    sqlite3_result_error(context, "Format failed", -1);
  }
}

// --- the connection -----------------------------------------------------------------------------

int Bind(sqlite3_stmt* statement, int index, const DbValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return sqlite3_bind_null(statement, index);
  if (const double* number = std::get_if<double>(&value)) {
    // -2^63 <= number < 2^63, both bounds exact as doubles.
    const bool whole = std::trunc(*number) == *number && *number >= -9223372036854775808.0 &&
                       *number < 9223372036854775808.0;
    if (whole) return sqlite3_bind_int64(statement, index, static_cast<sqlite3_int64>(*number));
    return sqlite3_bind_double(statement, index, *number);
  }
  const std::string text = EncodeUtf8(std::get<std::u16string>(value));
  if (text.size() > static_cast<std::size_t>(INT_MAX)) return SQLITE_TOOBIG;
  return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                           SQLITE_TRANSIENT);
}

DbValue ColumnValue(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
      return std::monostate{};
    case SQLITE_INTEGER:
      return static_cast<double>(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
      return sqlite3_column_double(statement, column);
    default: {  // TEXT, or a BLOB read as the text of its bytes
      const unsigned char* text = sqlite3_column_text(statement, column);
      const int size = sqlite3_column_bytes(statement, column);
      if (text == nullptr) {
        if (size == 0) return std::u16string();
        throw DatabaseError("cannot read a column value: out of memory");
      }
      return DecodeUtf8(AsBytes(text, static_cast<std::size_t>(size)));
    }
  }
}

class SqlCipherConnection final : public DbConnection {
 public:
  explicit SqlCipherConnection(DatabaseHandle database) : database_(std::move(database)) {}

  void Execute(std::string_view sql, const std::vector<DbValue>& parameters) override {
    const StatementHandle statement = Prepare(sql, parameters);
    for (;;) {
      const int result = sqlite3_step(statement.get());
      if (result == SQLITE_DONE) return;
      if (result != SQLITE_ROW) ThrowEngineError(database_.get(), "cannot run " + Quoted(sql));
    }
  }

  DbRows Query(std::string_view sql, const std::vector<DbValue>& parameters) override {
    const StatementHandle statement = Prepare(sql, parameters);
    const int column_count = sqlite3_column_count(statement.get());
    auto columns = std::make_shared<std::vector<std::string>>();
    for (int column = 0; column < column_count; ++column) {
      const char* name = sqlite3_column_name(statement.get(), column);
      if (name == nullptr) throw DatabaseError("cannot read the column names: out of memory");
      columns->emplace_back(name);
    }
    std::vector<DbRow> rows;
    for (;;) {
      const int result = sqlite3_step(statement.get());
      if (result == SQLITE_DONE) break;
      if (result != SQLITE_ROW) ThrowEngineError(database_.get(), "cannot run " + Quoted(sql));
      std::vector<DbValue> values;
      values.reserve(static_cast<std::size_t>(column_count));
      for (int column = 0; column < column_count; ++column) {
        values.push_back(ColumnValue(statement.get(), column));
      }
      rows.emplace_back(columns, std::move(values));
    }
    return DbRows(std::move(rows));
  }

  void Begin() override { Execute("BEGIN IMMEDIATE", {}); }
  void Commit() override { Execute("COMMIT", {}); }

  void Rollback() override {
    // Some failures (a full disk, an I/O error) end the transaction inside the engine already.
    if (sqlite3_get_autocommit(database_.get()) == 0) Execute("ROLLBACK", {});
  }

  bool HasIndex(std::string_view name) override {
    return !Query("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ? COLLATE NOCASE",
                  {DecodeUtf8(name)})
                .AtEnd();
  }

 private:
  // Prepares exactly one statement and binds its values.
  StatementHandle Prepare(std::string_view sql, const std::vector<DbValue>& parameters) {
    if (sql.size() > static_cast<std::size_t>(INT_MAX)) {
      throw DatabaseError("statement too long: " + std::to_string(sql.size()) + " bytes");
    }
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int result =
        sqlite3_prepare_v2(database_.get(), sql.data(), static_cast<int>(sql.size()), &raw, &tail);
    StatementHandle statement(raw);
    if (result != SQLITE_OK) ThrowEngineError(database_.get(), "cannot prepare " + Quoted(sql));
    if (!statement) throw DatabaseError("no statement in " + Quoted(sql));

    // Only blanks and comments may follow: a second statement would otherwise be dropped unseen.
    const char* end = sql.data() + sql.size();
    if (tail != nullptr && tail < end) {
      sqlite3_stmt* extra = nullptr;
      const int tail_result =
          sqlite3_prepare_v2(database_.get(), tail, static_cast<int>(end - tail), &extra, nullptr);
      const StatementHandle extra_statement(extra);
      if (tail_result != SQLITE_OK || extra_statement) {
        throw DatabaseError("more than one statement in " + Quoted(sql));
      }
    }

    const int expected = sqlite3_bind_parameter_count(statement.get());
    if (static_cast<std::size_t>(expected) != parameters.size()) {
      throw DatabaseError(Quoted(sql) + " takes " + std::to_string(expected) + " values, " +
                          std::to_string(parameters.size()) + " given");
    }
    for (int index = 1; index <= expected; ++index) {
      if (Bind(statement.get(), index, parameters[static_cast<std::size_t>(index - 1)]) !=
          SQLITE_OK) {
        ThrowEngineError(database_.get(),
                         "cannot bind value " + std::to_string(index) + " of " + Quoted(sql));
      }
    }
    return statement;
  }

  DatabaseHandle database_;
};

// The one place that sets the encryption of a connection: SQLCipher's defaults for the cipher
// and the page size, and a cheaper key derivation (below), which the sqlcipher shell must be told
// too. An empty password sets no key: the file is a plain, unencrypted one.
void ApplyKey(sqlite3* database, const std::string& password) {
  if (password.empty()) return;
  if (password.find('\0') != std::string::npos) {
    throw DatabaseError("a database password cannot hold a NUL character");
  }
  std::string sql = "PRAGMA key = '";
  for (const char c : password) {
    sql += c;
    if (c == '\'') sql += '\'';
  }
  sql += "';";
  // Key derivation: 4,000 rounds of PBKDF2 instead of the engine's 64,000. The passwords are
  // fixed, published with the system and four to six characters long, so anyone holding a file
  // tries them all in seconds whatever the rounds; the rounds only cost every run an open of
  // tens of milliseconds. 4,000 is the engine's own earlier default, so an administrator's
  // sqlcipher shell opens the files with PRAGMA key and PRAGMA kdf_iter = 4000.
  sql += "PRAGMA kdf_iter = 4000;";
  const int result = sqlite3_exec(database, sql.c_str(), nullptr, nullptr, nullptr);
  if (result != SQLITE_OK) ThrowEngineError(database, "cannot set the database key");
}

// Opens an existing file, keys it, checks the key and prepares the connection for the system.
std::unique_ptr<DbConnection> Connect(const std::string& path, const std::string& password) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    throw DatabaseError("database file not found: " + path);
  }

  sqlite3* raw = nullptr;
  const int result = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  DatabaseHandle database(raw);
  if (result != SQLITE_OK) {
    throw DatabaseError("cannot open database " + path + ": " +
                        (raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(result)));
  }
  // Before the first read: the key check below already needs a shared lock.
  sqlite3_busy_timeout(database.get(), kBusyTimeoutMilliseconds);
  ApplyKey(database.get(), password);

  const int check =
      sqlite3_exec(database.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  if (check == SQLITE_NOTADB) {
    throw DatabaseError("cannot open database " + path + ": wrong password or not a database (" +
                        sqlite3_errmsg(database.get()) + ")");
  }
  if (check != SQLITE_OK) ThrowEngineError(database.get(), "cannot open database " + path);

  if (sqlite3_create_function_v2(database.get(), "Format", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                 nullptr, FormatFunction, nullptr, nullptr, nullptr) != SQLITE_OK) {
    ThrowEngineError(database.get(), "cannot register the Format function");
  }
  return std::make_unique<SqlCipherConnection>(std::move(database));
}

}  // namespace

// --- rows and transactions ----------------------------------------------------------------------

DbRow::DbRow(std::shared_ptr<const std::vector<std::string>> columns, std::vector<DbValue> values)
    : columns_(std::move(columns)), values_(std::move(values)) {}

const DbValue& DbRow::operator[](std::string_view column) const {
  const auto same = [column](const std::string& name) {
    if (name.size() != column.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
      const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
      if (lower(name[i]) != lower(column[i])) return false;
    }
    return true;
  };
  for (std::size_t i = 0; i < columns_->size() && i < values_.size(); ++i) {
    if (same((*columns_)[i])) return values_[i];
  }
  throw DatabaseError("no column " + std::string(column) + " in the result");
}

namespace {

std::string SavepointName(int depth) { return "keyin_" + std::to_string(depth); }

}  // namespace

DbTransaction::DbTransaction(DbConnection& connection)
    : connection_(connection), depth_(connection.open_transactions_) {
  if (depth_ == 0) {
    connection_.Begin();
  } else {
    connection_.Execute("SAVEPOINT " + SavepointName(depth_));
  }
  ++connection_.open_transactions_;
}

DbTransaction::~DbTransaction() {
  if (done_) return;
  --connection_.open_transactions_;
  try {
    if (depth_ == 0) {
      connection_.Rollback();
    } else {
      connection_.Execute("ROLLBACK TO SAVEPOINT " + SavepointName(depth_));
      connection_.Execute("RELEASE SAVEPOINT " + SavepointName(depth_));
    }
  } catch (...) {
    // A destructor must not throw; the engine rolls back on close anyway.
  }
}

void DbTransaction::Commit() {
  if (depth_ == 0) {
    connection_.Commit();
  } else {
    connection_.Execute("RELEASE SAVEPOINT " + SavepointName(depth_));
  }
  done_ = true;
  --connection_.open_transactions_;
}

// --- opening and creating -----------------------------------------------------------------------

std::unique_ptr<DbConnection> OpenDatabase(const std::string& path, const std::string& password) {
  return Connect(path, password);
}

void BackUpDatabase(const std::string& from, const std::string& to, const std::string& password) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(from, error)) {
    throw DatabaseError("database file not found: " + from);
  }
  const int file = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (file < 0) throw DatabaseError("cannot create " + to + ": " + std::strerror(errno));
  ::close(file);
  try {
    sqlite3* raw = nullptr;
    int result = sqlite3_open_v2(from.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    DatabaseHandle source(raw);
    if (result != SQLITE_OK) ThrowEngineError(source.get(), "cannot open database " + from);
    sqlite3_busy_timeout(source.get(), kBusyTimeoutMilliseconds);
    ApplyKey(source.get(), password);
    raw = nullptr;
    result = sqlite3_open_v2(to.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    DatabaseHandle target(raw);
    if (result != SQLITE_OK) ThrowEngineError(target.get(), "cannot open " + to);
    // The same key on both sides: the engine copies the encrypted pages as they are.
    ApplyKey(target.get(), password);
    sqlite3_backup* backup = sqlite3_backup_init(target.get(), "main", source.get(), "main");
    if (backup == nullptr) ThrowEngineError(target.get(), "cannot back up " + from);
    // All pages in one step: the source stays read-locked for the copy, so it is one state.
    int step = SQLITE_OK;
    for (int waited = 0; waited < kBusyTimeoutMilliseconds / 50; ++waited) {
      step = sqlite3_backup_step(backup, -1);
      if (step != SQLITE_BUSY && step != SQLITE_LOCKED) break;
      sqlite3_sleep(50);
    }
    sqlite3_backup_finish(backup);
    if (step != SQLITE_DONE) {
      throw DatabaseError("cannot back up " + from + ": " + sqlite3_errstr(step));
    }
    if (sqlite3_errcode(target.get()) != SQLITE_OK) {
      ThrowEngineError(target.get(), "cannot back up " + from);
    }
  } catch (...) {
    std::remove(to.c_str());
    throw;
  }
}

std::unique_ptr<DbConnection> CreateDatabase(const std::string& path, const std::string& password,
                                             const std::vector<std::string>& statements) {
  // O_EXCL: of two processes creating the same file, one fails instead of both sharing it.
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (file < 0) {
    if (errno == EEXIST) throw DatabaseError("database file already exists: " + path);
    throw DatabaseError("cannot create database file " + path + ": " + std::strerror(errno));
  }
  ::close(file);

  const auto remove_files = [&path] {
    // A journal left beside a removed file would be played into the next file of that name.
    std::remove((path + "-journal").c_str());
    std::remove(path.c_str());
  };
  try {
    std::unique_ptr<DbConnection> connection = Connect(path, password);
    {
      DbTransaction transaction(*connection);
      for (const std::string& statement : statements) connection->Execute(statement);
      transaction.Commit();
    }
    return connection;
  } catch (const DatabaseError& error) {
    remove_files();
    throw DatabaseError("cannot create database " + path + ": " + error.what());
  } catch (...) {
    remove_files();
    throw;
  }
}

// --- Format -------------------------------------------------------------------------------------

std::u16string FormatSqlValue(std::u16string_view value, std::u16string_view pattern) {
  std::string narrow;
  narrow.reserve(value.size());
  for (const char16_t unit : value) {
    if (unit > 0x7F) return std::u16string(value);  // date-time texts are ASCII
    narrow += static_cast<char>(unit);
  }
  const std::optional<DateTime> date_time = ParseDateTime(narrow);
  if (!date_time) return std::u16string(value);
  // Fields are ASCII letters and UTF-8 puts no ASCII byte inside a multi-byte character, so every
  // other character of the pattern passes through unchanged.
  const std::string text = FormatDateTime(*date_time, EncodeUtf8(pattern));
  return DecodeUtf8(text);
}

}  // namespace keyin
