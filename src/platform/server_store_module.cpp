// keyin-store-postgres.so: postgres_store.h behind the table of server_store_plugin.h.
#include "platform/postgres_store.h"
#include "platform/server_store_plugin.h"

extern "C" __attribute__((visibility("default"))) const keyin::ServerStorePlugin*
keyin_server_store_plugin() {
  static const keyin::ServerStorePlugin plugin = {
      &keyin::OpenServerStore, &keyin::ServerHoldsTables, &keyin::CreateServerTables,
      &keyin::DescribeServer};
  return &plugin;
}
