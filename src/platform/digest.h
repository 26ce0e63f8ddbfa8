// SHA-256 through OpenSSL: the names under which the archive keeps answers and papers.
#pragma once

#include <string>
#include <string_view>

namespace keyin {

// The SHA-256 of the bytes as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

// True for 64 lower-case hexadecimal digits: a name the archive could have given.
bool IsSha256Hex(std::string_view text);

}  // namespace keyin
