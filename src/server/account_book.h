// Where the accounts live, and how keyin-tool and the administrator's console change them.
//
// With a database server (KEYIN_DATABASE_URL), where the rooms' state lives too, they are one row
// of StaffAccounts, so that a keyin-server on another machine finds them, and each act is a row
// of StaffAccountActions. Until the first change there, the program folder's accounts.json is
// read: the first change moves its accounts to the server. Otherwise they live in accounts.json
// and the acts in account-actions.jsonl.
//
// A change is read, applied, logged and written back whole under one lock (the table's, or
// accounts.json.lock), so that a change in the browser and one at the terminal at the same moment
// never lose each other.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "server/accounts.h"

namespace keyin::server {

// The accounts; none when there are none. Throws std::runtime_error (naming the file or the
// database server) for accounts it cannot read.
std::vector<Account> ReadAccounts(const std::string& program_folder);

// Reads the accounts, lets `change` have them (it says what it did, or throws and nothing is
// changed), logs the act (`act`, by `who`, with what was done) and writes the accounts back,
// durably. Returns what was done. Throws std::runtime_error when the lock cannot be had within a
// few seconds or a file or the database server refuses the change.
std::string ChangeAccounts(const std::string& program_folder, const std::string& who,
                           const std::string& act,
                           const std::function<std::string(std::vector<Account>&)>& change);

}  // namespace keyin::server
