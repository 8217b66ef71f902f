// Flag words of the termios2 layer, checked without a device. Pseudo-terminals drop the parity
// bits, so parity can only be pinned down here; that the other settings survive shows on a
// pseudo-terminal in PosixPortTest.
#include <gtest/gtest.h>

#include <cstring>

#include "driver/port/posix/Termios.h"
#include "tests/port/LineStates.h"

namespace zel::posix {
namespace {

// A terminal state with many unrelated settings switched on, as another program may leave it.
termios2 BusyTermios() {
  termios2 t{};
  t.c_iflag = IGNPAR | INPCK | IXOFF | IXANY | IMAXBEL | IUTF8;
  t.c_oflag = OPOST | ONLCR | NL1 | TAB3;
  t.c_lflag = ECHOE | ECHOK | ECHOCTL | NOFLSH | TOSTOP;
  t.c_cflag = B38400 | CS7 | PARENB | PARODD | CSTOPB | CREAD | HUPCL | CLOCAL | CRTSCTS;
  t.c_line = 3;
  for (unsigned i = 0; i < sizeof t.c_cc; ++i) t.c_cc[i] = static_cast<cc_t>(0x40 + i);
  t.c_ispeed = 38400;
  t.c_ospeed = 38400;
  return t;
}

TEST(PosixTermios, ParityMapsToTheKernelFlags) {
  struct Row {
    Parity parity;
    tcflag_t set;
    tcflag_t clear;
  };
  const Row rows[] = {
      {Parity::None, 0, PARENB | PARODD | CMSPAR}, {Parity::Odd, PARENB | PARODD, CMSPAR},
      {Parity::Even, PARENB, PARODD | CMSPAR},     {Parity::Mark, PARENB | PARODD | CMSPAR, 0},
      {Parity::Space, PARENB | CMSPAR, PARODD},
  };
  for (const Row& row : rows) {
    termios2 t = BusyTermios();
    ASSERT_TRUE(ApplyLineState(Line(9600, 8, row.parity, StopBits::One), t));
    EXPECT_EQ(t.c_cflag & row.set, row.set) << static_cast<int>(row.parity);
    EXPECT_EQ(t.c_cflag & row.clear, 0u) << static_cast<int>(row.parity);
  }
}

TEST(PosixTermios, RateSizeAndStopBitsMapToTheKernelFlags) {
  termios2 t = BusyTermios();
  ASSERT_TRUE(ApplyLineState(Line(14400, 8, Parity::None, StopBits::Two), t));
  EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
  EXPECT_EQ(t.c_cflag & CIBAUD, 0u) << "input rate must follow the output rate";
  EXPECT_EQ(t.c_ospeed, 14400u);
  EXPECT_EQ(t.c_ispeed, 14400u);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);

  ASSERT_TRUE(ApplyLineState(Line(75, 5, Parity::None, StopBits::OneAndHalf), t));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS5));
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);

  ASSERT_TRUE(ApplyLineState(Line(75, 6, Parity::None, StopBits::One), t));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS6));
  EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
}

TEST(PosixTermios, LineStatesSurviveTheRoundTripThroughFlagWords) {
  const LineState states[] = {
      Line(75, 8, Parity::None, StopBits::One),
      Line(7200, 8, Parity::Mark, StopBits::Two),
      Line(115200, 7, Parity::Space, StopBits::One),
      Line(1234567, 6, Parity::Odd, StopBits::Two),
      Line(300, 5, Parity::None, StopBits::OneAndHalf),
  };
  for (const LineState& state : states) {
    termios2 t = BusyTermios();
    ASSERT_TRUE(ApplyLineState(state, t)) << state.BaudRate;
    EXPECT_EQ(LineStateFromTermios(t), state) << state.BaudRate;
  }
}

TEST(PosixTermios, SettingsNoLineCanCarryAreRefusedAndLeaveTheWordsAlone) {
  struct Row {
    const char* legend;
    LineState state;
  };
  const Row rows[] = {
      {"1.5 stop bits with 6 data bits", Line(9600, 6, Parity::None, StopBits::OneAndHalf)},
      {"2 stop bits with 5 data bits", Line(9600, 5, Parity::None, StopBits::Two)},
      {"4 data bits", Line(9600, 4, Parity::None, StopBits::One)},
      {"9 data bits", Line(9600, 9, Parity::None, StopBits::One)},
      {"rate 0 (would hang up)", Line(0, 8, Parity::None, StopBits::One)},
      {"unknown parity", Line(9600, 8, static_cast<Parity>(7), StopBits::One)},
      {"unknown stop bits", Line(9600, 8, Parity::None, static_cast<StopBits>(9))},
  };
  for (const Row& row : rows) {
    const termios2 before = BusyTermios();
    termios2 t = before;
    EXPECT_FALSE(ApplyLineState(row.state, t)) << row.legend;
    EXPECT_EQ(std::memcmp(&t, &before, sizeof t), 0) << row.legend;
  }
}

TEST(PosixTermios, StandardRateCodesAreReadFromTheControlFlags) {
  termios2 t{};
  t.c_cflag = B9600 | CS8;
  t.c_ospeed = 12345;  // stale; the rate code decides
  EXPECT_EQ(LineStateFromTermios(t).BaudRate, 9600u);
  t.c_cflag = B115200 | CS8;
  EXPECT_EQ(LineStateFromTermios(t).BaudRate, 115200u);
  t.c_cflag = BOTHER | CS8;
  EXPECT_EQ(LineStateFromTermios(t).BaudRate, 12345u);
}

TEST(PosixTermios, DeviceTookSettingsOnlyIfItReportsThemBack) {
  const LineState wanted = Line(14400, 8, Parity::Even, StopBits::One);
  LineState reported = wanted;
  EXPECT_TRUE(DeviceTookLineState(wanted, reported));

  reported.BaudRate = 14423;  // a divisor's rounding
  EXPECT_TRUE(DeviceTookLineState(wanted, reported));
  reported.BaudRate = 9600;  // fell back to another rate
  EXPECT_FALSE(DeviceTookLineState(wanted, reported));

  reported = wanted;
  reported.ParityMode = Parity::None;  // what a pseudo-terminal does with parity
  EXPECT_FALSE(DeviceTookLineState(wanted, reported));
  reported = wanted;
  reported.ByteSize = 7;
  EXPECT_FALSE(DeviceTookLineState(wanted, reported));
  reported = wanted;
  reported.StopBitCount = StopBits::Two;
  EXPECT_FALSE(DeviceTookLineState(wanted, reported));
}

TEST(PosixTermios, RawModeTurnsOffTranslationAndSoftwareFlowControlButKeepsTheRest) {
  termios2 t = BusyTermios();
  t.c_iflag |= ICRNL | INLCR | IGNCR | IXON | ISTRIP | IUCLC | BRKINT | PARMRK;
  t.c_lflag |= ECHO | ICANON | ISIG | IEXTEN;
  MakeRaw(t);
  EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | ISTRIP | IUCLC | BRKINT | PARMRK), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ECHO | ECHONL | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_cflag & (CSIZE | PARENB), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
  EXPECT_EQ(t.c_cc[VMIN], 1);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  // The rate, the stop bits and hardware flow control belong to the device's owner.
  EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(B38400));
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
}

}  // namespace
}  // namespace zel::posix
