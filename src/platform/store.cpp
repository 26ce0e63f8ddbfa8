#include "platform/store.h"

#include <cstdlib>

#include "platform/file_system.h"
#include "platform/postgres_store.h"

namespace keyin {

std::optional<std::string> DatabaseServerUrl() {
  const char* url = std::getenv(kDatabaseUrlVariable);
  if (url == nullptr || *url == '\0') return std::nullopt;
  return std::string(url);
}

std::unique_ptr<DbConnection> OpenStore(const std::string& path, const std::string& password) {
  if (const std::optional<std::string> url = DatabaseServerUrl()) return OpenServerStore(*url);
  // Hidden or not, anything but a regular file counts as missing.
  if (!IsNormalFile(path)) throw StoreUnavailable("database file not found: " + path);
  return OpenDatabase(path, password);
}

bool StoreExists(const std::string& path, const std::string& /*password*/,
                 const std::vector<std::string>& schema) {
  if (const std::optional<std::string> url = DatabaseServerUrl()) {
    return ServerHoldsTables(*OpenServerStore(*url), schema);
  }
  return PathExists(path);
}

void CreateStore(const std::string& path, const std::string& password,
                 const std::vector<std::string>& schema, bool replace) {
  if (const std::optional<std::string> url = DatabaseServerUrl()) {
    CreateServerTables(*OpenServerStore(*url), schema, replace);
    return;
  }
  if (replace && PathExists(path)) DeleteFile(path);
  CreateDatabase(path, password, schema);
}

std::string DescribeStore(const std::string& path) {
  if (const std::optional<std::string> url = DatabaseServerUrl()) return DescribeServer(*url);
  return path;
}

}  // namespace keyin
