#include "report/json_number.h"

#include <cmath>

#include "support/number_text.h"

namespace keyin::report {

nlohmann::ordered_json JsonNumber(double number) {
  if (!std::isfinite(number)) return nullptr;
  if (number == std::trunc(number) && std::fabs(number) < 1e15) {
    return static_cast<long long>(number);
  }
  return LeadingNumber(FormatNumber(number));
}

}  // namespace keyin::report
