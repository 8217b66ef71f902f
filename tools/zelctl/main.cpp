// zelctl: a command-line client of the driver's link, for scripts and tests.

#include <cstdio>

#include "ddelink/LinkClient.h"
#include "tools/zelctl/ZelctlOptions.h"
#include "tools/zelctl/ZelctlRun.h"

using namespace zel;

int main(int argc, char* argv[]) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  std::string error;
  const auto options = ParseZelctlOptions(arguments, error);
  if (!options) {
    std::fprintf(stderr, "zelctl: %s\n\n%s", error.c_str(), ZelctlUsage.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(ZelctlUsage.c_str(), stdout);
    return 0;
  }
  const std::unique_ptr<LinkClient> link = MakePlatformLinkClient();
  if (!link->Connect(options->service, options->topic)) {
    std::fprintf(stderr, "zelctl: %s\n", link->LastError().c_str());
    return 3;
  }
  return RunZelctlActions(*options, *link, stdin, stdout, stderr);
}
