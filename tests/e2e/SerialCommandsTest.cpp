// The driver's commands end to end: a driver process whose port is zelsim's pseudo-terminal,
// commanded over the link. The wire as zelsim logs it, outcomes and timing as a client sees them.

#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QThread>

#include "ddelink/local/LocalLinkClient.h"
#include "tests/support/DriverProcess.h"
#include "tests/zelsim/SimProcess.h"

namespace zel {

namespace {

const std::string Frame = "05 02 01 00 03 0B 00 12 34 AB F1 00";  // of "0205 0001 1234AB"
const std::string Dump = "02 05 00 01 12 34 AB";

// zelsim with these options, and a driver on its line that has been poked the worked example.
struct SimulatedLine {
  explicit SimulatedLine(const std::vector<std::string>& options,
                         const std::string& latency = "Approximately 0.25 second")
      : sim(options), installation(sim.DevicePath(), latency), driver(installation.Program()) {
    EXPECT_FALSE(sim.DevicePath().empty()) << sim.ErrorText();
    EXPECT_TRUE(driver.Start(links)) << driver.StandardError();
    EXPECT_TRUE(link.Connect("ZELdrv", "ZELdriver") &&
                link.Poke(DriverItem, "0205 0001 1234AB", 10000));
  }

  // Executes the word and requests until the answer is not empty, as the test client does.
  std::string Run(const std::string& word, qint64* tookMs = nullptr) {
    QElapsedTimer took;
    took.start();
    EXPECT_TRUE(link.Execute(word));
    std::optional<std::string> answer;
    while (took.elapsed() < 30000 && (answer = link.Request(DriverItem, 10000)) &&
           answer->empty()) {
    }
    if (tookMs) *tookMs = took.elapsed();
    return answer.value_or("no answer: " + link.LastError());
  }

  // How many transmissions of the driver were exactly these bytes, once zelsim has logged at
  // least `least` of them; it logs a transmission when the line has been quiet after it.
  int Written(const std::string& hex, int least) const {
    const auto count = [line = "wrote by driver: " + hex + "\n", this] {
      const std::string log = sim.ErrorText();
      int n = 0;
      for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
      return n;
    };
    for (int waited = 0; count() < least && waited < 5000; waited += 10) QThread::msleep(10);
    QThread::msleep(100);
    return count();
  }

  sim::test::SimProcess sim;
  PrivateLinkDirectory links;
  DriverInstallation installation;
  DriverProcess driver;
  LocalLinkClient link;
};

}  // namespace

TEST(SerialCommands, TheEchoDecidesHowOftenTheWorkedExampleGoesOnTheWire) {
  const struct {
    std::vector<std::string> options, words;
    std::string outcomes;
    int frames, dumps;
    bool busy;
  } cases[] = {
      {{},
       {"Send", "EasySend", "SendDump", "EasySendDump"},
       "sended\r\nsended\r\nsended\r\nsended\r\n",
       2,
       2,
       false},
      {{"--echo", "off"}, {"Send", "SendDump"}, "sended\r\nsended\r\n", 1, 1, false},
      {{"--echo", "corrupt"}, {"Send", "SendDump"}, "sended\r\nsended\r\n", 3, 3, true},
      {{"--station", "0205", "--echo", "corrupt:1"},
       {"Send", "Receive"},
       "sended\r\n0001 0205 1234AB\r\n",
       2,
       0,
       false},
      {{"--station", "0205", "--fault", "bad-data-sum"},
       {"Send", "Receive"},
       "sended\r\n0000\r\n",
       1,
       0,
       false},
  };
  for (const auto& c : cases) {
    SimulatedLine line(c.options);
    std::string outcomes;
    for (const auto& word : c.words) outcomes += line.Run(word);
    SCOPED_TRACE(line.sim.ErrorText());
    EXPECT_EQ(outcomes, c.outcomes);
    EXPECT_EQ(line.Written(Frame, c.frames), c.frames);
    EXPECT_EQ(line.Written(Dump, c.dumps), c.dumps);
    EXPECT_EQ(line.driver.StandardError().find("status: Busy") != std::string::npos, c.busy);
  }
}

// The bounds are generous: the machine is shared.
TEST(SerialCommands, ReadsEndSoonAfterTheReplyOrWhenTheLatencyRunsOut) {
  SimulatedLine line({"--station", "0205"}, "Approximately 1.25 seconds");  // 25 + 256 x 5 ms
  qint64 took = 0;
  EXPECT_EQ(line.Run("Send", &took), "sended\r\n");
  EXPECT_GE(took, 45);  // the drain read and the echo read, 25 ms each
  EXPECT_LT(took, 2000);
  EXPECT_EQ(line.Run("Receive", &took), "0001 0205 1234AB\r\n");
  EXPECT_LT(took, 1000);  // the reply, 100 ms after the frame, then a pause of 50 ms ends the read
  EXPECT_EQ(line.Run("Receive", &took), "00\r\n");
  EXPECT_GE(took, 1250);
  EXPECT_LT(took, 5000);
}

TEST(SerialCommands, DriverGoesOnWhenTheDeviceVanishesAndEndsOnClose) {
  SimulatedLine line({});
  line.sim.Stop(SIGTERM);
  qint64 took = 0;
  EXPECT_EQ(line.Run("Receive", &took), "00\r\n");
  EXPECT_LT(took, 3000);
  EXPECT_EQ(line.Run("EasySend"), "error\r\n");
  EXPECT_EQ(line.Run("Version"), "2.32\r\n");
  EXPECT_EQ(line.Run("Close", &took), "OK\r\n");
  EXPECT_EQ(line.driver.WaitForExit(5000), 0);
  EXPECT_GE(took, 95);
}

}  // namespace zel
