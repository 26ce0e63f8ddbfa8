// A method's code table, read from its installed IBus table (input_codes.h says which).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "practice/input_codes.h"

namespace keyin {

struct LoadedCodes {
  std::optional<CodeTable> table;
  // Why there is no table: the method has none open, or its package is not installed; a text for
  // a person, in Traditional Chinese.
  std::string missing;
};

// Never fails for a missing table or package: a report then says it cannot show codes. Throws
// DatabaseError for a table file it cannot read.
LoadedCodes LoadCodeTable(std::string_view method);

}  // namespace keyin
