// The PostgreSQL store behind database.h, through libpq.
//
// Statements: the records code writes "?" for its values and calls the store's Format function;
// ServerStatement turns them into $1, $2, ... and keyin_format, a function that CreateServerTables
// installs beside the tables. Unquoted names fold to lower case on the server, so the tables
// answer to the names the statements use (Keyin, TestScore_Student) and rows are read by name
// without regard to case, as the file store does.
//
// Values travel as text. A number is sent in its shortest exact form (36, 0.5, 5.2) into NUMERIC
// columns, which keep decimals exactly, and comes back as the same double; NaN is sent as NULL, as
// the file store keeps it. A text must be valid UTF-8 for the server: a lone surrogate or a NUL
// character has no place in it, so such a text is refused with a clear error rather than stored
// changed (the file store keeps both).
//
// Writers: Begin takes one transaction-scoped advisory lock that every writer of the system
// shares, so a read-then-write (a second part reading its first) runs alone among writers, as on
// the file store where BEGIN IMMEDIATE takes the file's write lock. The transactions hold the
// lock for a few round trips; waiting for it is bounded (kLockTimeout), after which the run fails
// with "locked" in its description. Under READ COMMITTED with that lock no serialization failure
// can arise, so nothing needs to be retried. A connection that drops inside a transaction leaves
// nothing behind: the server rolls back what it had not committed.
//
// Passwords: the connection string may hold one. No description leaves this file without
// WithoutPasswords, and the string itself is never shown.
#include "platform/postgres_store.h"

#include <libpq-fe.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/code_page.h"

