#pragma once

#include <array>
#include <cstdint>

// Every frame image and the reply buffer are fixed 256-byte arrays; a separate length says how
// much of one is valid.
constexpr int32_t FrameCapacity = 256;

// 7 header bytes + 247 data bytes + 2 data-sum bytes fill the buffer exactly.
constexpr int32_t MaxDataCount = 247;

using FrameBuffer = std::array<uint8_t, 256>;

static_assert(static_cast<int32_t>(FrameBuffer().size()) == FrameCapacity);
static_assert(7 + MaxDataCount + 2 == FrameCapacity);
