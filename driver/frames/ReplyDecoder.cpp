#include "driver/frames/ReplyDecoder.h"

#include <algorithm>
#include <cstddef>

#include "driver/frames/Checksum.h"
#include "driver/frames/HexText.h"
#include "driver/frames/ReplyWords.h"

namespace {

constexpr int32_t CountOffset = 4;
constexpr int32_t HeaderSumOffset = 5;
constexpr int32_t DataOffset = 7;

uint16_t StoredSum(const FrameBuffer& bytes, int32_t offset) {
  const auto low = bytes[static_cast<size_t>(offset)];
  const auto high = bytes[static_cast<size_t>(offset) + 1];
  return static_cast<uint16_t>(low | (high << 8));
}

}  // namespace

bool EchoMatches(const FrameBuffer& written, const FrameBuffer& read, int32_t count) {
  const int32_t compared = std::clamp<int32_t>(count, 0, FrameCapacity);
  return std::equal(written.begin(), written.begin() + compared, read.begin());
}

void DecodeReply(const FrameBuffer& bytes, std::string& text, int32_t length, StatusSink& status) {
  text.clear();
  try {
    // A read reports at least 0 bytes; anything less is treated as nothing read.
    if (length <= 0) throw EEmptyBufferError();
    if (Checksum16(bytes, 0, CountOffset) != StoredSum(bytes, HeaderSumOffset)) {
      throw ECheckSumError();
    }
    // Station addresses travel node byte first but read instrument first.
    AppendHexByte(text, bytes[1]);
    AppendHexByte(text, bytes[0]);
    text.push_back(' ');
    AppendHexByte(text, bytes[3]);
    AppendHexByte(text, bytes[2]);
    text.push_back(' ');

    const int32_t count = bytes[CountOffset];
    if (count != 0) {
      // No frame that fits the buffer announces more; its data sum would lie past the end.
      if (count > MaxDataCount) throw ECheckSumError();
      const int32_t sumOffset = DataOffset + count;
      if (Checksum16(bytes, DataOffset, sumOffset - 1) != StoredSum(bytes, sumOffset)) {
        throw ECheckSumError();
      }
      for (int32_t position = DataOffset; position < sumOffset; ++position) {
        AppendHexByte(text, bytes[static_cast<size_t>(position)]);
      }
    }
    status.SetStatusText(ReceivedOkWord);
  } catch (const ECheckSumError&) {
    // Replaces any header text already written: a half-checked reply is not shown.
    text = CheckSumErrorText;
    status.SetStatusText(CheckSumErrorWord);
  } catch (const EEmptyBufferError&) {
    text = NoAnswerText;
    status.SetStatusText(NoAnswerWord);
  }
}

void DecodeDump(const FrameBuffer& bytes, std::string& text, int32_t count, StatusSink& status) {
  const int32_t shown = std::clamp<int32_t>(count, 0, FrameCapacity);
  text.clear();
  text.reserve(static_cast<size_t>(shown) * 3);
  for (int32_t position = 0; position < shown; ++position) {
    AppendHexByte(text, bytes[static_cast<size_t>(position)]);
    text.push_back(' ');
  }
  status.SetStatusText(DumpCountPrefix + std::to_string(shown) + DumpCountSuffix);
  if (shown == 0) text = EmptyDumpText;
}