namespace keyin {
namespace {

constexpr char kLockTimeout[] = "10s";
// The writers' lock: one number for the whole system ("keyin" in ASCII).
constexpr char kWritersLock[] = "461195306350";
constexpr char kRedacted[] = "********";

// The Format function of the store, as FormatSqlValue computes it: a date-time text
// "yyyy/M/d[ H:m:s]" ("-" for "/" allowed) written by the pattern's fields (longest first at each
// position); any other text comes back unchanged.
constexpr char kFormatFunction[] = R"sql(
CREATE OR REPLACE FUNCTION keyin_format(value text, pattern text) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $function$
DECLARE
  parts text[];
  fields int[];
  tokens text[] := ARRAY['yyyy', 'MM', 'M', 'dd', 'd', 'HH', 'H', 'mm', 'm', 'ss', 's'];
  slots int[] := ARRAY[1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6];
  widths int[] := ARRAY[4, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1];
  result text := '';
  position int := 1;
  k int;
  matched boolean;
  digits text;
BEGIN
  IF value IS NULL OR pattern IS NULL THEN
    RETURN NULL;
  END IF;
  parts := regexp_match(value,
    '^([0-9]{4})([/-])([0-9]{1,2})\2([0-9]{1,2})(?: ([0-9]{1,2}):([0-9]{1,2}):([0-9]{1,2}))?$');
  IF parts IS NULL THEN
    RETURN value;
  END IF;
  fields := ARRAY[parts[1]::int, parts[3]::int, parts[4]::int, coalesce(parts[5], '0')::int,
                  coalesce(parts[6], '0')::int, coalesce(parts[7], '0')::int];
  IF fields[1] < 1 OR fields[2] NOT BETWEEN 1 AND 12 OR fields[3] < 1
     OR fields[3] > extract(day FROM make_date(fields[1], fields[2], 1)
                                      + interval '1 month' - interval '1 day')
     OR fields[4] > 23 OR fields[5] > 59 OR fields[6] > 59 THEN
    RETURN value;
  END IF;
  WHILE position <= length(pattern) LOOP
    matched := false;
    FOR k IN 1 .. array_length(tokens, 1) LOOP
      IF substr(pattern, position, length(tokens[k])) = tokens[k] THEN
        digits := fields[slots[k]]::text;
        IF length(digits) < widths[k] THEN
          digits := lpad(digits, widths[k], '0');
        END IF;
        result := result || digits;
        position := position + length(tokens[k]);
        matched := true;
        EXIT;
      END IF;
    END LOOP;
    IF NOT matched THEN
      result := result || substr(pattern, position, 1);
      position := position + 1;
    END IF;
  END LOOP;
  RETURN result;
END
$function$)sql";

// --- statements ---------------------------------------------------------------------------------

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

bool SameLetters(std::string_view text, std::string_view lower_word) {
  if (text.size() != lower_word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? char(text[i] - 'A' + 'a') : text[i];
    if (c != lower_word[i]) return false;
  }
  return true;
}

// "$tag$" or "$$" at the start of `sql`: the opening of a dollar-quoted text, or "".
std::string_view DollarTag(std::string_view sql) {
  if (sql.empty() || sql[0] != '$') return {};
  std::size_t end = 1;
  while (end < sql.size() &&
         (std::isalpha(static_cast<unsigned char>(sql[end])) || sql[end] == '_')) {
    ++end;
  }
  return end < sql.size() && sql[end] == '$' ? sql.substr(0, end + 1) : std::string_view();
}

// --- connection strings -------------------------------------------------------------------------

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool IsUri(std::string_view url) {
  return url.starts_with("postgresql://") || url.starts_with("postgres://");
}

// Every password the text of `url` may hold, as written and percent-decoded: the one libpq reads
// from it, and what a hand scan finds where libpq cannot parse it.
std::vector<std::string> PasswordsIn(std::string_view url) {
  std::vector<std::string> found;
  const auto add = [&found](std::string_view password) {
    if (password.empty()) return;
    found.emplace_back(password);
    found.push_back(PercentDecoded(password));
  };
  const std::string text(url);
  char* error = nullptr;
  if (PQconninfoOption* options = PQconninfoParse(text.c_str(), &error)) {
    for (PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
      if (std::string_view(option->keyword) == "password" && option->val != nullptr) {
        add(option->val);
      }
    }
    PQconninfoFree(options);
  }
  PQfreemem(error);

  if (IsUri(url)) {
    const std::size_t start = url.find("://") + 3;
    const std::size_t at = url.find('@', start);
    const std::size_t slash = url.find('/', start);
    if (at != std::string_view::npos && (slash == std::string_view::npos || at < slash)) {
      const std::string_view user_info = url.substr(start, at - start);
      if (const std::size_t colon = user_info.find(':'); colon != std::string_view::npos) {
        add(user_info.substr(colon + 1));
      }
    }
  }
  // "password=..." in a key=value string or a URI's query, with blanks around "=" and quotes.
  for (std::size_t key = url.find("password"); key != std::string_view::npos;
       key = url.find("password", key + 1)) {
    std::size_t position = key + 8;
    while (position < url.size() && url[position] == ' ') ++position;
    if (position >= url.size() || url[position] != '=') continue;
    ++position;
    while (position < url.size() && url[position] == ' ') ++position;
    std::string value;
    if (position < url.size() && url[position] == '\'') {
      for (++position; position < url.size() && url[position] != '\''; ++position) {
        if (url[position] == '\\' && position + 1 < url.size()) ++position;
        value += url[position];
      }
    } else {
      while (position < url.size() && url[position] != ' ' && url[position] != '&') {
        value += url[position++];
      }
    }
    add(value);
  }
  if (const char* variable = std::getenv("PGPASSWORD")) add(variable);
  return found;
}

// libpq's messages end in a newline and may span lines; a description is one line.
std::string OneLine(std::string_view message) {
  std::string out;
  bool blank = false;
  for (const char c : message) {
    if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

// --- values -------------------------------------------------------------------------------------

// The text as UTF-8 for the server; refuses what the server's UTF-8 cannot hold.
std::string ServerText(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    if (high || low || unit == 0) {
      char code[8];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(unit));
      throw DatabaseError(std::string("cannot store a text holding ") +
                          (unit == 0 ? "a NUL character" : "a lone surrogate") + " (" + code +
                          " at character " + std::to_string(i + 1) +
                          ") on the server: its UTF-8 texts have no such character");
    }
  }
  return Utf16ToUtf8(text);
}

// The parameter as text, or nothing for NULL.
std::optional<std::string> ServerValue(const DbValue& value) {
  if (IsEmpty(value)) return std::nullopt;
  if (const double* number = std::get_if<double>(&value)) {
    if (std::isnan(*number)) return std::nullopt;
    if (std::isinf(*number)) return *number > 0 ? "Infinity" : "-Infinity";
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, *number);
    if (error != std::errc()) throw DatabaseError("cannot write a number for the server");
    return std::string(buffer, end);
  }
  return ServerText(std::get<std::u16string>(value));
}

constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kNumeric = 1700;

double NumberOfText(std::string_view text) {
  if (text == "NaN") return std::numeric_limits<double>::quiet_NaN();
  if (text == "Infinity") return std::numeric_limits<double>::infinity();
  if (text == "-Infinity") return -std::numeric_limits<double>::infinity();
  double number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) {
    throw DatabaseError("cannot read the number \"" + std::string(text) + "\" from the server");
  }
  return number;
}

DbValue ColumnValue(const PGresult* result, int row, int column) {
  if (PQgetisnull(result, row, column)) return std::monostate{};
  const std::string_view text(PQgetvalue(result, row, column),
                              static_cast<std::size_t>(PQgetlength(result, row, column)));
  switch (PQftype(result, column)) {
    case kBool:
      return text == "t" ? 1.0 : 0.0;  // as the file store's comparisons give 1 and 0
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return NumberOfText(text);
    default:
      return Utf8ToUtf16(text);
  }
}

// --- the connection -----------------------------------------------------------------------------

struct ClearResult {
  void operator()(PGresult* result) const { PQclear(result); }
};
using ResultHandle = std::unique_ptr<PGresult, ClearResult>;

struct FinishConnection {
  void operator()(PGconn* connection) const { PQfinish(connection); }
};
using ConnectionHandle = std::unique_ptr<PGconn, FinishConnection>;

std::string Quoted(std::string_view sql) { return "\"" + std::string(sql) + "\""; }

// The table that a "CREATE TABLE <name> (...)" statement creates, or "".
std::string CreatedTable(std::string_view statement) {
  constexpr std::string_view kCreate = "create table ";
  if (statement.size() < kCreate.size() ||
      !SameLetters(statement.substr(0, kCreate.size()), kCreate)) {
    return {};
  }
  std::string_view rest = statement.substr(kCreate.size());
  rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
  std::size_t end = 0;
  while (end < rest.size() && IsIdentifierChar(rest[end])) ++end;
  return std::string(rest.substr(0, end));
}

class ServerConnection final : public DbConnection {
 public:
  ServerConnection(ConnectionHandle connection, std::string url)
      : connection_(std::move(connection)), url_(std::move(url)) {}

  void Execute(std::string_view sql, const std::vector<DbValue>& parameters) override {
    Run(sql, parameters);
  }

  DbRows Query(std::string_view sql, const std::vector<DbValue>& parameters) override {
    const ResultHandle result = Run(sql, parameters);
    const int column_count = PQnfields(result.get());
    auto columns = std::make_shared<std::vector<std::string>>();
    for (int column = 0; column < column_count; ++column) {
      columns->emplace_back(PQfname(result.get(), column));
    }
    std::vector<DbRow> rows;
    const int row_count = PQntuples(result.get());
    rows.reserve(static_cast<std::size_t>(row_count));
    for (int row = 0; row < row_count; ++row) {
      std::vector<DbValue> values;
      values.reserve(static_cast<std::size_t>(column_count));
      for (int column = 0; column < column_count; ++column) {
        values.push_back(ColumnValue(result.get(), row, column));
      }
      rows.emplace_back(columns, std::move(values));
    }
    return DbRows(std::move(rows));
  }

  void Begin() override {
    const std::string begin = std::string("BEGIN ISOLATION LEVEL READ COMMITTED; ") +
                              "SET LOCAL lock_timeout = '" + kLockTimeout + "'; " +
                              "SELECT pg_advisory_xact_lock(" + kWritersLock + ")";
    const ResultHandle result(PQexec(connection_.get(), begin.c_str()));
    if (PQresultStatus(result.get()) == PGRES_TUPLES_OK) return;
    const char* state = PQresultErrorField(result.get(), PG_DIAG_SQLSTATE);
    std::string description = Failure(result.get());
    Rollback();  // the transaction stays open after a failed lock
    if (state != nullptr && std::string_view(state) == "55P03") {
      throw DatabaseError(std::string("the result store stayed locked by another writer for ") +
                          kLockTimeout + ": " + description);
    }
    throw DatabaseError("cannot begin a transaction: " + description);
  }

