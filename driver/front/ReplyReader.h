#pragma once
// Reading the line into the reply buffer.

#include "driver/frames/FrameStore.h"

namespace zel {

class TComProperties;

// One read of up to 256 bytes into ReplyBuffer from position 0; ReplyLength becomes the number
// delivered (0 for a failed read or no open port). How long it waits is up to the time-outs in
// force. Bytes past ReplyLength keep what they held.
void ReadReply(TComProperties& port, FrameStore& store);

}  // namespace zel
