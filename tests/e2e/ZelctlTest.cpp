// zelctl's contract with scripts: actions, output bytes and exit statuses.

#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/DriverProcess.h"

namespace zel {

// One zelctl run: arguments and standard input; then the exit status, the whole standard output
// and a piece of standard error.
using ZelctlRun = std::tuple<std::vector<std::string>, std::string, int, std::string, std::string>;

void ExpectRuns(const std::vector<ZelctlRun>& runs) {
  for (const auto& [arguments, input, status, out, errorSays] : runs) {
    const auto result = RunZelctl(arguments, input);
    EXPECT_EQ(result.exitCode, status) << testing::PrintToString(arguments);
    EXPECT_EQ(result.out, out) << testing::PrintToString(arguments);
    EXPECT_NE(result.err.find(errorSays), std::string::npos) << result.err;
  }
}

// Without a driver, whatever passes the command line ends in "no conversation". Then, in order,
// on one driver whose item starts without a line: every request answers "" until the first poke,
// after which the emptied item answers CR LF.
TEST(Zelctl, ExitStatusOutputAndErrors) {
  PrivateLinkDirectory links;
  ExpectRuns({
      {{}, "", 2, "", "zelctl: no action given\n\nusage: zelctl [--service NAME]"},
      {{"poke"}, "", 2, "", "zelctl: poke needs an argument"},
      {{"frobnicate"}, "", 2, "", "zelctl: unknown action \"frobnicate\""},
      {{"--timeout", "-5", "request"}, "", 2, "", "--timeout needs a number of milliseconds, not"},
      {{"--timeout", "+5", "request"}, "", 2, "", "not \"+5\""},
      {{"--timeout", "86400001", "request"}, "", 2, "", "not \"86400001\""},
      {{"--timeout", "86400000", "request"}, "", 3, "", DriverService},
      {{"watch", "0"}, "", 2, "", "watch needs a positive number of notices, not \"0\""},
      {{"watch", "1000001"}, "", 2, "", "not \"1000001\""},
      {{"watch", "1000000"}, "", 3, "", DriverService},
  });
  const auto help = RunZelctl({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--item ZELDDEItem --timeout 30000.\n"), std::string::npos) << help.out;

  DriverInstallation installation;
  DriverProcess driver{installation.Program()};
  ASSERT_TRUE(driver.Start(links)) << driver.StandardError();
  ExpectRuns({
      {{"--timeout", "300", "run", "Foo"}, "", 1, "", "zelctl: run Foo: no outcome within 300 ms"},
      {{"--timeout", "200", "watch", "1"}, "", 1, "", "no notice"},
      {{"--item", "Other", "request", "poke", "12"}, "", 1, "", "zelctl: request: "},
      {{"request"}, "", 0, "", ""},  // the poke after the failed request did not run
      // Only the first line counts for the frames; the whole text crossed the link.
      {{"poke", "-", "request"}, std::string("0205 0001 12\r\n\xFF\x01", 16), 0, "\r\n", ""},
      {{"run", "Foo"}, "", 0, "\r\n", ""},
  });
}

}  // namespace zel
