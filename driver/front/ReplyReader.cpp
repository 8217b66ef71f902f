#include "driver/front/ReplyReader.h"

#include <algorithm>

#include "driver/frames/ReplyDecoder.h"
#include "driver/port/ComProperties.h"

namespace zel {

void ReadReply(TComProperties& port, FrameStore& store) {
  store.ReplyLength = port.Read(store.ReplyBuffer.data(), FrameCapacity);
}

void KeepAfterEcho(const FrameStore& store, const FrameBuffer& frame, int32_t length,
                   EarlyReply& early) {
  early.length = 0;
  if (length <= 0 || store.ReplyLength <= length || !EchoMatches(frame, store.ReplyBuffer, length))
    return;
  early.length = store.ReplyLength - length;
  std::copy_n(store.ReplyBuffer.begin() + length, early.length, early.bytes.begin());
}

bool ReplyComplete(const FrameBuffer& bytes, int32_t length) {
  if (length < static_cast<int32_t>(frame::HeaderLength)) return false;
  const auto whole = frame::FrameLength(bytes[frame::CountOffset]);
  return length >= static_cast<int32_t>(std::min(whole, frame::Capacity));
}

bool TakeEarlyReply(TComProperties& port, FrameStore& store, EarlyReply& early) {
  if (early.length <= 0) return false;
  std::copy_n(early.bytes.begin(), early.length, store.ReplyBuffer.begin());
  store.ReplyLength = early.length;
  early.length = 0;
  // The rest of a reply that straddled the end of the echo read is still on its way or waiting.
  while (!ReplyComplete(store.ReplyBuffer, store.ReplyLength)) {
    const int32_t more =
        port.Read(store.ReplyBuffer.data() + store.ReplyLength, FrameCapacity - store.ReplyLength);
    if (more <= 0) break;
    store.ReplyLength += more;
  }
  return true;
}

}  // namespace zel
