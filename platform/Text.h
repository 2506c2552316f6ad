#pragma once
// Small text helpers shared by every layer.
#include <cstdarg>
#include <string>
#include <string_view>

namespace platform {

// printf-style formatting into a wide string. Use %ls for wide strings: it means the same on
// every C library the program is built with.
std::wstring Format(const wchar_t* format, ...);
std::wstring FormatV(const wchar_t* format, va_list args);

// UTF-8 <-> wide. Wide text is UTF-16 on Windows and UTF-32 elsewhere; invalid input is replaced
// by U+FFFD rather than dropped.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// Host names on POSIX, kept as the bytes they are: valid UTF-8 reads as FromUtf8 reads it, and each
// byte of an invalid sequence (0x80 or more) becomes the lone surrogate U+DC00 + the byte, which
// ToHostName turns back into that byte. Two names that differ in their bytes stay two names.
std::wstring FromHostName(std::string_view bytes);
std::string ToHostName(std::wstring_view text);

// Upper-cases ASCII letters only, for comparisons that must not depend on the locale.
std::wstring AsciiUpper(std::wstring_view text);

} // namespace platform
