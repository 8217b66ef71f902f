// The termios port driven through pseudo-terminals: the test holds the master side and plays the
// instrument line. Pseudo-terminals carry bytes instantly whatever the rate, so the time-outs
// seen here are the port's own.
#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

#include "driver/port/posix/OpenFailure.h"
#include "driver/port/posix/PosixSerialPort.h"
#include "driver/port/posix/Termios.h"
#include "tests/support/PtyPair.h"

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
  return CommTimeouts{interval, multiplier, constant, 0, writeConstant};
}

class PosixPortOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!pty_.Ok()) GTEST_SKIP() << "needs a pseudo-terminal (/dev/ptmx): " << pty_.Error();
  }
  void OpenPort(const CommTimeouts& timeouts) {
    ASSERT_TRUE(port_.Open(pty_.SlavePath())) << port_.LastError().text;
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

  test::PtyPair pty_;
  PosixSerialPort port_;
};

TEST_F(PosixPortOnPty, OpenIsExclusiveAndFailuresSayWhichDeviceAndWhy) {
  OpenPort({});
  PosixSerialPort other;
  EXPECT_FALSE(other.Open(pty_.SlavePath()));
  EXPECT_EQ(other.LastError().code, PortError::InUse);
  EXPECT_EQ(other.LastError().text, pty_.SlavePath() + ": in use by another program");
  port_.Close();
  EXPECT_TRUE(other.Open(pty_.SlavePath())) << "closing released the device";
  EXPECT_TRUE(other.LastError().Ok());

  EXPECT_FALSE(port_.Open("/dev/zel-no-such-port"));
  EXPECT_EQ(port_.LastError().code, PortError::NoSuchDevice);
  EXPECT_EQ(port_.LastError().text, "/dev/zel-no-such-port: No such file or directory");
  EXPECT_FALSE(port_.Open("/tmp"));
  EXPECT_EQ(port_.LastError().text, "/tmp: not a serial device");
  uint8_t byte = 0;
  EXPECT_FALSE(port_.SetTimeouts({}));
  EXPECT_EQ(port_.Read(&byte, 1), 0);
  EXPECT_EQ(port_.LastError().code, PortError::NotOpen);
}

