#include "driver/port/SerialPort.h"

namespace zel {

SerialPort::~SerialPort() = default;

}  // namespace zel
