#pragma once
// Reading the line into the reply buffer.

#include "driver/frames/FrameStore.h"

namespace zel {

class TComProperties;

// One read of up to 256 bytes into ReplyBuffer from position 0; ReplyLength becomes the number
// delivered (0 for a failed read or no open port). How long it waits is up to the time-outs in
// force. Bytes past ReplyLength keep what they held.
void ReadReply(TComProperties& port, FrameStore& store);

// What came in behind a matched echo while the echo was read: the start of the reply of an
// instrument that answers within the echo window.
struct EarlyReply {
  FrameBuffer bytes{};
  int32_t length = 0;
};

// After an echo read: keeps the bytes of ReplyBuffer beyond the frame's `length` when the first
// `length` matched the frame; keeps nothing otherwise, or when no frame was written.
void KeepAfterEcho(const FrameStore& store, const FrameBuffer& frame, int32_t length,
                   EarlyReply& early);

// Whether `length` bytes hold a whole reply: its header, and as many bytes as its count byte
// announces (at most 256).
bool ReplyComplete(const FrameBuffer& bytes, int32_t length);

// When early bytes are kept: puts them into ReplyBuffer from position 0, then appends further
// reads while the reply is incomplete and a read brings something, and forgets them. Returns
// false, touching nothing, when none are kept.
bool TakeEarlyReply(TComProperties& port, FrameStore& store, EarlyReply& early);

}  // namespace zel
