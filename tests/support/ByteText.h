#pragma once
// Expected bytes written as text in tests ("05 02 0B"), read without the code under test.

#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

inline std::vector<uint8_t> ParseBytes(std::string_view hex) {
  std::istringstream in{std::string(hex)};
  std::vector<uint8_t> bytes;
  for (std::string token; in >> token;) {
    if (token.size() != 2) throw std::invalid_argument("byte token must have two digits: " + token);
    bytes.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
  }
  return bytes;
}

inline std::string Repeat(std::string_view piece, int times) {
  std::string result;
  while (times-- > 0) result.append(piece);
  return result;
}

}  // namespace zel
