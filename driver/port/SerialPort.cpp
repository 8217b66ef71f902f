#include "driver/port/SerialPort.h"

namespace zel {

SerialPort::~SerialPort() = default;

bool SerialPort::HasVanished() { return false; }

}  // namespace zel
