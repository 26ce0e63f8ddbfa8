#include "platform/password_hash.h"

#include <sodium.h>

#include <mutex>
#include <stdexcept>

namespace keyin {
namespace {

void StartSodium() {
  static const bool started = sodium_init() >= 0;
  if (!started) throw std::runtime_error("libsodium cannot start");
}

std::mutex& OneAtATime() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

std::string HashPassword(std::string_view password) {
  StartSodium();
  char encoded[crypto_pwhash_STRBYTES];
  std::lock_guard lock(OneAtATime());
  if (crypto_pwhash_str(encoded, password.data(), password.size(),
                        crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
    throw std::runtime_error("not enough memory to hash a password");
  }
  return encoded;
}

bool PasswordMatches(std::string_view encoded_hash, std::string_view password) {
  StartSodium();
  // libsodium reads a NUL-terminated string of at most crypto_pwhash_STRBYTES.
  if (encoded_hash.size() >= crypto_pwhash_STRBYTES ||
      encoded_hash.find('\0') != std::string_view::npos) {
    return false;
  }
  const std::string terminated(encoded_hash);
  std::lock_guard lock(OneAtATime());
  return crypto_pwhash_str_verify(terminated.c_str(), password.data(), password.size()) == 0;
}

}  // namespace keyin
