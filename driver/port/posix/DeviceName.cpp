#include "driver/port/DeviceName.h"

namespace zel {

std::string PlatformDeviceName(const std::string& name) {
  const std::optional<uint32_t> number = ComPortNumber(name);
  if (!number) return name;
  return "/dev/ttyS" + std::to_string(*number - 1);
}

}  // namespace zel
