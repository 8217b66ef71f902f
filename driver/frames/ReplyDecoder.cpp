#include "driver/frames/ReplyDecoder.h"

#include <algorithm>
#include <cstddef>

#include "driver/frames/HexText.h"
#include "driver/frames/ReplyWords.h"

namespace zel {

namespace {

bool SumMatches(const FrameBuffer& bytes, size_t first, size_t count) {
  return frame::Checksum16(&bytes[first], count) == frame::ReadU16(&bytes[first + count]);
}

void AppendStation(std::string& text, const FrameBuffer& bytes, size_t offset) {
  // Node byte first on the wire, instrument number first in text.
  AppendHexByte(text, bytes[offset + 1]);
  AppendHexByte(text, bytes[offset]);
  text.push_back(' ');
}

}  // namespace

bool EchoMatches(const FrameBuffer& written, const FrameBuffer& read, int32_t count) {
  const int32_t compared = std::clamp<int32_t>(count, 0, FrameCapacity);
  return std::equal(written.begin(), written.begin() + compared, read.begin());
}

std::string DecodeReply(const FrameBuffer& bytes, std::string& text, int32_t length) {
  text.clear();
  // A read reports at least 0 bytes; anything less is treated as nothing read.
  if (length <= 0) {
    text = NoAnswerText;
    return NoAnswerWord;
  }
  const size_t count = bytes[frame::CountOffset];
  // No frame that fits the buffer announces more than 247 bytes: its data sum would lie past
  // the end. A reply that fails a check shows no part of itself.
  if (!SumMatches(bytes, 0, frame::CountOffset + 1) || count > frame::MaxDataCount ||
      (count > 0 && !SumMatches(bytes, frame::DataOffset, count))) {
    text = CheckSumErrorText;
    return CheckSumErrorWord;
  }
  AppendStation(text, bytes, frame::AddresseeOffset);
  AppendStation(text, bytes, frame::SenderOffset);
  for (size_t position = frame::DataOffset; position < frame::DataOffset + count; ++position) {
    AppendHexByte(text, bytes[position]);
  }
  return ReceivedOkWord;
}

std::string DecodeDump(const FrameBuffer& bytes, std::string& text, int32_t count) {
  const int32_t shown = std::clamp<int32_t>(count, 0, FrameCapacity);
  text.clear();
  text.reserve(static_cast<size_t>(shown) * 3);
  for (int32_t position = 0; position < shown; ++position) {
    AppendHexByte(text, bytes[static_cast<size_t>(position)]);
    text.push_back(' ');
  }
  if (shown == 0) text = EmptyDumpText;
  return DumpCountPrefix + std::to_string(shown) + DumpCountSuffix;
}

}  // namespace zel
