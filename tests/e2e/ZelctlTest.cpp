// zelctl's contract with scripts: actions, output bytes and exit statuses.

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "tests/support/DriverProcess.h"

namespace zel {

TEST(ZelctlWithoutDriver, UsageErrorsExitTwo) {
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{},
                                             {"poke"},
                                             {"frobnicate"},
                                             {"--timeout", "-5", "request"},
                                             {"watch", "0"}}) {
    const auto result = RunZelctl(arguments);
    EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(arguments);
    EXPECT_NE(result.err.find("usage: zelctl"), std::string::npos);
  }
  const auto help = RunZelctl({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("watch N"), std::string::npos);
}

TEST(ZelctlWithoutDriver, NoConversationExitsThree) {
  PrivateLinkDirectory links;
  const auto result = RunZelctl({"request"});
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_NE(result.err.find("ZELdrv"), std::string::npos) << result.err;
  EXPECT_EQ(RunZelctl({"--service", "../etc", "request"}).exitCode, 3);
}

class ZelctlTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(driver.Start(links)) << driver.StandardError(); }
  PrivateLinkDirectory links;
  DriverInstallation installation;
  DriverProcess driver{installation.Program()};
};

TEST_F(ZelctlTest, PokeFromStandardInputTakesTheBytesAsTheyAre) {
  // Only the first line counts for the frames; the whole text crossed the link.
  const auto result = RunZelctl({"poke", "-", "request"}, std::string("0205 0001 12\r\n\xFF\x01", 16));
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "\r\n");
}

TEST_F(ZelctlTest, RunReturnsTheFirstNonEmptyAnswerAsIs) {
  ASSERT_EQ(RunZelctl({"poke", "12"}).exitCode, 0);
  // The emptied item answers CR LF, which is not the empty text.
  const auto result = RunZelctl({"run", "Foo"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "\r\n");
}

TEST_F(ZelctlTest, RunGivesUpWhenNoOutcomeComesWithinItsTimeout) {
  // Before any poke the item has no line: every request answers the empty text.
  QElapsedTimer took;
  took.start();
  const auto result = RunZelctl({"--timeout", "300", "run", "Foo"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("no outcome within 300 ms"), std::string::npos) << result.err;
  EXPECT_LT(took.elapsed(), 10000);
}

TEST_F(ZelctlTest, WatchGivesUpWhenNoNoticeComes) {
  const auto result = RunZelctl({"--timeout", "200", "watch", "1"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("no notice"), std::string::npos) << result.err;
}

TEST_F(ZelctlTest, ActionsAfterAFailureAreNotRun) {
  const auto result = RunZelctl({"--item", "Other", "request", "poke", "12"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(RunZelctl({"request"}).out, "") << "the poke after the failed request ran";
}

}  // namespace zel
