#include "driver/port/posix/DeviceName.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/ParseNumber.h"

namespace zel {

namespace {

constexpr std::string_view ComPrefix = "COM";
// Nine digits; no real port number comes near it.
constexpr uint32_t LargestPortNumber = 999999999;

// The port number of "COMn", or nothing when the name is not of that form.
std::optional<uint32_t> ComPortNumber(std::string_view name) {
  if (name.substr(0, ComPrefix.size()) != ComPrefix) return std::nullopt;
  const std::string_view digits = name.substr(ComPrefix.size());
  if (!digits.empty() && digits.front() == '0') return std::nullopt;
  return ParseNumber<uint32_t>(digits, 1, LargestPortNumber);
}

}  // namespace

std::string PlatformDeviceName(const std::string& name) {
  const std::optional<uint32_t> number = ComPortNumber(name);
  if (!number) return name;
  return "/dev/ttyS" + std::to_string(*number - 1);
}

}  // namespace zel
