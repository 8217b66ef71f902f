// zelsim as a program: its device, opened and driven with the driver's own serial port.

#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <filesystem>

#include "driver/port/SerialPort.h"
#include "tests/support/DataText.h"
#include "tests/zelsim/SimProcess.h"

namespace zel::sim::test {
namespace {

const std::vector<uint8_t> WorkedFrame =
    zel::test::ParseBytes("05 02 01 00 03 0B 00 12 34 AB F1 00");
const std::vector<uint8_t> WorkedReply =
    zel::test::ParseBytes("01 00 05 02 03 0B 00 12 34 AB F1 00");

// One line through two openings by the driver, then SIGTERM.
TEST(Zelsim, RepliesOnceOpenedEchoesRepliesLaterAndEndsBySignal) {
  std::unique_ptr<SerialPort> port = MakePlatformSerialPort();
  QElapsedTimer clock;
  const auto Open = [&](const std::string& path) {
    ASSERT_TRUE(port->Open(path)) << path;
    ASSERT_TRUE(port->SetTimeouts({0, 0, 3000, 0, 0}));  // a read waits 3 s for all its bytes
  };
  const auto Read = [&](size_t count) {
    std::vector<uint8_t> bytes(count);
    bytes.resize(static_cast<size_t>(port->Read(bytes.data(), static_cast<int32_t>(count))));
    return bytes;
  };
  const auto Write = [&](const std::vector<uint8_t>& bytes) {
    clock.start();
    ASSERT_EQ(port->Write(bytes.data(), static_cast<int32_t>(bytes.size())), bytes.size());
  };
  QTemporaryDir directory;
  const std::string link = directory.filePath("ttyZEL").toStdString();
  SimProcess sim({"--station", "0205", "--delay", "300", "--reply-once", "5A5A", "--link", link});
  ASSERT_FALSE(sim.DevicePath().empty()) << sim.ErrorText();
  QThread::msleep(300);  // --reply-once waits for the driver to open the line
  clock.start();
  Open(link);
  EXPECT_EQ(Read(2), zel::test::ParseBytes("5A 5A")) << sim.ErrorText();
  EXPECT_GE(clock.elapsed(), 299);                 // zelsim counts whole milliseconds
  for (int session = 0; session < 2; ++session) {  // the line outlives the driver closing it
    Write(WorkedFrame);
    EXPECT_EQ(Read(WorkedFrame.size()), WorkedFrame);
    EXPECT_LT(clock.elapsed(), 250);
    EXPECT_EQ(Read(WorkedReply.size()), WorkedReply) << sim.ErrorText();
    EXPECT_GE(clock.elapsed(), 299);
    port->Close();
    Open(link);
  }
  EXPECT_NE(sim.ErrorText().find("] reply from 0205: 01 00 05 02 03 0B"), std::string::npos);
  EXPECT_EQ(sim.Stop(SIGTERM), 0) << sim.ErrorText();
  EXPECT_FALSE(std::filesystem::is_symlink(link));
  EXPECT_EQ(sim.OutputText(), sim.DevicePath() + "\n") << "standard output holds the path only";
}

}  // namespace
}  // namespace zel::sim::test
