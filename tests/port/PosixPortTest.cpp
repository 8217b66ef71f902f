// The termios port driven through pseudo-terminals: the test holds the master side and plays the
// instrument line. Pseudo-terminals carry bytes instantly whatever the rate, so the time-outs
// seen here are the port's own.
#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numeric>
#include <thread>
#include <vector>

#include "tests/support/PtyPair.h"
#include "driver/port/posix/PosixSerialPort.h"
#include "driver/port/posix/Termios.h"
#include "tests/port/LineStates.h"

namespace zel {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

CommTimeouts Timeouts(uint32_t interval, uint32_t multiplier, uint32_t constant,
                      uint32_t writeConstant = 0) {
  CommTimeouts t;
  t.ReadIntervalTimeout = interval;
  t.ReadTotalTimeoutMultiplier = multiplier;
  t.ReadTotalTimeoutConstant = constant;
  t.WriteTotalTimeoutConstant = writeConstant;
  return t;
}

Bytes AllByteValues() {
  Bytes bytes(256);
  std::iota(bytes.begin(), bytes.end(), uint8_t{0});
  return bytes;
}

class PosixPortOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!pty_.Ok()) GTEST_SKIP() << "needs a pseudo-terminal (/dev/ptmx): " << pty_.Error();
  }
  void TearDown() override {
    for (const int fd : watchers_) ::close(fd);
  }

  void OpenPort() { ASSERT_TRUE(port_.Open(pty_.SlavePath())) << pty_.SlavePath(); }
  void OpenPort(const CommTimeouts& timeouts) {
    OpenPort();
    ASSERT_TRUE(port_.SetTimeouts(timeouts));
  }
  // One read of up to 256 bytes; how long it took goes to ms.
  Bytes ReadOnce(int64_t& ms) {
    uint8_t buffer[256];
    const auto start = Clock::now();
    const int32_t n = port_.Read(buffer, 256);
    ms = MsSince(start);
    return Bytes(buffer, buffer + n);
  }
  // One write; how long it took goes to ms.
  int32_t WriteOnce(const Bytes& bytes, int64_t& ms) {
    const auto start = Clock::now();
    const int32_t written = port_.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    ms = MsSince(start);
    return written;
  }
  // A second descriptor on the slave, opened before the port takes it exclusively, through
  // which the test watches the terminal's settings.
  int OpenWatcher() {
    const int fd = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(fd, 0) << std::strerror(errno);
    watchers_.push_back(fd);
    return fd;
  }

  test::PtyPair pty_;
  PosixSerialPort port_;
  std::vector<int> watchers_;
};

TEST_F(PosixPortOnPty, SecondOpenOfTheSameDeviceFailsUntilTheFirstIsClosed) {
  OpenPort();
  EXPECT_TRUE(port_.Open(pty_.SlavePath())) << "reopening an open port closes it first";
  PosixSerialPort other;
  EXPECT_FALSE(other.Open(pty_.SlavePath()));
  EXPECT_EQ(other.LastError(), PortError::InUse);
  EXPECT_FALSE(other.IsOpen());
  port_.Close();
  EXPECT_FALSE(port_.IsOpen());
  port_.Close();  // twice is harmless
  EXPECT_TRUE(other.Open(pty_.SlavePath()));
  EXPECT_FALSE(port_.Open(pty_.SlavePath()));
  EXPECT_EQ(port_.LastError(), PortError::InUse);
}

