#include "platform/host.h"

#include <unistd.h>

namespace keyin {

std::optional<std::string> QueryHostName() {
  // A 255-byte buffer of blanks: the system writes the name and a NUL into it, and the reader of
  // the buffer (HostNameFromBuffer) cuts at that NUL.
  std::string buffer(255, ' ');
  if (::gethostname(buffer.data(), buffer.size()) != 0) return std::nullopt;
  return buffer;
}

}  // namespace keyin
