#pragma once
// zelctl's command line.

#include <optional>
#include <string>
#include <vector>

namespace zel {

struct ZelctlAction {
  enum class Type { Poke, Execute, Request, Run, Watch };
  Type type = Type::Request;
  std::string argument;  // Poke: text ("-" = standard input), Execute/Run: word
  long count = 0;        // Watch: number of notices
};

struct ZelctlOptions {
  std::string service = "ZELdrv";
  std::string topic = "ZELdriver";
  std::string item = "ZELDDEItem";
  int timeoutMs = 30000;
  bool help = false;
  std::vector<ZelctlAction> actions;
};

// The options, or nothing with `error` set for a usage error.
std::optional<ZelctlOptions> ParseZelctlOptions(const std::vector<std::string>& arguments,
                                                std::string& error);

extern const char* const ZelctlUsage;

}  // namespace zel