TEST_F(PosixPortOnPty, TerminalIsExclusiveWhileOpenAndReleasedAtClose) {
  const int watcher = OpenWatcher();
  ASSERT_GE(watcher, 0);
  int exclusive = -1;
  ASSERT_EQ(::ioctl(watcher, TIOCGEXCL, &exclusive), 0) << std::strerror(errno);
  EXPECT_EQ(exclusive, 0);
  OpenPort();
  ASSERT_EQ(::ioctl(watcher, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 1);
  port_.Close();
  ASSERT_EQ(::ioctl(watcher, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0) << "exclusive mode outlived the port";
}

TEST(PosixPort, OpeningWhatIsNoSerialDeviceFailsAndLeavesItUntouched) {
  PosixSerialPort port;
  EXPECT_FALSE(port.Open("/dev/zel-no-such-serial-port"));
  EXPECT_EQ(port.LastError(), PortError::NoSuchDevice);
  EXPECT_FALSE(port.Open("COM1x-no-such-name"));
  EXPECT_EQ(port.LastError(), PortError::NoSuchDevice);

  char path[] = "/tmp/zel-port-test-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "keep", 4), 4);
  ::close(fd);
  EXPECT_FALSE(port.Open(path));
  EXPECT_EQ(port.LastError(), PortError::NotATerminal);
  std::ifstream file(path);
  std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "keep");
  ::unlink(path);
  EXPECT_FALSE(port.Open("/tmp"));
  EXPECT_EQ(port.LastError(), PortError::NotATerminal);
  EXPECT_FALSE(port.IsOpen());
}

TEST(PosixPort, EveryOperationOnAClosedPortFails) {
  PosixSerialPort port;
  LineState state;
  uint8_t buffer[8] = {1, 2, 3};
  EXPECT_FALSE(port.GetState(state));
  EXPECT_FALSE(port.SetState(state));
  EXPECT_FALSE(port.SetTimeouts(CommTimeouts{}));
  EXPECT_FALSE(port.EscapeFunction(ModemLineFunction::SetDTR));
  EXPECT_EQ(port.Read(buffer, 8), 0);
  EXPECT_EQ(port.Write(buffer, 3), 0);
  EXPECT_EQ(port.LastError(), PortError::NotOpen);
  port.Close();
}

TEST_F(PosixPortOnPty, EveryByteValueCrossesBothWaysUnchanged) {
  OpenPort(Timeouts(200, 0, 2000));
  // All 256 values, then the ones a terminal likes to translate or swallow, back to back.
  Bytes bytes = AllByteValues();
  for (const uint8_t b : {0x0D, 0x0A, 0x0D, 0x0D, 0x00, 0x11, 0x13, 0x13, 0x11, 0xFF, 0x7F,
                          0x03, 0x04, 0x1A, 0x1C, 0x15, 0x17, 0x16, 0x12, 0x0F, 0x08}) {
    bytes.push_back(b);
  }
  const auto count = static_cast<int32_t>(bytes.size());

  EXPECT_EQ(port_.Write(bytes.data(), count), count);
  EXPECT_EQ(pty_.Receive(bytes.size(), 1000), bytes);

  ASSERT_TRUE(pty_.Send(bytes));
  Bytes got(bytes.size() + 16);
  int32_t total = 0;
  while (total < count) {
    const int32_t n = port_.Read(got.data() + total, static_cast<int32_t>(got.size()) - total);
    if (n == 0) break;
    total += n;
  }
  got.resize(static_cast<size_t>(total));
  EXPECT_EQ(got, bytes);
  // Nothing the line sent came back to it (no echo).
  EXPECT_TRUE(pty_.Receive(1, 100).empty());
}

TEST_F(PosixPortOnPty, ReadOfAFullBufferReturnsAtOnce) {
  OpenPort(Timeouts(2000, 0, 5000));
  ASSERT_TRUE(pty_.Send(AllByteValues()));
  std::this_thread::sleep_for(milliseconds(50));
  int64_t ms = 0;
  EXPECT_EQ(ReadOnce(ms).size(), 256u);
  EXPECT_LT(ms, 1000) << "waited for a time-out although the buffer was full";
}

TEST_F(PosixPortOnPty, ReadEndsOneIntervalAfterTheLastByteOfABurst) {
  OpenPort(Timeouts(50, 0, 0));  // no total time-out: only the gap ends it
  const Bytes first = {0x05, 0x02, 0x01, 0x00, 0x03, 0x0B};
  const Bytes second = {0x00, 0x12, 0x34, 0xAB, 0xF1, 0x00};
  const auto start = Clock::now();
  ASSERT_TRUE(pty_.Send(first));
  std::thread line([this, &second] {
    std::this_thread::sleep_for(milliseconds(300));
    pty_.Send(second);
  });

  int64_t ms = 0;
  EXPECT_EQ(ReadOnce(ms), first);
  EXPECT_GE(ms, 40);
  EXPECT_LT(ms, 250) << "the first read did not end at the pause";
  EXPECT_EQ(ReadOnce(ms), second);
  const int64_t secondMs = MsSince(start);
  line.join();
  EXPECT_GE(secondMs, 340);
  EXPECT_LT(secondMs, 1500);
}

// With nothing arriving, a read ends at its total time-out: the null regime's 25 ms, 25 + 256 x 1
// ms under the first latency step, and a bounded time on a freshly opened port.
TEST_F(PosixPortOnPty, ReadWithNothingArrivingEndsAtItsTotalTimeout) {
  struct Row {
    const char* legend;
    bool setTimeouts;
    CommTimeouts timeouts;
    int64_t atLeastMs, belowMs;
  };
  const Row rows[] = {
      {"null regime", true, Timeouts(50, 0, 25), 20, 250},
      {"multiplier 1", true, Timeouts(50, 1, 25), 270, 800},
      {"fresh port", false, {}, 0, 500},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    OpenPort();
    if (row.setTimeouts) {
      ASSERT_TRUE(port_.SetTimeouts(row.timeouts));
    }
    int64_t ms = 0;
    EXPECT_TRUE(ReadOnce(ms).empty());
    EXPECT_EQ(port_.LastError(), PortError::None);
    EXPECT_GE(ms, row.atLeastMs);
    EXPECT_LT(ms, row.belowMs);
    port_.Close();
  }
}

TEST_F(PosixPortOnPty, TotalTimeoutEndsAReadWhileBytesKeepArriving) {
  OpenPort(Timeouts(50, 0, 25));
  std::atomic<bool> stop{false};
  std::thread line([this, &stop] {
    const auto begin = Clock::now();
    while (!stop && MsSince(begin) < 2000) {
      pty_.Send({0x55});
      std::this_thread::sleep_for(milliseconds(5));
    }
  });
  std::this_thread::sleep_for(milliseconds(20));
  int64_t ms = 0;
  const Bytes got = ReadOnce(ms);
  stop = true;
  line.join();
  EXPECT_FALSE(got.empty());
  EXPECT_LT(ms, 300) << "the interval kept the read going past its total time-out";
}

TEST_F(PosixPortOnPty, BytesThatArrivedBeforeTheOpenAreDropped) {
  const int watcher = OpenWatcher();  // keeps the line's input alive before the port opens
  ASSERT_GE(watcher, 0);
  ASSERT_TRUE(pty_.Send({0xDE, 0xAD, 0xBE, 0xEF}));
  std::this_thread::sleep_for(milliseconds(50));
  OpenPort(Timeouts(50, 0, 25));
  int64_t ms = 0;
  EXPECT_TRUE(ReadOnce(ms).empty());
  ASSERT_TRUE(pty_.Send({0x42}));
  ASSERT_TRUE(port_.SetTimeouts(Timeouts(50, 0, 500)));
  EXPECT_EQ(ReadOnce(ms), Bytes{0x42});
}

TEST_F(PosixPortOnPty, VanishedDeviceEndsReadsAndWritesAtOnceAndCanStillBeClosed) {
  OpenPort(Timeouts(0, 0, 5000));
  pty_.CloseMaster();
  int64_t ms = 0;
  EXPECT_TRUE(ReadOnce(ms).empty());
  EXPECT_LT(ms, 1000);
  EXPECT_EQ(port_.LastError(), PortError::DeviceGone);
  EXPECT_EQ(WriteOnce(Bytes(256, 0), ms), 0);
  EXPECT_LT(ms, 1000);
  EXPECT_EQ(port_.LastError(), PortError::DeviceGone);
  EXPECT_TRUE(port_.IsOpen());
  port_.Close();
  EXPECT_FALSE(port_.IsOpen());
}

TEST_F(PosixPortOnPty, DeviceVanishingDuringAWaitEndsTheReadPromptly) {
  OpenPort(Timeouts(0, 0, 5000));
  std::thread unplug([this] {
    std::this_thread::sleep_for(milliseconds(100));
    pty_.CloseMaster();
  });
  int64_t ms = 0;
  const Bytes got = ReadOnce(ms);
  unplug.join();
  EXPECT_TRUE(got.empty());
  EXPECT_LT(ms, 2000) << "the read waited out its time-out on a vanished device";
  EXPECT_EQ(port_.LastError(), PortError::DeviceGone);
}

TEST_F(PosixPortOnPty, WriteThatCannotFinishReturnsTheCountWrittenWhenItsTimeoutRunsOut) {
  OpenPort(Timeouts(50, 0, 25, 300));
  // Nobody reads the master side: the line fills up after a few kilobytes.
  const Bytes bytes(1 << 20, 0x5A);
  int64_t ms = 0;
  const int32_t written = WriteOnce(bytes, ms);
  EXPECT_GT(written, 0);
  EXPECT_LT(written, static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(port_.LastError(), PortError::TimedOut);
  EXPECT_GE(ms, 280);
  EXPECT_LT(ms, 2000);
  // The count is what actually went onto the line.
  EXPECT_EQ(static_cast<int32_t>(pty_.Receive(bytes.size(), 200).size()), written);
}

TEST_F(PosixPortOnPty, WriteWithoutTimeoutsStillEndsAfterTheSafetyBound) {
  OpenPort(Timeouts(50, 0, 25, 0));
  // 200000 bytes 8N1 at 4 Mbaud take 500 ms on the line: the bound is 2 x 500 + 2000 ms.
  ASSERT_TRUE(port_.SetState(Line(4000000, 8, Parity::None, StopBits::One)));
  int64_t ms = 0;
  const int32_t written = WriteOnce(Bytes(200000, 0xA5), ms);
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 200000);
  EXPECT_GE(ms, 2900);
  EXPECT_LT(ms, 8000);
}

TEST_F(PosixPortOnPty, ModemLineFunctionsFailOnAPseudoTerminal) {
  OpenPort();
  for (const ModemLineFunction f : {ModemLineFunction::SetDTR, ModemLineFunction::ClearDTR,
                                    ModemLineFunction::SetRTS, ModemLineFunction::ClearRTS}) {
    EXPECT_FALSE(port_.EscapeFunction(f)) << static_cast<int>(f);
    EXPECT_EQ(port_.LastError(), PortError::Unsupported);
  }
  // The port stays usable afterwards.
  EXPECT_EQ(port_.Write(reinterpret_cast<const uint8_t*>("ok"), 2), 2);
}

constexpr tcflag_t kLineBits = CBAUD | CIBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR;

TEST_F(PosixPortOnPty, SetStateChangesTheLineAndKeepsEveryOtherTerminalSetting) {
  const int watcher = OpenWatcher();
  ASSERT_GE(watcher, 0);
  OpenPort();
  // Settings another program (or stty) may have made, none of which the port owns.
  termios2 t{};
  ASSERT_TRUE(posix::GetTermios(watcher, t));
  t.c_iflag |= IXOFF | IGNPAR | INPCK;
  t.c_cflag |= HUPCL | CRTSCTS;
  t.c_cc[VSTART] = 0x42;
  t.c_cc[VSTOP] = 0x43;
  ASSERT_TRUE(posix::SetTermios(watcher, t));
  termios2 before{};
  ASSERT_TRUE(posix::GetTermios(watcher, before));

  const LineState wanted = Line(19200, 8, Parity::None, StopBits::Two);
  ASSERT_TRUE(port_.SetState(wanted)) << static_cast<int>(port_.LastError());
  termios2 after{};
  ASSERT_TRUE(posix::GetTermios(watcher, after));
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_line, before.c_line);
  EXPECT_EQ(std::memcmp(after.c_cc, before.c_cc, sizeof before.c_cc), 0);
  EXPECT_EQ(after.c_cflag & ~kLineBits, before.c_cflag & ~kLineBits);
  EXPECT_EQ(posix::LineStateFromTermios(after), wanted);

  LineState reported;
  ASSERT_TRUE(port_.GetState(reported));
  EXPECT_EQ(reported, wanted);
}

