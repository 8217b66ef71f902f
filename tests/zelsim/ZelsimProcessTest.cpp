// zelsim as a program: its device, driven the way the driver drives its port.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "SimProcess.h"
#include "SimTestSupport.h"

namespace zel::sim::test {
namespace {

// Generous: the machine running the tests is shared and busy.
constexpr int ReadTimeoutMs = 3000;
constexpr int64_t EchoWithinMs = 250;

bool ExitedWith(int status, int code) {
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == code;
}

TEST(Zelsim, EchoesAtOnceThenRepliesAfterTheDelay) {
  SimProcess sim({"--station", "0205", "--delay", "300"});
  ASSERT_FALSE(sim.DevicePath().empty()) << sim.ErrorText();
  DriverSide driver(sim.DevicePath());
  ASSERT_TRUE(driver.Ok());

  const auto wrote = driver.Write(Bytes(WorkedFrame));
  const auto echo = driver.Read(12, ReadTimeoutMs);
  ASSERT_FALSE(echo.empty());
  EXPECT_EQ(Joined(echo), Bytes(WorkedFrame));
  EXPECT_LT(MsBetween(wrote, echo.front().at), EchoWithinMs);

  const auto reply = driver.Read(12, ReadTimeoutMs);
  ASSERT_FALSE(reply.empty()) << sim.ErrorText();
  EXPECT_EQ(Joined(reply), Bytes(WorkedReply));
  // zelsim's clock counts whole milliseconds, hence the one spared here.
  EXPECT_GE(MsBetween(wrote, reply.front().at), 299);
  EXPECT_LT(MsBetween(wrote, reply.front().at), 300 + ReadTimeoutMs);

  EXPECT_TRUE(driver.Read(1, 300).empty()) << "one frame, one reply";
  const std::string log = sim.ErrorText();
  EXPECT_NE(log.find("wrote by driver: " + WorkedFrame), std::string::npos) << log;
  EXPECT_NE(log.find("echo: " + WorkedFrame), std::string::npos) << log;
  EXPECT_NE(log.find("reply from 0205: " + WorkedReply), std::string::npos) << log;
}

TEST(Zelsim, AfterOneCollisionTheRepeatedFrameIsAnswered) {
  SimProcess sim({"--station", "0205", "--delay", "150", "--echo", "corrupt:1"});
  ASSERT_FALSE(sim.DevicePath().empty()) << sim.ErrorText();
  DriverSide driver(sim.DevicePath());
  ASSERT_TRUE(driver.Ok());
  driver.Write(Bytes(WorkedFrame));
  EXPECT_EQ(Joined(driver.Read(12, ReadTimeoutMs)), Bytes("FA 02 01 00 03 0B 00 12 34 AB F1 00"));
  usleep(30 * 1000);
  driver.Write(Bytes(WorkedFrame));
  EXPECT_EQ(Joined(driver.Read(12, ReadTimeoutMs)), Bytes(WorkedFrame));
  EXPECT_EQ(Joined(driver.Read(12, ReadTimeoutMs)), Bytes(WorkedReply)) << sim.ErrorText();
  EXPECT_TRUE(driver.Read(1, 400).empty()) << "the lost frame must not be answered late";
}

TEST(Zelsim, FragmentsArriveInSeparatePiecesWithGaps) {
  SimProcess sim(
      {"--station", "0205", "--delay", "100", "--fault", "fragments", "--fragment-gap", "100"});
  ASSERT_FALSE(sim.DevicePath().empty()) << sim.ErrorText();
  DriverSide driver(sim.DevicePath());
  ASSERT_TRUE(driver.Ok());
  driver.Write(Bytes(WorkedFrame));
  ASSERT_EQ(Joined(driver.Read(12, ReadTimeoutMs)), Bytes(WorkedFrame));

  const auto pieces = driver.Read(12, 5 * ReadTimeoutMs);
  EXPECT_EQ(Joined(pieces), Bytes(WorkedReply));
  // Five pieces (1, 2, 3, 4, 2 bytes), at least 100 ms apart as sent. A stalled reader may see
  // two as one, so only part of that is demanded here.
  ASSERT_GE(pieces.size(), 3u);
  EXPECT_GE(MsBetween(pieces.front().at, pieces.back().at), 300);
  size_t longGaps = 0;
  for (size_t i = 1; i < pieces.size(); ++i) {
    if (MsBetween(pieces[i - 1].at, pieces[i].at) > 50) ++longGaps;
  }
  EXPECT_GE(longGaps, 2u);

  const std::string log = sim.ErrorText();
  EXPECT_NE(log.find("reply from 0205 [fragments], piece 1 of 5: 01\n"), std::string::npos) << log;
  EXPECT_NE(log.find("piece 4 of 5: 00 12 34 AB\n"), std::string::npos) << log;
  EXPECT_NE(log.find("piece 5 of 5: F1 00\n"), std::string::npos) << log;
}

TEST(Zelsim, ReplyOnceComesTheDelayAfterTheDriverOpensTheLine) {
  SimProcess sim({"--reply-once", "00 00 05 02 01 08 00 5A 5A 00", "--delay", "200"});
  ASSERT_FALSE(sim.DevicePath().empty()) << sim.ErrorText();
  usleep(300 * 1000);  // nothing may come before the driver is there
  const auto opened = Clock::now();
  DriverSide driver(sim.DevicePath());
  ASSERT_TRUE(driver.Ok());
  const auto bytes = driver.Read(10, ReadTimeoutMs);
  ASSERT_FALSE(bytes.empty()) << sim.ErrorText();
  EXPECT_EQ(Joined(bytes), Bytes("00 00 05 02 01 08 00 5A 5A 00"));
  EXPECT_GE(MsBetween(opened, bytes.front().at), 150);
  EXPECT_TRUE(driver.Read(1, 400).empty());
}

class EndingSignal : public ::testing::TestWithParam<int> {};

// The line also stays usable after the driver closed it.
TEST_P(EndingSignal, EndsWithStatus0AndRemovesTheLink) {
  char pattern[] = "/tmp/zelsim-link-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string link = std::string(pattern) + "/ttyZEL";
  {
    SimProcess sim({"--station", "0205", "--link", link});
    ASSERT_FALSE(sim.DevicePath().empty()) << sim.ErrorText();
    char target[PATH_MAX] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), sim.DevicePath());
    for (int session = 0; session < 2; ++session) {
      DriverSide driver(link);
      ASSERT_TRUE(driver.Ok()) << "session " << session;
      driver.Write(Bytes(WorkedFrame));
      EXPECT_EQ(Joined(driver.Read(12, ReadTimeoutMs)), Bytes(WorkedFrame))
          << "session " << session;
      EXPECT_EQ(Joined(driver.Read(12, ReadTimeoutMs)), Bytes(WorkedReply))
          << "session " << session;
    }
    const int status = sim.Stop(GetParam());
    EXPECT_TRUE(ExitedWith(status, 0)) << "wait status " << status << "\n" << sim.ErrorText();
    EXPECT_NE(::access(link.c_str(), F_OK), 0) << "link left behind";
    EXPECT_EQ(sim.OutputText(), sim.DevicePath() + "\n") << "standard output holds the path only";
  }
  ::rmdir(pattern);
}

