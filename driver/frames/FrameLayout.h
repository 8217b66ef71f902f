#pragma once
// Where everything sits in a frame on the line, and how its 16-bit fields are written. The driver
// and the instrument simulator read frames through this header only.
//
//   0  addressee (u16)   2  sender (u16)   4  data count   5  header sum (u16, over bytes 0..4)
//   7  data (count bytes)                  7 + count  data sum (u16, over the data; only with data)
//
// Every u16 is little-endian: a station address travels node byte first, instrument byte second.

#include <array>
#include <cstddef>
#include <cstdint>

namespace zel::frame {

constexpr std::size_t AddresseeOffset = 0;
constexpr std::size_t SenderOffset = 2;
constexpr std::size_t CountOffset = 4;
constexpr std::size_t HeaderSumOffset = 5;
constexpr std::size_t DataOffset = 7;
constexpr std::size_t HeaderLength = 7;  // a frame without data ends after its header sum
constexpr std::size_t SumLength = 2;

// Every frame image and the reply buffer are fixed 256-byte arrays; a separate length says how
// much of one is valid. 7 header bytes + 247 data bytes + 2 data-sum bytes fill one exactly.
constexpr std::size_t Capacity = 256;
constexpr std::size_t MaxDataCount = 247;
static_assert(HeaderLength + MaxDataCount + SumLength == Capacity);

// The whole length of a frame that announces `count` data bytes.
constexpr std::size_t FrameLength(std::size_t count) {
  return count == 0 ? HeaderLength : DataOffset + count + SumLength;
}

inline uint16_t ReadU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

inline void WriteU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value & 0xFF);
  at[1] = static_cast<uint8_t>(value >> 8);
}

// The plain additive sum, modulo 65536, of `count` bytes: the header sum over the five bytes
// before it, the data sum over the data.
inline uint16_t Checksum16(const uint8_t* bytes, std::size_t count) {
  uint32_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint16_t>(sum & 0xFFFF);
}

}  // namespace zel::frame

namespace zel {

constexpr int32_t FrameCapacity = static_cast<int32_t>(frame::Capacity);
constexpr int32_t MaxDataCount = static_cast<int32_t>(frame::MaxDataCount);

using FrameBuffer = std::array<uint8_t, frame::Capacity>;

}  // namespace zel
