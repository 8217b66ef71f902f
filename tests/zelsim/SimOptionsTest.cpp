#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/zelsim/SimTestSupport.h"
#include "tools/zelsim/SimOptions.h"

namespace zel::sim {
namespace {

using test::Bytes;

TEST(SimOptions, NoArgumentsGiveAnEchoingLineWithoutStations) {
  std::string error;
  const auto options = ParseSimOptions({}, error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_TRUE(options->config.stations.empty());
  EXPECT_EQ(options->config.delayMs, 100);
  EXPECT_EQ(options->config.echo, EchoMode::On);
  EXPECT_TRUE(options->config.faults.empty());
  EXPECT_EQ(options->config.fragmentGapMs, 80);
  EXPECT_FALSE(options->config.replyOnce.has_value());
  EXPECT_EQ(options->config.onceAfter, OnceAfter::Open);
  EXPECT_EQ(options->linkPath, "");
  EXPECT_EQ(options->logPath, "");
  EXPECT_FALSE(options->help);
}

TEST(SimOptions, EveryOptionIsReadWithSpaceOrEquals) {
  std::string error;
  const auto options =
      ParseSimOptions({"--station", "0205",         "--station=0A0B",  "--station",
                       "0205",      "--delay=250",  "--echo",          "corrupt:2",
                       "--fault",   "short,none",   "--fault=silence", "--fragment-gap",
                       "120",       "--reply-once", "00 00  05 02",    "--once-after=start",
                       "--link",    "/tmp/ttyZEL",  "--log",           "sim.log"},
                      error);
  ASSERT_TRUE(options.has_value()) << error;
  const SimConfig& config = options->config;
  EXPECT_EQ(config.stations, (std::vector<uint16_t>{0x0205, 0x0A0B}));
  EXPECT_EQ(config.delayMs, 250);
  EXPECT_EQ(config.echo, EchoMode::Corrupt);
  EXPECT_EQ(config.corruptCount, 2);
  EXPECT_EQ(config.faults, (std::vector<Fault>{Fault::Short, Fault::None, Fault::Silence}));
  EXPECT_EQ(config.fragmentGapMs, 120);
  ASSERT_TRUE(config.replyOnce.has_value());
  EXPECT_EQ(*config.replyOnce, Bytes("00 00 05 02"));
  EXPECT_EQ(config.onceAfter, OnceAfter::Start);
  EXPECT_EQ(options->linkPath, "/tmp/ttyZEL");
  EXPECT_EQ(options->logPath, "sim.log");
}

TEST(SimOptions, EchoModesAndFaultNames) {
  for (const auto& [text, mode, count] :
       {std::tuple<std::string, EchoMode, int>{"off", EchoMode::Off, -1},
        {"corrupt", EchoMode::Corrupt, -1},
        {"corrupt:3", EchoMode::Corrupt, 3}}) {
    std::string error;
    const auto options = ParseSimOptions({"--echo", text}, error);
    ASSERT_TRUE(options.has_value()) << text << ": " << error;
    EXPECT_EQ(options->config.echo, mode) << text;
    EXPECT_EQ(options->config.corruptCount, count) << text;
  }
  std::string error;
  const auto options = ParseSimOptions(
      {"--fault=none,bad-header-sum,bad-data-sum,short,trailing,fragments,silence,count-over-247"},
      error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_EQ(
      options->config.faults,
      (std::vector<Fault>{Fault::None, Fault::BadHeaderSum, Fault::BadDataSum, Fault::Short,
                          Fault::Trailing, Fault::Fragments, Fault::Silence, Fault::CountOver247}));
}

TEST(SimOptions, HelpWins) {
  std::string error;
  const auto options = ParseSimOptions({"--delay", "5", "--help", "--bogus"}, error);
  ASSERT_TRUE(options.has_value());
  EXPECT_TRUE(options->help);
}

// Each reason to refuse a command line once, with what the message must name.
TEST(SimOptions, RefusedCommandLinesSayWhatIsWrong) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--station", "205"}, "--station"},
      {{"--station", "020a"}, "--station"},
      {{"--station"}, "--station needs a value"},
      {{"--delay", "-1"}, "--delay"},
      {{"--delay", "100ms"}, "--delay"},
      {{"--delay", "99999999999"}, "--delay"},
      {{"--fragment-gap", "0"}, "--fragment-gap"},
      {{"--echo", "maybe"}, "--echo"},
      {{"--echo", "corrupt:0"}, "--echo"},
      {{"--fault", "Short"}, "unknown fault \"Short\""},
      {{"--fault", "short,"}, "unknown fault \"\""},
      {{"--reply-once", "0 0"}, "pairs"},
      {{"--reply-once", "5a"}, "\"5a\""},
      {{"--reply-once", "  "}, "no bytes"},
      {{"--once-after", "later"}, "--once-after"},
      {{"--link="}, "--link needs a path"},
      {{"--speed=9600"}, "unknown option --speed"},
      {{"0205"}, "unexpected argument \"0205\""},
  };
  for (const auto& [arguments, mentions] : cases) {
    std::string error;
    EXPECT_FALSE(ParseSimOptions(arguments, error).has_value()) << mentions;
    EXPECT_NE(error.find(mentions), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace zel::sim
