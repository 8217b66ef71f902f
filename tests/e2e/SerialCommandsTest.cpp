// The driver's commands end to end: a driver process on a pseudo-terminal whose other side the
// test plays, commanded over the link. Wire bytes, outcomes and timing as a client sees them.

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "ddelink/local/LocalLinkClient.h"
#include "tests/support/PtyPair.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/LinePlayer.h"
#include "tests/zelsim/SimProcess.h"

namespace zel {

using Bytes = std::vector<uint8_t>;

namespace {

const Bytes WorkedSendFrame = {0x05, 0x02, 0x01, 0x00, 0x03, 0x0B, 0x00, 0x12, 0x34, 0xAB, 0xF1, 0x00};
const Bytes WorkedDumpFrame = {0x02, 0x05, 0x00, 0x01, 0x12, 0x34, 0xAB};
// Station 0205 answers station 0001 with the data mirrored.
const Bytes WorkedReply = {0x01, 0x00, 0x05, 0x02, 0x03, 0x0B, 0x00, 0x12, 0x34, 0xAB, 0xF1, 0x00};

class SerialCommandsTest : public testing::Test {
 protected:
  explicit SerialCommandsTest(const std::string& latency = "Approximately 0.25 second")
      : installation(pty.SlavePath(), latency), driver(installation.Program()) {}

  void SetUp() override {
    ASSERT_TRUE(pty.Ok()) << pty.Error();
    ASSERT_TRUE(installation.Ok());
    ASSERT_TRUE(driver.Start(links)) << driver.StandardError();
    ASSERT_TRUE(link.Connect("ZELdrv", "ZELdriver")) << link.LastError();
  }

  // Executes the word and requests until the answer is not empty, as the test client does.
  std::string Run(const std::string& word, qint64* tookMs = nullptr) {
    QElapsedTimer took;
    took.start();
    EXPECT_TRUE(link.Execute(word));
    std::optional<std::string> answer;
    while (took.elapsed() < 30000) {
      answer = link.Request("ZELDDEItem", 10000);
      if (!answer || !answer->empty()) break;
    }
    if (tookMs) *tookMs = took.elapsed();
    return answer.value_or("<no answer>");
  }

  void Poke(const std::string& text) { ASSERT_TRUE(link.Poke("ZELDDEItem", text, 10000)); }

