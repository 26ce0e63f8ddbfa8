// What the exam room needs of the system besides files: the clocks, random session tokens, and
// strict UTF-8 decoding for files whose encoding must be guessed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace keyin {

// Milliseconds since 1970-01-01 UTC: the wall clock, which an operator or NTP may step.
std::int64_t UnixMillisNow();

// Milliseconds of a clock that only moves forward at a steady rate, from an arbitrary start:
// what a running server measures durations on.
std::int64_t SteadyMillisNow();

// n random bytes from the kernel, as 2n lower-case hex digits. Throws std::runtime_error.
std::string RandomHex(std::size_t n);

// `length` characters drawn uniformly and independently from the alphabet (at most 256
// characters, ASCII), from the kernel's random bytes. Throws std::runtime_error.
std::string RandomCode(std::string_view alphabet, std::size_t length);

// UTF-8 -> UTF-16, or nothing when the bytes are not well-formed UTF-8.
std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view bytes);

}  // namespace keyin
