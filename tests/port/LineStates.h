#pragma once
// Line settings written in one go, for tables of cases.

#include "driver/port/SerialPort.h"

namespace zel {

inline LineState Line(uint32_t rate, uint8_t size, Parity parity, StopBits stop) {
  LineState state;
  state.BaudRate = rate;
  state.ByteSize = size;
  state.ParityMode = parity;
  state.StopBitCount = stop;
  return state;
}

}  // namespace zel
