// The driver's commands end to end: a driver process whose port is zelsim's pseudo-terminal,
// commanded by zelctl. The wire as zelsim logs it, outcomes and timing as a client sees them.

#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <cstdio>
#include <fstream>

#include "tests/support/DataText.h"
#include "tests/support/DriverProcess.h"
#include "tests/zelsim/SimProcess.h"

namespace zel {

namespace {

// zelsim with these options, and a driver on its line at this rate that has been poked the
// worked example. The driver knows the line by a link of zelsim's: a driver that reopens its
// vanished device never takes a pseudo-terminal that another test got under the same number.
struct SimulatedLine {
  explicit SimulatedLine(std::vector<std::string> given,
                         const std::string& latency = "Approximately 0.25 second",
                         const std::string& rate = "9600 baud")
      : options((given.insert(given.end(), {"--link", link}), given)),
        sim(options),
        installation(link, latency),
        driver(installation.Program()) {
    const std::string file = installation.Program() + ".ini";  // ZELdrv.ini beside it
    std::string text{std::istreambuf_iterator<char>(std::ifstream(file).rdbuf()), {}};
    std::ofstream(file, std::ios::binary) << text.replace(text.find("9600 baud"), 9, rate);
    EXPECT_TRUE(driver.Start(links)) << sim.ErrorText() << driver.StandardError();
    EXPECT_EQ(RunZelctl({"poke", "0205 0001 1234AB"}).exitCode, 0);
  }
  ~SimulatedLine() { std::remove(link.c_str()); }  // a killed zelsim leaves it behind

  // What zelctl prints for "run" of each word: execute, then request until there is an answer.
  std::string Run(const std::vector<std::string>& words, qint64* tookMs = nullptr) {
    std::vector<std::string> arguments;
    for (const auto& word : words) arguments.insert(arguments.end(), {"run", word});
    QElapsedTimer took;
    took.start();
    const std::string out = RunZelctl(arguments).out;
    if (tookMs) *tookMs = took.elapsed();
    return out;
  }

  // How many transmissions were exactly these bytes. zelsim logs one once the line has been
  // quiet after it, so the words run end with a "Receive", which waits for a reply.
  int Written(const std::string& hex) const {
    const std::string log = sim.ErrorText(), line = "wrote by driver: " + hex + "\n";
    int count = 0;
    for (size_t at = log.find(line); at != log.npos; at = log.find(line, at + 1)) ++count;
    return count;
  }

  std::string link = ::testing::TempDir() + "zel-line-" + std::to_string(::getpid());
  std::vector<std::string> options;  // zelsim's
  sim::test::SimProcess sim;
  PrivateLinkDirectory links;
  DriverInstallation installation;
  DriverProcess driver;
};

}  // namespace

// The rows of tests/data/e2e/serial-commands.txt.
TEST(SerialCommands, TheEchoDecidesHowOftenTheWorkedExampleGoesOnTheWire) {
  std::ifstream file(ZEL_TEST_DATA "/e2e/serial-commands.txt");
  int rows = 0;
  for (std::string row; std::getline(file, row);) {
    if (row.empty() || row[0] == '#') continue;
    SCOPED_TRACE(row);
    ++rows;
    const std::vector<std::string> cells = test::Split(row, "|");
    const std::vector<std::string> seen = test::Words(cells[3]);
    SimulatedLine line(test::Words(cells[0]), "Approximately 0.25 second",
                       cells.size() > 5 ? cells[5] : "9600 baud");
    EXPECT_EQ(line.Run(test::Words(cells[1])), test::Text(cells[2]));
    EXPECT_EQ(line.Written("05 02 01 00 03 0B 00 12 34 AB F1 00"), std::stoi(seen.at(0)));
    EXPECT_EQ(line.Written("02 05 00 01 12 34 AB"), std::stoi(seen.at(1)));
    EXPECT_EQ(line.driver.StandardError().find("status: Busy") != std::string::npos,
              cells[4] == "yes");
  }
  EXPECT_EQ(rows, 8) << "tests/data/e2e/serial-commands.txt not read";
}

// The bounds are generous: the machine is shared.
TEST(SerialCommands, ReadsEndSoonAfterTheReplyOrTheLatencyAndTheDriverOutlivesItsDevice) {
  SimulatedLine line({"--station", "0205"}, "Approximately 1.25 seconds");  // 25 + 256 x 5 ms
  qint64 took = 0;
  EXPECT_EQ(line.Run({"Send"}), "sended\r\n");
  EXPECT_EQ(line.Run({"Receive"}, &took), "0001 0205 1234AB\r\n");
  EXPECT_LT(took, 1000);  // the reply came 100 ms after the frame, and 50 ms of quiet end a read
  EXPECT_EQ(line.Run({"Receive"}, &took), "00\r\n");
  EXPECT_GE(took, 1250);
  EXPECT_LT(took, 5000);
  line.sim.Stop(SIGTERM);
  EXPECT_EQ(line.Run({"Receive", "EasySend", "Version"}, &took), "00\r\nerror\r\n2.32\r\n");
  EXPECT_LT(took, 3000);
  EXPECT_EQ(line.Run({"Close"}, &took), "OK\r\n");
  EXPECT_GE(took, 95);
  EXPECT_EQ(line.driver.WaitForExit(5000), 0);
}

}  // namespace zel
