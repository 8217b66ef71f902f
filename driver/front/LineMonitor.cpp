#include "driver/front/LineMonitor.h"

namespace zel {

std::string MonitorLineText(int64_t sinceStartUs, LineDirection direction, const uint8_t* bytes,
                            int32_t count) {
  static const char digits[] = "0123456789ABCDEF";
  const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 0;
  const int64_t us = sinceStartUs < 0 ? 0 : sinceStartUs;
  std::string line = std::to_string(us / 1000) + '.';
  const std::string fraction = std::to_string(us % 1000);
  line.append(3 - fraction.size(), '0').append(fraction);
  line += direction == LineDirection::Written ? " W" : " R";
  line.reserve(line.size() + 4 * n + 4);
  for (std::size_t i = 0; i < n; ++i) {
    line += ' ';
    line += digits[bytes[i] >> 4];
    line += digits[bytes[i] & 0x0F];
  }
  line += "  |";
  for (std::size_t i = 0; i < n; ++i)
    line += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
  line += '|';
  return line;
}

}  // namespace zel