TEST_F(PosixPortOnPty, SettingTheDeviceDropsMakesSetStateFailAndLeavesTheDeviceAsItWas) {
  const int watcher = OpenWatcher();
  ASSERT_GE(watcher, 0);
  {
    termios2 probe{};
    ASSERT_TRUE(posix::GetTermios(watcher, probe));
    probe.c_cflag |= PARENB;
    ASSERT_TRUE(posix::SetTermios(watcher, probe));
    ASSERT_TRUE(posix::GetTermios(watcher, probe));
    if ((probe.c_cflag & PARENB) != 0) {
      GTEST_SKIP() << "this kernel keeps parity on pseudo-terminals; the rejection path needs a "
                      "device that drops a setting";
    }
  }
  OpenPort();
  ASSERT_TRUE(port_.SetState(Line(9600, 8, Parity::None, StopBits::One)));
  termios2 before{};
  ASSERT_TRUE(posix::GetTermios(watcher, before));

  for (const Parity parity : {Parity::Odd, Parity::Even, Parity::Mark, Parity::Space}) {
    EXPECT_FALSE(port_.SetState(Line(19200, 8, parity, StopBits::Two)))
        << "a pseudo-terminal has no parity; success would be a lie";
    EXPECT_EQ(port_.LastError(), PortError::Rejected);
    termios2 after{};
    ASSERT_TRUE(posix::GetTermios(watcher, after));
    EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0) << "the device was left changed";
  }
  LineState reported;
  ASSERT_TRUE(port_.GetState(reported));
  EXPECT_EQ(reported, Line(9600, 8, Parity::None, StopBits::One));
}

