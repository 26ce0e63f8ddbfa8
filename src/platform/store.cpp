#include "platform/store.h"

#include <dlfcn.h>

#include <cstdlib>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/server_store_plugin.h"

namespace keyin {

const ServerStorePlugin& LoadServerStorePlugin() {
  struct Loaded {
    const ServerStorePlugin* plugin = nullptr;
    std::string failures;  // why each place failed, for the message
  };
  static const Loaded loaded = [] {
    Loaded result;
    const std::string here = ExecutableFolder();
    for (const std::string& path :
         {here + "/" + kServerStorePluginFile, here + "/../lib/keyin/" + kServerStorePluginFile}) {
      // Never closed: the connections it makes live as long as the process may.
      if (void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        using Entry = const ServerStorePlugin* (*)();
        if (auto entry = reinterpret_cast<Entry>(::dlsym(module, kServerStorePluginEntry))) {
          result.plugin = entry();
          return result;
        }
      }
      const char* error = ::dlerror();
      result.failures += "; " + (error != nullptr ? std::string(error) : path);
    }
    return result;
  }();
  if (loaded.plugin == nullptr) {
    throw StoreUnavailable(std::string("the PostgreSQL store module ") + kServerStorePluginFile +
                           " cannot be loaded" + loaded.failures);
  }
  return *loaded.plugin;
}

std::optional<std::string> DatabaseServerUrl() {
  const char* url = std::getenv(kDatabaseUrlVariable);
  if (url == nullptr || *url == '\0') return std::nullopt;
  return std::string(url);
}

std::unique_ptr<DbConnection> OpenStore(const std::string& path, const std::string& password) {
  if (const std::optional<std::string> url = DatabaseServerUrl())
    return LoadServerStorePlugin().open(*url);
  // Hidden or not, anything but a regular file counts as missing.
  if (!IsNormalFile(path)) throw StoreUnavailable("database file not found: " + path);
  return OpenDatabase(path, password);
}

std::unique_ptr<DbConnection> OpenDatabaseServer() {
  const std::optional<std::string> url = DatabaseServerUrl();
  if (!url) throw StoreUnavailable(std::string(kDatabaseUrlVariable) + " is not set");
  return LoadServerStorePlugin().open(*url);
}

bool StoreExists(const std::string& path, const std::string& /*password*/,
                 const std::vector<std::string>& schema) {
  if (const std::optional<std::string> url = DatabaseServerUrl()) {
    const ServerStorePlugin& plugin = LoadServerStorePlugin();
    return plugin.holds_tables(*plugin.open(*url), schema);
  }
  return PathExists(path);
}

void CreateStore(const std::string& path, const std::string& password,
                 const std::vector<std::string>& schema, bool replace) {
  if (const std::optional<std::string> url = DatabaseServerUrl()) {
    const ServerStorePlugin& plugin = LoadServerStorePlugin();
    plugin.create_tables(*plugin.open(*url), schema, replace);
    return;
  }
  if (replace && PathExists(path)) DeleteFile(path);
  CreateDatabase(path, password, schema);
}

std::string DescribeStore(const std::string& path) {
  if (const std::optional<std::string> url = DatabaseServerUrl()) {
    return LoadServerStorePlugin().describe(*url);
  }
  return path;
}

}  // namespace keyin
