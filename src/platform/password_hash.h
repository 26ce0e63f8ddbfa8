// Passwords kept only as salted slow hashes: Argon2id through libsodium, in the encoded form that
// carries its own salt and costs ("$argon2id$v=19$m=...").
#pragma once

#include <string>
#include <string_view>

namespace keyin {

// Throws std::runtime_error when the hash cannot be made (libsodium cannot start, no memory).
std::string HashPassword(std::string_view password);

// False for a wrong password and for anything that is not such a hash. One check at a time: each
// takes 64 MiB for a moment, and many at once would exhaust the machine.
bool PasswordMatches(std::string_view encoded_hash, std::string_view password);

}  // namespace keyin
