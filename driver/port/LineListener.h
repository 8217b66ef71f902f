#pragma once
// Hears every byte that crosses the serial line, as the port object reads and writes it.

#include <cstdint>

namespace zel {

enum class LineDirection { Written, Read };

class LineListener {
 public:
  virtual ~LineListener() = default;
  // One read or write that moved `count` (> 0) bytes.
  virtual void LineBytes(LineDirection direction, const uint8_t* bytes, int32_t count) = 0;
};

}  // namespace zel
