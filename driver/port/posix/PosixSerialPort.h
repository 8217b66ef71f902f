// The serial port on Linux: a terminal device driven through termios2 and poll.
#pragma once

#include <cstdint>
#include <string>

#include "driver/port/SerialPort.h"

namespace zel {

// Why the last operation failed; PortError::None after a success.
enum class PortError {
  None,
  NotOpen,       // the operation needs an open port
  NoSuchDevice,  // nothing to open under that name (ENOENT, ENODEV, ENXIO, EIO at open)
  AccessDenied,  // no permission (EACCES, EPERM, EROFS)
  InUse,         // another open holds the device (EBUSY, or its lock: EWOULDBLOCK)
  NotATerminal,  // the name opened something that is not a serial device
  BadArgument,   // settings the line cannot carry, or a bad buffer
  Rejected,      // the device did not take the line settings
  Unsupported,   // the device has no such function (modem lines on a pseudo-terminal)
  TimedOut,      // a write ran out of time before all bytes were transmitted
  DeviceGone,    // the device vanished (EIO, ENXIO, EBADF, hang-up)
  Failed,        // any other system error
};

class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool Open(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override;
  bool GetState(LineState& state) override;
  bool SetState(const LineState& state) override;
  bool SetTimeouts(const CommTimeouts& timeouts) override;
  bool GetEventMask(uint32_t& mask) override;
  bool SetEventMask(uint32_t mask) override;
  bool EscapeFunction(ModemLineFunction function) override;
  int32_t Read(uint8_t* buffer, int32_t capacity) override;
  int32_t Write(const uint8_t* bytes, int32_t count) override;

  PortError LastError() const { return lastError_; }
  // The path that was opened (after the COMn mapping); empty while closed.
  const std::string& DevicePath() const { return path_; }

 private:
  bool Usable();
  bool DeviceAnswers();
  bool Fail(PortError error);
  void FailFromErrno(int error);
  bool DrainOutput(int32_t& written, uint64_t deadlineMs, uint64_t elapsedMs);

  int fd_ = -1;
  bool gone_ = false;
  std::string path_;
  CommTimeouts timeouts_;
  LineState line_;  // last known, for the safety bounds
  uint32_t eventMask_ = 0;
  PortError lastError_ = PortError::None;
};

}  // namespace zel