  zel::test::PtyPair pty;
  PrivateLinkDirectory links;
  DriverInstallation installation;
  DriverProcess driver;
  LinePlayer line{pty.MasterFd()};
  LocalLinkClient link;
};

class SlowAnswerTest : public SerialCommandsTest {
 protected:
  SlowAnswerTest() : SerialCommandsTest("Approximately 1.25 seconds") {}
};

}  // namespace

TEST_F(SerialCommandsTest, EverySendCommandPutsTheWorkedExampleOnTheWire) {
  line.SetEcho(LinePlayer::Echo::Faithful);
  Poke("0205 0001 1234AB");
  const struct {
    const char* word;
    Bytes wire;
  } cases[] = {{"Send", WorkedSendFrame},
               {"EasySend", WorkedSendFrame},
               {"SendDump", WorkedDumpFrame},
               {"EasySendDump", WorkedDumpFrame}};
  for (const auto& c : cases) {
    line.ClearWritten();
    EXPECT_EQ(Run(c.word), "sended\r\n") << c.word;
    EXPECT_EQ(line.WaitForWritten(c.wire.size()), c.wire) << c.word;
  }
}

TEST_F(SerialCommandsTest, EchoDecidesHowOftenSendWrites) {
  Poke("0205 0001 1234AB");
  const struct {
    LinePlayer::Echo echo;
    std::size_t writes;
  } cases[] = {{LinePlayer::Echo::Faithful, 1}, {LinePlayer::Echo::Off, 1},
               {LinePlayer::Echo::Corrupting, 3}};
  for (const auto& c : cases) {
    line.SetEcho(c.echo);
    line.ClearWritten();
    EXPECT_EQ(Run("Send"), "sended\r\n");
    // Give a further write time to show up before counting.
    const Bytes wire = line.WaitForWritten(c.writes * WorkedSendFrame.size() + 1, 300);
    EXPECT_EQ(wire.size(), c.writes * WorkedSendFrame.size());
  }
  EXPECT_NE(driver.StandardError().find("status: Busy"), std::string::npos);
}

TEST_F(SerialCommandsTest, SendOnASilentLineTakesTheTwoShortReads) {
  Poke("0205 0001 1234AB");
  qint64 took = 0;
  EXPECT_EQ(Run("Send", &took), "sended\r\n");
  EXPECT_GE(took, 45);    // drain read and echo read, 25 ms each
  EXPECT_LT(took, 2000);  // generous: the machine is shared
}

TEST_F(SerialCommandsTest, ReceiveDecodesTheReplyAndEndsSoonAfterItsLastByte) {
  line.SendLater({WorkedReply}, 100);
  qint64 took = 0;
  EXPECT_EQ(Run("Receive", &took), "0001 0205 1234AB\r\n");
  EXPECT_GE(took, 140);  // the reply at 100 ms, then the 50 ms pause that ends it
  EXPECT_LT(took, 2000);
  EXPECT_NE(driver.StandardError().find("status: received OK"), std::string::npos);
}

TEST_F(SerialCommandsTest, ReceiveWaitsTheLatencyForAReplyThatNeverComes) {
  qint64 took = 0;
  EXPECT_EQ(Run("Receive", &took), "00\r\n");
  EXPECT_GE(took, 260);  // 25 + 256 x 1 ms
  EXPECT_LT(took, 3000);
}

TEST_F(SerialCommandsTest, ReceiveOutcomesForBadReplies) {
  Bytes badHeader = WorkedReply;
  badHeader[5] ^= 1;
  Bytes badData = WorkedReply;
  badData[8] ^= 1;
  const struct {
    const char* legend;
    Bytes reply;
    const char* outcome;
  } cases[] = {{"bad header sum", badHeader, "0000\r\n"},
               {"bad data sum", badData, "0000\r\n"},
               {"four bytes then silence", {1, 2, 3, 4}, "00\r\n"}};
  for (const auto& c : cases) {
    line.SendLater({c.reply}, 50);
    EXPECT_EQ(Run("Receive"), c.outcome) << c.legend;
  }
}

TEST_F(SerialCommandsTest, ReceiveDumpShowsRawBytesAndTheirCount) {
  line.SendLater({{0x00, 0x0D, 0x0A, 0xFF}}, 50);
  EXPECT_EQ(Run("ReceiveDump"), "00 0D 0A FF \r\n");
  EXPECT_NE(driver.StandardError().find("status: received 4b"), std::string::npos);
  EXPECT_EQ(Run("ReceiveDump"), "--\r\n");
}

TEST_F(SerialCommandsTest, DriverGoesOnWhenTheDeviceVanishes) {
  Poke("0205 0001 1234AB");
  pty.CloseMaster();
  qint64 took = 0;
  EXPECT_EQ(Run("Receive", &took), "00\r\n");
  EXPECT_LT(took, 3000);
  EXPECT_EQ(Run("EasySend"), "error\r\n");
  EXPECT_EQ(Run("Version"), "2.32\r\n");
}

TEST_F(SerialCommandsTest, CloseAnswersOkAndEndsTheDriver) {
  QElapsedTimer took;
  took.start();
  EXPECT_EQ(Run("Close"), "OK\r\n");
  EXPECT_EQ(driver.WaitForExit(5000), 0);
  EXPECT_GE(took.elapsed(), 95);
}

TEST_F(SlowAnswerTest, ReplyInFragmentsIsStillDecoded) {
  // Pieces more than 50 ms apart arrive as separate short reads.
  line.SendLater({{0x01, 0x00, 0x05}, {0x02, 0x03, 0x0B, 0x00}, {0x12, 0x34}, {0xAB, 0xF1, 0x00}}, 50, 90);
  EXPECT_EQ(Run("Receive"), "00\r\n") << "fragments of 1 to 6 bytes are thrown away one by one";
  line.SendLater({{0x01, 0x00, 0x05}, {0x02, 0x03, 0x0B, 0x00}, WorkedReply}, 50, 90);
  EXPECT_EQ(Run("Receive"), "0001 0205 1234AB\r\n");
}

TEST(SerialCommandsWithoutPort, PortStateFailsAndCommandsStillAnswer) {
  PrivateLinkDirectory links;
  DriverInstallation installation("/dev/zel-test-absent-port");
  DriverProcess driver(installation.Program());
  ASSERT_TRUE(driver.Start(links)) << driver.StandardError();
  EXPECT_EQ(RunZelctl({"run", "PortState"}).out, "Fail\r\n");
  EXPECT_EQ(RunZelctl({"poke", "0205 0001 12", "run", "Send"}).out, "sended\r\n");
  EXPECT_EQ(RunZelctl({"run", "Receive"}).out, "00\r\n");
}

TEST(DriverOnSimulatedLine, ExchangesWithAStationAndRetriesOnCollisions) {
  zel::sim::test::SimProcess sim({"--station", "0205", "--delay", "100", "--echo", "corrupt:1"});
  ASSERT_FALSE(sim.DevicePath().empty());
  PrivateLinkDirectory links;
  DriverInstallation installation(sim.DevicePath());
  DriverProcess driver(installation.Program());
  ASSERT_TRUE(driver.Start(links)) << driver.StandardError();

  // The first transmission collides; the second gets through and is answered.
  const auto exchange = RunZelctl({"poke", "0205 0001 1234AB", "run", "Send", "run", "Receive"});
  EXPECT_EQ(exchange.exitCode, 0) << exchange.err;
  EXPECT_EQ(exchange.out, "sended\r\n0001 0205 1234AB\r\n");
  const std::string wire = sim.ErrorText();
  const std::string frame = "wrote by driver: 05 02 01 00 03 0B 00 12 34 AB F1 00";
  const auto first = wire.find(frame);
  ASSERT_NE(first, std::string::npos) << wire;
  EXPECT_NE(wire.find(frame, first + 1), std::string::npos) << "no second write:\n" << wire;
  EXPECT_NE(wire.find("reply from 0205: 01 00 05 02 03 0B 00 12 34 AB F1 00"), std::string::npos);
  EXPECT_EQ(driver.StandardError().find("status: Busy"), std::string::npos);
}

}  // namespace zel
