// Maps the device names of the settings ("COM1", ...) to the names of this system's devices.
#pragma once

#include <string>

namespace zel {

// "COMn" (n = 1, 2, ... written without leading zeros) names /dev/ttyS<n-1>; a name that starts
// with "/" is a device path and stands as it is; any other name ("COM0", "com1", "COM2 ") is
// tried exactly as typed. Returns the name to open; the caller's text is not touched.
std::string PlatformDeviceName(const std::string& name);

}  // namespace zel
