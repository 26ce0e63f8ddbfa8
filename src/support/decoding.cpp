// Decrypt reads a custom-text line field by field; the number of field k, scaled by three fixed
// constants and by 1/k, rounds to a character code of code page 950. CVL swaps byte values in
// fixed pairs (digits, letters, lead bytes of the double-byte area), which is why encoding and
// decoding are one and the same operation.
//
// Broken input never fails silently and never reaches an undefined conversion: the range of the
// rounded double is checked before it becomes an integer.
#include "support/decoding.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "platform/code_page.h"
#include "support/number_text.h"

namespace keyin {
namespace {

constexpr double kFirstDivisor = 0.27359418062;
constexpr double kMultiplier = 23.6041879532;
constexpr double kSecondDivisor = 0.731264985024613;

constexpr std::size_t kFieldWidth = 20;
// The field counter is a 16-bit signed integer: it cannot step past this value.
constexpr int kLastFieldNumber = 32767;
// The byte counter of CVL is a 16-bit signed integer.
constexpr std::size_t kMaxCvlBytes = 32767;

constexpr std::u16string_view kOverflow = u"Overflow ";
constexpr std::u16string_view kInvalidCall = u"Invalid procedure call or argument ";

// A failure of one of Decrypt's own steps; caught by Decrypt itself.
struct DecryptFailure {
  std::u16string_view description;
};

double FieldNumberToCode(double number, int k) {
  return number / kFirstDivisor * kMultiplier / kSecondDivisor / k;
}

double CodeToFieldNumber(int code, int k) {
  return code * kFirstDivisor / kMultiplier * kSecondDivisor * k;
}

// x rounded half to even as a 32-bit integer; Overflow when it does not fit (NaN and infinities
// included). The range is checked on the double, before any conversion.
std::int32_t RoundToInt32(double x) {
  if (!std::isfinite(x) || std::fabs(x) > 4.0e9) throw DecryptFailure{kOverflow};
  const double rounded = RoundHalfEven(x);
  if (rounded < -2147483648.0 || rounded > 2147483647.0) throw DecryptFailure{kOverflow};
  return static_cast<std::int32_t>(rounded);
}

// The bytes of code page 950 for a character code; -32768..-1 count as the code plus 65536.
std::string BytesOfCode(std::int32_t code) {
  if (code < -32768 || code > 65535) throw DecryptFailure{kInvalidCall};
  if (code < 0) code += 65536;
  if (code <= 255) return std::string(1, static_cast<char>(code));
  return {static_cast<char>(code / 256), static_cast<char>(code % 256)};
}

constexpr unsigned char CvlImage(unsigned char b) {
  if (b >= 48 && b <= 55) return b + 8;     // digits 0..7
  if (b >= 56 && b <= 63) return b - 8;     // 8, 9, : ; < = > ?
  if (b >= 65 && b <= 78) return b + 14;    // A..N
  if (b >= 79 && b <= 92) return b - 14;    // O..Z [ backslash
  if (b >= 97 && b <= 110) return b + 14;   // a..n
  if (b >= 111 && b <= 124) return b - 14;  // o..z { |
  if (b >= 161 && b <= 205) return b + 48;
  if (b >= 209 && b <= 253) return b - 48;
  return b;
}

constexpr std::array<unsigned char, 256> MakeCvlTable() {
  std::array<unsigned char, 256> table{};
  for (int b = 0; b < 256; ++b) table[b] = CvlImage(static_cast<unsigned char>(b));
  return table;
}

constexpr std::array<unsigned char, 256> kCvlTable = MakeCvlTable();

std::string DescribeCharacter(std::u16string_view text, std::size_t index) {
  char32_t code = text[index];
  if (code >= 0xD800 && code <= 0xDBFF && index + 1 < text.size() && text[index + 1] >= 0xDC00 &&
      text[index + 1] <= 0xDFFF) {
    code = 0x10000 + ((code - 0xD800) << 10) + (text[index + 1] - 0xDC00);
  }
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(code));
  return buffer;
}

// The number of field k for the code, in the shortest of 17..6 significant digits that fits the
// field and still rounds back to the code.
std::u16string FieldFor(int code, int k) {
  const double number = CodeToFieldNumber(code, k);
  for (int precision = 17; precision >= 6; --precision) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, number,
                                            std::chars_format::general, precision);
    if (error != std::errc{}) continue;
    const std::u16string digits(buffer, end);
    if (digits.size() > kFieldWidth) continue;
    const double x = FieldNumberToCode(LeadingNumber(digits), k);
    if (std::isfinite(x) && RoundHalfEven(x) == code) {
      return std::u16string(kFieldWidth - digits.size(), u' ') + digits;
    }
  }
  throw std::invalid_argument("no field of 20 characters encodes character code " +
                              std::to_string(code) + " at position " + std::to_string(k));
}

}  // namespace

