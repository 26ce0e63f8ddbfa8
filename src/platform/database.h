// The one database interface of the system: connections, statements with bound values, rows and
// transactions. The SQLCipher store implements it today; nothing outside platform/ names the
// engine, and the SQL sent through it stays plain.
//
// Values are bound, never joined into the SQL text: "?" marks each parameter, in order.
// Every failure throws DatabaseError with the engine's description.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace keyin {

class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A store that cannot be used at all: a database file that is missing, or a server that cannot be
// reached, refuses the login or has no such database. The description says why and never holds a
// password.
class StoreUnavailable : public DatabaseError {
 public:
  using DatabaseError::DatabaseError;
};

// A column value: empty (NULL), a number or a text.
using DbValue = std::variant<std::monostate, double, std::u16string>;

inline bool IsEmpty(const DbValue& value) { return std::holds_alternative<std::monostate>(value); }

// One row of a result set, values by column name (names compared without regard to case).
class DbRow {
 public:
  DbRow(std::shared_ptr<const std::vector<std::string>> columns, std::vector<DbValue> values);
  // Throws DatabaseError when the row has no such column.
  const DbValue& operator[](std::string_view column) const;
  const std::vector<DbValue>& Values() const { return values_; }
  // The column names, in the order of Values(), as the store spells them.
  const std::vector<std::string>& Columns() const { return *columns_; }
  // The values, moved out of a row that is no longer needed (large result sets).
  std::vector<DbValue> TakeValues() && { return std::move(values_); }

 private:
  std::shared_ptr<const std::vector<std::string>> columns_;
  std::vector<DbValue> values_;
};

// The rows of a query, all fetched at once (the result sets of the system are small).
class DbRows {
 public:
  explicit DbRows(std::vector<DbRow> rows) : rows_(std::move(rows)) {}
  std::size_t Count() const { return rows_.size(); }
  bool AtEnd() const { return rows_.empty(); }
  // Precondition: !AtEnd().
  const DbRow& First() const { return rows_.front(); }
  const std::vector<DbRow>& All() const { return rows_; }
  // The rows, moved out of a result set that is no longer needed.
  std::vector<DbRow> TakeAll() && { return std::move(rows_); }

 private:
  std::vector<DbRow> rows_;
};

class DbConnection {
 public:
  virtual ~DbConnection() = default;
  // Runs one statement that returns no rows.
  virtual void Execute(std::string_view sql, const std::vector<DbValue>& parameters = {}) = 0;
  // Runs one query and returns all its rows.
  virtual DbRows Query(std::string_view sql, const std::vector<DbValue>& parameters = {}) = 0;
  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  // True when the database holds an index of that name (compared without regard to case). A read
  // of the store's catalogue, which takes no write lock.
  virtual bool HasIndex(std::string_view name) = 0;

 private:
  friend class DbTransaction;
  int open_transactions_ = 0;  // DbTransactions alive on this connection
};

// Begins on construction; rolls back on destruction unless Commit() was called. Within another
// DbTransaction of the same connection it is a savepoint: rolling it back undoes its own
// statements only, and what it commits stands or falls with the transaction around it. (A batch
// that stores many results commits them together; each result still stores whole or not at all.)
class DbTransaction {
 public:
  explicit DbTransaction(DbConnection& connection);
  ~DbTransaction();
  DbTransaction(const DbTransaction&) = delete;
  DbTransaction& operator=(const DbTransaction&) = delete;
  void Commit();

 private:
  DbConnection& connection_;
  int depth_;  // 0 for the outermost transaction
  bool done_ = false;
};

// Opens an existing encrypted database file with its password. Throws DatabaseError when the
// file is missing, is not a database, or the password does not open it. A second process that
// writes the same file is waited for (busy timeout) instead of failing at once.
// Registers the SQL function Format(value, pattern) for date-time texts.
std::unique_ptr<DbConnection> OpenDatabase(const std::string& path, const std::string& password);

// Creates a new encrypted database file with the password and runs the statements in one
// transaction. Throws DatabaseError when the file exists or anything fails (the file is removed).
// Copies the database file `from` into a new file `to` (which must not exist) with SQLite's
// online backup: one consistent state of the database, taken while other connections go on
// writing (they wait for the copy, at most the busy timeout). Both are keyed with the password.
// Throws DatabaseError; `to` is then removed.
void BackUpDatabase(const std::string& from, const std::string& to, const std::string& password);

std::unique_ptr<DbConnection> CreateDatabase(const std::string& path, const std::string& password,
                                             const std::vector<std::string>& statements);

// The Format function of the store: a stored date-time text (yyyy/MM/dd HH:mm:ss or the like)
// written by a pattern of clock.h; a text that is no date-time comes back unchanged. Pure.
std::u16string FormatSqlValue(std::u16string_view value, std::u16string_view pattern);

}  // namespace keyin
