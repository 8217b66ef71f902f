#include "driver/frames/ReplyReader.h"

#include "driver/port/ComResourceSetup.h"

void ReadReply(TComProperties& port, FrameStore& store) {
  store.ReplyLength = port.Read(store.ReplyBuffer.data(), FrameCapacity);
}
