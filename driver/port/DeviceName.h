// Maps the device names of the settings ("COM1", ...) to the names of the platform's devices.
// One declaration, one definition per platform (posix/, win32/).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/ParseNumber.h"

namespace zel {

// The n of "COMn" (n = 1, 2, ... written without leading zeros, at most nine digits); nothing
// for any other name ("COM0", "com1", "COM01", "COM2 ").
inline std::optional<uint32_t> ComPortNumber(std::string_view name) {
  constexpr std::string_view prefix = "COM";
  // Nine digits; no real port number comes near it.
  constexpr uint32_t largest = 999999999;
  if (name.substr(0, prefix.size()) != prefix) return std::nullopt;
  const std::string_view digits = name.substr(prefix.size());
  if (!digits.empty() && digits.front() == '0') return std::nullopt;
  return ParseNumber<uint32_t>(digits, 1, largest);
}

// The name to open for a port setting; the caller's text is not touched. "COMn" names the n-th
// serial port: /dev/ttyS<n-1> on Linux, \\.\COMn on Windows (the only form that reaches COM10
// and above there). Every other name, a device path among them, is tried exactly as typed.
std::string PlatformDeviceName(const std::string& name);

}  // namespace zel
