// GetLocalHostName asks the system for its name in a buffer of blanks; the name ends at the
// NUL the system writes behind it, and whatever follows the NUL is buffer, not name.
#include "support/host_name.h"

#include <exception>

#include "platform/host.h"
#include "support/decoding.h"
#include "support/number_text.h"
#include "support/text.h"

namespace keyin {

std::u16string CutAtNul(std::u16string_view s, std::optional<double> n) {
  if (n && *n > 0) {
    if (*n >= static_cast<double>(s.size())) return std::u16string(s);
    return std::u16string(s.substr(0, static_cast<std::size_t>(RoundHalfEven(*n))));
  }
  const std::size_t nul = s.find(u'\0');
  if (nul != std::u16string_view::npos) return std::u16string(s.substr(0, nul));
  return TrimBlanks(s);
}

std::u16string HostNameFromBuffer(const std::optional<std::string>& buffer) {
  std::u16string result;
  if (!buffer) return result;
  // Every step's failure is ignored: the result is whatever was had by then.
  try {
    result = TrimBlanks(CutAtNul(CV2U(*buffer)));
  } catch (const std::exception&) {
  }
  return result;
}

std::u16string GetLocalHostName() {
  std::optional<std::string> buffer;
  try {
    buffer = QueryHostName();
  } catch (const std::exception&) {
  }
  return HostNameFromBuffer(buffer);
}

}  // namespace keyin