INSTANTIATE_TEST_SUITE_P(Signals, EndingSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& row) {
                           return row.param == SIGTERM ? std::string("SIGTERM")
                                                       : std::string("SIGINT");
                         });

TEST(Zelsim, RefusesToReplaceAFileWithItsLink) {
  char pattern[] = "/tmp/zelsim-link-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string file = std::string(pattern) + "/precious";
  {
    std::FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  {
    SimProcess sim({"--link", file});
    EXPECT_TRUE(sim.DevicePath().empty());
    EXPECT_TRUE(ExitedWith(sim.Wait(), 1));
    EXPECT_NE(sim.ErrorText().find("not a symlink"), std::string::npos) << sim.ErrorText();
  }
  EXPECT_EQ(::access(file.c_str(), F_OK), 0);
  ::unlink(file.c_str());
  ::rmdir(pattern);
}

TEST(Zelsim, HelpAndUsageErrors) {
  {
    SimProcess sim({"--help"});
    EXPECT_TRUE(ExitedWith(sim.Wait(), 0));
    EXPECT_NE(sim.OutputText().find("--reply-once HEX"), std::string::npos);
  }
  {
    SimProcess sim({"--station", "25"});
    EXPECT_TRUE(ExitedWith(sim.Wait(), 2));
    EXPECT_NE(sim.ErrorText().find("--station needs four hex digits"), std::string::npos)
        << sim.ErrorText();
  }
}

}  // namespace
}  // namespace zel::sim::test
