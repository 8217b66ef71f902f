// The port layer: one serial device behind a small abstract interface. The portable core codes
// against SerialPort; each platform supplies one implementation and MakePlatformSerialPort().
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/Outcome.h"

namespace zel {

enum class Parity : uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class StopBits : uint8_t { One = 0, OneAndHalf = 1, Two = 2 };

// The four line settings the driver controls. Writing them back leaves every other setting of
// the device (flow control, modem-line modes, special characters...) as the device has it.
struct LineState {
  uint32_t BaudRate = 9600;  // bits per second, any rate the device accepts
  uint8_t ByteSize = 8;      // data bits, 5 to 8
  Parity ParityMode = Parity::None;
  StopBits StopBitCount = StopBits::One;
};

inline bool operator==(const LineState& a, const LineState& b) {
  return a.BaudRate == b.BaudRate && a.ByteSize == b.ByteSize && a.ParityMode == b.ParityMode &&
         a.StopBitCount == b.StopBitCount;
}
inline bool operator!=(const LineState& a, const LineState& b) { return !(a == b); }

// All-ones value of a time-out field; selects the special read modes below.
constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

// Read and write time-outs in milliseconds, with the meaning of Win32 COMMTIMEOUTS:
// - a read of n bytes ends when n bytes are in, when ReadIntervalTimeout ms pass after a byte
//   without the next one (0 = no interval rule; the rule starts with the first byte), or when
//   ReadTotalTimeoutConstant + n x ReadTotalTimeoutMultiplier ms have passed since the start
//   (both 0 = no total time-out);
// - interval kMaxDword with both totals 0: return at once with the bytes already received;
// - interval and multiplier kMaxDword, 0 < constant < kMaxDword: return as soon as at least one
//   byte is in, or after the constant with nothing;
// - a write of n bytes may take WriteTotalTimeoutConstant + n x WriteTotalTimeoutMultiplier ms
//   (both 0 = no write time-out).
// Where no time-out is configured an implementation still bounds the call (see ReadTiming.h).
struct CommTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};

enum class ModemLineFunction { SetDTR, ClearDTR, SetRTS, ClearRTS };

// Why the last operation of a port failed; None after a success.
enum class PortError {
  None,
  NotOpen,       // the operation needs an open port
  NoSuchDevice,  // nothing to open under that name
  AccessDenied,  // no permission
  InUse,         // another program holds the device
  NotATerminal,  // the name opened something that is not a serial device
  BadArgument,   // settings the line cannot carry, or a bad buffer
  Rejected,      // the device did not take the line settings
  Unsupported,   // the device has no such function (modem lines on a pseudo-terminal)
  TimedOut,      // a write ran out of time before all bytes were transmitted
  DeviceGone,    // the device vanished (unplugged, hung up): only closing is left to do
  Failed,        // any other system error
};

// One serial device. Not thread-safe: one thread owns the object. Every operation on a port
// that is not open fails (false, or 0 bytes) without side effects.
class SerialPort {
 public:
  virtual ~SerialPort();

  // Opens the device by name (COMn names map to the platform's devices, see DeviceName.h) for
  // exclusive reading and writing: a second open of the same device fails until this one is
  // closed. An open port is closed first. Afterwards the read and write time-outs are bounded
  // (interval 50, constant 25, no write time-out) until SetTimeouts replaces them.
  virtual bool Open(const std::string& name) = 0;
  // Releases the device; harmless on a closed port or one whose device has vanished.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Fetches the device's current line settings.
  virtual bool GetState(LineState& state) = 0;
  // Applies the four line settings and keeps every other device setting. Fails, leaving the
  // device as it was, when the combination is invalid (1.5 stop bits need 5 data bits, 2 stop
  // bits need 6 to 8) or when the device does not take a setting (e.g. an unsupported rate).
  virtual bool SetState(const LineState& state) = 0;
  // Puts the time-outs in force for all following reads and writes.
  virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;

  // Raises or drops DTR or RTS; true only if the device did it.
  virtual bool EscapeFunction(ModemLineFunction function) = 0;

  // Blocks as the time-outs in force say and returns the number of bytes delivered into buffer
  // (at most capacity); 0 when nothing arrived or on failure. When the device vanishes, reads
  // return promptly: bytes that arrived before are delivered, later reads give 0 at once.
  virtual int32_t Read(uint8_t* buffer, int32_t capacity) = 0;
  // Returns once the bytes have been transmitted, or when the write time-out runs out; the
  // result is the number of bytes written (fewer than count after a time-out), 0 on failure.
  virtual int32_t Write(const uint8_t* bytes, int32_t count) = 0;

  // Whether the open device has vanished since it was opened (then LastError says why). Looks
  // without waiting and without taking any input; false on a closed port, and where the platform
  // cannot tell without reading or writing.
  virtual bool HasVanished();

  // Why the last operation failed, as a code and a text for people that names the device, e.g.
  // "/dev/ttyUSB0: Permission denied (is the user in group dialout?)"; Ok after a success.
  virtual const Outcome<PortError>& LastError() const = 0;
};

// Whether the arguments of a Read or Write are sound: a count of 0 or more, and a buffer
// wherever there are bytes to move. Ports refuse others with PortError::BadArgument.
inline bool IsSoundTransfer(const void* bytes, int32_t count) {
  return count >= 0 && (count == 0 || bytes != nullptr);
}

// The serial port of the platform the program was built for.
std::unique_ptr<SerialPort> MakePlatformSerialPort();

}  // namespace zel
