#pragma once
// Byte sequences written the way the log shows them ("05 02 0B"), read without zelsim's code.

#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace zelsim::testing {

inline std::vector<uint8_t> Bytes(const std::string& hex) {
  std::istringstream in(hex);
  std::vector<uint8_t> bytes;
  std::string token;
  while (in >> token) {
    if (token.size() != 2) throw std::invalid_argument("byte token must have two digits: " + token);
    bytes.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
  }
  return bytes;
}

inline std::string Repeat(const std::string& piece, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += piece;
  return result;
}

// The frame the driver builds from "0205 0001 1234AB", and station 0205's answer to it.
inline const std::string WorkedFrame = "05 02 01 00 03 0B 00 12 34 AB F1 00";
inline const std::string WorkedReply = "01 00 05 02 03 0B 00 12 34 AB F1 00";

// What "0205 0001 1234AB" gives as a dump frame: no header sum, so no frame.
inline const std::string WorkedDump = "02 05 00 01 12 34 AB";

}  // namespace zelsim::testing
