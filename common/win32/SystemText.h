#pragma once
// Texts between our 8-bit strings and the Win32 API: error messages and wide-character names.
// Our strings are in the ANSI code page, as the C library's file names on Windows are.

#include <string>
#include <string_view>

namespace zel::win32 {

// The system's message for an error code (GetLastError's), without the line break Windows puts at
// its end; "error <code>" when the system has none.
std::string SystemErrorText(unsigned long code);

// The code pages of our texts: the ANSI one (the driver's 8-bit texts, file names) and UTF-8
// (what the test client's user types and reads).
inline constexpr unsigned AnsiCodePage = 0;      // CP_ACP
inline constexpr unsigned Utf8CodePage = 65001;  // CP_UTF8

// A text of the code page as UTF-16, for the wide-character API.
std::wstring Wide(std::string_view text, unsigned codePage = AnsiCodePage);
// A UTF-16 text in the code page; characters the ANSI one lacks become its default one.
std::string Narrow(std::wstring_view text, unsigned codePage = AnsiCodePage);

}  // namespace zel::win32
