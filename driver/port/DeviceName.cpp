#include "driver/port/DeviceName.h"

#include <cstdint>

namespace zel {

namespace {

constexpr char kComPrefix[] = "COM";
constexpr std::string::size_type kComPrefixLength = sizeof(kComPrefix) - 1;
// Nine digits cannot overflow the number below; no real port number comes near it.
constexpr std::string::size_type kMaxPortDigits = 9;

// The port number of "COMn", or 0 when the name is not of that form.
uint64_t ComPortNumber(const std::string& name) {
  if (name.compare(0, kComPrefixLength, kComPrefix) != 0) return 0;
  const std::string digits = name.substr(kComPrefixLength);
  if (digits.empty() || digits.size() > kMaxPortDigits || digits[0] == '0') return 0;
  uint64_t number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + static_cast<uint64_t>(c - '0');
  }
  return number;
}

}  // namespace

std::string PlatformDeviceName(const std::string& name) {
  const uint64_t number = ComPortNumber(name);
  if (number == 0) return name;
  return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace zel
