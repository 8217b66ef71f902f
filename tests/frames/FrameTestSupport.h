#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "driver/frames/FrameLayout.h"
#include "driver/front/StatusSink.h"
#include "tests/support/ByteText.h"

namespace zel {

// A buffer holding the given bytes from position 0, every other position set to fill.
inline FrameBuffer BufferOf(std::string_view hex, uint8_t fill = 0) {
  FrameBuffer buffer;
  buffer.fill(fill);
  const std::vector<uint8_t> bytes = ParseBytes(hex);
  if (bytes.size() > buffer.size()) throw std::invalid_argument("more bytes than a frame buffer");
  for (size_t i = 0; i < bytes.size(); ++i) buffer[i] = bytes[i];
  return buffer;
}

// A frame buffer with known bytes on both sides. A read past either end of the buffer then picks
// up the guard bytes and changes the outcome, so it shows even without a sanitizer.
struct GuardedFrame {
  std::array<uint8_t, 16> Before;
  FrameBuffer Bytes;
  std::array<uint8_t, 16> After;
};
static_assert(sizeof(GuardedFrame) == 16 + sizeof(FrameBuffer) + 16);

inline GuardedFrame Guarded(const FrameBuffer& bytes, uint8_t guard) {
  GuardedFrame frame;
  frame.Before.fill(guard);
  frame.Bytes = bytes;
  frame.After.fill(guard);
  return frame;
}

// Stands in for the driver window's status indicator and keeps every text it was given.
class RecordingStatusSink : public StatusSink {
 public:
  void SetStatusText(const std::string& text) override { Texts.push_back(text); }
  std::vector<std::string> Texts;
};

// Names each case of a table after its name member, so a failure says which row failed.
struct CaseName {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& row) const {
    return std::string(row.param.name);
  }
};

}  // namespace zel
