#include "driver/frames/FrameStore.h"

namespace zel {

void FrameStore::ResetBuffers() {
  ResetSendFrame();
  ResetReply();
}

void FrameStore::ResetReply() {
  ReplyBuffer.fill(0);
  ReplyLength = 0;
}

void FrameStore::ResetSendFrame() {
  SendFrame.fill(0);
  SendLength = 0;
}

}  // namespace zel
