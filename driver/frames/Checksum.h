#pragma once

#include <cstdint>

#include "driver/frames/FrameLayout.h"

namespace zel {

// Plain additive sum, modulo 65536, of the bytes at positions first to last inclusive; 0 when last
// is smaller than first. Positions outside the buffer add nothing and are never read.
uint16_t Checksum16(const FrameBuffer& buffer, int32_t first, int32_t last);

}  // namespace zel
