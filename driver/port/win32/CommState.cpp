#include "driver/port/win32/CommState.h"

namespace zel::win32 {

namespace {

constexpr uint8_t kFewestDataBits = 5;
constexpr uint8_t kMostDataBits = 8;

// A DCB's parity and stop-bit codes read back as these enumerations unchanged.
static_assert(static_cast<BYTE>(Parity::None) == NOPARITY &&
              static_cast<BYTE>(Parity::Odd) == ODDPARITY &&
              static_cast<BYTE>(Parity::Even) == EVENPARITY &&
              static_cast<BYTE>(Parity::Mark) == MARKPARITY &&
              static_cast<BYTE>(Parity::Space) == SPACEPARITY);
static_assert(static_cast<BYTE>(StopBits::One) == ONESTOPBIT &&
              static_cast<BYTE>(StopBits::OneAndHalf) == ONE5STOPBITS &&
              static_cast<BYTE>(StopBits::Two) == TWOSTOPBITS);

bool ParityCode(Parity parity, BYTE& code) {
  switch (parity) {
    case Parity::None:
      code = NOPARITY;
      return true;
    case Parity::Odd:
      code = ODDPARITY;
      return true;
    case Parity::Even:
      code = EVENPARITY;
      return true;
    case Parity::Mark:
      code = MARKPARITY;
      return true;
    case Parity::Space:
      code = SPACEPARITY;
      return true;
  }
  return false;
}

// 1.5 stop bits exist only with 5 data bits, 2 only with more (as on a 16550).
bool StopBitsCode(StopBits stopBits, uint8_t byteSize, BYTE& code) {
  switch (stopBits) {
    case StopBits::One:
      code = ONESTOPBIT;
      return true;
    case StopBits::OneAndHalf:
      code = ONE5STOPBITS;
      return byteSize == kFewestDataBits;
    case StopBits::Two:
      code = TWOSTOPBITS;
      return byteSize != kFewestDataBits;
  }
  return false;
}

}  // namespace

void MakeRaw(DCB& dcb) {
  dcb.fBinary = TRUE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fNull = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fAbortOnError = FALSE;
}

// fParity, the checking of received parity, stays as the device has it: it is not one of the
// four line settings, and with error characters off it changes only what ClearCommError reports.
bool ApplyLineState(const LineState& state, DCB& dcb) {
  BYTE parity = NOPARITY;
  BYTE stopBits = ONESTOPBIT;
  if (state.BaudRate == 0) return false;
  if (state.ByteSize < kFewestDataBits || state.ByteSize > kMostDataBits) return false;
  if (!ParityCode(state.ParityMode, parity)) return false;
  if (!StopBitsCode(state.StopBitCount, state.ByteSize, stopBits)) return false;
  dcb.BaudRate = state.BaudRate;
  dcb.ByteSize = state.ByteSize;
  dcb.Parity = parity;
  dcb.StopBits = stopBits;
  return true;
}

bool LineStateFromDcb(const DCB& dcb, LineState& state) {
  if (dcb.Parity > SPACEPARITY || dcb.StopBits > TWOSTOPBITS) return false;
  if (dcb.ByteSize < kFewestDataBits || dcb.ByteSize > kMostDataBits) return false;
  state.BaudRate = dcb.BaudRate;
  state.ByteSize = dcb.ByteSize;
  state.ParityMode = static_cast<Parity>(dcb.Parity);
  state.StopBitCount = static_cast<StopBits>(dcb.StopBits);
  return true;
}

}  // namespace zel::win32
