// A serial port for tests: the test scripts what the device does and reads back every call the
// code under test made. No time passes inside it: reads and writes return at once.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "driver/port/SerialPort.h"
#include "tools/zelsim/SimConfig.h"

namespace zel::test {

enum class FakeCallKind {
  Open,
  Close,
  GetState,
  SetState,
  SetTimeouts,
  EscapeFunction,
  Read,
  Write
};

struct FakePortCall {
  FakeCallKind kind = FakeCallKind::Open;
  CommTimeouts timeouts;       // SetTimeouts: as asked
  std::vector<uint8_t> bytes;  // Write: the bytes that went out
};

// The device behind a FakeSerialPort: the script, the device's state and the record of calls.
// Shared with the port, so the test can still read it after the code has destroyed the port.
// Every operation on a closed port fails, reads and writes with 0 bytes.
struct FakeLine {
  bool OpenFails = false, SetStateFails = false, SetTimeoutsFails = false;
  std::set<std::string> UnopenableNames;
  std::set<ModemLineFunction> FailingFunctions;
  std::deque<std::vector<uint8_t>> ReadChunks;  // one a read; what does not fit stays in front
  // What goes out comes back as a read chunk, as on zelsim's line (Corrupt: first byte XOR FF).
  sim::EchoMode Echo = sim::EchoMode::Off;
  std::optional<int32_t> WriteResult;  // reported by every write; that many bytes go out
  std::vector<uint8_t> AfterEcho;      // follow what the next write sends back, in one read chunk
  bool Vanished = false;  // unplugged: opens fail, and an open port fails with DeviceGone

  LineState State;
  CommTimeouts Timeouts;  // the last taken
  bool Dtr = false, Rts = false, IsOpen = false;
  std::string OpenName;  // empty when closed

  std::vector<FakePortCall> Calls;
  std::vector<FakePortCall> CallsOf(FakeCallKind kind) const;
};

class FakeSerialPort final : public SerialPort {
 public:
  explicit FakeSerialPort(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}
  ~FakeSerialPort() override;  // leaves the line closed without recording a call

  bool Open(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override { return line_->IsOpen; }
  bool GetState(LineState& state) override;
  bool SetState(const LineState& state) override;
  bool SetTimeouts(const CommTimeouts& timeouts) override;
  bool EscapeFunction(ModemLineFunction function) override;
  int32_t Read(uint8_t* buffer, int32_t capacity) override;
  int32_t Write(const uint8_t* bytes, int32_t count) override;
  bool HasVanished() override;  // not recorded as a call
  const Outcome<PortError>& LastError() const override { return lastError_; }

 private:
  bool Call(FakeCallKind kind, bool works);  // records the call; whether it succeeds

  std::shared_ptr<FakeLine> line_;
  Outcome<PortError> lastError_;
};

}  // namespace zel::test
