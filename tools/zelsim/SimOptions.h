#pragma once
// zelsim's command line.

#include <optional>
#include <string>
#include <vector>

#include "tools/zelsim/SimConfig.h"

namespace zel::sim {

struct SimOptions {
  SimConfig config;
  std::string linkPath;  // empty: no symlink
  std::string logPath;   // empty: standard error only
  bool help = false;
};

// The options, or nothing with `error` set for a usage error. Options take their value as the
// next argument or after "=" ("--delay 200", "--delay=200").
std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& arguments,
                                          std::string& error);

// Hex text as --reply-once takes it: uppercase digit pairs, blanks allowed between pairs.
std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string& text, std::string& error);

// Four uppercase digits, instrument number first ("0205").
std::optional<uint16_t> ParseStation(const std::string& text);

// The options in one line, as zelsim logs them at its start: "line /dev/pts/3, stations 0205, ...".
std::string DescribeOptions(const SimOptions& options, const std::string& device);

extern const char* const ZelsimUsage;

}  // namespace zel::sim
