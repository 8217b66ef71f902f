#include "driver/frames/Checksum.h"

#include <algorithm>

namespace zel {

uint16_t Checksum16(const FrameBuffer& buffer, int32_t first, int32_t last) {
  const int32_t from = std::max<int32_t>(first, 0);
  const int32_t to = std::min<int32_t>(last, FrameCapacity - 1);
  if (to < from) return 0;
  return frame::SumOf(buffer.data() + from, static_cast<size_t>(to - from + 1));
}

}  // namespace zel
