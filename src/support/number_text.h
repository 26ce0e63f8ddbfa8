// Numbers as the system reads and writes them in texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace keyin {

// Shortest decimal form with at most 15 significant digits, "." as the decimal point, no
// grouping, no leading blank, no trailing zeros (42, 5.2, 0, 1.66666666666667). Very large or
// very small magnitudes use an exponent (1E+20). Negative zero is written 0.
std::u16string FormatNumber(double value);

// Lenient reading of a leading number: blanks, tabs and line feeds are ignored wherever they
// stand; then the longest leading part that forms a decimal number (optional sign, digits,
// optional "." and fraction digits, optional exponent) is read; a text that starts with no number
// reads as 0. Never fails; an exponent beyond the range of a double gives an infinity.
double LeadingNumber(std::u16string_view text);

// Strict reading: blanks at both ends allowed, then exactly one decimal number (optional sign,
// digits with optional "." and fraction, optional exponent). Nothing for anything else, the
// empty text included, and for numbers beyond the range of a double.
std::optional<double> ParseNumber(std::u16string_view text);

// The description of a text that should hold a number and does not:
// <subject> is not <kind>: "<text>".
std::string NotANumberText(std::string_view subject, std::u16string_view text,
                           std::string_view kind = "a number");

// Parse or fail: the strict reading of a text that must hold a number. Throws Failure with
// NotANumberText when ParseNumber finds none; the caller names what the text is.
template <typename Failure>
double NumberOrThrow(std::u16string_view text, std::string_view subject,
                     std::string_view kind = "a number") {
  if (const std::optional<double> number = ParseNumber(text)) return *number;
  throw Failure(NotANumberText(subject, text, kind));
}

// The value as it reads back from the text FormatNumber writes (15 significant digits), so that
// 0.1 + 0.2 reads back as 0.3: rules that compare or store what the reports show use it.
double AsWritten(double value);

// Whole number written with at least `digits` digits, zeros in front ("00" pattern); negative
// numbers keep their sign in front of the digits.
std::u16string FormatWithLeadingZeros(long long value, int digits);

// "#0.0": one decimal place, at least one digit before the point, half away from zero.
std::u16string FormatOneDecimal(double value);

// "#0": whole number, half away from zero.
std::u16string FormatWhole(double value);

// Round half to even, as the platform's rounding of doubles to integers does.
double RoundHalfEven(double value);

}  // namespace keyin
