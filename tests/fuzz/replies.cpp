// Replies as the line delivers them: any bytes, any length the read reports (also below 0 and
// above 256). Input: length (i32, little-endian), the position of a byte the echo gets wrong,
// then the buffer's bytes (zeros after them, as in the cleared reply buffer).
#include <algorithm>
#include <cstring>
#include <string>

#include "driver/frames/FrameBuilder.h"
#include "driver/frames/ReplyDecoder.h"
#include "driver/frames/ReplyWords.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace zel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  int32_t length = 0;
  std::memcpy(&length, data, sizeof length);
  const size_t wrong = data[4];
  FrameBuffer bytes{};
  std::copy_n(data + 5, std::min(size - 5, bytes.size()), bytes.begin());
  const int32_t compared = std::clamp<int32_t>(length, 0, FrameCapacity);
  std::string text;

  FrameBuffer echo = bytes;
  ZEL_FUZZ_CHECK(EchoMatches(bytes, echo, length));
  echo[wrong] ^= 0x01;
  ZEL_FUZZ_CHECK(EchoMatches(bytes, echo, length) == (compared <= int32_t(wrong)));

  ZEL_FUZZ_CHECK(DecodeDump(bytes, text, length) == "received " + std::to_string(compared) + "b");
  ZEL_FUZZ_CHECK(text.size() == (compared == 0 ? 2 : 3 * size_t(compared)));

  const std::string word = DecodeReply(bytes, text, length);
  if (length <= 0) {
    ZEL_FUZZ_CHECK(word == NoAnswerWord && text == NoAnswerText);
    return 0;
  }
  const size_t count = bytes[frame::CountOffset];
  const bool good = frame::Checksum16(bytes.data(), 5) == frame::ReadU16(&bytes[5]) &&
                    count <= frame::MaxDataCount &&
                    (count == 0 || frame::Checksum16(&bytes[7], count) ==
                                       frame::ReadU16(&bytes[frame::DataOffset + count]));
  ZEL_FUZZ_CHECK(word == (good ? ReceivedOkWord : CheckSumErrorWord));
  if (!good) {
    ZEL_FUZZ_CHECK(text == CheckSumErrorText);
    return 0;
  }
  // What was shown, poked back, is the frame that came in.
  FrameBuffer built{};
  int32_t builtLength = 0;
  BuildSendFrame(text, built, builtLength);
  ZEL_FUZZ_CHECK(builtLength == int32_t(frame::FrameLength(count)) &&
                 std::equal(built.begin(), built.begin() + builtLength, bytes.begin()));
  return 0;
}
