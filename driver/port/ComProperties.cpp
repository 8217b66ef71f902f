#include "driver/port/ComProperties.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace zel {

namespace {

constexpr uint32_t ReadIntervalMs = 50;
constexpr uint32_t ReadTotalConstantMs = 25;
constexpr uint32_t WholeReadBytes = 256;
constexpr uint8_t DataBits = 8;

// By position in the latency list: the steps are 1 up to position 3 and 10 from position 4,
// whose item ("1.25 seconds") therefore gives 5.
constexpr std::array<uint32_t, 13> LatencyMultipliers = {0,  1,  2,  3,  5,  10, 20,
                                                         30, 40, 50, 60, 70, 80};

struct ParityText {
  const char* text;
  zel::Parity parity;
};
// Fixed texts, not the dialog's list, whose order differs.
constexpr std::array<ParityText, 5> ParityTexts = {{
    {"None", zel::Parity::None},
    {"Odd", zel::Parity::Odd},
    {"Even", zel::Parity::Even},
    {"Mark", zel::Parity::Mark},
    {"Space", zel::Parity::Space},
}};

constexpr std::array<zel::StopBits, 3> StopBitsByPosition = {
    zel::StopBits::One, zel::StopBits::OneAndHalf, zel::StopBits::Two};

template <size_t N>
int PositionOf(const std::string& text, const std::array<const char*, N>& items) {
  for (size_t i = 0; i < N; ++i) {
    if (text == items[i]) return static_cast<int>(i);
  }
  return -1;
}

// The decimal number before the first blank. A rate of 0 would hang a terminal line up, so it
// counts as no rate either.
bool TransferRateValue(const std::string& text, uint32_t& rate) {
  const std::string::size_type blank = text.find(' ');
  if (blank == std::string::npos || blank == 0) return false;
  uint64_t value = 0;
  for (std::string::size_type i = 0; i < blank; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > std::numeric_limits<uint32_t>::max()) return false;
  }
  if (value == 0) return false;
  rate = static_cast<uint32_t>(value);
  return true;
}

// The port layer bounds writes itself; a negative write time-out from a hand-edited file means
// nothing sensible and would wrap round to nearly 50 days, so it counts as "none".
uint32_t WriteTimeoutValue(int32_t value) { return value < 0 ? 0 : static_cast<uint32_t>(value); }

}  // namespace

uint32_t LatencyMultiplier(const std::string& latencyPeriod) {
  const int position = PositionOf(latencyPeriod, LatencyPeriodItems);
  return position < 0 ? 0 : LatencyMultipliers[static_cast<size_t>(position)];
}

TComProperties::TComProperties(std::unique_ptr<zel::SerialPort> port) : port_(std::move(port)) {
  PortHandle = 0;
  SetIsPortConfigured(false);
}

TComProperties::~TComProperties() {
  if (PortHandle > 0 && port_) port_->Close();
  PortHandle = 0;
}

void TComProperties::Init() {
  if (SetupDialog != nullptr) {
    PortSettingsCarrier& dialog = *SetupDialog;
    dialog.LoadConfiguration(ConfigurationFileName);
    ActiveWriteMultiplier = dialog.WriteTimeOutMultiplier;
    ActiveWriteConstant = dialog.WriteTimeOutConstant;
    SetProperties(dialog.PortNumCBox, dialog.SpeedCBox, dialog.StopBitCBox, dialog.ParitetCBox,
                  dialog.PeriodCBox, dialog.DTRcontrolCBox, dialog.RTScontrolCBox);
  }
  SetupCOMPort();
}

void TComProperties::SetupCOMPort() {
  if (PortHandle > 0) {
    port_->Close();
    PortHandle = 0;
  }
  SetIsPortConfigured(false);
  // Set before the open: SetDefaultTimeouts, one of the steps, acts only on a configured port.
  SetIsPortConfigured(true);
  if (!OpenAndApplySettings()) SetIsPortConfigured(false);
}

bool TComProperties::OpenAndApplySettings() {
  PortHandle = port_ && port_->Open(PortNumber) ? 1 : -1;
  if (PortHandle <= 0) return false;

  zel::LineState state;
  if (!port_->GetState(state)) return false;
  state.ByteSize = DataBits;
  if (!TransferRateValue(TransferRate, state.BaudRate)) return false;
  for (const ParityText& parity : ParityTexts) {
    if (Paritet == parity.text) state.ParityMode = parity.parity;
  }
  const int stopBits = PositionOf(StopBits, StopBitsItems);
  if (stopBits >= 0) state.StopBitCount = StopBitsByPosition[static_cast<size_t>(stopBits)];
  if (!port_->SetState(state)) return false;

  if (!SetDefaultTimeouts()) return false;

  return SetModemLinesFromSettings();
}

