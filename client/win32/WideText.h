#pragma once
// The window's UTF-8 texts (what the user types, what the entry check reads and reports) and the
// wide-character API. The driver's 8-bit texts go through Wide and Narrow (SystemText.h).

#include <windows.h>

#include <string>
#include <string_view>

namespace zel::win32 {

std::wstring FromUtf8(std::string_view text);
std::string ToUtf8(std::wstring_view text);

// A window's whole text.
std::wstring WindowText(HWND window);

}  // namespace zel::win32
