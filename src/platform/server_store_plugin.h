// The PostgreSQL store as a module loaded on demand: libpq and the twenty libraries it brings
// (Kerberos, LDAP, GnuTLS, SASL ...) are loaded by a run only when KEYIN_DATABASE_URL names a
// server, not by every run of the scorer. The module, keyin-store-postgres.so, lies beside the
// executables of a build or in lib/keyin/ of an installation, and is built from the same sources
// in the same build as they are: the table crosses into it with C++ types.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/database.h"

namespace keyin {

// What the module gives: the functions of postgres_store.h that store.cpp calls.
struct ServerStorePlugin {
  std::unique_ptr<DbConnection> (*open)(const std::string& url);
  bool (*holds_tables)(DbConnection& server, const std::vector<std::string>& statements);
  void (*create_tables)(DbConnection& server, const std::vector<std::string>& statements,
                        bool replace);
  std::string (*describe)(const std::string& url);
};

// The module's one exported symbol.
inline constexpr char kServerStorePluginEntry[] = "keyin_server_store_plugin";
inline constexpr char kServerStorePluginFile[] = "keyin-store-postgres.so";

// The module, loaded on the first call (and kept); throws StoreUnavailable naming where it was
// looked for when it cannot be loaded.
const ServerStorePlugin& LoadServerStorePlugin();

}  // namespace keyin
