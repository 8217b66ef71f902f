#pragma once
// zelctl's command line.

#include <optional>
#include <string>
#include <vector>

#include "common/Names.h"

namespace zel {

// How long "run" waits for an outcome and "watch" for each notice, unless --timeout says.
constexpr int DefaultZelctlTimeoutMs = 30000;

struct ZelctlAction {
  enum class Type { Poke, Execute, Request, Run, Watch, Monitor };
  Type type = Type::Request;
  std::string argument;  // Poke: text ("-" = standard input), Execute/Run: word
  long count = 0;        // Watch: number of notices; Monitor: of lines (0: until the driver ends)
};

struct ZelctlOptions {
  std::string service = DriverService;
  std::string topic = DriverTopic;
  std::string item = DriverItem;
  int timeoutMs = DefaultZelctlTimeoutMs;
  bool help = false;
  std::vector<ZelctlAction> actions;
};

// The options, or nothing with `error` set for a usage error.
std::optional<ZelctlOptions> ParseZelctlOptions(const std::vector<std::string>& arguments,
                                                std::string& error);

extern const std::string ZelctlUsage;

}  // namespace zel
