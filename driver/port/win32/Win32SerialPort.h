// The serial port on Windows: a COM device driven through the Win32 communications API on a
// synchronous handle, its read time-outs being the device's own COMMTIMEOUTS.
#pragma once

#include <cstdint>
#include <string>

#include "driver/port/SerialPort.h"

namespace zel::win32 {

class Win32SerialPort final : public SerialPort {
 public:
  Win32SerialPort() = default;
  ~Win32SerialPort() override;
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

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

 private:
  bool Usable();
  bool Vanished();
  bool PutTimeouts();
  bool FitBounds(int32_t count);
  bool DrainOutput(int32_t& written, uint64_t deadlineMs, uint64_t startMs);
  bool Fail(PortError error, unsigned long systemError = 0);
  bool FailFromSystem(unsigned long systemError);
  void ClearError();

  void* handle_ = nullptr;  // the device's HANDLE; nullptr while closed
  void* claim_ = nullptr;   // the named object that keeps other ports of this kind out
  bool gone_ = false;
  CommTimeouts timeouts_;   // as the owner set them
  CommTimeouts inForce_;    // as put on the device, bounds included
  int32_t boundBytes_ = 0;  // the transfer size the bounds in force are made for
  LineState line_;          // last known, for the bounds
  Outcome<PortError> lastError_;
  std::string subject_;  // the device named in error texts, as the owner wrote it
};

}  // namespace zel::win32