  void Commit() override {
    const ResultHandle result(PQexec(connection_.get(), "COMMIT"));
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
      throw DatabaseError("cannot commit: " + Failure(result.get()));
    }
    // A transaction that failed earlier answers COMMIT with ROLLBACK and no error.
    if (std::string_view(PQcmdStatus(result.get())) != "COMMIT") {
      throw DatabaseError("the server rolled the transaction back");
    }
  }

  bool HasIndex(std::string_view name) override {
    // An unquoted name folds to lower case, as the CREATE INDEX that made it did.
    return Query("SELECT to_regclass(?) IS NOT NULL AS found", {Utf8ToUtf16(name)})
               .First()["found"] == DbValue(1.0);
  }

  void Rollback() override {
    const PGTransactionStatusType status = PQtransactionStatus(connection_.get());
    if (status != PQTRANS_INTRANS && status != PQTRANS_INERROR) return;
    const ResultHandle result(PQexec(connection_.get(), "ROLLBACK"));
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
      throw DatabaseError("cannot roll back: " + Failure(result.get()));
    }
  }

 private:
  ResultHandle Run(std::string_view sql, const std::vector<DbValue>& parameters) {
    std::size_t placeholders = 0;
    const std::string statement = ServerStatement(sql, placeholders);
    if (placeholders != parameters.size()) {
      throw DatabaseError(Quoted(sql) + " takes " + std::to_string(placeholders) + " values, " +
                          std::to_string(parameters.size()) + " given");
    }
    std::vector<std::optional<std::string>> texts;
    texts.reserve(parameters.size());
    for (std::size_t i = 0; i < parameters.size(); ++i) {
      try {
        texts.push_back(ServerValue(parameters[i]));
      } catch (const DatabaseError& error) {
        throw DatabaseError("cannot bind value " + std::to_string(i + 1) + " of " + Quoted(sql) +
                            ": " + error.what());
      }
    }
    std::vector<const char*> values;
    for (const std::optional<std::string>& text : texts) {
      values.push_back(text ? text->c_str() : nullptr);
    }
    ResultHandle result(PQexecParams(connection_.get(), statement.c_str(),
                                     static_cast<int>(values.size()), nullptr, values.data(),
                                     nullptr, nullptr, 0));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      throw DatabaseError("cannot run " + Quoted(sql) + ": " + Failure(result.get()));
    }
    return result;
  }

  // The server's description of a failed result, or the connection's when there is no result.
  std::string Failure(const PGresult* result) const {
    const char* message =
        result != nullptr ? PQresultErrorMessage(result) : PQerrorMessage(connection_.get());
    if (message == nullptr || *message == '\0') message = PQerrorMessage(connection_.get());
    return WithoutPasswords(OneLine(message), url_);
  }

  ConnectionHandle connection_;
  std::string url_;
};

// Notices (a table that DROP TABLE IF EXISTS did not find) are no failures and no output.
void IgnoreNotice(void*, const char*) {}

}  // namespace

