#include "driver/port/PortSettings.h"

#include <string_view>

#include "common/ParseNumber.h"

namespace zel {

const std::array<const char*, 4> PortNumberItems = {"COM1", "COM2", "COM3", "COM4"};
const std::array<const char*, 17> TransferRateItems = {
    "75 baud",    "110 baud",   "134 baud",   "150 baud",   "300 baud",   "600 baud",
    "1200 baud",  "1800 baud",  "2400 baud",  "4800 baud",  "7200 baud",  "9600 baud",
    "14400 baud", "19200 baud", "38400 baud", "57600 baud", "115200 baud"};
const std::array<Choice<StopBits>, 3> StopBitsItems = {{
    {"1 bit", StopBits::One},
    {"1.5 bit", StopBits::OneAndHalf},
    {"2 bit", StopBits::Two},
}};
const std::array<Choice<Parity>, 5> ParitetItems = {{
    {"None", Parity::None},
    {"Even", Parity::Even},
    {"Odd", Parity::Odd},
    {"Mark", Parity::Mark},
    {"Space", Parity::Space},
}};
// The steps are 1 up to 0.75 s and 10 from there on, so "1.25 seconds" gives 5.
const std::array<Choice<uint32_t>, 13> LatencyPeriodItems = {{
    {"Immediately answer", 0},
    {"Approximately 0.25 second", 1},
    {"Approximately 0.5 second", 2},
    {"Approximately 0.75 second", 3},
    {"Approximately 1.25 seconds", 5},
    {"Approximately 2.5 seconds", 10},
    {"Approximately 5 seconds", 20},
    {"Approximately 7.5 seconds", 30},
    {"Approximately 10 seconds", 40},
    {"Approximately 12.5 seconds", 50},
    {"Approximately 15 seconds", 60},
    {"Approximately 17.5 seconds", 70},
    {"Approximately 20 seconds", 80},
}};
const std::array<Choice<LineControl>, 3> LineControlItems = {{
    {"Disable", LineControl::Drop},
    {"Enable", LineControl::Raise},
    {"HandShake", LineControl::Leave},
}};

namespace {

template <typename Meaning, size_t N>
std::optional<Meaning> MeaningOf(const std::string& text,
                                 const std::array<Choice<Meaning>, N>& items) {
  for (const Choice<Meaning>& item : items) {
    if (text == item.text) return item.meaning;
  }
  return std::nullopt;
}

}  // namespace

PortSettings PortSettings::Defaults() {
  PortSettings settings;
  settings.PortNumber = PortNumberItems[0];
  settings.TransferRate = TransferRateItems[0];
  settings.StopBits = StopBitsItems[0].text;
  settings.Paritet = ParitetItems[0].text;
  settings.LatencyPeriod = LatencyPeriodItems[0].text;
  settings.DTRControl = LineControlItems[2].text;
  settings.RTSControl = LineControlItems[2].text;
  return settings;
}

std::optional<uint32_t> PortSettings::BaudRate() const {
  const std::string::size_type blank = TransferRate.find(' ');
  if (blank == std::string::npos) return std::nullopt;
  return ParseNumber<uint32_t>(std::string_view(TransferRate).substr(0, blank), 1);
}

std::optional<zel::StopBits> PortSettings::StopBitCount() const {
  return MeaningOf(StopBits, StopBitsItems);
}

std::optional<Parity> PortSettings::ParityMode() const { return MeaningOf(Paritet, ParitetItems); }

uint32_t PortSettings::LatencyMultiplier() const {
  return MeaningOf(LatencyPeriod, LatencyPeriodItems).value_or(0);
}

LineControl PortSettings::Dtr() const {
  return MeaningOf(DTRControl, LineControlItems).value_or(LineControl::Leave);
}

LineControl PortSettings::Rts() const {
  return MeaningOf(RTSControl, LineControlItems).value_or(LineControl::Leave);
}

}  // namespace zel
