#include "driver/port/posix/Termios.h"

#include <sys/ioctl.h>

#include <cstdint>

namespace zel::posix {

namespace {

struct RateCode {
  tcflag_t code;
  uint32_t rate;
};

constexpr RateCode kStandardRates[] = {
    {B0, 0},
    {B50, 50},
    {B75, 75},
    {B110, 110},
    {B134, 134},
    {B150, 150},
    {B200, 200},
    {B300, 300},
    {B600, 600},
    {B1200, 1200},
    {B1800, 1800},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
    {B230400, 230400},
    {B460800, 460800},
    {B500000, 500000},
    {B576000, 576000},
    {B921600, 921600},
    {B1000000, 1000000},
    {B1152000, 1152000},
    {B1500000, 1500000},
    {B2000000, 2000000},
    {B2500000, 2500000},
    {B3000000, 3000000},
    {B3500000, 3500000},
    {B4000000, 4000000},
};

constexpr tcflag_t kLineStateBits = CBAUD | CIBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR;

bool SizeBits(uint8_t byteSize, tcflag_t& bits) {
  switch (byteSize) {
    case 5:
      bits = CS5;
      return true;
    case 6:
      bits = CS6;
      return true;
    case 7:
      bits = CS7;
      return true;
    case 8:
      bits = CS8;
      return true;
    default:
      return false;
  }
}

bool ParityBits(Parity parity, tcflag_t& bits) {
  switch (parity) {
    case Parity::None:
      bits = 0;
      return true;
    case Parity::Odd:
      bits = PARENB | PARODD;
      return true;
    case Parity::Even:
      bits = PARENB;
      return true;
    case Parity::Mark:
      bits = PARENB | PARODD | CMSPAR;
      return true;
    case Parity::Space:
      bits = PARENB | CMSPAR;
      return true;
  }
  return false;
}

// Linux has one stop-bit flag: with 5 data bits it means 1.5, otherwise 2 (as on a 16550).
bool StopBitsBits(StopBits stopBits, uint8_t byteSize, tcflag_t& bits) {
  switch (stopBits) {
    case StopBits::One:
      bits = 0;
      return true;
    case StopBits::OneAndHalf:
      bits = CSTOPB;
      return byteSize == 5;
    case StopBits::Two:
      bits = CSTOPB;
      return byteSize != 5;
  }
  return false;
}

uint32_t RateOf(const termios2& t) {
  const tcflag_t code = t.c_cflag & CBAUD;
  if (code == BOTHER) return t.c_ospeed;
  for (const RateCode& entry : kStandardRates) {
    if (entry.code == code) return entry.rate;
  }
  return t.c_ospeed;
}

}  // namespace

void MakeRaw(termios2& t) {
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IUCLC | IXON);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  // VMIN 1 keeps "no data yet" (EAGAIN) apart from end of file (0) on the non-blocking descriptor.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

bool ApplyLineState(const LineState& state, termios2& t) {
  tcflag_t size = 0;
  tcflag_t parity = 0;
  tcflag_t stop = 0;
  if (state.BaudRate == 0) return false;  // B0 would hang the line up
  if (!SizeBits(state.ByteSize, size)) return false;
  if (!ParityBits(state.ParityMode, parity)) return false;
  if (!StopBitsBits(state.StopBitCount, state.ByteSize, stop)) return false;

  // CIBAUD cleared: the input rate follows the output rate.
  t.c_cflag = (t.c_cflag & ~kLineStateBits) | BOTHER | size | parity | stop;
  t.c_ispeed = state.BaudRate;
  t.c_ospeed = state.BaudRate;
  return true;
}

LineState LineStateFromTermios(const termios2& t) {
  LineState state;
  state.BaudRate = RateOf(t);
  switch (t.c_cflag & CSIZE) {
    case CS5:
      state.ByteSize = 5;
      break;
    case CS6:
      state.ByteSize = 6;
      break;
    case CS7:
      state.ByteSize = 7;
      break;
    default:
      state.ByteSize = 8;
      break;
  }
  if ((t.c_cflag & PARENB) == 0) {
    state.ParityMode = Parity::None;
  } else if ((t.c_cflag & CMSPAR) != 0) {
    state.ParityMode = (t.c_cflag & PARODD) != 0 ? Parity::Mark : Parity::Space;
  } else {
    state.ParityMode = (t.c_cflag & PARODD) != 0 ? Parity::Odd : Parity::Even;
  }
  if ((t.c_cflag & CSTOPB) == 0) {
    state.StopBitCount = StopBits::One;
  } else {
    state.StopBitCount = state.ByteSize == 5 ? StopBits::OneAndHalf : StopBits::Two;
  }
  return state;
}

bool DeviceTookLineState(const LineState& wanted, const LineState& reported) {
  if (wanted.ByteSize != reported.ByteSize || wanted.ParityMode != reported.ParityMode ||
      wanted.StopBitCount != reported.StopBitCount) {
    return false;
  }
  const uint64_t want = wanted.BaudRate;
  const uint64_t got = reported.BaudRate;
  const uint64_t difference = want > got ? want - got : got - want;
  return difference * 50 <= want;
}

bool GetTermios(int fd, termios2& t) { return ::ioctl(fd, TCGETS2, &t) == 0; }

bool SetTermios(int fd, const termios2& t) { return ::ioctl(fd, TCSETS2, &t) == 0; }

}  // namespace zel::posix
