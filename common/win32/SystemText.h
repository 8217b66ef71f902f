#pragma once
// Texts between our 8-bit strings and the Win32 API: error messages and wide-character names.
// Our strings are in the ANSI code page, as the C library's file names on Windows are.

#include <string>

namespace zel::win32 {

// The system's message for an error code (GetLastError's), without the line break Windows puts at
// its end; "error <code>" when the system has none.
std::string SystemErrorText(unsigned long code);

// A text of the ANSI code page as UTF-16, for the wide-character API.
std::wstring Wide(const std::string& text);
// A UTF-16 text in the ANSI code page; characters it lacks become the code page's default one.
std::string Narrow(const std::wstring& text);

}  // namespace zel::win32
