#include "driver/frames/FrameStore.h"

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
