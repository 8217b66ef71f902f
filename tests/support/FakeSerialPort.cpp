#include "tests/support/FakeSerialPort.h"

#include <algorithm>

namespace zel::test {

std::vector<FakePortCall> FakeLine::CallsOf(FakeCallKind kind) const {
  std::vector<FakePortCall> calls;
  std::copy_if(Calls.begin(), Calls.end(), std::back_inserter(calls),
               [kind](const FakePortCall& call) { return call.kind == kind; });
  return calls;
}

FakeSerialPort::~FakeSerialPort() {
  line_->IsOpen = false;
  line_->OpenName.clear();
}

bool FakeSerialPort::Call(FakeCallKind kind, bool works) {
  line_->Calls.emplace_back().kind = kind;
  const bool gone = line_->IsOpen && line_->Vanished, ok = line_->IsOpen && !gone && works;
  lastError_ =
      ok ? Outcome<PortError>::Success()
         : Outcome<PortError>::Failure(gone ? PortError::DeviceGone : PortError::Failed,
                                       gone ? "fake: device vanished" : "fake: the call failed");
  return ok;
}

bool FakeSerialPort::Open(const std::string& name) {
  // Like a real port, an open port is given up first, whether or not the new open succeeds.
  line_->IsOpen = !line_->OpenFails && !line_->Vanished && line_->UnopenableNames.count(name) == 0;
  line_->OpenName = line_->IsOpen ? name : "";
  return Call(FakeCallKind::Open, true);
}

void FakeSerialPort::Close() {
  Call(FakeCallKind::Close, true);
  line_->IsOpen = false;
  line_->OpenName.clear();
}

bool FakeSerialPort::GetState(LineState& state) {
  if (Call(FakeCallKind::GetState, true)) state = line_->State;
  return line_->IsOpen;
}

bool FakeSerialPort::SetState(const LineState& state) {
  if (!Call(FakeCallKind::SetState, !line_->SetStateFails)) return false;
  line_->State = state;
  return true;
}

bool FakeSerialPort::SetTimeouts(const CommTimeouts& timeouts) {
  const bool ok = Call(FakeCallKind::SetTimeouts, !line_->SetTimeoutsFails);
  line_->Calls.back().timeouts = timeouts;
  if (ok) line_->Timeouts = timeouts;
  return ok;
}

bool FakeSerialPort::EscapeFunction(ModemLineFunction f) {
  using F = ModemLineFunction;
  if (!Call(FakeCallKind::EscapeFunction, line_->FailingFunctions.count(f) == 0)) return false;
  if (f == F::SetDTR || f == F::ClearDTR) line_->Dtr = f == F::SetDTR;
  if (f == F::SetRTS || f == F::ClearRTS) line_->Rts = f == F::SetRTS;
  return true;
}

int32_t FakeSerialPort::Read(uint8_t* buffer, int32_t capacity) {
  auto& chunks = line_->ReadChunks;
  if (!Call(FakeCallKind::Read, IsSoundTransfer(buffer, capacity)) || chunks.empty()) return 0;
  const auto n = std::min<std::ptrdiff_t>(chunks.front().size(), capacity);
  std::copy_n(chunks.front().begin(), n, buffer);
  chunks.front().erase(chunks.front().begin(), chunks.front().begin() + n);
  if (chunks.front().empty()) chunks.pop_front();
  return static_cast<int32_t>(n);
}

int32_t FakeSerialPort::Write(const uint8_t* bytes, int32_t count) {
  if (!Call(FakeCallKind::Write, IsSoundTransfer(bytes, count))) return 0;
  const int32_t reported = line_->WriteResult.value_or(count);
  std::vector<uint8_t>& wentOut = line_->Calls.back().bytes;
  wentOut.assign(bytes, bytes + std::clamp(reported, 0, count));
  std::vector<uint8_t> back = line_->Echo == sim::EchoMode::Off ? std::vector<uint8_t>() : wentOut;
  if (!back.empty() && line_->Echo == sim::EchoMode::Corrupt) back.front() ^= 0xFF;
  if (!wentOut.empty()) back.insert(back.end(), line_->AfterEcho.begin(), line_->AfterEcho.end());
  if (!wentOut.empty()) line_->AfterEcho.clear();
  if (!back.empty()) line_->ReadChunks.push_back(back);
  return reported;
}

bool FakeSerialPort::HasVanished() {
  if (!line_->IsOpen || !line_->Vanished) return false;
  lastError_ = Outcome<PortError>::Failure(PortError::DeviceGone, "fake: device vanished");
  return true;
}

}  // namespace zel::test
