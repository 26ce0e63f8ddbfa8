// The number texts on arbitrary doubles and texts.
//
// Input: when it holds at least 8 bytes, the first 8 are a double (native byte order); the whole
// input is also read as a UTF-8 text, and the number LeadingNumber finds in it is a second value
// (so seeds such as "2.675" reach the decimal cases). For each value:
//   - FormatOneDecimal and FormatWhole equal the general path below, written independently: the
//     15 significant digits of printf's "%.14e", rounded half away from zero as a decimal string;
//   - FormatNumber equals printf's "%.15G" (with "0" for zero, "NaN" and "Infinity") and the
//     strict reading of it is AsWritten.
// For the text: a number ParseNumber accepts is the number LeadingNumber reads.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "platform/code_page.h"
#include "support/number_text.h"

namespace keyin {
namespace {

std::u16string Widen(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

// The general path, written apart from the one under test: printf's 15 significant digits of
// |value|, then the digits of |value| x 10^decimals before the point, plus one when the first
// digit dropped is 5 or more (counted as a number: at most 15 digits are kept; beyond them only
// zeros follow, and nothing is dropped).
std::string RoundedScaledDigits(double value, int decimals) {
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.14e", std::fabs(value));
  const std::string digits = std::string(1, buffer[0]) + std::string(buffer.data() + 2, 14);
  const long long keep = std::atoi(buffer.data() + 17) + 1LL + decimals;
  if (keep < 0) return "0";
  if (keep >= 15) {
    return digits + std::string(static_cast<std::size_t>(keep - 15), '0');
  }
  const unsigned long long kept =
      keep == 0 ? 0 : std::stoull(digits.substr(0, static_cast<std::size_t>(keep)));
  return std::to_string(kept + (digits[static_cast<std::size_t>(keep)] >= '5' ? 1 : 0));
}

std::u16string GeneralFixed(double value, int decimals) {
  if (!std::isfinite(value)) return FormatNumber(value);
  const std::string scaled = RoundedScaledDigits(value, decimals);
  // "0.0" or "0" for zero, and at least one digit before the point.
  const std::size_t width =
      std::max<std::size_t>(static_cast<std::size_t>(decimals) + 1, scaled.size());
  const std::string padded = std::string(width - scaled.size(), '0') + scaled;
  const std::size_t point = padded.size() - static_cast<std::size_t>(decimals);
  const std::string sign = value < 0 && scaled != "0" ? "-" : "";
  return Widen(sign + padded.substr(0, point) + (decimals > 0 ? "." + padded.substr(point) : ""));
}

std::u16string GeneralNumber(double value) {
  if (std::isnan(value)) return u"NaN";
  if (std::isinf(value)) return value > 0 ? u"Infinity" : u"-Infinity";
  if (value == 0) return u"0";
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.15G", value);
  return Widen(buffer.data());
}

void CheckValue(double value) {
  FUZZ_CHECK(FormatOneDecimal(value) == GeneralFixed(value, 1));
  FUZZ_CHECK(FormatWhole(value) == GeneralFixed(value, 0));
  const std::u16string written = FormatNumber(value);
  FUZZ_CHECK(written == GeneralNumber(value));
  if (std::isfinite(value)) {
    // Near the largest double the 15 digits round beyond it: the strict reading refuses what
    // the lenient one reads as an infinity.
    const std::optional<double> read_back = ParseNumber(written);
    FUZZ_CHECK(read_back ? *read_back == AsWritten(value) : std::isinf(AsWritten(value)));
  }
}

void CheckText(std::u16string_view text) {
  const double leading = LeadingNumber(text);
  CheckValue(leading);
  if (const std::optional<double> strict = ParseNumber(text)) {
    FUZZ_CHECK(*strict == leading);
  }
}

}  // namespace
}  // namespace keyin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size >= sizeof(double)) {
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    keyin::CheckValue(value);
  }
  keyin::CheckText(keyin::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size)));
  return 0;
}
