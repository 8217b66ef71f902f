// The serial devices present on this machine, for offering them to the user by name.
#pragma once

#include <string>
#include <vector>

namespace zel {

// The serial adapters present now, each as the name that opens it (a full path): the USB ones
// (ttyACM<n>, then ttyUSB<n>, each by number), then the stable names under serial/by-id/, sorted.
// Built-in ports are left out: they always exist, present or not, and "COMn" names them anyway.
// Empty when there are none or the directory cannot be read; never fails.
std::vector<std::string> SerialDeviceNames();

// The same, looked for in `deviceDirectory` (given without a trailing separator) in place of
// the system's device directory.
std::vector<std::string> SerialDeviceNamesIn(const std::string& deviceDirectory);

}  // namespace zel
