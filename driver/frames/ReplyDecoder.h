#pragma once

#include <cstdint>
#include <string>

#include "driver/frames/FrameBuffer.h"
#include "driver/frames/StatusSink.h"
#include "driver/frames/ZelException.h"

// Raised and caught inside DecodeReply only.
class EEmptyBufferError : public EZelException {};
class ECheckSumError : public EZelException {};

// True when the first count bytes of both buffers are equal; true for a count of 0 or less.
// Bytes of read beyond the last read's length take part as they are. A count above 256 compares
// the whole buffers.
bool EchoMatches(const FrameBuffer& written, const FrameBuffer& read, int32_t count);

// Checks a received frame and renders it as "AAAA SSSS DD..." (addressee, sender, data in
// uppercase hexadecimal), then shows "received OK". A length of 0 or less gives "00" and
// "no answer"; a wrong header or data sum, or a count byte above 247, gives "0000" and "CRC error".
// The extent checked follows the frame's count byte, not length. Never throws for bad input and
// never reads outside bytes.
void DecodeReply(const FrameBuffer& bytes, std::string& text, int32_t length, StatusSink& status);

// Renders the first count bytes, each followed by one space, and shows "received <count>b"; with
// no bytes the text is "--". A count outside 0..256 is clamped to that range first. No checks.
void DecodeDump(const FrameBuffer& bytes, std::string& text, int32_t count, StatusSink& status);
