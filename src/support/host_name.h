// The name of the computer the scorer runs on, for the practice record.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace keyin {

// With n given and > 0: the first n characters of s (n rounded half to even; all of s when it
// is shorter). Otherwise the characters before the first NUL, or, when s holds no NUL, s with
// blanks removed at both ends.
std::u16string CutAtNul(std::u16string_view s, std::optional<double> n = std::nullopt);

// The name in a host-name buffer of code page 950 bytes: cut at the NUL, blanks trimmed. No
// buffer (the lookup failed) gives the empty text.
std::u16string HostNameFromBuffer(const std::optional<std::string>& buffer);

// The plain host name, or the empty text when none can be had. Never fails.
std::u16string GetLocalHostName();

}  // namespace keyin
