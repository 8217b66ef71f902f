// Line settings as a Win32 DCB.
#pragma once

#include <windows.h>

#include "driver/port/SerialPort.h"

namespace zel::win32 {

// Bytes pass unchanged both ways: binary mode, no XON/XOFF flow control in either direction (it
// would swallow 0x11 and 0x13), no null stripping, no error-character replacement, no input
// discarded while DSR is low, and a line error does not abort the reads and writes that follow.
// Rate, framing and hardware handshake are left as they are.
void MakeRaw(DCB& dcb);

// Writes the four line settings into the DCB; nothing else changes. False, with the DCB untouched,
// when the settings cannot be expressed: rate 0, data bits outside 5..8, 1.5 stop bits without 5
// data bits, 2 stop bits with 5, or an unknown parity or stop-bit value.
bool ApplyLineState(const LineState& state, DCB& dcb);

// The four line settings the DCB describes; false when a field holds a value no LineState has.
bool LineStateFromDcb(const DCB& dcb, LineState& state);

}  // namespace zel::win32
