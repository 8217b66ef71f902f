#include "driver/frames/Checksum.h"

#include <algorithm>

uint16_t Checksum16(const FrameBuffer& buffer, int32_t first, int32_t last) {
  const int32_t from = std::max<int32_t>(first, 0);
  const int32_t to = std::min<int32_t>(last, FrameCapacity - 1);
  uint32_t sum = 0;
  for (int32_t position = from; position <= to; ++position) {
    sum += buffer[static_cast<size_t>(position)];
  }
  return static_cast<uint16_t>(sum & 0xFFFF);
}
