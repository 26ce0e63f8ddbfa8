// Code page 950 through ICU's "windows-950-2000" table, the reference implementation of the
// Windows code page. The user-defined areas map to the private use area, so bytes and text
// round-trip without loss wherever the table has a mapping.
#include "platform/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace keyin {
namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// ICU counts in int32_t; outputs are at most three times their inputs.
void CheckLength(std::size_t size) {
  if (size > static_cast<std::size_t>(INT32_MAX / 3)) {
    throw std::length_error("text too long to convert");
  }
}

// A converter per call keeps the functions reentrant; opening one from ICU's cache is cheap.
Converter OpenCp950() {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open("windows-950-2000", &status));
  if (U_FAILURE(status)) {
    throw std::runtime_error(std::string("code page 950 converter unavailable: ") +
                             u_errorName(status));
  }
  return converter;
}

std::u16string ToUtf16(UConverter* converter, std::string_view bytes) {
  if (bytes.empty()) return {};
  CheckLength(bytes.size());
  // Every byte yields at most two UTF-16 units (a substitution or a supplementary character).
  std::u16string out(bytes.size() * 2, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()),
                                 static_cast<int32_t>(out.size()), bytes.data(),
                                 static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) {
    throw std::runtime_error(std::string("code page 950 decoding failed: ") + u_errorName(status));
  }
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string FromUtf16(UConverter* converter, std::u16string_view text, UErrorCode& status) {
  if (text.empty()) return {};
  CheckLength(text.size());
  // A UTF-16 unit never needs more than two bytes of code page 950.
  std::string out(text.size() * 2 + 1, '\0');
  int32_t length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                   reinterpret_cast<const UChar*>(text.data()),
                                   static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

}  // namespace

std::u16string Cp950ToUtf16(std::string_view bytes) {
  Converter converter = OpenCp950();
  return ToUtf16(converter.get(), bytes);
}

std::string Utf16ToCp950(std::u16string_view text) {
  Converter converter = OpenCp950();
  UErrorCode status = U_ZERO_ERROR;
  std::string bytes = FromUtf16(converter.get(), text, status);
  if (U_FAILURE(status)) {
    throw std::runtime_error(std::string("code page 950 encoding failed: ") + u_errorName(status));
  }
  return bytes;
}

std::optional<std::string> Utf16ToCp950Exact(std::u16string_view text) {
  Converter converter = OpenCp950();
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
  std::string bytes = FromUtf16(converter.get(), text, status);
  if (U_FAILURE(status)) return std::nullopt;
  return bytes;
}

std::u16string Utf8ToUtf16(std::string_view bytes) {
  if (bytes.empty()) return {};
  CheckLength(bytes.size());
  std::u16string out(bytes.size(), u'\0');  // UTF-8 never needs more units than bytes
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                       &length, bytes.data(), static_cast<int32_t>(bytes.size()), 0xFFFD, nullptr,
                       &status);
  if (U_FAILURE(status)) {
    throw std::runtime_error(std::string("UTF-8 decoding failed: ") + u_errorName(status));
  }
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  if (text.empty()) return {};
  CheckLength(text.size());
  std::string out(text.size() * 3, '\0');  // at most three bytes per UTF-16 unit
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length,
                     reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                     0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) {
    throw std::runtime_error(std::string("UTF-8 encoding failed: ") + u_errorName(status));
  }
  out.resize(static_cast<std::size_t>(length));
  return out;
}

}  // namespace keyin
