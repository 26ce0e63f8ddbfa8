// Number texts in the forms the system writes and reads. Stored rows, report files and front ends
// compare these texts, so each form is fixed to the character:
//
//   FormatNumber      the general form of a double: 15 significant digits, no trailing zeros,
//                     an exponent ("1E+20", "1E-05") below 1E-04 and from 1E+15 on.
//   FormatOneDecimal  "#0.0" and "#0": decimal rounding, half away from zero, applied to the
//   FormatWhole       15-digit decimal form of the value (not to its binary value), so 0.25
//                     gives "0.3" and 2.675 gives "2.68".
//   LeadingNumber     the lenient reading: ignored blanks anywhere, the longest leading number.
//   ParseNumber       the strict reading: one number and nothing else.
//
// Both readings scan the text into a sign, digits and an exponent first and then hand a clean
// ASCII number to std::from_chars, which rounds correctly and ignores the C locale.
#include "support/number_text.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

#include "platform/code_page.h"

namespace keyin {
namespace {

std::u16string AsciiToText(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A number as scanned from text, before conversion.
struct ScannedNumber {
  bool negative = false;
  std::string integer_digits;   // digits before the point, as written
  std::string fraction_digits;  // digits after the point, as written
  long long exponent = 0;       // saturated far beyond the range of a double
  std::size_t end = 0;          // position after the last character that belongs to the number
  bool has_digits = false;      // at least one mantissa digit: otherwise there is no number
};

// Large enough to overflow or underflow any double, small enough never to overflow itself.
constexpr long long kExponentLimit = 1'000'000;

// Scans the longest number at `start`. The rule, in order:
//   [sign] digits* ["." digits*] [marker [sign] digit+]
// with at least one digit before or after the point (otherwise there is no number), and the
// exponent part only when its marker (one of `exponent_markers`) is followed by at least one
// digit: "1e+x" is the number 1 and the text "e+x" after it. Characters for which `skip` is true
// are passed over anywhere, even between digits ("1 2" is 12 to the lenient reading). `end` is
// the position after the last character that belongs to the number; nothing is converted here.
template <typename Skip>
ScannedNumber ScanNumber(std::u16string_view text, std::size_t start,
                         std::u16string_view exponent_markers, Skip skip) {
  ScannedNumber number;
  std::size_t pos = start;
  const auto skip_ignored = [&] {
    while (pos < text.size() && skip(text[pos])) ++pos;
  };
  // Each step takes what it reads and the ignored characters after it.
  const auto advance = [&] {
    ++pos;
    skip_ignored();
  };
  const auto take = [&](char16_t wanted) {
    if (pos >= text.size() || text[pos] != wanted) return false;
    advance();
    return true;
  };
  const auto take_negative_sign = [&] { return !take(u'+') && take(u'-'); };
  const auto take_digits = [&](std::string& digits) {
    while (pos < text.size() && IsDigit(text[pos])) {
      digits.push_back(static_cast<char>(text[pos]));
      advance();
    }
  };

  skip_ignored();
  number.negative = take_negative_sign();
  take_digits(number.integer_digits);
  if (take(u'.')) take_digits(number.fraction_digits);
  number.has_digits = !number.integer_digits.empty() || !number.fraction_digits.empty();
  if (!number.has_digits) return number;
  number.end = pos;

  if (pos < text.size() && exponent_markers.find(text[pos]) != std::u16string_view::npos) {
    advance();
    const bool exponent_negative = take_negative_sign();
    std::string exponent_digits;
    take_digits(exponent_digits);
    if (!exponent_digits.empty()) {
      long long exponent = 0;
      for (const char digit : exponent_digits) {
        exponent = std::min(exponent * 10 + (digit - '0'), kExponentLimit);
      }
      number.exponent = exponent_negative ? -exponent : exponent;
      number.end = pos;
    }
  }
  return number;
}

// Decimal position of the first significant digit (1 for 1..9, 0 for 0.1..0.9, ...), or nothing
// for a mantissa of zeros only. Decides which way a number beyond the range of a double went.
std::optional<long long> Magnitude(const ScannedNumber& number) {
  const auto first_integer = number.integer_digits.find_first_not_of('0');
  if (first_integer != std::string::npos) {
    return static_cast<long long>(number.integer_digits.size() - first_integer) + number.exponent;
  }
  const auto first_fraction = number.fraction_digits.find_first_not_of('0');
  if (first_fraction != std::string::npos) {
    return number.exponent - static_cast<long long>(first_fraction);
  }
  return std::nullopt;
}

struct Converted {
  double value = 0;
  bool overflow = false;  // beyond the largest double; value is then an infinity
};

Converted Convert(const ScannedNumber& number) {
  assert(number.has_digits);
  std::string ascii = number.integer_digits.empty() ? "0" : number.integer_digits;
  if (!number.fraction_digits.empty()) ascii += "." + number.fraction_digits;
  ascii += "e" + std::to_string(number.exponent);

  double magnitude = 0;
  const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), magnitude);
  Converted result;
  if (error == std::errc::result_out_of_range) {
    const auto position = Magnitude(number);
    result.overflow = position.has_value() && *position > 0;
    magnitude = result.overflow ? std::numeric_limits<double>::infinity() : 0.0;
  } else {
    assert(error == std::errc() && end == ascii.data() + ascii.size());
  }
  result.value = number.negative ? -magnitude : magnitude;
  return result;
}

// Most numbers a run writes are whole (counts, speeds); below 1E15 their digits are exact as
// integers, and FormatNumber writes them without the general formatter.
constexpr double kExactLimit = 1e15;

std::optional<long long> ExactWhole(double value) {
  if (!(std::fabs(value) < kExactLimit) || value != std::trunc(value)) return std::nullopt;
  return static_cast<long long>(value);
}

constexpr int kSignificantDigits = 15;

// "#0" (decimals 0) and "#0.0" (decimals 1), the forms of the listing's counts and scores. The
// rule: take the decimal form of the value with 15 significant digits (the form FormatNumber
// writes from), round that decimal half away from zero to `decimals` places, and write it with at
// least one digit before the point; a value that rounds to zero is written without a sign.
// Rounding the 15-digit decimal rather than the binary value is what makes 0.15 (in binary
// 0.1499...) give "0.2" and 2.675 give "2.68". One path for every finite value: std::to_chars
// gives the 15 digits, correctly rounded from the binary value.
std::u16string FormatFixed(double value, int decimals) {
  assert(decimals >= 0 && decimals < kSignificantDigits);
  if (!std::isfinite(value)) return FormatNumber(value);
  // |value| as "d.ddddddddddddddde+x": the digits and the power of ten of the first.
  std::array<char, 32> form{};
  const char* const form_end =
      std::to_chars(form.data(), form.data() + form.size(), std::fabs(value),
                    std::chars_format::scientific, kSignificantDigits - 1)
          .ptr;
  std::string digits(1, form[0]);
  digits.append(form.data() + 2, kSignificantDigits - 1);
  const char* exponent_start = form.data() + kSignificantDigits + 2;  // after the "e"
  if (*exponent_start == '+') ++exponent_start;
  int exponent = 0;
  std::from_chars(exponent_start, form_end, exponent);

  // The digits of |value| x 10^decimals before its point, rounded on the first digit dropped.
  const int kept = exponent + 1 + decimals;
  std::string scaled;
  if (kept >= kSignificantDigits) {
    scaled = digits + std::string(static_cast<std::size_t>(kept - kSignificantDigits), '0');
  } else if (kept >= 0) {
    scaled = digits.substr(0, static_cast<std::size_t>(kept));
    if (digits[static_cast<std::size_t>(kept)] >= '5') {
      std::size_t i = scaled.size();
      while (i > 0 && scaled[i - 1] == '9') scaled[--i] = '0';
      if (i == 0) {
        scaled.insert(scaled.begin(), '1');
      } else {
        ++scaled[i - 1];
      }
    }
  }
  scaled.erase(0, std::min(scaled.find_first_not_of('0'), scaled.size()));
  const bool zero = scaled.empty();
  // At least one digit before the point.
  if (scaled.size() <= static_cast<std::size_t>(decimals)) {
    scaled.insert(0, static_cast<std::size_t>(decimals) + 1 - scaled.size(), '0');
  }
  if (decimals > 0) scaled.insert(scaled.size() - static_cast<std::size_t>(decimals), 1, '.');
  if (value < 0 && !zero) scaled.insert(0, 1, '-');
  return AsciiToText(scaled);
}

}  // namespace

