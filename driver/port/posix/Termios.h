// Line settings as Linux termios2 words. The kernel's <asm/termbits.h> carries the arbitrary-rate
// interface (BOTHER, c_ispeed/c_ospeed) but defines its own struct termios, so a file that
// includes this header must not include <termios.h>.
#pragma once

#include <asm/termbits.h>

#include "driver/port/SerialPort.h"

namespace zel::posix {

// Raw 8-bit line: no echo, no line editing, no signals, no translation in either direction,
// no software output flow control (XON/XOFF would swallow 0x11 and 0x13); receiver on, modem
// status lines ignored; a read returns as soon as one byte is there. Rate, stop bits and
// hardware flow control are left as they are.
void MakeRaw(termios2& t);

// Writes the four line settings into the flag words, the rate through BOTHER so that any rate
// can be asked for; nothing else changes. False, with t untouched, when the settings cannot be
// expressed: rate 0, data bits outside 5..8, 1.5 stop bits without 5 data bits, 2 stop bits with
// 5, or an unknown parity or stop-bit value.
bool ApplyLineState(const LineState& state, termios2& t);

// The four line settings the flag words describe (standard rate codes and BOTHER alike).
LineState LineStateFromTermios(const termios2& t);

// Whether the device took the settings asked for, judged by what it reports back. Drivers report
// the rate they actually run, which may differ from the request by a divisor's rounding: within
// 2 % counts as taken (serial receivers tolerate that much); a fallback to another rate does not.
bool DeviceTookLineState(const LineState& wanted, const LineState& reported);

// TCGETS2 / TCSETS2 on an open terminal; false with errno set on failure.
bool GetTermios(int fd, termios2& t);
bool SetTermios(int fd, const termios2& t);

}  // namespace zel::posix
