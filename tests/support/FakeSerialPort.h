// A serial port for tests: the test scripts what the device does and reads back every call the
// code under test made. No time passes inside it: reads and writes return at once.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "driver/port/SerialPort.h"

namespace zel::test {

enum class FakeCallKind {
  Open,
  Close,
  GetState,
  SetState,
  SetTimeouts,
  EscapeFunction,
  Read,
  Write,
};

// One call made on the port, with what it carried and whether it succeeded. Only the fields of
// its kind are filled.
struct FakePortCall {
  FakeCallKind kind = FakeCallKind::Open;
  bool succeeded = false;
  std::string name;       // Open: the name asked for
  LineState state;        // GetState: as reported; SetState: as asked
  CommTimeouts timeouts;  // SetTimeouts: as asked
  ModemLineFunction function = ModemLineFunction::SetDTR;  // EscapeFunction
  std::vector<uint8_t> bytes;  // Write: the bytes given; Read: the bytes delivered
  int32_t count = 0;           // Write: the result reported; Read: the capacity asked for
};

// Writes seen back on the line: not at all, as written, or spoiled (the first byte's bits
// inverted), as when another station talks at the same time.
enum class EchoMode { Off, Faithful, Corrupting };

// The device behind a FakeSerialPort: the script the test sets, the device's state, and the
// record of calls. The test keeps it shared with the port, so it can still be read after the code
// under test has destroyed the port. Every operation on a closed port fails (0 bytes for reads
// and writes) and is recorded as failed.
struct FakeLine {
  // --- Script ---
  bool OpenFails = false;                 // every open fails
  std::set<std::string> UnopenableNames;  // opens of these names fail
  bool GetStateFails = false;
  bool SetStateFails = false;  // the state stays as it was
  bool SetTimeoutsFails = false;
  std::set<ModemLineFunction> FailingFunctions;  // EscapeFunction fails for these
  // Each read delivers the front chunk, or as much of it as fits (the rest stays in front);
  // an empty queue reads 0 bytes.
  std::deque<std::vector<uint8_t>> ReadChunks;
  EchoMode Echo = EchoMode::Off;  // the bytes that went out are queued as a read chunk
  // When set, every write reports this count instead of its own; the first max(0, count) bytes
  // (at most all of them) count as gone out. 0 or less: nothing went out.
  std::optional<int32_t> WriteResult;
  // Called with the bytes that went out, after the echo is queued: lets a test queue a reply.
  std::function<void(const std::vector<uint8_t>&)> OnWrite;

  // --- The device ---
  LineState State;               // reported by GetState, replaced by SetState
  CommTimeouts Timeouts;         // the last taken by SetTimeouts
  bool Dtr = false;              // modem lines as the escape functions left them
  bool Rts = false;
  bool IsOpen = false;
  std::string OpenName;  // the name of the open device; empty when closed

  // --- Record ---
  std::vector<FakePortCall> Calls;

  // The calls of one kind, in order.
  std::vector<FakePortCall> CallsOf(FakeCallKind kind) const;
  // The kinds of all calls, in order.
  std::vector<FakeCallKind> CallKinds() const;
  void QueueRead(std::vector<uint8_t> bytes) { ReadChunks.push_back(std::move(bytes)); }
};

class FakeSerialPort final : public SerialPort {
 public:
  explicit FakeSerialPort(std::shared_ptr<FakeLine> line);
  // Leaves the line closed without recording a call: the record shows only what the code under
  // test asked for.
  ~FakeSerialPort() override;
  FakeSerialPort(const FakeSerialPort&) = delete;
  FakeSerialPort& operator=(const FakeSerialPort&) = delete;

  bool Open(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override;
  bool GetState(LineState& state) override;
  bool SetState(const LineState& state) override;
  bool SetTimeouts(const CommTimeouts& timeouts) override;
  bool EscapeFunction(ModemLineFunction function) override;
  int32_t Read(uint8_t* buffer, int32_t capacity) override;
  int32_t Write(const uint8_t* bytes, int32_t count) override;
  PortError LastError() const override { return lastError_; }
  const std::string& LastErrorText() const override { return lastErrorText_; }

 private:
  FakePortCall& Record(FakeCallKind kind, bool succeeded);

  std::shared_ptr<FakeLine> line_;
  PortError lastError_ = PortError::None;
  std::string lastErrorText_;
};

// A fresh line and a port on it, for handing the port to the code under test.
struct FakePortOnLine {
  std::shared_ptr<FakeLine> line;
  std::unique_ptr<FakeSerialPort> port;
};
FakePortOnLine MakeFakePort();

}  // namespace zel::test
