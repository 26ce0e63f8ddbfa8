#include "run/run_id.h"

#include <algorithm>

namespace keyin {

bool IsRunId(std::string_view id) {
  const auto allowed = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':';
  };
  return !id.empty() && id.size() <= kMaxRunIdLength && std::all_of(id.begin(), id.end(), allowed);
}

}  // namespace keyin