std::u16string FormatNumber(double value) {
  if (std::isnan(value)) return u"NaN";
  if (std::isinf(value)) return value > 0 ? u"Infinity" : u"-Infinity";
  if (value == 0) return u"0";  // negative zero included
  if (const auto whole = ExactWhole(value)) return AsciiToText(std::to_string(*whole));
  // "%.15G" is the general form itself: the exponent form for exponents below -4 or from 15 on,
  // written "E", sign, at least two digits.
  std::array<char, 64> buffer{};
  const int length = std::snprintf(buffer.data(), buffer.size(), "%.15G", value);
  assert(length > 0 && static_cast<std::size_t>(length) < buffer.size());
  return AsciiToText(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
}

double LeadingNumber(std::u16string_view text) {
  // "D", the exponent marker of double-precision literals ("2D2"), reads like "E".
  // A "&H" or "&O" prefix is not understood: such a text starts with no number and reads as 0.
  const auto ignored = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; };
  const ScannedNumber number = ScanNumber(text, 0, u"EeDd", ignored);
  if (!number.has_digits) return 0;
  return Convert(number).value;
}

std::optional<double> ParseNumber(std::u16string_view text) {
  const auto first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return std::nullopt;
  const auto last = text.find_last_not_of(u' ');
  const std::u16string_view body = text.substr(first, last - first + 1);
  const ScannedNumber number = ScanNumber(body, 0, u"Ee", [](char16_t) { return false; });
  if (!number.has_digits || number.end != body.size()) return std::nullopt;
  const Converted converted = Convert(number);
  if (converted.overflow) return std::nullopt;
  return converted.value;
}

std::string NotANumberText(std::string_view subject, std::u16string_view text,
                           std::string_view kind) {
  return std::string(subject) + " is not " + std::string(kind) + ": \"" + Utf16ToUtf8(text) + "\"";
}

double AsWritten(double value) { return LeadingNumber(FormatNumber(value)); }

std::u16string FormatWithLeadingZeros(long long value, int digits) {
  // The magnitude as unsigned, so the most negative value has one too.
  const unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                                 : static_cast<unsigned long long>(value);
  std::string text = std::to_string(magnitude);
  if (digits > 0 && text.size() < static_cast<std::size_t>(digits)) {
    text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
  }
  if (value < 0) text.insert(0, "-");
  return AsciiToText(text);
}

std::u16string FormatOneDecimal(double value) { return FormatFixed(value, 1); }

std::u16string FormatWhole(double value) { return FormatFixed(value, 0); }

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double below = std::floor(value);
  const double fraction = value - below;  // exact for every double
  if (fraction < 0.5) return below;
  if (fraction > 0.5) return below + 1;
  return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

}  // namespace keyin