std::string ServerStatement(std::string_view sql, std::size_t& placeholders) {
  placeholders = 0;
  std::string out;
  out.reserve(sql.size() + 16);
  std::size_t i = 0;
  const auto copy_until = [&](std::string_view end_mark) {
    const std::size_t end = sql.find(end_mark, i);
    const std::size_t stop = end == std::string_view::npos ? sql.size() : end + end_mark.size();
    out.append(sql.substr(i, stop - i));
    i = stop;
  };
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      // A doubled quote inside continues the literal, so both halves are copied in turn.
      out += c;
      ++i;
      copy_until(std::string_view(&c, 1));
    } else if (sql.substr(i, 2) == "--") {
      copy_until("\n");
    } else if (sql.substr(i, 2) == "/*") {
      copy_until("*/");
    } else if (const std::string_view tag = DollarTag(sql.substr(i)); !tag.empty()) {
      out.append(tag);
      i += tag.size();
      copy_until(tag);
    } else if (c == '?') {
      out += '$' + std::to_string(++placeholders);
      ++i;
    } else if (IsIdentifierChar(c)) {
      std::size_t end = i;
      while (end < sql.size() && IsIdentifierChar(sql[end])) ++end;
      const std::string_view word = sql.substr(i, end - i);
      std::size_t next = end;
      while (next < sql.size() && (sql[next] == ' ' || sql[next] == '\n')) ++next;
      const bool call = next < sql.size() && sql[next] == '(';
      out += call && SameLetters(word, "format") ? std::string_view("keyin_format") : word;
      i = end;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

std::string WithoutPasswords(std::string text, std::string_view url) {
  for (const std::string& password : PasswordsIn(url)) {
    for (std::size_t at = text.find(password); at != std::string::npos;
         at = text.find(password, at + std::char_traits<char>::length(kRedacted))) {
      text.replace(at, password.size(), kRedacted);
    }
  }
  return text;
}

std::string DescribeServer(const std::string& url) {
  std::string host, port, database;
  const bool connection_string = IsUri(url) || url.find('=') != std::string::npos;
  if (!connection_string) database = url;  // a bare name is a database name, as libpq reads it
  char* error = nullptr;
  if (PQconninfoOption* options =
          connection_string ? PQconninfoParse(url.c_str(), &error) : nullptr) {
    for (PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
      if (option->val == nullptr) continue;
      const std::string_view keyword = option->keyword;
      if (keyword == "host" || (keyword == "hostaddr" && host.empty())) host = option->val;
      if (keyword == "port") port = option->val;
      if (keyword == "dbname") database = option->val;
    }
    PQconninfoFree(options);
  }
  PQfreemem(error);
  std::string description = "database " + (database.empty() ? "(the user's)" : database) + " on ";
  description += host.empty() ? "the local server" : host;
  if (!port.empty()) description += ":" + port;
  return WithoutPasswords(description, url);
}

std::unique_ptr<DbConnection> OpenServerStore(const std::string& url) {
  // Defaults come first, so that the same settings in the URL win; the texts of the store are
  // UTF-8 whatever it says. Without a timeout a server that does not answer would hold a seat
  // for minutes.
  const char* const keywords[] = {"connect_timeout",
                                  "tcp_user_timeout",
                                  "keepalives_idle",
                                  "fallback_application_name",
                                  "dbname",
                                  "client_encoding",
                                  nullptr};
  const char* const values[] = {"10", "30000", "30", "keyin", url.c_str(), "UTF8", nullptr};
  ConnectionHandle connection(PQconnectdbParams(keywords, values, 1));
  if (!connection) throw DatabaseError("cannot connect to the server: out of memory");
  if (PQstatus(connection.get()) != CONNECTION_OK) {
    throw StoreUnavailable(WithoutPasswords("cannot connect to " + DescribeServer(url) + ": " +
                                                OneLine(PQerrorMessage(connection.get())),
                                            url));
  }
  PQsetNoticeProcessor(connection.get(), IgnoreNotice, nullptr);
  return std::make_unique<ServerConnection>(std::move(connection), url);
}

bool ServerHoldsTables(DbConnection& server, const std::vector<std::string>& statements) {
  for (const std::string& statement : statements) {
    const std::string table = CreatedTable(statement);
    if (table.empty()) continue;
    const DbRows found =
        server.Query("SELECT to_regclass(?) IS NOT NULL AS found", {Utf8ToUtf16(table)});
    if (found.First()["found"] == DbValue(1.0)) return true;
  }
  return false;
}

void CreateServerTables(DbConnection& server, const std::vector<std::string>& statements,
                        bool replace) {
  DbTransaction transaction(server);
  for (const std::string& statement : statements) {
    const std::string table = CreatedTable(statement);
    if (table.empty()) continue;
    if (replace) {
      server.Execute("DROP TABLE IF EXISTS " + table);
    } else if (ServerHoldsTables(server, {statement})) {
      throw DatabaseError("the table " + table + " already exists on the server");
    }
  }
  for (const std::string& statement : statements) server.Execute(statement);
  server.Execute(kFormatFunction);
  transaction.Commit();
}

}  // namespace keyin
