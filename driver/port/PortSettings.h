#pragma once
// The driver's port settings as the user picks them: seven texts, each stored and shown exactly as
// written, and what each text means to the port. Texts outside the lists (typed by the user or
// written into the file by hand) are kept as they are; their meaning is given below.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "driver/port/SerialPort.h"

namespace zel {

// What a DTR or RTS setting does to its line when the port is set up.
enum class LineControl {
  Drop,   // "Disable"
  Raise,  // "Enable"
  Leave,  // "HandShake": the line stays as the device has it
};

// One entry of a setting's list: its text and what it means.
template <typename Meaning>
struct Choice {
  const char* text;
  Meaning meaning;
};

// The lists the dialog offers, in their order. A port number and a transfer rate mean what they
// name (the device; the number of bits per second), so their lists carry texts alone.
extern const std::array<const char*, 4> PortNumberItems;
extern const std::array<const char*, 17> TransferRateItems;
extern const std::array<Choice<StopBits>, 3> StopBitsItems;
extern const std::array<Choice<Parity>, 5> ParitetItems;
extern const std::array<Choice<uint32_t>, 13> LatencyPeriodItems;  // read-time multiplier, ms/byte
extern const std::array<Choice<LineControl>, 3> LineControlItems;  // DTRControl and RTSControl

struct PortSettings {
  std::string PortNumber, TransferRate, StopBits, Paritet, LatencyPeriod, DTRControl, RTSControl;
  // Only ever read from and written to the file; never shown nor changed.
  int32_t WriteTimeOutMultiplier = 0;
  int32_t WriteTimeOutConstant = 0;

  // COM1, 75 baud, 1 bit, None, "Immediately answer", HandShake for both lines, no write
  // time-outs: what a missing or damaged file gives.
  static PortSettings Defaults();

  // The decimal number before the first blank of TransferRate; nothing when there is none, it
  // does not fit 32 bits, or it is 0 (a rate of 0 would hang a terminal line up).
  std::optional<uint32_t> BaudRate() const;
  // Nothing for a text outside the list: the device keeps its own.
  std::optional<zel::StopBits> StopBitCount() const;
  std::optional<Parity> ParityMode() const;
  // 0 for a text outside the list.
  uint32_t LatencyMultiplier() const;
  // Leave for a text outside the list.
  LineControl Dtr() const;
  LineControl Rts() const;
};

}  // namespace zel