std::u16string Decrypt(std::u16string_view line, MessageSink& messages) {
  std::u16string result;
  try {
    int k = 1;
    for (std::size_t p = 0; p < line.size(); p += kFieldWidth) {
      // The number reader skips blanks wherever they stand, so neither the padding of a short
      // last field nor trimming changes the number.
      const double x = FieldNumberToCode(LeadingNumber(line.substr(p, kFieldWidth)), k);
      result += Cp950ToUtf16(BytesOfCode(RoundToInt32(x)));
      if (k == kLastFieldNumber) throw DecryptFailure{kOverflow};
      ++k;
    }
  } catch (const DecryptFailure& failure) {
    messages.Show(std::u16string(failure.description) + u"解密", u"");
    return {};
  } catch (const std::exception& failure) {
    messages.Show(Utf8ToUtf16(failure.what()) + u"解密", u"");
    return {};
  }
  return result;
}

std::string CVLBytes(std::string_view bytes) {
  std::string result(bytes);
  for (char& byte : result) byte = static_cast<char>(kCvlTable[static_cast<unsigned char>(byte)]);
  return result;
}

std::u16string CVL(std::u16string_view text) {
  const std::string bytes = CV2B(text);
  if (bytes.size() > kMaxCvlBytes) throw std::overflow_error("Overflow");
  return CV2U(CVLBytes(bytes));
}

std::string CV2B(std::u16string_view text) { return Utf16ToCp950(text); }

std::u16string CV2U(std::string_view bytes) { return Cp950ToUtf16(bytes); }

std::string CV2BExact(std::u16string_view text, std::string_view where) {
  if (auto bytes = Utf16ToCp950Exact(text)) return *std::move(bytes);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size();
    if (!Utf16ToCp950Exact(text.substr(i, pair ? 2 : 1))) {
      throw std::invalid_argument(std::string(where) + ": character " + DescribeCharacter(text, i) +
                                  " at position " + std::to_string(i + 1) +
                                  " has no code in code page 950");
    }
    if (pair) ++i;
  }
  throw std::invalid_argument(std::string(where) + ": text does not convert to code page 950");
}

std::u16string GetSomeString(std::u16string_view s, int n) {
  std::u16string result;
  if (n <= 0) return result;
  result.reserve(s.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) result += s;
  return result;
}

std::u16string EncryptLine(std::u16string_view line) {
  if (line.size() >= static_cast<std::size_t>(kLastFieldNumber)) {
    throw std::invalid_argument("custom-text line of " + std::to_string(line.size()) +
                                " characters; at most " + std::to_string(kLastFieldNumber - 1) +
                                " can be read back");
  }
  CV2BExact(line, "custom-text line");  // names the first character that has no code
  std::u16string encoded;
  encoded.reserve(line.size() * kFieldWidth);
  for (std::size_t i = 0; i < line.size(); ++i) {
    const std::string bytes = CV2B(line.substr(i, 1));
    int code = 0;
    if (bytes.size() == 1) {
      code = static_cast<unsigned char>(bytes[0]);
    } else if (bytes.size() == 2) {
      code = static_cast<unsigned char>(bytes[0]) * 256 + static_cast<unsigned char>(bytes[1]);
    } else {
      throw std::invalid_argument("custom-text line: character " + DescribeCharacter(line, i) +
                                  " at position " + std::to_string(i + 1) +
                                  " is not one character of code page 950");
    }
    if (Cp950ToUtf16(bytes) != line.substr(i, 1)) {
      throw std::invalid_argument("custom-text line: character " + DescribeCharacter(line, i) +
                                  " at position " + std::to_string(i + 1) +
                                  " does not read back from code page 950");
    }
    encoded += FieldFor(code, static_cast<int>(i) + 1);
  }
  // Some characters share a code with another one; only a line that reads back is written.
  RecordingMessageSink messages;
  if (Decrypt(encoded, messages) != line || !messages.shown.empty()) {
    throw std::invalid_argument("custom-text line does not decode back to itself");
  }
  return encoded;
}

std::string EncodeCustomText(const std::vector<std::u16string>& lines) {
  std::string bytes;
  int number = 0;
  for (const std::u16string& line : lines) {
    const std::string where = "line " + std::to_string(++number);
    std::u16string encoded;
    try {
      encoded = EncryptLine(line);
    } catch (const std::exception& failure) {
      throw std::runtime_error(where + ": " + failure.what());
    }
    RecordingMessageSink silent;
    if (Decrypt(encoded, silent) != line || !silent.shown.empty()) {
      throw std::runtime_error(where + " does not decode back");
    }
    bytes += CV2BExact(encoded, where) + "\r\n";
  }
  return bytes;
}

}  // namespace keyin
