// The accounts file as keyin-tool and the administrator's console change it: read, changed, the
// act logged, and written back whole, under a lock beside the file, so that a change made in the
// browser and one made at the terminal at the same moment never lose each other.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/accounts.h"

namespace keyin::server {

// The accounts of the file; none when there is no file. Throws std::runtime_error naming the
// file for one it cannot read.
std::vector<Account> ReadAccounts(const std::string& path);

// Reads the accounts, lets `change` have them (it says what it did, or throws and nothing is
// changed), appends the act (`act`, by `who`, with what was done) to the log at log_path, and
// writes the accounts back durably. Returns what was done. Throws std::runtime_error when the
// lock cannot be had within a few seconds, FileError when a file cannot be written.
std::string ChangeAccounts(const std::string& path, const std::string& log_path,
                           const std::string& who, const std::string& act,
                           const std::function<std::string(std::vector<Account>&)>& change);

}  // namespace keyin::server
