#pragma once
// Byte sequences written the way the log shows them ("05 02 0B"), read without zelsim's code.

#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/ByteText.h"

namespace zel::sim::test {

inline std::vector<uint8_t> Bytes(const std::string& hex) { return ParseBytes(hex); }
using ::zel::Repeat;

// The frame the driver builds from "0205 0001 1234AB", and station 0205's answer to it.
inline const std::string WorkedFrame = "05 02 01 00 03 0B 00 12 34 AB F1 00";
inline const std::string WorkedReply = "01 00 05 02 03 0B 00 12 34 AB F1 00";

// What "0205 0001 1234AB" gives as a dump frame: no header sum, so no frame.
inline const std::string WorkedDump = "02 05 00 01 12 34 AB";

}  // namespace zel::sim::test
