#include "driver/port/ComProperties.h"

#include <algorithm>
#include <utility>

namespace zel {

namespace {

constexpr uint32_t ReadIntervalMs = 50;
constexpr uint32_t ReadTotalConstantMs = 25;
constexpr uint32_t WholeReadBytes = 256;
constexpr uint8_t DataBits = 8;
// A device that is plugged back takes longer than this to reappear; more attempts would only
// echo more failures.
constexpr int64_t ReopenIntervalMs = 1000;

// The port layer bounds writes itself; a negative write time-out from a hand-edited file means
// nothing sensible and would wrap round to nearly 50 days, so it counts as "none".
uint32_t WriteTimeoutValue(int32_t value) { return value < 0 ? 0 : static_cast<uint32_t>(value); }

}  // namespace

TComProperties::TComProperties(std::unique_ptr<SerialPort> port, std::string configurationPath,
                               Notice& notice)
    : port_(std::move(port)), configurationPath_(std::move(configurationPath)), notice_(notice) {}

TComProperties::~TComProperties() {
  if (PortHandle == PortHandleState::Open && port_) port_->Close();
}

void TComProperties::Init() {
  Settings = PortSettings();
  LoadConfiguration(configurationPath_, Settings);  // a missing file simply gives the defaults
  SetupCOMPort();
}

void TComProperties::SetupCOMPort() {
  if (PortHandle == PortHandleState::Open) {
    port_->Close();
    PortHandle = PortHandleState::None;
  }
  // Set before the open: SetDefaultTimeouts, one of the steps, acts only on a configured port.
  SetIsPortConfigured(true);
  SetupFailure.clear();
  vanished_ = false;
  if (!OpenAndApplySettings()) SetIsPortConfigured(false);
}

bool TComProperties::OpenAndApplySettings() {
  const bool opened = port_ && port_->Open(Settings.PortNumber);
  PortHandle = opened ? PortHandleState::Open : PortHandleState::OpenFailed;
  if (!opened) return Fail(port_ ? port_->LastError().text : Settings.PortNumber + ": no port");

  LineState state;
  if (!port_->GetState(state)) return Fail(port_->LastError().text);
  state.ByteSize = DataBits;
  const std::optional<uint32_t> rate = Settings.BaudRate();
  if (!rate) {
    return Fail(Settings.PortNumber + ": \"" + Settings.TransferRate + "\" names no transfer rate");
  }
  state.BaudRate = *rate;
  state.ParityMode = Settings.ParityMode().value_or(state.ParityMode);
  state.StopBitCount = Settings.StopBitCount().value_or(state.StopBitCount);
  if (!port_->SetState(state)) return Fail(port_->LastError().text);
  if (!ApplyTimeouts(Settings.LatencyMultiplier())) return Fail(port_->LastError().text);
  if (!ApplyLineControls()) return Fail(port_->LastError().text);
  return true;
}

bool TComProperties::Fail(const std::string& why) {
  SetupFailure = "port: " + why;
  if (ReportFailure) ReportFailure(SetupFailure);
  return false;
}

// The last line operation performed decides: an RTS result replaces a DTR result, and with
// neither line touched the set-up succeeds.
bool TComProperties::ApplyLineControls() {
  bool succeeded = true;
  if (Settings.Dtr() == LineControl::Drop) succeeded = Escape(ModemLineFunction::ClearDTR);
  if (Settings.Dtr() == LineControl::Raise) succeeded = Escape(ModemLineFunction::SetDTR);
  if (Settings.Rts() == LineControl::Drop) succeeded = Escape(ModemLineFunction::ClearRTS);
  if (Settings.Rts() == LineControl::Raise) succeeded = Escape(ModemLineFunction::SetRTS);
  return succeeded;
}

void TComProperties::SetProperties(const PortSettings& settings) {
  const int32_t multiplier = Settings.WriteTimeOutMultiplier;
  const int32_t constant = Settings.WriteTimeOutConstant;
  Settings = settings;
  Settings.WriteTimeOutMultiplier = multiplier;
  Settings.WriteTimeOutConstant = constant;
}

bool TComProperties::SetDefaultTimeouts() {
  if (!IsPortConfigured) return false;
  const bool applied = ApplyTimeouts(Settings.LatencyMultiplier());
  NoticeVanishing();
  return applied;
}

bool TComProperties::SetNullTimeouts() {
  if (!IsPortConfigured) return false;
  const bool applied = ApplyTimeouts(0);
  NoticeVanishing();
  return applied;
}

bool TComProperties::ApplyTimeouts(uint32_t readTotalMultiplier) {
  if (!port_) return false;
  CommTimeouts timeouts;
  timeouts.ReadIntervalTimeout = ReadIntervalMs;
  timeouts.ReadTotalTimeoutMultiplier = readTotalMultiplier;
  timeouts.ReadTotalTimeoutConstant = ReadTotalConstantMs;
  timeouts.WriteTotalTimeoutMultiplier = WriteTimeoutValue(Settings.WriteTimeOutMultiplier);
  timeouts.WriteTotalTimeoutConstant = WriteTimeoutValue(Settings.WriteTimeOutConstant);
  return port_->SetTimeouts(timeouts);
}

bool TComProperties::setDTR() { return LineOperation(ModemLineFunction::SetDTR); }
bool TComProperties::setRTS() { return LineOperation(ModemLineFunction::SetRTS); }
bool TComProperties::dropDTR() { return LineOperation(ModemLineFunction::ClearDTR); }
bool TComProperties::dropRTS() { return LineOperation(ModemLineFunction::ClearRTS); }

bool TComProperties::LineOperation(ModemLineFunction function) {
  const bool done = Escape(function);
  NoticeVanishing();
  return done;
}

bool TComProperties::Escape(ModemLineFunction function) {
  return port_ && port_->EscapeFunction(function);
}

void TComProperties::SetIsPortConfigured(bool configured) { IsPortConfigured = configured; }

void TComProperties::UserSetupDialog() {
  if (SetupDialog == nullptr) return;
  PortSettings edited = Settings;
  const std::weak_ptr<char> alive = alive_;
  // The program may have closed inside the dialog's loop: then `this` and the dialog may be
  // gone, and only locals are safe to look at.
  if (!SetupDialog->Edit(edited) || alive.expired()) return;

  SetProperties(edited);
  SetupCOMPort();
  if (IsPortConfigured) {
    const Outcome<SettingsFileError> stored = StoreConfiguration(configurationPath_, Settings);
    if (!stored.Ok()) {
      if (ReportFailure) ReportFailure("settings: " + stored.text);
      notice_.ShowNotice(CantStoreConfigurationText);
    }
  } else {
    notice_.ShowNotice(CantOpenResourceText);
  }
  // Both branches may have shown a notice, with its own modal loop: nothing may follow here.
}

int32_t TComProperties::Read(uint8_t* buffer, int32_t capacity) {
  if (PortHandle != PortHandleState::Open || !port_) return 0;
  const int32_t received = std::max(port_->Read(buffer, capacity), 0);
  if (lineListener_ && received > 0)
    lineListener_->LineBytes(LineDirection::Read, buffer, received);
  NoticeVanishing();  // the bytes that came before it are delivered all the same
  return received;
}

int32_t TComProperties::Write(const uint8_t* bytes, int32_t count) {
  if (PortHandle != PortHandleState::Open || !port_) return 0;
  const int32_t written = std::max(port_->Write(bytes, count), 0);
  if (lineListener_ && written > 0)
    lineListener_->LineBytes(LineDirection::Written, bytes, written);
  NoticeVanishing();
  return written;
}

void TComProperties::ReopenIfVanished(int64_t nowMs) {
  if (PortHandle == PortHandleState::Open && port_ && port_->HasVanished()) {
    Vanish(port_->LastError().text);
  }
  if (!vanished_ || (lastReopenMs_ && nowMs - *lastReopenMs_ < ReopenIntervalMs)) return;
  lastReopenMs_ = nowMs;
  SetupCOMPort();
  vanished_ = !IsPortConfigured;
}

void TComProperties::NoticeVanishing() {
  if (PortHandle == PortHandleState::Open && port_ &&
      port_->LastError().code == PortError::DeviceGone) {
    Vanish(port_->LastError().text);
  }
}

// Nothing more can pass through the old descriptor; closing it now lets the device node be
// opened again when it comes back.
void TComProperties::Vanish(std::string why) {
  port_->Close();
  PortHandle = PortHandleState::None;
  SetIsPortConfigured(false);
  vanished_ = true;
  Fail(why);
}

uint32_t TComProperties::DefaultReadTotalTimeoutMs() const {
  return ReadTotalConstantMs + WholeReadBytes * Settings.LatencyMultiplier();
}

}  // namespace zel
