#pragma once

#include <cstdint>
#include <string>

#include "driver/frames/FrameLayout.h"

namespace zel {

// The driver's one set of frame buffers. Everything starts zero or empty.
struct FrameStore {
  FrameBuffer SendFrame{};
  int32_t SendLength = 0;
  FrameBuffer DumpFrame{};
  int32_t DumpLength = 0;
  FrameBuffer ReplyBuffer{};
  int32_t ReplyLength = 0;
  std::string PokedText;
  std::string ReplyText;

  // Zeroes the send frame and the reply buffer with their lengths. The dump image and both texts
  // stay as they are, so a dump can still be sent after "Clear".
  void ResetBuffers();
  // Zeroes the reply buffer and its length.
  void ResetReply();
  // Zeroes the send frame and its length.
  void ResetSendFrame();
};

}  // namespace zel
