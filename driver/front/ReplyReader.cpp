#include "driver/front/ReplyReader.h"

#include "driver/port/ComProperties.h"

namespace zel {

void ReadReply(TComProperties& port, FrameStore& store) {
  store.ReplyLength = port.Read(store.ReplyBuffer.data(), FrameCapacity);
}

}  // namespace zel
