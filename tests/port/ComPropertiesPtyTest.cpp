// The port object over the real termios port, with a pseudo-terminal standing in for the COM
// device: the test holds the master side and plays the instrument line.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "driver/port/ComProperties.h"
#include "tests/support/PtyPair.h"

namespace zel::test {
namespace {

using Bytes = std::vector<uint8_t>;

class PortObjectOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!pty.Ok()) GTEST_SKIP() << "needs a pseudo-terminal: " << pty.Error();
  }
  void Use(const std::string& device, const std::string& latency = "Immediately answer") {
    port.SetProperties(device, "9600 baud", "1 bit", "None", latency, "HandShake", "HandShake");
  }

  PtyPair pty;
  TComProperties port{MakePlatformSerialPort()};
};

TEST_F(PortObjectOnPty, SetsUpAndCarriesBytesBothWays) {
  Use(pty.SlavePath());
  port.SetupCOMPort();
  ASSERT_TRUE(port.IsPortConfigured);
  EXPECT_GT(port.PortHandle, 0);

  const Bytes frame = {5, 2, 1, 0, 3, 0x0B, 0, 0x12, 0x34, 0xAB, 0xF1, 0};
  EXPECT_EQ(port.Write(frame.data(), static_cast<int32_t>(frame.size())), 12);
  EXPECT_EQ(pty.Receive(frame.size(), 2000), frame);

  ASSERT_TRUE(pty.Send({0, 0, 5, 2, 1, 8, 0, 0x5A, 0x5A, 0}));
  uint8_t buffer[256] = {};
  EXPECT_EQ(port.Read(buffer, 256), 10);
  EXPECT_EQ(buffer[7], 0x5A);
}

TEST_F(PortObjectOnPty, SecondSetUpOfTheSameDeviceSucceeds) {
  Use(pty.SlavePath());
  port.SetupCOMPort();
  ASSERT_TRUE(port.IsPortConfigured);

  port.SetupCOMPort();

  EXPECT_TRUE(port.IsPortConfigured);
  EXPECT_GT(port.PortHandle, 0);
}

TEST_F(PortObjectOnPty, MissingDeviceLeavesTheObjectUnconfigured) {
  Use("/dev/does-not-exist");
  port.SetupCOMPort();

  EXPECT_FALSE(port.IsPortConfigured);
  EXPECT_LT(port.PortHandle, 0);
  EXPECT_FALSE(port.setDTR());
  EXPECT_FALSE(port.SetDefaultTimeouts());
  uint8_t buffer[8] = {};
  EXPECT_EQ(port.Read(buffer, 8), 0);
}

// The latency setting reaches the device: a read that gets nothing waits about 25 + 256 x m ms
// under the default regime and about 25 ms under the null one. Generous margins: shared machine.
TEST_F(PortObjectOnPty, ReadsWaitAsTheLatencySays) {
  Use(pty.SlavePath(), "Approximately 0.25 second");
  port.SetupCOMPort();
  ASSERT_TRUE(port.IsPortConfigured);
  uint8_t buffer[256] = {};
  using Clock = std::chrono::steady_clock;
  const auto ms = [](Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  };

  auto start = Clock::now();
  EXPECT_EQ(port.Read(buffer, 256), 0);
  const auto defaultMs = ms(Clock::now() - start);

  ASSERT_TRUE(port.SetNullTimeouts());
  start = Clock::now();
  EXPECT_EQ(port.Read(buffer, 256), 0);
  const auto nullMs = ms(Clock::now() - start);

  EXPECT_GE(defaultMs, 250);
  EXPECT_LT(defaultMs, 3000);
  EXPECT_LT(nullMs, 250);
}

}  // namespace
}  // namespace zel::test
