#include "driver/port/DeviceName.h"

namespace zel {

// CreateFile takes a bare "COMn" as a device only for n below 10; the device namespace prefix
// reaches every port number.
std::string PlatformDeviceName(const std::string& name) {
  if (!ComPortNumber(name)) return name;
  return "\\\\.\\" + name;
}

}  // namespace zel
