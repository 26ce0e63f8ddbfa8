#include "platform/system_services.h"

#include <sys/random.h>
#include <unicode/ustring.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace keyin {

std::int64_t UnixMillisNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::int64_t SteadyMillisNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

namespace {

std::string RandomBytes(std::size_t n) {
  std::string bytes(n, '\0');
  std::size_t filled = 0;
  while (filled < n) {
    ssize_t count = ::getrandom(bytes.data() + filled, n - filled, 0);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) throw std::runtime_error(std::string("getrandom: ") + std::strerror(errno));
    filled += static_cast<std::size_t>(count);
  }
  return bytes;
}

}  // namespace

std::string RandomCode(std::string_view alphabet, std::size_t length) {
  if (alphabet.empty() || alphabet.size() > 256) throw std::runtime_error("RandomCode: alphabet");
  // Bytes at or above the largest multiple of the alphabet's size are drawn again: no bias.
  const unsigned limit = 256 - 256 % static_cast<unsigned>(alphabet.size());
  std::string code;
  while (code.size() < length) {
    for (unsigned char byte : RandomBytes(length - code.size())) {
      if (byte < limit) code += alphabet[byte % alphabet.size()];
    }
  }
  return code;
}

std::string RandomHex(std::size_t n) {
  const std::string bytes = RandomBytes(n);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view bytes) {
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    return std::nullopt;
  }
  std::u16string text(bytes.size(), u'\0');  // never more UTF-16 units than UTF-8 bytes
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(reinterpret_cast<UChar*>(text.data()), static_cast<int32_t>(text.size()), &length,
                bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  text.resize(static_cast<std::size_t>(length));
  return text;
}

}  // namespace keyin
