// What the exam room needs of the system besides files: the wall clock that deadlines are
// measured on (it survives a restart of the server, unlike a monotonic clock), random session
// tokens, and strict UTF-8 decoding for files whose encoding must be guessed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace keyin {

// Milliseconds since 1970-01-01 UTC.
std::int64_t UnixMillisNow();

// n random bytes from the kernel, as 2n lower-case hex digits. Throws std::runtime_error.
std::string RandomHex(std::size_t n);

// UTF-8 -> UTF-16, or nothing when the bytes are not well-formed UTF-8.
std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view bytes);

}  // namespace keyin