// Another process holding the device is named; a refused permission says what to do.
TEST_F(PosixPortOnPty, OpenFailuresNameTheHolderOrTheRemedy) {
  int execed[2];
  ASSERT_EQ(::pipe2(execed, O_CLOEXEC), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    if (fd >= 0 && ::flock(fd, LOCK_EX) == 0) ::execlp("sleep", "sleep", "60", nullptr);
    [[maybe_unused]] const ssize_t told = ::write(execed[1], "x", 1);
    ::_exit(127);
  }
  ::close(execed[1]);
  char failed = 0;
  const bool holding = child > 0 && ::read(execed[0], &failed, 1) == 0;  // closed by the exec
  ::close(execed[0]);
  EXPECT_FALSE(port_.Open(pty_.SlavePath()));
  if (child > 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  ASSERT_TRUE(holding);
  EXPECT_EQ(port_.LastError().code, PortError::InUse);
  EXPECT_EQ(port_.LastError().text, pty_.SlavePath() +
                                        ": in use by another program: held open by PID " +
                                        std::to_string(child) + " (sleep)");
  EXPECT_EQ(InUseText({{12, "minicom"}, {345, "screen"}}),
            "in use by another program: held open by PID 12 (minicom), PID 345 (screen)");

  const std::pair<DeviceAccess, std::string> denials[] = {
      {{"dialout", true, false, false},
       " (the user is not in group dialout: sudo usermod -aG dialout $USER, then log in again)"},
      {{"dialout", true, false, true},
       " (the user joined group dialout after logging in: log in again)"},
      {{"dialout", true, true, true}, ""},
      {{"root", false, false, false}, " (not even group root may use it: see its permissions)"},
      {{}, " (is the user in group dialout?)"},
  };
  for (const auto& [access, remedy] : denials) {
    EXPECT_EQ(AccessDeniedText("Permission denied", access), "Permission denied" + remedy);
  }
}

TEST_F(PosixPortOnPty, EveryByteValueCrossesBothWaysUnchanged) {
  OpenPort(Timeouts(200, 0, 2000));
  Bytes bytes(256);
  std::iota(bytes.begin(), bytes.end(), uint8_t{0});
  // Then the ones a terminal likes to translate or swallow, back to back.
  for (const uint8_t b : {0x0D, 0x0A, 0x0D, 0x00, 0x11, 0x13, 0x13, 0x11, 0xFF, 0x7F, 0x03, 0x1A}) {
    bytes.push_back(b);
  }
  const auto count = static_cast<int32_t>(bytes.size());
  EXPECT_EQ(port_.Write(bytes.data(), count), count);
  EXPECT_EQ(pty_.Receive(bytes.size(), 1000), bytes);

  ASSERT_TRUE(pty_.Send(bytes));
  Bytes got(bytes.size());
  int32_t total = 0;
  for (int32_t n = 1; total < count && n > 0; total += n) {
    n = port_.Read(got.data() + total, count - total);
  }
  EXPECT_EQ(got, bytes);
}

// Reads end at the pause after a burst or at their total time-out.
TEST_F(PosixPortOnPty, ReadsEndAsTheirTimeoutsSay) {
  OpenPort(Timeouts(50, 0, 0));  // no total time-out: only the gap ends it
  ASSERT_TRUE(pty_.Send({0x05, 0x02, 0x01}));
  EXPECT_FALSE(port_.HasVanished()) << "waiting input is no hang-up";
  std::thread later([this] {
    std::this_thread::sleep_for(milliseconds(300));
    pty_.Send({0x00, 0x12});
  });
  int64_t ms = 0;
  EXPECT_EQ(ReadOnce(ms), (Bytes{0x05, 0x02, 0x01}));
  EXPECT_GE(ms, 40);
  EXPECT_LT(ms, 250) << "the read did not end at the pause";
  EXPECT_EQ(ReadOnce(ms), (Bytes{0x00, 0x12}));
  later.join();

  ASSERT_TRUE(port_.SetTimeouts(Timeouts(50, 1, 25)));  // nothing comes: 25 + 256 x 1 ms
  EXPECT_TRUE(ReadOnce(ms).empty());
  EXPECT_TRUE(port_.LastError().Ok());
  EXPECT_GE(ms, 270);
  EXPECT_LT(ms, 800);
}

TEST_F(PosixPortOnPty, VanishedDeviceEndsReadsAndWritesPromptly) {
  OpenPort(Timeouts(0, 0, 5000));
  std::thread unplug([this] {
    std::this_thread::sleep_for(milliseconds(100));
    pty_.CloseMaster();
  });
  int64_t ms = 0;
  EXPECT_TRUE(ReadOnce(ms).empty());
  unplug.join();
  EXPECT_LT(ms, 2000) << "the read waited out its time-out on a vanished device";
  EXPECT_EQ(port_.LastError().text, pty_.SlavePath() + ": device vanished (hung up)");
  EXPECT_TRUE(port_.HasVanished());
  const Bytes bytes(256, 0);
  EXPECT_EQ(port_.Write(bytes.data(), 256), 0);
  EXPECT_EQ(port_.LastError().code, PortError::DeviceGone);
}

TEST_F(PosixPortOnPty, WriteEndsByItsTimeoutWithTheCountThatWentOut) {
  OpenPort(Timeouts(50, 0, 25, 300));
  // Nobody reads the master side: the line fills up after a few kilobytes.
  const Bytes bytes(1 << 20, 0x5A);
  const auto start = Clock::now();
  const int32_t written = port_.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
  const int64_t ms = MsSince(start);
  EXPECT_GT(written, 0);
  EXPECT_EQ(port_.LastError().code, PortError::TimedOut);
  EXPECT_GE(ms, 280);
  EXPECT_LT(ms, 2000);
  EXPECT_EQ(static_cast<int32_t>(pty_.Receive(bytes.size(), 200).size()), written);
  // Without a write time-out the safety bound ends it: 2 x 500 ms of line time + 2 s.
  ASSERT_TRUE(port_.SetTimeouts(Timeouts(50, 0, 25, 0)));
  ASSERT_TRUE(port_.SetState(LineState{4000000, 8, Parity::None, StopBits::One}));
  const auto bounded = Clock::now();
  EXPECT_LT(port_.Write(bytes.data(), 200000), 200000);
  EXPECT_LT(MsSince(bounded), 8000);
}

TEST_F(PosixPortOnPty, LineStateIsSetAndReadBackAndImpossibleOnesAreRefused) {
  OpenPort({});
  const LineState wanted{19200, 8, Parity::None, StopBits::Two};
  ASSERT_TRUE(port_.SetState(wanted)) << port_.LastError().text;
  LineState reported;
  ASSERT_TRUE(port_.GetState(reported));
  EXPECT_EQ(reported, wanted);
  for (const LineState& impossible : {LineState{9600, 8, Parity::None, StopBits::OneAndHalf},
                                      LineState{0, 8, Parity::None, StopBits::One},
                                      LineState{9600, 5, Parity::None, StopBits::Two}}) {
    EXPECT_FALSE(port_.SetState(impossible));
    EXPECT_EQ(port_.LastError().code, PortError::BadArgument);
  }
  // A pseudo-terminal has no parity and no modem lines: success would be a lie.
  EXPECT_FALSE(port_.SetState(LineState{9600, 8, Parity::Even, StopBits::One}));
  EXPECT_EQ(port_.LastError().code, PortError::Rejected);
  ASSERT_TRUE(port_.GetState(reported));
  EXPECT_EQ(reported, wanted) << "a refused state left the device changed";
  EXPECT_FALSE(port_.EscapeFunction(ModemLineFunction::ClearDTR));
  EXPECT_EQ(port_.LastError().code, PortError::Unsupported);
  ASSERT_TRUE(port_.SetState(wanted));
  EXPECT_TRUE(port_.LastError().Ok()) << "a success clears the last failure";
  uint8_t byte = 0;
  EXPECT_EQ(port_.Read(&byte, 0), 0);
  EXPECT_TRUE(port_.LastError().Ok()) << "reading nothing is no error";
  // Data bits a pseudo-terminal does not keep, through the flag words alone.
  for (const uint8_t bits : {5, 6, 7}) {
    const LineState narrow{300, bits, Parity::Odd, StopBits::One};
    termios2 t{};
    ASSERT_TRUE(posix::ApplyLineState(narrow, t));
    EXPECT_EQ(posix::LineStateFromTermios(t), narrow);
  }
}

}  // namespace
}  // namespace zel