TEST_F(PosixPortOnPty, NonStandardRatesAreAcceptedWhereTheKernelAllows) {
  const int watcher = OpenWatcher();
  ASSERT_GE(watcher, 0);
  {
    termios2 probe{};
    ASSERT_TRUE(posix::GetTermios(watcher, probe));
    probe.c_cflag = (probe.c_cflag & ~static_cast<tcflag_t>(CBAUD | CIBAUD)) | BOTHER;
    probe.c_ispeed = probe.c_ospeed = 14400;
    if (!posix::SetTermios(watcher, probe) || !posix::GetTermios(watcher, probe) ||
        probe.c_ospeed != 14400) {
      GTEST_SKIP() << "this kernel does not keep arbitrary rates (BOTHER) on pseudo-terminals";
    }
  }
  OpenPort();
  for (const uint32_t rate : {14400u, 75u}) {
    EXPECT_TRUE(port_.SetState(Line(rate, 8, Parity::None, StopBits::One))) << rate;
    LineState reported;
    ASSERT_TRUE(port_.GetState(reported));
    EXPECT_EQ(reported.BaudRate, rate);
  }
}

TEST_F(PosixPortOnPty, BadArgumentsAreRefusedWithoutTouchingTheLine) {
  OpenPort();
  LineState before;
  ASSERT_TRUE(port_.GetState(before));
  EXPECT_FALSE(port_.SetState(Line(9600, 8, Parity::None, StopBits::OneAndHalf)));
  EXPECT_EQ(port_.LastError(), PortError::BadArgument);
  LineState after;
  ASSERT_TRUE(port_.GetState(after));
  EXPECT_EQ(after, before);

  uint8_t byte = 0;
  EXPECT_EQ(port_.Read(nullptr, 10), 0);
  EXPECT_EQ(port_.Read(&byte, -1), 0);
  EXPECT_EQ(port_.Write(nullptr, 10), 0);
  EXPECT_EQ(port_.LastError(), PortError::BadArgument);
  EXPECT_EQ(port_.Write(&byte, 0), 0);
  EXPECT_EQ(port_.LastError(), PortError::None);
  EXPECT_TRUE(pty_.Receive(1, 100).empty());
}

}  // namespace
}  // namespace zel
