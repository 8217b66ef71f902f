// The serial port on Linux: a terminal device driven through termios2 and poll.
#pragma once

#include <cstdint>
#include <string>

#include "driver/port/SerialPort.h"

namespace zel {

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
  bool EscapeFunction(ModemLineFunction function) override;
  int32_t Read(uint8_t* buffer, int32_t capacity) override;
  int32_t Write(const uint8_t* bytes, int32_t count) override;
  bool HasVanished() override;

  const Outcome<PortError>& LastError() const override { return lastError_; }
  // The path that was opened (after the COMn mapping); empty while closed.
  const std::string& DevicePath() const { return path_; }

 private:
  bool Usable();
  bool DeviceAnswers();
  bool Fail(PortError error, int systemError = 0);
  bool FailBecause(PortError error, const std::string& why);
  bool FailToOpen(PortError error, int systemError);
  void ClearError();
  void FailFromErrno(int error);
  bool DrainOutput(int32_t& written, uint64_t deadlineMs, uint64_t elapsedMs);

  int fd_ = -1;
  bool gone_ = false;
  std::string path_;
  CommTimeouts timeouts_;
  LineState line_;  // last known, for the safety bounds
  Outcome<PortError> lastError_;
  std::string subject_;  // the device named in error texts: the last one opened or tried
};

}  // namespace zel