// The last line operation performed decides: an RTS result replaces a DTR result, and with
// neither line touched the set-up succeeds.
bool TComProperties::SetModemLinesFromSettings() {
  bool succeeded = true;
  if (DTRControl == LineControlItems[0]) succeeded = moveDTR();
  if (DTRControl == LineControlItems[1]) succeeded = setDTR();
  if (RTSControl == LineControlItems[0]) succeeded = moveRTS();
  if (RTSControl == LineControlItems[1]) succeeded = setRTS();
  return succeeded;
}

void TComProperties::SetProperties(const std::string& portNumber, const std::string& transferRate,
                                   const std::string& stopBits, const std::string& paritet,
                                   const std::string& latencyPeriod, const std::string& dtrControl,
                                   const std::string& rtsControl) {
  PortNumber = portNumber;
  TransferRate = transferRate;
  StopBits = stopBits;
  Paritet = paritet;
  LatencyPeriod = latencyPeriod;
  DTRControl = dtrControl;
  RTSControl = rtsControl;
}

bool TComProperties::SetDefaultTimeouts() {
  if (!IsPortConfigured) return false;
  return ApplyTimeouts(LatencyMultiplier(LatencyPeriod));
}

bool TComProperties::SetNullTimeouts() {
  if (!IsPortConfigured) return false;
  return ApplyTimeouts(0);
}

bool TComProperties::ApplyTimeouts(uint32_t readTotalMultiplier) {
  if (!port_) return false;
  zel::CommTimeouts timeouts;
  timeouts.ReadIntervalTimeout = ReadIntervalMs;
  timeouts.ReadTotalTimeoutMultiplier = readTotalMultiplier;
  timeouts.ReadTotalTimeoutConstant = ReadTotalConstantMs;
  timeouts.WriteTotalTimeoutMultiplier = WriteTimeoutValue(ActiveWriteMultiplier);
  timeouts.WriteTotalTimeoutConstant = WriteTimeoutValue(ActiveWriteConstant);
  return port_->SetTimeouts(timeouts);
}

bool TComProperties::setDTR() { return Escape(zel::ModemLineFunction::SetDTR); }
bool TComProperties::setRTS() { return Escape(zel::ModemLineFunction::SetRTS); }
bool TComProperties::moveDTR() { return Escape(zel::ModemLineFunction::ClearDTR); }
bool TComProperties::moveRTS() { return Escape(zel::ModemLineFunction::ClearRTS); }

bool TComProperties::Escape(zel::ModemLineFunction function) {
  return port_ && port_->EscapeFunction(function);
}

void TComProperties::SetIsPortConfigured(bool configured) { IsPortConfigured = configured; }

void TComProperties::UserSetupDialog() {
  if (SetupDialog == nullptr) return;
  PortSettingsCarrier& dialog = *SetupDialog;
  dialog.PortNumCBox = PortNumber;
  dialog.SpeedCBox = TransferRate;
  dialog.StopBitCBox = StopBits;
  dialog.ParitetCBox = Paritet;
  dialog.PeriodCBox = LatencyPeriod;
  dialog.DTRcontrolCBox = DTRControl;
  dialog.RTScontrolCBox = RTSControl;

  const std::weak_ptr<char> alive = alive_;
  // The program may have closed inside the dialog's loop: then `this` and `dialog` may be gone,
  // and only locals are safe to look at.
  if (!dialog.ShowModally() || alive.expired()) return;

  SetProperties(dialog.PortNumCBox, dialog.SpeedCBox, dialog.StopBitCBox, dialog.ParitetCBox,
                dialog.PeriodCBox, dialog.DTRcontrolCBox, dialog.RTScontrolCBox);
  SetupCOMPort();
  if (IsPortConfigured) {
    dialog.WriteTimeOutMultiplier = ActiveWriteMultiplier;
    dialog.WriteTimeOutConstant = ActiveWriteConstant;
    dialog.StoreConfiguration(ConfigurationFileName);
  } else {
    dialog.ShowNotice(CantOpenResourceText);
  }
  // Both branches may have shown a notice, with its own modal loop: nothing may follow here.
}

int32_t TComProperties::Read(uint8_t* buffer, int32_t capacity) {
  if (PortHandle <= 0 || !port_) return 0;
  return std::max(port_->Read(buffer, capacity), 0);
}

int32_t TComProperties::Write(const uint8_t* bytes, int32_t count) {
  if (PortHandle <= 0 || !port_) return 0;
  return std::max(port_->Write(bytes, count), 0);
}

uint32_t TComProperties::DefaultReadTotalTimeoutMs() const {
  return ReadTotalConstantMs + WholeReadBytes * LatencyMultiplier(LatencyPeriod);
}

}  // namespace zel
