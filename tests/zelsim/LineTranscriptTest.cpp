// zelsim's line logic, played from the transcripts in tests/data/zelsim: each "$" line there is a
// step, the lines under it what the line must log and send for it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/DataText.h"
#include "tools/zelsim/LineSimulator.h"
#include "tools/zelsim/SimOptions.h"

namespace zel::sim {
namespace {

// Steps, MS being the time on the line's clock:
//   zelsim ARGS...   a fresh line with these options ("quoted" arguments may hold blanks): its
//                    description as logged at start, "help", or "error: " and the usage error
//   MS start | MS open | MS tick | MS write HEX | MS due      what the driver or time does
//   MS wake          when the line next needs to run: "wake MS" or "wake never"
// After each step come the log entries, "[MS] text", then what the step sent towards the driver:
// "echo [HEX]" for a write, "sent [HEX]" for each transmission that fell due.
// Comments (#) and blank lines are copied, so a correct transcript plays back as itself.
// ZEL_WRITE_TRANSCRIPTS=1 writes what was played back into the files, to be read over.
std::string Play(const std::string& transcript) {
  std::istringstream script(transcript);
  std::string played;
  LineSimulator sim{SimConfig{}};
  for (std::string line; std::getline(script, line);) {
    if (line.empty() || line[0] == '#') played += line + "\n";
    if (line.rfind("$ ", 0) != 0) continue;
    played += line + "\n";
    if (line.rfind("$ zelsim", 0) == 0) {
      const std::vector<std::string> arguments = zel::test::Words(line.substr(8));
      std::string error;
      const auto options = ParseSimOptions(arguments, error);
      played += !options        ? "error: " + error + "\n"
                : options->help ? "help\n"
                                : DescribeOptions(*options, "PTY") + "\n";
      if (options) sim = LineSimulator(options->config);
      continue;
    }
    std::istringstream words(line.substr(2));
    int64_t now = 0;
    std::string step, hex, sent;
    words >> now >> step;
    std::getline(words, hex);
    const auto wake = sim.NextWakeMs();
    if (step == "start") sim.Start(now);
    if (step == "open") sim.LineOpened(now);
    if (step == "tick") sim.Tick(now);
    if (step == "write")
      sent = "echo [" + WireText(sim.DriverWrote(now, test::ParseBytes(hex))) + "]\n";
    if (step == "wake") sent = "wake " + (wake ? std::to_string(*wake) : "never") + "\n";
    if (step == "due") {
      for (const Transmission& due : sim.TakeDue(now))
        sent += "sent [" + WireText(due.bytes) + "]\n";
    }
    for (const LogEntry& entry : sim.TakeLog()) {
      played += "[" + std::to_string(entry.atMs) + "] " + entry.text + "\n";
    }
    played += sent;
  }
  return played;
}

TEST(ZelsimLine, PlaysEveryTranscriptBackAsWritten) {
  for (const auto& file : std::filesystem::directory_iterator(ZEL_TEST_DATA "/zelsim")) {
    SCOPED_TRACE(file.path().string());
    std::ifstream script(file.path());
    const std::string expected((std::istreambuf_iterator<char>(script)), {});
    const std::string played = Play(expected);
    if (std::getenv("ZEL_WRITE_TRANSCRIPTS") != nullptr) std::ofstream(file.path()) << played;
    EXPECT_EQ(played, expected);
  }
}

}  // namespace
}  // namespace zel::sim
