#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/zelsim/SimTestSupport.h"
#include "tools/zelsim/SimOptions.h"

namespace zelsim {
namespace {

using testing::Bytes;

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

TEST(SimOptions, EchoModes) {
  struct Row {
    std::string text;
    EchoMode mode;
    int corruptCount;
  };
  for (const Row& row :
       {Row{"on", EchoMode::On, -1}, Row{"off", EchoMode::Off, -1},
        Row{"corrupt", EchoMode::Corrupt, -1}, Row{"corrupt:3", EchoMode::Corrupt, 3}}) {
    std::string error;
    const auto options = ParseSimOptions({"--echo", row.text}, error);
    ASSERT_TRUE(options.has_value()) << row.text << ": " << error;
    EXPECT_EQ(options->config.echo, row.mode) << row.text;
    EXPECT_EQ(options->config.corruptCount, row.corruptCount) << row.text;
  }
}

TEST(SimOptions, EveryFaultNameIsAccepted) {
  std::string error;
  const auto options = ParseSimOptions(
      {"--fault",
       "none,bad-header-sum,bad-data-sum,short,trailing,fragments,silence,count-over-247"},
      error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_EQ(options->config.faults.size(), 8u);
}

TEST(SimOptions, HelpWins) {
  std::string error;
  const auto options = ParseSimOptions({"--delay", "5", "--help", "--bogus"}, error);
  ASSERT_TRUE(options.has_value());
  EXPECT_TRUE(options->help);
}

struct BadCase {
  std::string name;
  std::vector<std::string> arguments;
  std::string errorMentions;
};

// Shown by the test runner in place of the raw bytes of a row.
void PrintTo(const BadCase& row, std::ostream* out) { *out << row.name; }

std::vector<BadCase> BadCases() {
  return {
      {"StationThreeDigits", {"--station", "205"}, "--station"},
      {"StationFiveDigits", {"--station", "02050"}, "--station"},
      {"StationLowercase", {"--station", "020a"}, "--station"},
      {"StationNotHex", {"--station", "02G5"}, "--station"},
      {"StationMissingValue", {"--station"}, "--station needs a value"},
      {"DelayNegative", {"--delay", "-1"}, "--delay"},
      {"DelayNotANumber", {"--delay", "soon"}, "--delay"},
      {"DelayWithUnit", {"--delay", "100ms"}, "--delay"},
      {"DelayTooLong", {"--delay", "99999999999"}, "--delay"},
      {"FragmentGapZero", {"--fragment-gap", "0"}, "--fragment-gap"},
      {"EchoUnknown", {"--echo", "maybe"}, "--echo"},
      {"EchoCorruptZero", {"--echo", "corrupt:0"}, "--echo"},
      {"EchoCorruptNoCount", {"--echo", "corrupt:"}, "--echo"},
      {"FaultUnknown", {"--fault", "crc"}, "unknown fault \"crc\""},
      {"FaultTrailingComma", {"--fault", "short,"}, "unknown fault \"\""},
      {"FaultUppercase", {"--fault", "Short"}, "unknown fault"},
      {"ReplyOnceOddDigits", {"--reply-once", "00 0"}, "pairs"},
      {"ReplyOnceSplitPair", {"--reply-once", "0 0"}, "pairs"},
      {"ReplyOnceLowercase", {"--reply-once", "5a"}, "\"5a\""},
      {"ReplyOnceEmpty", {"--reply-once", "  "}, "no bytes"},
      {"OnceAfterUnknown", {"--once-after", "later"}, "--once-after"},
      {"LinkEmpty", {"--link="}, "--link needs a path"},
      {"UnknownOption", {"--stations", "0205"}, "unknown option --stations"},
      {"UnknownOptionWithValue", {"--speed=9600"}, "unknown option --speed"},
      {"PositionalArgument", {"0205"}, "unexpected argument \"0205\""},
  };
}

class RefusedCommandLine : public ::testing::TestWithParam<BadCase> {};

TEST_P(RefusedCommandLine, SaysWhatIsWrong) {
  const BadCase& c = GetParam();
  std::string error;
  EXPECT_FALSE(ParseSimOptions(c.arguments, error).has_value());
  EXPECT_NE(error.find(c.errorMentions), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedCommandLine, ::testing::ValuesIn(BadCases()),
                         [](const ::testing::TestParamInfo<BadCase>& row) {
                           return row.param.name;
                         });

}  // namespace
}  // namespace zelsim
