#include "platform/host.h"

#include <unistd.h>

namespace keyin {

std::optional<std::string> QueryHostName() {
  // The same 255-byte buffer of blanks that the name lookup of the original system handed over.
  std::string buffer(255, ' ');
  if (::gethostname(buffer.data(), buffer.size()) != 0) return std::nullopt;
  return buffer;
}

}  // namespace keyin
