// Conversions between UTF-16 text and code page 950 (Big5 as Windows writes it).
//
// Policy for bad input, the same everywhere: conversion never fails. Bytes that do not form a
// character of code page 950 decode to the converter's substitution character; a character that
// code page 950 cannot hold encodes to the converter's substitution byte. Only the Exact encoder
// reports such characters, for writers that must not lose text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace keyin {

// Bytes of code page 950 -> UTF-16.
std::u16string Cp950ToUtf16(std::string_view bytes);

// UTF-16 -> bytes of code page 950; unmappable characters become the substitution byte.
std::string Utf16ToCp950(std::u16string_view text);

// UTF-16 -> bytes of code page 950, or nothing when a character has no code in code page 950.
std::optional<std::string> Utf16ToCp950Exact(std::u16string_view text);

// UTF-8 <-> UTF-16 for the edges (command line, terminal, file names). Invalid input becomes
// U+FFFD; lone surrogates become U+FFFD in UTF-8.
std::u16string Utf8ToUtf16(std::string_view bytes);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace keyin
