#include "tests/support/FakeSerialPort.h"

#include <algorithm>
#include <utility>

namespace zel::test {

std::vector<FakePortCall> FakeLine::CallsOf(FakeCallKind kind) const {
  std::vector<FakePortCall> calls;
  for (const FakePortCall& call : Calls) {
    if (call.kind == kind) calls.push_back(call);
  }
  return calls;
}

std::vector<FakeCallKind> FakeLine::CallKinds() const {
  std::vector<FakeCallKind> kinds;
  for (const FakePortCall& call : Calls) kinds.push_back(call.kind);
  return kinds;
}

FakeSerialPort::FakeSerialPort(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}

FakeSerialPort::~FakeSerialPort() {
  line_->IsOpen = false;
  line_->OpenName.clear();
}

FakePortCall& FakeSerialPort::Record(FakeCallKind kind, bool succeeded) {
  FakePortCall call;
  call.kind = kind;
  call.succeeded = succeeded;
  lastError_ = succeeded ? PortError::None : PortError::Failed;
  lastErrorText_ = succeeded ? std::string() : "fake: the call failed";
  line_->Calls.push_back(call);
  return line_->Calls.back();
}

bool FakeSerialPort::Open(const std::string& name) {
  const bool opens = !line_->OpenFails && line_->UnopenableNames.count(name) == 0;
  Record(FakeCallKind::Open, opens).name = name;
  // Like a real port, an open port is given up first, whether or not the new open succeeds.
  line_->IsOpen = opens;
  line_->OpenName = opens ? name : std::string();
  return opens;
}

void FakeSerialPort::Close() {
  Record(FakeCallKind::Close, line_->IsOpen);
  line_->IsOpen = false;
  line_->OpenName.clear();
}

bool FakeSerialPort::IsOpen() const { return line_->IsOpen; }

bool FakeSerialPort::GetState(LineState& state) {
  const bool ok = line_->IsOpen && !line_->GetStateFails;
  FakePortCall& call = Record(FakeCallKind::GetState, ok);
  if (!ok) return false;
  state = line_->State;
  call.state = state;
  return true;
}

bool FakeSerialPort::SetState(const LineState& state) {
  const bool ok = line_->IsOpen && !line_->SetStateFails;
  Record(FakeCallKind::SetState, ok).state = state;
  if (ok) line_->State = state;
  return ok;
}

bool FakeSerialPort::SetTimeouts(const CommTimeouts& timeouts) {
  const bool ok = line_->IsOpen && !line_->SetTimeoutsFails;
  Record(FakeCallKind::SetTimeouts, ok).timeouts = timeouts;
  if (ok) line_->Timeouts = timeouts;
  return ok;
}

bool FakeSerialPort::EscapeFunction(ModemLineFunction function) {
  const bool ok = line_->IsOpen && line_->FailingFunctions.count(function) == 0;
  Record(FakeCallKind::EscapeFunction, ok).function = function;
  if (!ok) return false;
  switch (function) {
    case ModemLineFunction::SetDTR:
      line_->Dtr = true;
      break;
    case ModemLineFunction::ClearDTR:
      line_->Dtr = false;
      break;
    case ModemLineFunction::SetRTS:
      line_->Rts = true;
      break;
    case ModemLineFunction::ClearRTS:
      line_->Rts = false;
      break;
  }
  return true;
}

int32_t FakeSerialPort::Read(uint8_t* buffer, int32_t capacity) {
  const bool ok = line_->IsOpen && buffer != nullptr && capacity >= 0;
  FakePortCall& call = Record(FakeCallKind::Read, ok);
  call.count = capacity;
  if (!ok || capacity == 0 || line_->ReadChunks.empty()) return 0;
  std::vector<uint8_t>& chunk = line_->ReadChunks.front();
  const size_t n = std::min(chunk.size(), static_cast<size_t>(capacity));
  std::copy_n(chunk.begin(), n, buffer);
  call.bytes.assign(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
  chunk.erase(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
  if (chunk.empty()) line_->ReadChunks.pop_front();
  return static_cast<int32_t>(n);
}

int32_t FakeSerialPort::Write(const uint8_t* bytes, int32_t count) {
  const bool validArguments = count >= 0 && (count == 0 || bytes != nullptr);
  const bool ok = line_->IsOpen && validArguments;
  FakePortCall& call = Record(FakeCallKind::Write, ok);
  if (validArguments) call.bytes.assign(bytes, bytes + count);
  if (!ok) return 0;
  const int32_t reported = line_->WriteResult.value_or(count);
  call.count = reported;
  const std::vector<uint8_t> wentOut(bytes, bytes + std::clamp(reported, 0, count));
  if (!wentOut.empty() && line_->Echo != EchoMode::Off) {
    std::vector<uint8_t> echo = wentOut;
    if (line_->Echo == EchoMode::Corrupting) echo.front() = static_cast<uint8_t>(~echo.front());
    line_->QueueRead(std::move(echo));
  }
  if (line_->OnWrite) line_->OnWrite(wentOut);
  return reported;
}

FakePortOnLine MakeFakePort() {
  FakePortOnLine fake;
  fake.line = std::make_shared<FakeLine>();
  fake.port = std::make_unique<FakeSerialPort>(fake.line);
  return fake;
}

}  // namespace zel::test
