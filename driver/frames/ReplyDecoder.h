#pragma once

#include <cstdint>
#include <string>

#include "driver/frames/FrameLayout.h"

namespace zel {

// True when the first count bytes of both buffers are equal; true for a count of 0 or less.
// Bytes of read beyond the last read's length take part as they are. A count above 256 compares
// the whole buffers.
bool EchoMatches(const FrameBuffer& written, const FrameBuffer& read, int32_t count);

// Checks a received frame and renders it as "AAAA SSSS DD..." (addressee, sender, data in
// uppercase hexadecimal); returns the status word "received OK". A length of 0 or less gives
// "00" and "no answer"; a wrong header or data sum, or a count byte above 247, gives "0000" and
// "CRC error". The extent checked follows the frame's count byte, not length. Never reads outside
// bytes.
std::string DecodeReply(const FrameBuffer& bytes, std::string& text, int32_t length);

// Renders the first count bytes, each followed by one space, and returns "received <count>b";
// with no bytes the text is "--". A count outside 0..256 is clamped to that range first. No checks.
std::string DecodeDump(const FrameBuffer& bytes, std::string& text, int32_t count);

}  // namespace zel
